#include "settings/varsfuncsglobales.h"
#include "shell/frmprincipal.h"
#include "shell/herramientas.h"
#include "text/textoprograma.h"

#include "browser/examinar_prueba.h"
#include "comun/sinprivilegios.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace VarsFuncsGlobales;

namespace {

const QByteArray kTextos
    = "[English]\nNombreManual=MANUAL EN.TXT\nPrinName=Serial Transfer\nPrinTitulo=Keldan\n"
      "PrinContenido=No file\nPrinmsgGrabaFinal=Save first?\nPrinmsgLimpia=Empty\n"
      "PrinmsgAbierto=Opened\nPrinmsgGuardado=Saved\nPrinmsgSinGuardar=Not saved\n";

QByteArray leeBytes(const QString &ruta)
{
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool escribeBytes(const QString &ruta, const QByteArray &datos)
{
    QFile f(ruta);
    return f.open(QIODevice::WriteOnly) && f.write(datos) == datos.size();
}

} // namespace

class FrmPrincipalTextoTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_progs; // the programs' directory; its name has blanks
    std::unique_ptr<frmPrincipal> m_frm;
    QStringList m_mensajes;
    QList<int> m_respuestas; // answers to the next questions, No when none are left

    void escribeIni(const QByteArray &general = {})
    {
        QVERIFY(escribeBytes(RutaIni(),
            "[General]\nIdioma=English\nDirGuarda=" + m_progs.toUtf8() + "/\n" + general
                + kTextos));
    }

    void nuevaVentana()
    {
        m_frm = std::make_unique<frmPrincipal>();
        m_frm->Form_Load();
        m_frm->show();
    }

    TextoPrograma *texto() const { return m_frm->texto(); }

    // Text as a receive leaves it: not saved, nothing current.
    void recibido(const QList<QByteArray> &lineas)
    {
        texto()->setLineas(lineas);
        m_frm->lblEstado->setText(QStringLiteral("Not saved"));
    }

    void abre(const QString &nombre)
    {
        OperadorExaminar operador({AbreFichero(nombre)});
        m_frm->cmdAbrir_Click();
        QCOMPARE(operador.vistas(), 1);
    }

private slots:
    void initTestCase()
    {
        EstableceDirectorioPrograma(m_dir.path());
        m_progs = m_dir.filePath("mis programas");
        QVERIFY(QDir().mkpath(m_progs));
    }

    void init()
    {
        m_mensajes.clear();
        m_respuestas.clear();
        Herramientas::EstableceRespuestaMsgBox([this](
                                                   const QString &p, int flags, const QString &) {
            m_mensajes << QStringLiteral("%1|%2").arg(p).arg(flags);
            if (flags & Herramientas::vbYesNo)
                return m_respuestas.isEmpty() ? int(Herramientas::vbNo) : m_respuestas.takeFirst();
            return int(Herramientas::vbOK);
        });
        escribeIni();
        NombreFichero.clear();
        QVERIFY(escribeBytes(m_progs + "/o1.txt", "%\r\nO1\r\nN10G01X5\r\n\r\nM30\r\n"));
        nuevaVentana();
    }

    void cleanup()
    {
        m_frm.reset();
        Herramientas::EstableceRespuestaMsgBox({});
    }

    void openLoadsTheFileAndSaveWritesItBackByteForByte()
    {
        abre("o1.txt");
        QVERIFY(m_mensajes.isEmpty());
        QCOMPARE(texto()->lineas(), (QList<QByteArray> {"%", "O1", "N10G01X5", "", "M30"}));
        QCOMPARE(NombreFichero, m_progs + "/o1.txt");
        QCOMPARE(m_frm->windowTitle(), "Serial Transfer - [" + m_progs + "/o1.txt]");
        QCOMPARE(m_frm->lblEstado->text(), QStringLiteral("Opened"));
        QVERIFY(!m_frm->cmdAbrir->isEnabled());
        QVERIFY(m_frm->cmdGuardar->isEnabled());
        QVERIFY(m_frm->cmdPcCnc->isEnabled());
        QVERIFY(m_frm->cmdSpace->isEnabled());

        // Saved under its upper-cased name, it overwrites the same file.
        const QByteArray antes = leeBytes(m_progs + "/o1.txt");
        QVERIFY(escribeBytes(m_progs + "/o1.txt", "changed"));
        OperadorExaminar operador({GuardaComo("o1.txt")});
        QVERIFY(m_frm->cmdGuardar_Click());
        QCOMPARE(leeBytes(m_progs + "/o1.txt"), antes);
        QCOMPARE(QDir(m_progs).entryList({"o1.txt"}, QDir::Files), QStringList {"o1.txt"});
        QCOMPARE(m_frm->lblEstado->text(), QStringLiteral("Saved"));
        QVERIFY(!m_frm->cmdAbrir->isEnabled());
    }

    void openingAnEmptyFileStillLoads()
    {
        QVERIFY(escribeBytes(m_progs + "/vacio.txt", ""));
        abre("vacio.txt");
        QCOMPARE(texto()->count(), 0);
        QCOMPARE(m_frm->lblEstado->text(), QStringLiteral("Opened"));
        QVERIFY(m_frm->cmdGuardar->isEnabled());
        QFile::remove(m_progs + "/vacio.txt");
    }

