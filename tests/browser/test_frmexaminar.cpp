#include "browser/frmexaminar.h"
#include "comun/junta.h"
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

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace VarsFuncsGlobales;
using namespace Qt::StringLiterals;

namespace {

const QByteArray kTextos = "[English]\nPrinTitulo=Keldan\nExamName=Browse\nExamcmdAceptar=&OK\n"
                           "ExamErrorUnid=No drive\nExamErrorUnidGen=Drive failed\n"
                           "ExamErrorDir=No dir\nExamErrorDirGen=Dir failed\n";
const char *const kPeque = "/PEQUE\xD1O.txt"; // PEQUEÑO.txt in Latin-1

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
    QString dirGuarda() const { return LeeIni("General", "DirGuarda", "", RutaIni()); }

private slots:
    void initTestCase()
    {
        EstableceDirectorioPrograma(m_dir.path());
        m_progs = m_dir.filePath("Progs");
        QVERIFY(QDir().mkpath(m_progs + "/Xa") && QDir().mkpath(m_progs + "/xb"));
        for (const char *n : {"o1.txt", "O2.TXT", "p.dcn", "q.DGN", "r"}) {
            QFile f(m_progs + "/" + n);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        // A folder and a file named in Latin-1 on an old share, made by their bytes.
        const QByteArray viejo = QFile::encodeName(m_progs) + "/Viejo\xC9";
        const int fd = ::mkdir(viejo, 0700) ? -1 : ::open(viejo + kPeque, O_CREAT | O_WRONLY, 0600);
        QVERIFY(fd >= 0 && ::write(fd, "O1\r\n", 4) == 4 && ::close(fd) == 0);
    }

    void cleanupTestCase()
    {
        // QTemporaryDir cannot see the Latin-1 names to remove them.
        const QByteArray viejo = QFile::encodeName(m_progs) + "/Viejo\xC9";
        ::unlink(viejo + kPeque);
        ::rmdir(viejo);
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
            QCOMPARE(junta(d->Path(), d->txtDirPlano->text(), d->File1->count()),
                junta(m_progs, (m_progs + "/").toUpper(), 2)); // o1.txt and O2.TXT
            d->cmbTipo->setCurrentText("*.dgn");
            QCOMPARE(d->File1->item(0)->text(), QStringLiteral("q.DGN"));
            // A fixed-size dialog: no minimise or maximise button.
            const Qt::WindowFlags f = d->windowFlags();
            QVERIFY(f.testFlag(Qt::WindowCloseButtonHint)
                && !f.testFlag(Qt::WindowMinimizeButtonHint)
                && !f.testFlag(Qt::WindowMaximizeButtonHint));
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
            QCOMPARE(junta(m_mensajes.join(u','), d->Path()), junta(mensajes.join(u','), u"/"_s));
        }
        // Stored in upper case, it still finds its directory.
        escribeIni("DirGuarda=" + m_progs.toUpper().toUtf8() + "/\n");
        m_mensajes.clear();
        QCOMPARE(junta(carga()->Path(), m_mensajes.size()), junta(m_progs, 0));
    }

