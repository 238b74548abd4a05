#include "settings/varsfuncsglobales.h"
#include "shell/frmprincipal.h"
#include "shell/herramientas.h"
#include "text/textoprograma.h"

#include "browser/examinar_prueba.h"
#include "comun/sinprivilegios.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace VarsFuncsGlobales;

namespace {

const QByteArray kTextos
    = "[English]\nNombreManual=MANUAL EN.TXT\nPrinName=Serial Transfer\nPrinTitulo=Keldan\n"
      "PrinContenido=No file\nPrinmsgGrabaFinal=Save first?\nPrinmsgLimpia=Empty\n"
      "PrinmsgAbierto=Opened\nPrinmsgGuardado=Saved\nPrinmsgSinGuardar=Not saved\n";
const QByteArray kO1 = "%\r\nO1\r\nN10G01X5\r\n\r\nM30\r\n";
const auto kLectura = QFileDevice::ReadOwner | QFileDevice::ReadOther;
const auto kEntrada = kLectura | QFileDevice::ExeOwner | QFileDevice::ExeOther;
const auto kPropio = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

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

    TextoPrograma *texto() const { return m_frm->texto(); }

    // Line count, status, current file and title, compared at once.
    QString situacion() const
    {
        return QStringLiteral("%1|%2|%3|%4")
            .arg(texto()->count())
            .arg(m_frm->lblEstado->text(), NombreFichero, m_frm->windowTitle());
    }
    QString situacion(int lineas, const QString &estado, const QString &fichero = {}) const
    {
        const QString titulo = fichero.isEmpty() ? QStringLiteral("Serial Transfer")
                                                 : "Serial Transfer - [" + fichero + "]";
        return QStringLiteral("%1|%2|%3|%4").arg(lineas).arg(estado, fichero, titulo);
    }

    // Text as a receive leaves it: not saved, nothing current.
    void recibido(const QList<QByteArray> &lineas)
    {
        texto()->setLineas(lineas);
        m_frm->lblEstado->setText(QStringLiteral("Not saved"));
        m_frm->SinGuardar = true;
    }

    // Opens that file of the programs' directory through the browser, shown once.
    QString abre(const QString &nombre)
    {
        m_frm->cmdAbrir->setEnabled(true);
        OperadorExaminar operador({AbreFichero(nombre)});
        m_frm->cmdAbrir_Click();
        return operador.vistas() == 1 ? situacion() : QStringLiteral("browser not shown once");
    }

    void unMensaje(const QString &inicio)
    {
        QCOMPARE(m_mensajes.size(), 1);
        QVERIFY2(m_mensajes.first().startsWith(inicio), qPrintable(m_mensajes.first()));
        m_mensajes.clear();
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
        QVERIFY(escribeBytes(m_progs + "/o1.txt", kO1));
        m_frm = std::make_unique<frmPrincipal>();
        m_frm->Form_Load();
        m_frm->show();
    }

    void cleanup()
    {
        m_frm.reset();
        Herramientas::EstableceRespuestaMsgBox({});
    }