    void cancelledOpenOrSaveChangesNothing()
    {
        abre("o1.txt");
        const QString titulo = m_frm->windowTitle();
        const QByteArray antes = leeBytes(m_progs + "/o1.txt");
        {
            OperadorExaminar operador({Cancela()});
            m_frm->cmdAbrir->setEnabled(true);
            m_frm->cmdAbrir_Click();
            QCOMPARE(operador.vistas(), 1);
        }
        {
            OperadorExaminar operador({Cancela()});
            QVERIFY(!m_frm->cmdGuardar_Click());
            QCOMPARE(operador.vistas(), 1);
        }
        QCOMPARE(NombreFichero, m_progs + "/o1.txt");
        QCOMPARE(m_frm->windowTitle(), titulo);
        QCOMPARE(m_frm->lblEstado->text(), QStringLiteral("Opened"));
        QCOMPARE(texto()->count(), 5);
        QCOMPARE(leeBytes(m_progs + "/o1.txt"), antes);
        QVERIFY(m_mensajes.isEmpty());
    }

    void clearAsksOnlyWhileTextIsUnsaved()
    {
        // No: cleared without saving.
        recibido({"%", "O55", "N1"});
        QVERIFY(m_frm->cmdLimpiar_Click());
        QCOMPARE(m_mensajes, QStringList {"Save first?|36"});
        QCOMPARE(texto()->count(), 0);
        QCOMPARE(m_frm->lblEstado->text(), QStringLiteral("Empty"));
        QVERIFY(!QFile::exists(m_progs + "/O55.TXT"));

        // Yes: the browser proposes the name, the text is saved, then cleared.
        recibido({"%", "O55", "N1"});
        m_respuestas = {Herramientas::vbYes};
        {
            OperadorExaminar operador({[](frmExaminar *d) { d->cmdAceptar->click(); }});
            QVERIFY(m_frm->cmdLimpiar_Click());
            QCOMPARE(operador.vistas(), 1);
        }
        QCOMPARE(leeBytes(m_progs + "/O55.TXT"), QByteArray("%\r\nO55\r\nN1\r\n"));
        QCOMPARE(texto()->count(), 0);
        QVERIFY(NombreFichero.isEmpty());
        QCOMPARE(m_frm->windowTitle(), QStringLiteral("Serial Transfer"));

        // Any other status: no question.
        m_mensajes.clear();
        texto()->setLineas({"N1"});
        QVERIFY(m_frm->cmdLimpiar_Click());
        QVERIFY(m_mensajes.isEmpty());
        QFile::remove(m_progs + "/O55.TXT");
    }

    void unsavedTextStaysWhenTheAskedForSaveDoesNotHappen()
    {
        recibido({"%", "O56", "N1"});
        // Clear: Yes, then the browser cancelled.
        m_respuestas = {Herramientas::vbYes};
        {
            OperadorExaminar operador({Cancela()});
            QVERIFY(!m_frm->cmdLimpiar_Click());
        }
        QCOMPARE(texto()->count(), 3);
        QCOMPARE(m_frm->lblEstado->text(), QStringLiteral("Not saved"));

        // Exit by the close box: the window stays.
        m_respuestas = {Herramientas::vbYes};
        {
            OperadorExaminar operador({Cancela()});
            QVERIFY(!m_frm->close());
        }
        QVERIFY(m_frm->isVisible());
        QCOMPARE(texto()->count(), 3);

        // Open asks first; Yes and a cancelled save: no browser for the open.
        m_mensajes.clear();
        m_respuestas = {Herramientas::vbYes};
        {
            OperadorExaminar operador({Cancela(), AbreFichero("o1.txt")});
            m_frm->cmdAbrir_Click();
            QCOMPARE(operador.vistas(), 1);
        }
        QCOMPARE(m_mensajes, QStringList {"Save first?|36"});
        QCOMPARE(texto()->lineas(), (QList<QByteArray> {"%", "O56", "N1"}));

        // Open, No: the file replaces the text.
        m_respuestas = {Herramientas::vbNo};
        abre("o1.txt");
        QCOMPARE(texto()->count(), 5);
        QCOMPARE(m_frm->lblEstado->text(), QStringLiteral("Opened"));
    }

