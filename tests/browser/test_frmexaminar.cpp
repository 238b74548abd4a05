#include "browser/frmexaminar.h"
#include "browser/pasamayusculas.h"
#include "settings/varsfuncsglobales.h"
#include "shell/herramientas.h"
#include "text/textoprograma.h"

#include "comun/sinprivilegios.h"

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

    void tocar(const QString &ruta)
    {
        QFile f(ruta);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }

private slots:
    void initTestCase()
    {
        EstableceDirectorioPrograma(m_dir.path());
        m_progs = m_dir.filePath("Progs");
        QVERIFY(QDir().mkpath(m_progs + "/Sub"));
        for (const char *n : {"o1.txt", "O2.TXT", "p.dcn", "q.DGN", "r"})
            tocar(m_progs + "/" + n);
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
        ModoAbrir = true;
        m_texto.clear();
    }

    void cleanup() { Herramientas::EstableceRespuestaMsgBox({}); }

    void startsInTheStoredDirectoryWithTxtFilesOfAnyCase()
    {
        frmExaminar d(&m_texto);
        d.Form_Load();
        QVERIFY(m_mensajes.isEmpty());
        QCOMPARE(d.Path(), m_progs);
        QCOMPARE(d.txtDirPlano->text(), (m_progs + "/").toUpper());
        QVERIFY(d.txtDirPlano->isReadOnly());
        QCOMPARE(d.cmbTipo->currentText(), QStringLiteral("*.txt"));
        QCOMPARE(d.File1->count(), 2);
        QCOMPARE(d.File1->item(0)->text(), QStringLiteral("o1.txt"));
        QCOMPARE(d.File1->item(1)->text(), QStringLiteral("O2.TXT"));
        QCOMPARE(d.windowTitle(), QStringLiteral("Browse"));
        QCOMPARE(d.cmdAceptar->text(), QStringLiteral("&OK"));
        QVERIFY(!d.cmdAceptar->isEnabled());

        d.cmbTipo->setCurrentText("*.*");
        QCOMPARE(d.File1->count(), 5);
        d.cmbTipo->setCurrentText("*.dgn");
        QCOMPARE(d.File1->count(), 1);
        QCOMPARE(d.File1->item(0)->text(), QStringLiteral("q.DGN"));
    }

    void storedDirectoryProblemsFallBackToTheRoot()
    {
        // No DirGuarda: the root, without a message.
        escribeIni("");
        {
            frmExaminar d(&m_texto);
            d.Form_Load();
            QVERIFY(m_mensajes.isEmpty());
            QCOMPARE(d.Path(), QStringLiteral("/"));
            QCOMPARE(d.Drive(), QStringLiteral("/"));
            QCOMPARE(d.txtDirPlano->text(), QStringLiteral("/"));
        }
        // A vanished directory: one message, then the root.
        escribeIni("DirGuarda=" + m_progs.toUtf8() + "/Gone/\n");
        {
            frmExaminar d(&m_texto);
            d.Form_Load();
            QCOMPARE(m_mensajes, QStringList {"No dir|16|Keldan"});
            QCOMPARE(d.Path(), QStringLiteral("/"));
        }
        // A path of another system has no drive either: two messages.
        m_mensajes.clear();
        escribeIni("DirGuarda=C:\\PROGS\\\n");
        {
            frmExaminar d(&m_texto);
            d.Form_Load();
            QCOMPARE(m_mensajes, (QStringList {"Dir failed|16|Keldan", "No dir|16|Keldan"}));
            QCOMPARE(d.Path(), QStringLiteral("/"));
        }
        // Stored in upper case, it still finds its directory.
        m_mensajes.clear();
        escribeIni("DirGuarda=" + m_progs.toUpper().toUtf8() + "/\n");
        if (QFileInfo::exists(m_progs.toUpper()))
            QSKIP("file system ignores letter case");
        {
            frmExaminar d(&m_texto);
            d.Form_Load();
            QVERIFY(m_mensajes.isEmpty());
            QCOMPARE(d.Path(), m_progs);
        }
    }

    void acceptNeedsASelectedFileToOpenAndANameToSave()
    {
        frmExaminar d(&m_texto);
        d.Form_Load();
        d.txtPlano->setText("typed.txt");
        QCOMPARE(d.txtPlano->text(), QStringLiteral("TYPED.TXT"));
        QVERIFY(!d.cmdAceptar->isEnabled());
        d.File1->setCurrentRow(1);
        QCOMPARE(d.txtPlano->text(), QStringLiteral("O2.TXT"));
        QVERIFY(d.cmdAceptar->isEnabled());
        // A new type refills the list but keeps the name and the button.
        d.cmbTipo->setCurrentText("*.dcn");
        QCOMPARE(d.File1->currentRow(), -1);
        QCOMPARE(d.txtPlano->text(), QStringLiteral("O2.TXT"));
        QVERIFY(d.cmdAceptar->isEnabled());
        d.txtPlano->clear();
        QVERIFY(!d.cmdAceptar->isEnabled());

        ModoAbrir = false;
        frmExaminar g(&m_texto);
        g.Form_Load();
        QVERIFY(g.txtPlano->text().isEmpty());
        QVERIFY(!g.cmdAceptar->isEnabled());
        g.txtPlano->setText("n");
        QVERIFY(g.cmdAceptar->isEnabled());
    }

    void savingProposesTheProgramNumberInUpperCase()
    {
        ModoAbrir = false;
        m_texto.setLineas({"%", "o1234 (EJE)", "N10"});
        frmExaminar d(&m_texto);
        d.Form_Load();
        QCOMPARE(d.txtPlano->text(), QStringLiteral("O1234.TXT"));
        QVERIFY(d.cmdAceptar->isEnabled());

        m_texto.setLineas({"%", "N10 G0 X0", ":5"});
        frmExaminar e(&m_texto);
        e.Form_Load();
        QVERIFY(e.txtPlano->text().isEmpty());
    }

    void upperCasingKeepsTheCaret()
    {
        QLineEdit caja;
        caja.setText("ab");
        caja.setCursorPosition(1);
        QTest::keyClick(&caja, Qt::Key_C);
        PasaMayusculas(&caja);
        QCOMPARE(caja.text(), QStringLiteral("ACB"));
        QCOMPARE(caja.cursorPosition(), 2);

        frmExaminar d(&m_texto);
        d.Form_Load();
        d.txtPlano->setFocus();
        QTest::keyClicks(d.txtPlano, "o1.txt");
        d.txtPlano->setCursorPosition(2);
        QTest::keyClick(d.txtPlano, Qt::Key_X);
        QCOMPARE(d.txtPlano->text(), QStringLiteral("O1X.TXT"));
        QCOMPARE(d.txtPlano->cursorPosition(), 3);
    }

    void acceptGivesTheRealFileAndRemembersTheDirectory()
    {
        frmExaminar d(&m_texto);
        d.Form_Load();
        d.File1->setCurrentRow(0);
        QCOMPARE(d.txtPlano->text(), QStringLiteral("O1.TXT"));
        d.cmdAceptar_Click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(NombreFichero, m_progs + "/o1.txt");
        QCOMPARE(LeeIni("General", "DirGuarda", "", RutaIni()), m_progs + "/");

        // A typed name finds its file ignoring case; a new one stays as shown.
        ModoAbrir = false;
        frmExaminar g(&m_texto);
        g.Form_Load();
        g.txtPlano->setText("o2.txt");
        g.cmdAceptar_Click();
        QCOMPARE(NombreFichero, m_progs + "/O2.TXT");
        frmExaminar h(&m_texto);
        h.Form_Load();
        h.txtPlano->setText("nuevo.txt");
        h.cmdAceptar_Click();
        QCOMPARE(NombreFichero, m_progs + "/NUEVO.TXT");

        // Cancelling changes neither.
        escribeIni("DirGuarda=/\n");
        frmExaminar c(&m_texto);
        c.Form_Load();
        c.txtPlano->setText("x");
        c.cmdCancelar->click();
        QCOMPARE(c.result(), int(QDialog::Rejected));
        QCOMPARE(NombreFichero, m_progs + "/NUEVO.TXT");
        QCOMPARE(LeeIni("General", "DirGuarda", "", RutaIni()), QStringLiteral("/"));
    }

    void aFailedWriteOfTheDirectoryIsReported()
    {
        // A directory where the settings file should be: no one can write it.
        QTemporaryDir otro;
        QVERIFY(QDir().mkdir(otro.filePath("KELDAN.INI")));
        EstableceDirectorioPrograma(otro.path());
        ModoAbrir = false;
        {
            frmExaminar d(&m_texto);
            d.Form_Load();
            d.txtPlano->setText("a.txt");
            d.cmdAceptar_Click();
            QCOMPARE(d.result(), int(QDialog::Accepted));
        }
        EstableceDirectorioPrograma(m_dir.path());
        QCOMPARE(NombreFichero, QStringLiteral("/A.TXT"));
        QCOMPARE(m_mensajes.size(), 1);
        QVERIFY2(m_mensajes.first().contains(otro.filePath("KELDAN.INI")),
            qPrintable(m_mensajes.first()));
    }

    void drivesAreTheMountedVolumesAndDirectoriesAreEntered()
    {
        frmExaminar d(&m_texto);
        d.Form_Load();
        QVERIFY(d.Drive1->count() >= 1);
        QCOMPARE(d.Drive1->itemText(0), QStringLiteral("/"));
        // Entering a subdirectory from the tree.
        const auto subs = d.Dir1->findItems("Sub", Qt::MatchEndsWith | Qt::MatchCaseSensitive);
        QCOMPARE(subs.size(), 1);
        emit d.Dir1->itemActivated(subs.first());
        QCOMPARE(d.Path(), m_progs + "/Sub");
        QCOMPARE(d.txtDirPlano->text(), (m_progs + "/Sub/").toUpper());
        QCOMPARE(d.File1->count(), 0);
        // A directory that went away meanwhile: a message, nothing moves.
        QVERIFY(QDir(m_progs).mkdir("Vanish"));
        QCOMPARE(d.EstablecePath(m_progs), LogicaExaminar::Fallo::Ninguno);
        const auto tmp = d.Dir1->findItems("Vanish", Qt::MatchEndsWith | Qt::MatchCaseSensitive);
        QCOMPARE(tmp.size(), 1);
        QVERIFY(QDir(m_progs).rmdir("Vanish"));
        emit d.Dir1->itemActivated(tmp.first());
        QCOMPARE(d.Path(), m_progs);
        QCOMPARE(m_mensajes.size(), 1);

        // A volume that went away: its message; the list shows it, the rest stays.
        m_mensajes.clear();
        d.Drive1->addItem("/no-such-volume/", "/no-such-volume/");
        d.Drive1->setCurrentIndex(d.Drive1->count() - 1);
        QCOMPARE(m_mensajes, QStringList {"No drive|16|Keldan"});
        QCOMPARE(d.Drive(), QStringLiteral("/no-such-volume/"));
        QCOMPARE(d.Path(), m_progs);
        QCOMPARE(d.txtDirPlano->text(), (m_progs + "/").toUpper());
        QCOMPARE(d.File1->count(), 2);
    }
};

QTEST_MAIN(FrmExaminarTest)
#include "test_frmexaminar.moc"