    void openSaveAndSpaceAndWhatLeavesTheWindowAsItWas()
    {
        const QString o1 = m_progs + "/o1.txt";
        QVERIFY(escribeBytes(m_progs + "/vacio.txt", ""));
        QCOMPARE(abre("vacio.txt"), situacion(0, "Opened", m_progs + "/vacio.txt"));
        QCOMPARE(abre("o1.txt"), situacion(5, "Opened", o1));
        QCOMPARE(texto()->lineas(), (QList<QByteArray> {"%", "O1", "N10G01X5", "", "M30"}));
        QVERIFY(!m_frm->cmdAbrir->isEnabled() && m_frm->cmdGuardar->isEnabled()
            && m_frm->cmdSpace->isEnabled());

        // Browsing cancelled, then a file that vanishes before it is read.
        m_frm->cmdAbrir->setEnabled(true);
        {
            OperadorExaminar operador({}); // cancels every showing
            m_frm->cmdAbrir_Click();
            QVERIFY(!m_frm->cmdGuardar_Click());
            QCOMPARE(operador.vistas(), 2);
        }
        QVERIFY(escribeBytes(m_progs + "/gone.txt", "N1\r\n"));
        {
            OperadorExaminar operador({[this](frmExaminar *d) {
                EligeFichero(d, "gone.txt");
                QFile::remove(m_progs + "/gone.txt");
                d->cmdAceptar->click();
            }});
            m_frm->cmdAbrir_Click();
        }
        unMensaje(QStringLiteral("The file %1/gone.txt could not be read: ").arg(m_progs));
        QCOMPARE(situacion(), situacion(5, "Opened", o1));
        QCOMPARE(leeBytes(o1), kO1);

        // Saved under its upper-cased name, it overwrites the same file byte for byte.
        QVERIFY(escribeBytes(o1, "changed"));
        {
            OperadorExaminar operador({[](frmExaminar *d) {
                d->txtPlano->setText("o1.txt");
                d->cmdAceptar->click();
            }});
            QVERIFY(m_frm->cmdGuardar_Click());
        }
        QCOMPARE(leeBytes(o1), kO1);
        QCOMPARE(QDir(m_progs).entryList({"o1.txt"}, QDir::Files), QStringList {"o1.txt"});
        QCOMPARE(situacion(), situacion(5, "Saved", o1));

        m_frm->cmdSpace_Click();
        QCOMPARE(texto()->lineas(), (QList<QByteArray> {"%", "O1", "N10 G01 X5", "", "M30"}));
        QVERIFY(!m_frm->cmdSpace->isEnabled() && m_mensajes.isEmpty());
        QCOMPARE(Herramientas::PunteroActual(), Herramientas::Puntero::Normal);
    }

    void unsavedTextIsSavedOnlyWhenAskedAndStaysWhenTheSaveDoesNotHappen()
    {
        // Clear, No: cleared without saving.
        recibido({"%", "O55", "N1"});
        QVERIFY(m_frm->cmdLimpiar_Click());
        QCOMPARE(m_mensajes, QStringList {"Save first?|36"});
        QCOMPARE(situacion(), situacion(0, "Empty"));
        QVERIFY(!QFile::exists(m_progs + "/O55.TXT"));

        // Clear, Yes: the browser proposes the name, the text is saved, then cleared.
        recibido({"%", "O55", "N1"});
        m_respuestas = {Herramientas::vbYes};
        {
            OperadorExaminar operador({[](frmExaminar *d) { d->cmdAceptar->click(); }});
            QVERIFY(m_frm->cmdLimpiar_Click());
            QCOMPARE(operador.vistas(), 1);
        }
        QCOMPARE(leeBytes(m_progs + "/O55.TXT"), QByteArray("%\r\nO55\r\nN1\r\n"));
        QCOMPARE(situacion(), situacion(0, "Empty"));

        // Any other status: no question.
        m_mensajes.clear();
        texto()->setLineas({"N1"});
        QVERIFY(m_frm->cmdLimpiar_Click());
        QVERIFY(m_mensajes.isEmpty());

        // Yes, then the browser cancelled: Clear, the close box and Open do not go on.
        recibido({"%", "O56", "N1"});
        m_respuestas = {Herramientas::vbYes, Herramientas::vbYes, Herramientas::vbYes};
        {
            OperadorExaminar operador({}); // no browser for the open itself
            QVERIFY(!m_frm->cmdLimpiar_Click());
            QVERIFY(!m_frm->close());
            m_frm->cmdAbrir_Click();
            QCOMPARE(operador.vistas(), 3);
        }
        QCOMPARE(m_mensajes, QStringList(3, "Save first?|36"));
        QVERIFY(m_frm->isVisible());
        QCOMPARE(texto()->lineas(), (QList<QByteArray> {"%", "O56", "N1"}));
        QCOMPARE(situacion(), situacion(3, "Not saved"));

        // Open, No: the file replaces the text.
        QCOMPARE(abre("o1.txt"), situacion(5, "Opened", m_progs + "/o1.txt"));
    }