    void aFailedSaveKeepsTheOldFileAndTheUnsavedMarker()
    {
        // As a user who may not write the directory (root runs it as nobody).
        QFile::setPermissions(m_dir.path(),
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                | QFileDevice::ReadOther | QFileDevice::ExeOther);
        QVERIFY(escribeBytes(m_progs + "/O57.TXT", "old\r\n"));
        QFile::setPermissions(
            m_progs + "/O57.TXT", QFileDevice::ReadOwner | QFileDevice::ReadOther);
        QFile::setPermissions(m_progs,
            QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                | QFileDevice::ExeOther);
        QFile::setPermissions(RutaIni(), QFileDevice::ReadOwner | QFileDevice::ReadOther);
        recibido({"%", "O57", "N1"});
        m_respuestas = {Herramientas::vbYes};
        const bool bien = SinPrivilegios([this] {
            OperadorExaminar operador({[](frmExaminar *d) { d->cmdAceptar->click(); }});
            const bool limpiado = m_frm->cmdLimpiar_Click();
            return !limpiado && operador.vistas() == 1 && texto()->count() == 3
                && m_frm->lblEstado->text() == QStringLiteral("Not saved")
                && NombreFichero.isEmpty()
                && m_frm->windowTitle() == QStringLiteral("Serial Transfer")
                && leeBytes(m_progs + "/O57.TXT") == "old\r\n"
                // the question, the failed write of DirGuarda, the failed save
                && m_mensajes.size() == 3
                && m_mensajes.at(2).startsWith(
                    QStringLiteral("The file %1/O57.TXT could not be saved: ").arg(m_progs))
                && m_mensajes.at(2).endsWith(QStringLiteral("|16"));
        });
        QFile::setPermissions(
            m_progs, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QFile::setPermissions(
            m_progs + "/O57.TXT", QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QFile::setPermissions(RutaIni(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QFile::remove(m_progs + "/O57.TXT");
        QVERIFY(bien);
    }

    void aFileThatCannotBeReadChangesNothing()
    {
        abre("o1.txt");
        const QString titulo = m_frm->windowTitle();
        QVERIFY(escribeBytes(m_progs + "/gone.txt", "N1\r\n"));
        m_frm->cmdAbrir->setEnabled(true);
        {
            OperadorExaminar operador({[this](frmExaminar *d) {
                EligeFichero(d, "gone.txt");
                QFile::remove(m_progs + "/gone.txt");
                d->cmdAceptar->click();
            }});
            m_frm->cmdAbrir_Click();
        }
        QCOMPARE(m_mensajes.size(), 1);
        QVERIFY2(m_mensajes.first().startsWith(
                     QStringLiteral("The file %1/gone.txt could not be read: ").arg(m_progs)),
            qPrintable(m_mensajes.first()));
        QCOMPARE(NombreFichero, m_progs + "/o1.txt");
        QCOMPARE(m_frm->windowTitle(), titulo);
        QCOMPARE(texto()->count(), 5);
        QCOMPARE(m_frm->lblEstado->text(), QStringLiteral("Opened"));
    }

    void editAndManualStartTheEditorWithThePathAsOneArgument()
    {
        // Without a current file: the exclamation box, nothing else.
        texto()->setLineas({"N1"});
        m_frm->cmdEdit_Click();
        QCOMPARE(m_mensajes, QStringList {"No file|48"});
        QCOMPARE(texto()->count(), 1);

        // A stand-in editor that records what it was given.
        const QString registro = m_dir.filePath("args.txt");
        const QString editor = m_dir.filePath("editor.sh");
        QVERIFY(escribeBytes(editor,
            "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done > \"" + registro.toUtf8()
                + ".tmp\"\nmv \"" + registro.toUtf8() + ".tmp\" \"" + registro.toUtf8() + "\"\n"));
        QFile::setPermissions(editor, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        escribeIni("Editor=" + editor.toUtf8() + "\n");
        m_mensajes.clear();
        abre("o1.txt");
        m_frm->cmdEdit_Click();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(registro), 10000);
        QCOMPARE(leeBytes(registro), "[" + m_progs.toUtf8() + "/o1.txt]");
        QCOMPARE(texto()->count(), 0);
        QVERIFY(NombreFichero.isEmpty());
        QCOMPARE(m_frm->lblEstado->text(), QStringLiteral("Empty"));

        QFile::remove(registro);
        QVERIFY(escribeBytes(m_dir.filePath("MANUAL EN.TXT"), "manual"));
        m_frm->cmdManual_Click();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(registro), 10000);
        QCOMPARE(leeBytes(registro), "[" + m_dir.filePath("MANUAL EN.TXT").toUtf8() + "]");
        QVERIFY(m_mensajes.isEmpty());

        // An editor that cannot be started: said so, and the text stays.
        escribeIni("Editor=" + m_dir.filePath("no-editor").toUtf8() + "\n");
        abre("o1.txt");
        m_frm->cmdEdit_Click();
        QCOMPARE(m_mensajes.size(), 1);
        QVERIFY2(m_mensajes.first().startsWith("The editor " + m_dir.filePath("no-editor")),
            qPrintable(m_mensajes.first()));
        QCOMPARE(texto()->count(), 5);
        QCOMPARE(NombreFichero, m_progs + "/o1.txt");
    }

    void spacingRewritesEveryLineOnce()
    {
        abre("o1.txt");
        m_frm->cmdSpace_Click();
        QCOMPARE(texto()->lineas(), (QList<QByteArray> {"%", "O1", "N10 G01 X5", "", "M30"}));
        QVERIFY(!m_frm->cmdSpace->isEnabled());
        QCOMPARE(m_frm->lblEstado->text(), QStringLiteral("Opened"));
        QCOMPARE(Herramientas::PunteroActual(), Herramientas::Puntero::Normal);
    }
};

QTEST_MAIN(FrmPrincipalTextoTest)
#include "test_frmprincipal_texto.moc"