    void typeAheadLooksPastTheIndentation()
    {
        auto d = carga();
        QStringList vistos;
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(d->Dir1, Qt::Key_X);
            vistos << d->Dir1->currentItem()->text().trimmed();
            QTest::qWait(QApplication::keyboardInputInterval() + 50);
        }
        QCOMPARE(vistos, QStringList({"Xa", "xb", "Xa"}));
    }

    void acceptNeedsASelectedFileToOpenAndANameToSave()
    {
        auto d = carga();
        d->txtPlano->setText("typed.txt");
        QCOMPARE(junta(d->txtPlano->text(), d->cmdAceptar->isEnabled()), u"TYPED.TXT|false"_s);
        d->File1->setCurrentRow(1);
        QCOMPARE(junta(d->txtPlano->text(), d->cmdAceptar->isEnabled()), u"O2.TXT|true"_s);
        // A new type refills the list but keeps the name and the button.
        d->cmbTipo->setCurrentText("*.dcn");
        QCOMPARE(junta(d->File1->currentRow(), d->txtPlano->text(), d->cmdAceptar->isEnabled()),
            u"-1|O2.TXT|true"_s);
        d->txtPlano->clear();
        QVERIFY(!d->cmdAceptar->isEnabled());

        // Saving proposes the program number in upper case; any name will do.
        m_texto.setLineas({"%", "o1234 (EJE)", "N10"});
        auto g = carga(false);
        QCOMPARE(junta(g->txtPlano->text(), g->cmdAceptar->isEnabled()), u"O1234.TXT|true"_s);
        g->txtPlano->clear();
        QVERIFY(!g->cmdAceptar->isEnabled());
        // Typing is upper-cased where the caret is, and the caret stays behind
        // what was typed even where upper case is longer.
        g->txtPlano->setFocus();
        QTest::keyClicks(g->txtPlano, QStringLiteral("straße.txt"));
        QCOMPARE(junta(g->txtPlano->text(), g->txtPlano->cursorPosition()), u"STRASSE.TXT|11"_s);
        g->txtPlano->setCursorPosition(2);
        QTest::keyClicks(g->txtPlano, QStringLiteral("ßx"));
        QCOMPARE(junta(g->txtPlano->text(), g->txtPlano->cursorPosition()), u"STSSXRASSE.TXT|5"_s);
        QVERIFY(g->cmdAceptar->isEnabled());
    }

    void acceptGivesTheRealFileAndRemembersTheDirectory()
    {
        auto d = carga();
        d->File1->setCurrentRow(0);
        d->cmdAceptar_Click();
        QCOMPARE(junta(d->result(), NombreFichero, dirGuarda()),
            junta(int(QDialog::Accepted), m_progs + "/o1.txt", m_progs + "/"));
        // A typed name finds its file ignoring case; cancelling changes nothing.
        escribeIni("DirGuarda=/\n");
        auto g = carga(false);
        g->txtPlano->setText("o2.txt");
        g->cmdCancelar->click();
        QCOMPARE(junta(NombreFichero, dirGuarda()), junta(m_progs + "/o1.txt", u"/"_s));
        // A directory where the settings file should be: the write fails, said so.
        QTemporaryDir otro;
        QVERIFY(QDir().mkdir(otro.filePath("KELDAN.INI")));
        EstableceDirectorioPrograma(otro.path());
        auto f = carga(false);
        f->txtPlano->setText("a.txt");
        f->cmdAceptar_Click();
        EstableceDirectorioPrograma(m_dir.path());
        QCOMPARE(junta(f->result(), NombreFichero, m_mensajes.size()),
            junta(int(QDialog::Accepted), u"/A.TXT"_s, 1));
        QVERIFY2(m_mensajes.first().contains(otro.filePath("KELDAN.INI")),
            qPrintable(m_mensajes.first()));
    }

    void namesThatAreNotUtf8OpenTheirFileAndAreNotSavedOver()
    {
        for (const bool abrir : {true, false}) {
            auto d = carga(abrir);
            const auto viejo = d->Dir1->findItems(QStringLiteral("ViejoÉ"), Qt::MatchEndsWith);
            QCOMPARE(viejo.size(), 1);
            emit d->Dir1->itemActivated(viejo.first());
            QCOMPARE(d->File1->count(), 1);
            d->File1->setCurrentRow(0);
            QCOMPARE(d->txtPlano->text(), QStringLiteral("PEQUEÑO.TXT"));
            d->cmdAceptar_Click();
            QCOMPARE(junta(d->result(), m_mensajes.size()), junta(int(abrir), abrir ? 0 : 1));
        }
        QFile f(NombreFichero);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("O1\r\n"));
        // The folder of links is not remembered as the last directory.
        QCOMPARE(dirGuarda(), m_progs + "/");
    }
};

QTEST_MAIN(FrmExaminarTest)
#include "test_frmexaminar.moc"
