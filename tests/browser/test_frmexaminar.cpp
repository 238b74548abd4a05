#include "browser/frmexaminar.h"
#include "settings/varsfuncsglobales.h"
#include "shell/herramientas.h"
#include "text/textoprograma.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace VarsFuncsGlobales;

namespace {

const QByteArray kTextos = "[English]\nPrinTitulo=Keldan\nExamName=Browse\nExamcmdAceptar=&OK\n"
                           "ExamErrorUnid=No drive\nExamErrorUnidGen=Drive failed\n"
                           "ExamErrorDir=No dir\nExamErrorDirGen=Dir failed\n";

} // namespace

class FrmExaminarTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_progs; // a directory with programs, its name in mixed case
    QStringList m_mensajes;
    TextoPrograma m_texto;

    void escribeIni(const QByteArray &general)
    {
        QFile f(RutaIni());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[General]\nIdioma=English\n" + general + kTextos);
        f.close();
        CargaConfig();
    }

    std::unique_ptr<frmExaminar> carga(bool abrir = true)
    {
        ModoAbrir = abrir;
        auto d = std::make_unique<frmExaminar>(&m_texto);
        d->Form_Load();
        return d;
    }

private slots:
    void initTestCase()
    {
        EstableceDirectorioPrograma(m_dir.path());
        m_progs = m_dir.filePath("Progs");
        QVERIFY(QDir().mkpath(m_progs));
        for (const char *n : {"o1.txt", "O2.TXT", "p.dcn", "q.DGN", "r"}) {
            QFile f(m_progs + "/" + n);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
    }

    void init()
    {
        m_mensajes.clear();
        Herramientas::EstableceRespuestaMsgBox(
            [this](const QString &p, int flags, const QString &t) {
                m_mensajes << QStringLiteral("%1|%2|%3").arg(p).arg(flags).arg(t);
                return int(Herramientas::vbOK);
            });
        escribeIni("DirGuarda=" + m_progs.toUtf8() + "/\n");
        NombreFichero.clear();
        m_texto.clear();
    }

    void cleanup() { Herramientas::EstableceRespuestaMsgBox({}); }

    void startsInTheStoredDirectoryOrFallsBackToTheRoot()
    {
        {
            auto d = carga();
            QCOMPARE(d->Path(), m_progs);
            QCOMPARE(d->txtDirPlano->text(), (m_progs + "/").toUpper());
            QCOMPARE(d->File1->count(), 2); // o1.txt and O2.TXT
            d->cmbTipo->setCurrentText("*.dgn");
            QCOMPARE(d->File1->item(0)->text(), QStringLiteral("q.DGN"));
            QVERIFY(m_mensajes.isEmpty());
        }
        // None stored: the root without a message; a vanished directory: one
        // message; a path of another system has no drive either: two.
        const std::pair<QByteArray, QStringList> casos[] = {
            {"", {}},
            {"DirGuarda=" + m_progs.toUtf8() + "/Gone/\n", {"No dir|16|Keldan"}},
            {"DirGuarda=C:\\PROGS\\\n", {"Dir failed|16|Keldan", "No dir|16|Keldan"}},
        };
        for (const auto &[ini, mensajes] : casos) {
            escribeIni(ini);
            m_mensajes.clear();
            auto d = carga();
            QCOMPARE(m_mensajes, mensajes);
            QCOMPARE(d->Path(), QStringLiteral("/"));
        }
        // Stored in upper case, it still finds its directory.
        if (QFileInfo::exists(m_progs.toUpper()))
            QSKIP("file system ignores letter case");
        escribeIni("DirGuarda=" + m_progs.toUpper().toUtf8() + "/\n");
        m_mensajes.clear();
        QCOMPARE(carga()->Path(), m_progs);
        QVERIFY(m_mensajes.isEmpty());
    }

    void acceptNeedsASelectedFileToOpenAndANameToSave()
    {
        auto d = carga();
        QVERIFY(!d->cmdAceptar->isEnabled());
        d->txtPlano->setText("typed.txt");
        QCOMPARE(d->txtPlano->text(), QStringLiteral("TYPED.TXT"));
        QVERIFY(!d->cmdAceptar->isEnabled());
        d->File1->setCurrentRow(1);
        QCOMPARE(d->txtPlano->text(), QStringLiteral("O2.TXT"));
        QVERIFY(d->cmdAceptar->isEnabled());
        // A new type refills the list but keeps the name and the button.
        d->cmbTipo->setCurrentText("*.dcn");
        QCOMPARE(d->File1->currentRow(), -1);
        QCOMPARE(d->txtPlano->text(), QStringLiteral("O2.TXT"));
        QVERIFY(d->cmdAceptar->isEnabled());
        d->txtPlano->clear();
        QVERIFY(!d->cmdAceptar->isEnabled());

        // Saving proposes the program number in upper case; any name will do.
        m_texto.setLineas({"%", "o1234 (EJE)", "N10"});
        auto g = carga(false);
        QCOMPARE(g->txtPlano->text(), QStringLiteral("O1234.TXT"));
        QVERIFY(g->cmdAceptar->isEnabled());
        g->txtPlano->clear();
        QVERIFY(!g->cmdAceptar->isEnabled());
        // Typing is upper-cased where the caret is, and the caret stays there.
        g->txtPlano->setFocus();
        QTest::keyClicks(g->txtPlano, "o1.txt");
        g->txtPlano->setCursorPosition(2);
        QTest::keyClick(g->txtPlano, Qt::Key_X);
        QCOMPARE(g->txtPlano->text(), QStringLiteral("O1X.TXT"));
        QCOMPARE(g->txtPlano->cursorPosition(), 3);
        QVERIFY(g->cmdAceptar->isEnabled());
    }

    void acceptGivesTheRealFileAndRemembersTheDirectory()
    {
        auto d = carga();
        d->File1->setCurrentRow(0);
        d->cmdAceptar_Click();
        QCOMPARE(d->result(), int(QDialog::Accepted));
        QCOMPARE(NombreFichero, m_progs + "/o1.txt");
        QCOMPARE(LeeIni("General", "DirGuarda", "", RutaIni()), m_progs + "/");

        // A typed name finds its file ignoring case; a new one stays as shown.
        for (const auto &[tecleado, fichero] :
            {std::pair {"o2.txt", "O2.TXT"}, {"nuevo.txt", "NUEVO.TXT"}}) {
            auto g = carga(false);
            g->txtPlano->setText(tecleado);
            g->cmdAceptar_Click();
            QCOMPARE(NombreFichero, m_progs + "/" + fichero);
        }

        // Cancelling changes neither.
        escribeIni("DirGuarda=/\n");
        carga(false)->cmdCancelar->click();
        QCOMPARE(NombreFichero, m_progs + "/NUEVO.TXT");
        QCOMPARE(LeeIni("General", "DirGuarda", "", RutaIni()), QStringLiteral("/"));
        QVERIFY(m_mensajes.isEmpty());

        // A directory where the settings file should be: the write fails, said so.
        QTemporaryDir otro;
        QVERIFY(QDir().mkdir(otro.filePath("KELDAN.INI")));
        EstableceDirectorioPrograma(otro.path());
        auto f = carga(false);
        f->txtPlano->setText("a.txt");
        f->cmdAceptar_Click();
        EstableceDirectorioPrograma(m_dir.path());
        QCOMPARE(f->result(), int(QDialog::Accepted));
        QCOMPARE(NombreFichero, QStringLiteral("/A.TXT"));
        QCOMPARE(m_mensajes.size(), 1);
        QVERIFY2(m_mensajes.first().contains(otro.filePath("KELDAN.INI")),
            qPrintable(m_mensajes.first()));
    }
};

QTEST_MAIN(FrmExaminarTest)
#include "test_frmexaminar.moc"