    void aFailedSaveKeepsTheOldFileAndTheUnsavedMarker()
    {
        // As a user who may not write the directory (root runs it as nobody).
        QFile::setPermissions(m_dir.path(), kEntrada | QFileDevice::WriteOwner);
        QVERIFY(escribeBytes(m_progs + "/O57.TXT", "old\r\n"));
        QFile::setPermissions(m_progs + "/O57.TXT", kLectura);
        QFile::setPermissions(m_progs, kEntrada);
        QFile::setPermissions(RutaIni(), kLectura);
        recibido({"%", "O57", "N1"});
        m_respuestas = {Herramientas::vbYes};
        const bool bien = SinPrivilegios([this] {
            OperadorExaminar operador({[](frmExaminar *d) { d->cmdAceptar->click(); }});
            return !m_frm->cmdLimpiar_Click() && operador.vistas() == 1
                && situacion() == situacion(3, "Not saved")
                && leeBytes(m_progs + "/O57.TXT") == "old\r\n"
                // the question, the failed write of DirGuarda, the failed save
                && m_mensajes.size() == 3
                && m_mensajes.at(2).startsWith(
                    QStringLiteral("The file %1/O57.TXT could not be saved: ").arg(m_progs))
                && m_mensajes.at(2).endsWith(QStringLiteral("|16"))
                && !m_mensajes.at(2).endsWith(QStringLiteral(": |16")); // a reason
        });
        for (const QString &f : {m_progs, m_progs + "/O57.TXT", RutaIni()})
            QFile::setPermissions(f, kPropio);
        QVERIFY(bien);
    }

    void editAndManualStartTheEditorWithThePathAsOneArgument()
    {
        // Without a current file: the exclamation box, nothing else.
        texto()->setLineas({"N1"});
        m_frm->cmdEdit_Click();
        QCOMPARE(m_mensajes, QStringList {"No file|48"});
        QCOMPARE(texto()->count(), 1);

        // A stand-in editor that records what it was given.
        const QByteArray registro = m_dir.filePath("args.txt").toUtf8();
        const QString editor = m_dir.filePath("editor.sh");
        QVERIFY(escribeBytes(editor,
            "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done > \"" + registro
                + ".tmp\"\nmv \"" + registro + ".tmp\" \"" + registro + "\"\n"));
        QFile::setPermissions(editor, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        escribeIni("Editor=" + editor.toUtf8() + "\n");
        m_mensajes.clear();
        QCOMPARE(abre("o1.txt"), situacion(5, "Opened", m_progs + "/o1.txt"));
        m_frm->cmdEdit_Click();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(registro), 10000);
        QCOMPARE(leeBytes(registro), "[" + m_progs.toUtf8() + "/o1.txt]");
        QCOMPARE(situacion(), situacion(0, "Empty"));

        QFile::remove(registro);
        QVERIFY(escribeBytes(m_dir.filePath("MANUAL EN.TXT"), "manual"));
        m_frm->cmdManual_Click();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(registro), 10000);
        QCOMPARE(leeBytes(registro), "[" + m_dir.filePath("MANUAL EN.TXT").toUtf8() + "]");
        QVERIFY(m_mensajes.isEmpty());

        // An editor that cannot be started: said so, and the text stays.
        escribeIni("Editor=" + m_dir.filePath("no-editor").toUtf8() + "\n");
        QCOMPARE(abre("o1.txt"), situacion(5, "Opened", m_progs + "/o1.txt"));
        m_frm->cmdEdit_Click();
        unMensaje("The editor " + m_dir.filePath("no-editor"));
        QCOMPARE(situacion(), situacion(5, "Opened", m_progs + "/o1.txt"));
    }
};

QTEST_MAIN(FrmPrincipalTextoTest)
#include "test_frmprincipal_texto.moc"
