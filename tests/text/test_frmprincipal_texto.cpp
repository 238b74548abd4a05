#include "settings/varsfuncsglobales.h"
#include "shell/frmprincipal.h"
#include "shell/herramientas.h"
#include "text/textoprograma.h"

#include "browser/examinar_prueba.h"
#include "comun/junta.h"
#include "comun/sinprivilegios.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include <sys/resource.h>

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

    void unsavedTextGoesOnlyWhenAnsweredNoOrSaved()
    {
        // No: cleared without saving. Yes: the browser proposes the name, saved, cleared.
        for (int respuesta : {Herramientas::vbNo, Herramientas::vbYes}) {
            recibido({"%", "O55", "N1"});
            m_respuestas = {respuesta};
            m_mensajes.clear();
            OperadorExaminar operador({[](frmExaminar *d) { d->cmdAceptar->click(); }});
            QVERIFY(m_frm->cmdLimpiar_Click());
            QCOMPARE(junta(m_mensajes.join(u'/'), operador.vistas(), situacion()),
                junta(QStringLiteral("Save first?|36"), int(respuesta == Herramientas::vbYes),
                    situacion(0, "Empty")));
            QCOMPARE(leeBytes(m_progs + "/O55.TXT"),
                respuesta == Herramientas::vbYes ? "%\r\nO55\r\nN1\r\n" : "<missing>");
        }
        // Any other status: no question.
        m_mensajes.clear();
        texto()->setLineas({"N1"});
        QVERIFY(m_frm->cmdLimpiar_Click());
        QVERIFY(m_mensajes.isEmpty());

        // Yes with the browser cancelled, or the question dismissed: Clear,
        // the close box and Open do not go on.
        for (int respuesta : {Herramientas::vbYes, Herramientas::vbCancel}) {
            recibido({"%", "O56", "N1"});
            m_respuestas = QList<int>(3, respuesta);
            m_mensajes.clear();
            OperadorExaminar operador({});
            QVERIFY(!m_frm->cmdLimpiar_Click());
            QVERIFY(!m_frm->close());
            m_frm->cmdAbrir_Click();
            QCOMPARE(junta(operador.vistas(), m_mensajes.size(), m_frm->isVisible(), situacion()),
                junta(
                    respuesta == Herramientas::vbYes ? 3 : 0, 3, true, situacion(3, "Not saved")));
        }
        // Open, No: the file replaces the text.
        QCOMPARE(abre("o1.txt"), situacion(5, "Opened", m_progs + "/o1.txt"));
    }

    // Saves as a user who may not write every folder (root runs it as nobody):
    // a read-only file, a writable file in a read-only folder, and a save
    // whose last write fails (the file size limit stands for a full disk).
    void saveFailuresKeepTheOldFileAndTheMarker_data()
    {
        QTest::addColumn<bool>("carpeta"); // the folder may be written
        QTest::addColumn<bool>("fichero"); // the file may be written
        QTest::addColumn<bool>("limite");
        QTest::addColumn<QString>("razon"); // empty: saved
        QTest::newRow("read-only file") << false << false << false << "Permission denied";
        QTest::newRow("read-only folder") << false << true << false << "";
        QTest::newRow("disk full") << true << true << true << "File too large";
    }

    void saveFailuresKeepTheOldFileAndTheMarker()
    {
        QFETCH(bool, carpeta);
        QFETCH(bool, fichero);
        QFETCH(bool, limite);
        QFETCH(QString, razon);
        const QString o57 = m_progs + "/O57.TXT";
        QVERIFY(escribeBytes(o57, "old\r\n"));
        const auto todos = kEntrada | QFileDevice::WriteOwner | QFileDevice::WriteOther;
        QFile::setPermissions(o57, fichero ? kLectura | QFileDevice::WriteOther : kLectura);
        QFile::setPermissions(m_progs, carpeta ? todos : kEntrada);
        QFile::setPermissions(m_dir.path(), kEntrada | QFileDevice::WriteOwner);
        recibido({"%", "O57", "N1"});
        m_respuestas = {Herramientas::vbYes};
        const QString esperado = razon.isEmpty()
            ? junta(situacion(0, "Empty"), QStringLiteral("%\r\nO57\r\nN1\r\n"))
            : junta(situacion(3, "Not saved"), QStringLiteral("old\r\n"));
        const QString mensaje
            = QStringLiteral("The file %1 could not be saved: %2|16").arg(o57, razon);
        const bool bien = SinPrivilegios([&] {
            const rlimit tope {8, RLIM_INFINITY};
            signal(SIGXFSZ, SIG_IGN);
            if (limite && setrlimit(RLIMIT_FSIZE, &tope) != 0)
                return false;
            OperadorExaminar operador({[](frmExaminar *d) { d->cmdAceptar->click(); }});
            m_frm->cmdLimpiar_Click();
            return junta(situacion(), leeBytes(o57)) == esperado
                && (razon.isEmpty() || m_mensajes.last() == mensaje);
        });
        for (const QString &f : {m_dir.path(), m_progs, o57})
            QFile::setPermissions(f, kPropio);
        QFile::remove(o57);
        QVERIFY(bien);
    }

    void editAndManualStartTheEditorWithThePathAsOneArgument()
    {
        // Without a current file: the exclamation box, nothing else.
        texto()->setLineas({"N1"});
        m_frm->cmdEdit_Click();
        QCOMPARE(m_mensajes, QStringList {"No file|48"});
        QCOMPARE(texto()->count(), 1);

        // A stand-in editor that records what it was given, and ends as told.
        const QByteArray registro = m_dir.filePath("args.txt").toUtf8();
        const QString editor = m_dir.filePath("editor.sh");
        QVERIFY(escribeBytes(editor,
            "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done > \"" + registro
                + ".tmp\"\nmv \"" + registro + ".tmp\" \"" + registro + "\"\nexit $FIN\n"));
        QFile::setPermissions(editor, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        escribeIni("Editor=" + editor.toUtf8() + "\n");
        const std::pair<const char *, QString> casos[] = {
            {"0", situacion(0, "Empty")}, // it took the file: the window lets go of it
            {"3", "The editor " + editor + " could not be started: exit 3|16"}, // nothing opened
        };
        for (const auto &[fin, despues] : casos) {
            qputenv("FIN", fin);
            m_mensajes.clear();
            QFile::remove(registro);
            QCOMPARE(abre("o1.txt"), situacion(5, "Opened", m_progs + "/o1.txt"));
            m_frm->cmdEdit_Click();
            QTRY_VERIFY_WITH_TIMEOUT(m_mensajes.size() + texto()->count() != 5, 10000);
            QCOMPARE(leeBytes(registro), "[" + m_progs.toUtf8() + "/o1.txt]");
            QCOMPARE(m_mensajes.isEmpty() ? situacion() : m_mensajes.join(u'/'), despues);
        }

        qputenv("FIN", "0");
        QFile::remove(registro);
        QVERIFY(escribeBytes(m_dir.filePath("MANUAL EN.TXT"), "manual"));
        m_frm->cmdManual_Click();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(registro), 10000);
        QCOMPARE(leeBytes(registro), "[" + m_dir.filePath("MANUAL EN.TXT").toUtf8() + "]");

        // An editor that cannot be started: said so, and the text stays.
        escribeIni("Editor=" + m_dir.filePath("no-editor").toUtf8() + "\n");
        QCOMPARE(abre("o1.txt"), situacion(5, "Opened", m_progs + "/o1.txt"));
        m_mensajes.clear();
        m_frm->cmdEdit_Click();
        QTRY_COMPARE(m_mensajes,
            QStringList {"The editor " + m_dir.filePath("no-editor")
                + " could not be started: No such file or directory|16"});
        QCOMPARE(situacion(), situacion(5, "Opened", m_progs + "/o1.txt"));
    }

    // The view scrolls to the longest line wherever it is, and a line of
    // megabytes is drawn from its first few thousand characters only.
    void longLinesCanBeScrolledToAndStayWhole()
    {
        const QByteArray enorme(5 * 1024 * 1024, 'X');
        texto()->setLineas({"N1", "N2"});
        QCOMPARE(m_frm->lstTexto->horizontalScrollBar()->maximum(), 0);
        texto()->append({"N3", QByteArray(300, 'G'), "N4"});
        QTRY_VERIFY(m_frm->lstTexto->horizontalScrollBar()->maximum() > 1000);
        texto()->setLinea(3, "N5");
        QTRY_COMPARE(m_frm->lstTexto->horizontalScrollBar()->maximum(), 0);
        texto()->setLinea(0, enorme);
        const QString mostrado = texto()->index(0).data().toString();
        QCOMPARE(
            junta(mostrado.size(), mostrado.endsWith(QChar(0x2026)), texto()->linea(0) == enorme),
            junta(TextoPrograma::kMostrado + 1, true, true));
    }
};

QTEST_MAIN(FrmPrincipalTextoTest)
#include "test_frmprincipal_texto.moc"
