#include "cncpty.h"
#include "settings/varsfuncsglobales.h"
#include "shell/frmprincipal.h"
#include "shell/herramientas.h"
#include "text/textoprograma.h"
#include "transfer/codificadorenvio.h"
#include "transfer/progresoestado.h"

#include "browser/examinar_prueba.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace VarsFuncsGlobales;
using Herramientas::Puntero;

namespace {

const QByteArray kTextos = "[English]\nPrinName=Serial Transfer\nPrinTitulo=Keldan\n"
                           "PrinmsgGrabaFinal=Save first?\nPrinmsgEsperandoEntrada=Waiting\n"
                           "PrinmsgEntrando=Incoming\nPrinmsgSaliendo=Sending\n"
                           "PrinmsgLimpia=Empty\nPrinmsgAbierto=Opened\n"
                           "PrinmsgSinGuardar=Not saved\n";

QList<QByteArray> programa(int lineas)
{
    QList<QByteArray> l;
    for (int i = 0; i < lineas; ++i)
        l.append("N" + QByteArray::number(i) + " G01 X" + QByteArray::number(i * 7 % 1000)
            + ".5 Y-3.25 F1200");
    return l;
}

// Runs the event loop until the condition holds or the time is up. QTRY
// would sleep 10 ms between its looks, which starves a paced sender.
bool espera(const std::function<bool()> &condicion, int ms = 5000)
{
    QElapsedTimer reloj;
    reloj.start();
    while (!condicion()) {
        if (reloj.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
}

struct Mensaje
{
    QString texto;
    int flags;
    QString titulo;
};

} // namespace

class FrmPrincipalTransferenciaTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<CncPty> m_cnc;
    std::unique_ptr<frmPrincipal> m_frm;
    QList<Mensaje> m_mensajes;
    QList<int> m_respuestas; // answers to the next questions, No when none are left
    std::function<void()> m_alPreguntar;

    void nuevaVentana(const QByteArray &general = {}, const QString &puerto = {})
    {
        m_frm.reset();
        QFile ini(RutaIni());
        QVERIFY(ini.open(QIODevice::WriteOnly));
        // The first value of a key counts: the test's own come first.
        ini.write("[General]\n" + general
            + "Idioma=English\nCom=" + (puerto.isEmpty() ? m_cnc->ruta() : puerto).toUtf8()
            + "\nVt=115200\nPar=N\nBd=8\nBs=1\nModo=Ascii\n" + kTextos);
        ini.close();
        m_frm = std::make_unique<frmPrincipal>();
        m_frm->Form_Load();
        m_frm->show();
    }

    TextoPrograma *texto() const { return m_frm->texto(); }
    ProgresoEstado *progreso() const { return m_frm->findChild<ProgresoEstado *>(); }

    // Text as Open leaves it.
    void abierto(const QList<QByteArray> &lineas, const QString &estado = QStringLiteral("Opened"))
    {
        texto()->setLineas(lineas);
        m_frm->cmdAbrir->setEnabled(false);
        m_frm->cmdGuardar->setEnabled(true);
        m_frm->cmdPcCnc->setEnabled(true);
        m_frm->cmdSpace->setEnabled(true);
        m_frm->lblEstado->setText(estado);
    }

    bool enReposo() const
    {
        return !m_frm->Enviando && !m_frm->Recibiendo && !m_frm->MSComm1.PortOpen()
            && !m_frm->cmdStop->isEnabled() && m_frm->cmdLimpiar->isEnabled();
    }

    void compruebaReposo()
    {
        QVERIFY(enReposo());
        for (QWidget *w :
            std::initializer_list<QWidget *> {m_frm->cmdLimpiar, m_frm->cmdSalir, m_frm->cmdConfig,
                m_frm->cmdEdit, m_frm->cmdCncPc, m_frm->cmdManual, m_frm->chkModo})
            QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
        QCOMPARE(Herramientas::PunteroActual(), Puntero::Normal);
        QVERIFY(progreso() == nullptr || progreso()->isHidden());
    }

    void compruebaTransfiriendo()
    {
        QVERIFY(m_frm->cmdStop->isEnabled());
        for (QWidget *w :
            std::initializer_list<QWidget *> {m_frm->cmdLimpiar, m_frm->cmdSalir, m_frm->cmdConfig,
                m_frm->cmdEdit, m_frm->cmdAbrir, m_frm->cmdGuardar, m_frm->cmdCncPc,
                m_frm->cmdPcCnc, m_frm->cmdSpace, m_frm->cmdManual, m_frm->chkModo})
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        QVERIFY(progreso() && progreso()->isVisible());
    }

    // The bytes the CNC has got once the send's DC4 has come.
    QByteArray recibidoHastaDc4()
    {
        if (!espera([this] { return m_cnc->recibido().endsWith(0x14); }, 10000))
            qWarning("no DC4 after %lld bytes", qlonglong(m_cnc->recibido().size()));
        return m_cnc->recibido();
    }

private slots:
    void initTestCase() { EstableceDirectorioPrograma(m_dir.path()); }

    void init()
    {
        m_mensajes.clear();
        m_respuestas.clear();
        m_alPreguntar = nullptr;
        Herramientas::EstableceRespuestaMsgBox([this](const QString &p, int flags,
                                                   const QString &titulo) {
            m_mensajes.append({p, flags, titulo});
            if (m_alPreguntar)
                m_alPreguntar();
            if (flags & Herramientas::vbYesNo)
                return m_respuestas.isEmpty() ? int(Herramientas::vbNo) : m_respuestas.takeFirst();
            return int(Herramientas::vbOK);
        });
        Herramientas::EstablecePuntero(Puntero::Normal);
        NombreFichero.clear();
        m_cnc = std::make_unique<CncPty>();
        QVERIFY(m_cnc->valido());
        nuevaVentana();
    }

    void cleanup()
    {
        m_frm.reset();
        m_cnc.reset();
        Herramientas::EstableceRespuestaMsgBox({});
    }

    void sendArrivesByteExactAndPutsTheStatusBack_data()
    {
        QTest::addColumn<QByteArray>("modo");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << QByteArray("Ascii")
                               << QByteArray("\x12G00 X10\r\n\r\nM30\r\n\x14");
        QTest::newRow("iso") << QByteArray(
            "Iso") << QByteArray("\x12\x47\x30\x30\xA0\xD8\xB1\x30\x0A\x0A\x4D\x33\x30\x0A\x14");
    }

    void sendArrivesByteExactAndPutsTheStatusBack()
    {
        QFETCH(QByteArray, modo);
        QFETCH(QByteArray, bytes);
        nuevaVentana("Modo=" + modo + "\n");
        // Received, not saved yet: the marker must survive the send.
        abierto({"G00 X10", "", "M30"}, QStringLiteral("Not saved"));

        m_frm->cmdPcCnc->click();
        QCOMPARE(m_frm->lblEstado->text(), QStringLiteral("Sending"));
        QVERIFY(m_frm->Enviando);
        QCOMPARE(Herramientas::PunteroActual(), Puntero::Reloj);
        compruebaTransfiriendo();

        QCOMPARE(recibidoHastaDc4(), bytes);
        QVERIFY(espera([this] { return enReposo(); }));
        compruebaReposo();
        QCOMPARE(m_frm->lblEstado->text(), QStringLiteral("Not saved"));
        QVERIFY(m_frm->cmdGuardar->isEnabled() && m_frm->cmdPcCnc->isEnabled()
            && m_frm->cmdSpace->isEnabled() && m_frm->cmdAbrir->isEnabled());
        QCOMPARE(m_frm->lstTexto->currentIndex().row(), 2);
        QCOMPARE(progreso()->textoLinea(), QStringLiteral("3 / 3"));
        QCOMPARE(texto()->count(), 3);
    }

    void stopAfterSomeLinesSendsPercentThenDc4_data()
    {
        QTest::addColumn<bool>("iso");
        QTest::newRow("ascii") << false;
        QTest::newRow("iso") << true;
    }

    void stopAfterSomeLinesSendsPercentThenDc4()
    {
        QFETCH(bool, iso);
        nuevaVentana(iso ? "Modo=Iso\n" : "Modo=Ascii\n");
        const QList<QByteArray> lineas = programa(400);
        abierto(lineas);
        m_cnc->alRecibir = [this](const QByteArray &) {
            if (m_cnc->recibido().size() >= 300 && m_frm->cmdStop->isEnabled())
                m_frm->cmdStop->click();
        };
        m_frm->cmdPcCnc->click();
        const QByteArray llegado = recibidoHastaDc4();
        QVERIFY(espera([this] { return enReposo(); }));
        compruebaReposo();
        QCOMPARE(m_frm->lblEstado->text(), QStringLiteral("Opened"));

        // Whole lines, then the "%" (its ISO code in ISO mode) and DC4.
        QByteArray esperado(1, '\x12');
        int enviadas = 0;
        while (enviadas < lineas.size() && esperado.size() + 2 < llegado.size()) {
            CodificadorEnvio::codificaLinea(lineas.at(enviadas++), iso, esperado);
        }
        esperado.append(iso ? '\xA5' : '%').append('\x14');
        QCOMPARE(llegado, esperado);
        QVERIFY2(enviadas > 5 && enviadas < 300, qPrintable(QString::number(enviadas)));
        QCOMPARE(m_frm->lstTexto->currentIndex().row(), enviadas - 1);
        QCOMPARE(texto()->lineas(), lineas);
    }

    void isoWarningCancelChangesNothing()
    {
        nuevaVentana("Modo=Iso\n");
        abierto({"G00 X10", "M30", "(tool 3)"});
        m_frm->cmdPcCnc->click();
        QCOMPARE(m_mensajes.size(), 1);
        QCOMPARE(m_mensajes[0].flags, Herramientas::vbQuestion + Herramientas::vbYesNo);
        QCOMPARE(m_mensajes[0].titulo, QStringLiteral("Keldan"));
        QVERIFY2(
            m_mensajes[0].texto.startsWith(QStringLiteral("4 ")), qPrintable(m_mensajes[0].texto));
        QVERIFY(m_mensajes[0].texto.contains(QStringLiteral("line 3")));
        QVERIFY(!m_frm->MSComm1.PortOpen());
        compruebaReposo();
        QCOMPARE(m_frm->lblEstado->text(), QStringLiteral("Opened"));
        QVERIFY(!m_frm->cmdAbrir->isEnabled());
        QCOMPARE(CodigoIso(m_frm->TablaIso, QStringLiteral("%")), 0xA5);

        // Sent anyway, each of them goes as a 0 byte.
        m_respuestas = {Herramientas::vbYes};
        m_frm->cmdPcCnc->click();
        const QByteArray llegado = recibidoHastaDc4();
        QCOMPARE(llegado, CodificadorEnvio::codificaPrograma(texto()->lineas(), true));
        QCOMPARE(llegado.count('\0'), 4);
        QVERIFY(espera([this] { return enReposo(); }));
    }

    void receiveEndsAtDc4WithTheEmptyLastLine()
    {
        m_frm->cmdCncPc->click();
        QCOMPARE(m_frm->lblEstado->text(), QStringLiteral("Waiting"));
        QVERIFY(m_frm->Recibiendo);
        QVERIFY(m_frm->MSComm1.PortOpen());
        compruebaTransfiriendo();

        m_cnc->escribe("\x12%\n");
        QTRY_COMPARE(m_frm->lblEstado->text(), QStringLiteral("Incoming"));
        QTRY_COMPARE(Herramientas::PunteroActual(), Puntero::Reloj);
        m_cnc->escribe("O1000\r\nM30\n%\n\x14");
        QVERIFY(espera([this] { return enReposo(); }));
        compruebaReposo();
        QCOMPARE(texto()->lineas(), (QList<QByteArray> {"%", "O1000\r", "M30", "%", ""}));
        QCOMPARE(m_frm->lblEstado->text(), QStringLiteral("Not saved"));
        QVERIFY(m_frm->cmdGuardar->isEnabled() && m_frm->cmdPcCnc->isEnabled()
            && m_frm->cmdSpace->isEnabled());
        QVERIFY(!m_frm->cmdAbrir->isEnabled());
        QVERIFY(!m_frm->lstTexto->selectionModel()->hasSelection());
        QVERIFY(m_mensajes.isEmpty());
        QCOMPARE(progreso()->textoLinea(), QStringLiteral("5"));
        QVERIFY2(progreso()->textoCifras().startsWith(QStringLiteral("17 B ")),
            qPrintable(progreso()->textoCifras()));
    }

    void stopWhileWaitingLeavesTheWindowEmpty()
    {
        m_frm->cmdCncPc->click();
        m_frm->cmdStop->click();
        compruebaReposo();
        QCOMPARE(texto()->count(), 0);
        QCOMPARE(m_frm->lblEstado->text(), QStringLiteral("Empty"));
        QVERIFY(m_frm->cmdAbrir->isEnabled());
        QVERIFY(!m_frm->cmdGuardar->isEnabled() && !m_frm->cmdPcCnc->isEnabled()
            && !m_frm->cmdSpace->isEnabled());
    }

    void stopMidLineKeepsThePartialLineAndANewReceiveStartsAfresh()
    {
        m_frm->cmdCncPc->click();
        m_cnc->escribe("\x12%\nO10");
        QTRY_COMPARE(texto()->count(), 1);
        m_frm->cmdStop->click();
        compruebaReposo();
        QCOMPARE(texto()->lineas(), (QList<QByteArray> {"%", "O10"}));
        QCOMPARE(m_frm->lblEstado->text(), QStringLiteral("Not saved"));

        // Not saved: the next receive asks first, and starts from an empty line.
        m_frm->cmdCncPc->click();
        QCOMPARE(m_mensajes.size(), 1);
        QCOMPARE(m_mensajes[0].texto, QStringLiteral("Save first?"));
        m_cnc->escribe("01\n\x14");
        QVERIFY(espera([this] { return enReposo(); }));
        QCOMPARE(texto()->lineas(), (QList<QByteArray> {"01", ""}));
    }

    void receiveRefusedWhenTheUnsavedTextCouldNotBeSaved()
    {
        abierto({"%", "O1000", "M30"}, QStringLiteral("Not saved"));
        m_frm->cmdAbrir->setEnabled(false);
        m_respuestas = {Herramientas::vbYes};
        OperadorExaminar cancela({}); // the browser is closed without a file
        m_frm->cmdCncPc->click();
        QCOMPARE(m_mensajes.size(), 1);
        QCOMPARE(cancela.vistas(), 1);
        QVERIFY(!m_frm->MSComm1.PortOpen());
        compruebaReposo();
        QCOMPARE(texto()->lineas(), (QList<QByteArray> {"%", "O1000", "M30"}));
        QCOMPARE(m_frm->lblEstado->text(), QStringLiteral("Not saved"));
    }

    void missingDeviceIsReportedAndTheWindowGoesBackToIdle()
    {
        const QString falta = m_dir.filePath(QStringLiteral("ttyKELDAN9"));
        nuevaVentana({}, falta);
        abierto({"G00 X10", "M30"}, QStringLiteral("Not saved"));
        m_frm->cmdPcCnc->click();
        QCOMPARE(m_mensajes.size(), 1);
        QCOMPARE(m_mensajes[0].flags, Herramientas::vbCritical + Herramientas::vbOKOnly);
        QCOMPARE(m_mensajes[0].titulo, QStringLiteral("Keldan"));
        QVERIFY2(m_mensajes[0].texto.contains(falta), qPrintable(m_mensajes[0].texto));
        compruebaReposo();
        QCOMPARE(m_frm->lblEstado->text(), QStringLiteral("Not saved"));
        QCOMPARE(texto()->count(), 2);

        m_respuestas = {Herramientas::vbNo};
        m_frm->cmdCncPc->click();
        QCOMPARE(m_mensajes.size(), 3); // the save question, then the failure
        QVERIFY(m_mensajes[2].texto.contains(falta));
        QCOMPARE(m_mensajes[2].flags, Herramientas::vbCritical + Herramientas::vbOKOnly);
        compruebaReposo();
        QCOMPARE(m_frm->lblEstado->text(), QStringLiteral("Empty"));
        QVERIFY(m_frm->cmdAbrir->isEnabled() && !m_frm->cmdPcCnc->isEnabled());
    }

    void refusedSettingsAreReportedWithTheSettingsText()
    {
        nuevaVentana("Bd=9\nBs=1.5\n");
        QCOMPARE(m_frm->MSComm1.Settings(), QStringLiteral("115200,N,9,1.5"));
        QCOMPARE(m_frm->MSComm1.Dispositivo(), m_cnc->ruta());
        abierto({"M30"});
        m_frm->cmdPcCnc->click();
        QCOMPARE(m_mensajes.size(), 1);
        QVERIFY2(m_mensajes[0].texto.contains(QStringLiteral("115200,N,9,1.5"))
                && m_mensajes[0].texto.contains(m_cnc->ruta()),
            qPrintable(m_mensajes[0].texto));
        compruebaReposo();
        QCOMPARE(m_frm->lblEstado->text(), QStringLiteral("Opened"));
        QVERIFY(m_cnc->recibido().isEmpty());
    }

    void peerVanishingMidReceiveKeepsWhatArrived()
    {
        const QString ruta = m_cnc->ruta();
        m_frm->cmdCncPc->click();
        m_cnc->escribe("\x12%\nO1000\nN10 G0");
        QTRY_COMPARE(texto()->count(), 2);
        m_cnc->cierra();
        QVERIFY(espera([this] { return enReposo(); }));
        compruebaReposo();
        QCOMPARE(m_mensajes.size(), 1);
        QCOMPARE(m_mensajes[0].flags, Herramientas::vbCritical + Herramientas::vbOKOnly);
        QVERIFY2(m_mensajes[0].texto.contains(ruta), qPrintable(m_mensajes[0].texto));
        QCOMPARE(texto()->lineas(), (QList<QByteArray> {"%", "O1000", "N10 G0"}));
        QCOMPARE(m_frm->lblEstado->text(), QStringLiteral("Not saved"));
        QVERIFY(m_frm->cmdGuardar->isEnabled() && !m_frm->cmdAbrir->isEnabled());
    }

    void peerVanishingMidSendIsReported()
    {
        const QList<QByteArray> lineas = programa(2000);
        abierto(lineas);
        m_cnc->alRecibir = [this](const QByteArray &) {
            if (m_cnc->recibido().size() >= 500)
                QTimer::singleShot(0, m_cnc.get(), [this] { m_cnc->cierra(); });
        };
        m_frm->cmdPcCnc->click();
        QVERIFY(espera([this] { return enReposo(); }));
        compruebaReposo();
        QCOMPARE(m_mensajes.size(), 1);
        QCOMPARE(m_mensajes[0].flags, Herramientas::vbCritical + Herramientas::vbOKOnly);
        QCOMPARE(m_frm->lblEstado->text(), QStringLiteral("Opened"));
        QCOMPARE(texto()->lineas(), lineas);
    }

    void closeBoxEndsTheReceiveBeforeTheUnload()
    {
        m_frm->cmdCncPc->click();
        m_cnc->escribe("\x12%\nO1000\nN1");
        QTRY_COMPARE(texto()->count(), 2);
        // The unload's save question comes once the reception has ended.
        bool terminadaAlPreguntar = false;
        QList<QByteArray> lineasAlPreguntar;
        m_alPreguntar = [&] {
            terminadaAlPreguntar = !m_frm->Recibiendo && !m_frm->MSComm1.PortOpen();
            lineasAlPreguntar = texto()->lineas();
        };
        QVERIFY(m_frm->close());
        QCOMPARE(m_mensajes.size(), 1);
        QCOMPARE(m_mensajes[0].texto, QStringLiteral("Save first?"));
        QVERIFY(terminadaAlPreguntar);
        QCOMPARE(lineasAlPreguntar, (QList<QByteArray> {"%", "O1000", "N1"}));
        QVERIFY(m_frm->isHidden());
        QCOMPARE(texto()->count(), 0);
    }

    void closeBoxEndsTheSendWithPercentAndDc4()
    {
        abierto(programa(2000));
        m_frm->cmdPcCnc->click();
        QVERIFY(espera([this] { return m_cnc->recibido().size() > 300; }));
        QVERIFY(m_frm->close());
        // Closed only once the port was: nothing more can come.
        QVERIFY(!m_frm->MSComm1.PortOpen());
        QVERIFY(!m_frm->Enviando);
        QVERIFY(m_frm->isHidden());
        QVERIFY(recibidoHastaDc4().endsWith("\n%\x14"));
        QCOMPARE(texto()->count(), 0);
        QVERIFY(m_mensajes.isEmpty());
    }

    void timeLeftReadsAsAClock()
    {
        QCOMPARE(ProgresoEstado::tiempo(-1), QStringLiteral("--:--"));
        QCOMPARE(ProgresoEstado::tiempo(0), QStringLiteral("0:00"));
        QCOMPARE(ProgresoEstado::tiempo(59.2), QStringLiteral("1:00"));
        QCOMPARE(ProgresoEstado::tiempo(3725), QStringLiteral("1:02:05"));
        QCOMPARE(ProgresoEstado::tiempo(std::numeric_limits<double>::infinity()),
            QStringLiteral("--:--"));
    }

    void longSendThroughManyPausesArrivesByteExact_data()
    {
        QTest::addColumn<bool>("iso");
        QTest::newRow("ascii") << false;
        QTest::newRow("iso") << true;
    }

    void longSendThroughManyPausesArrivesByteExact()
    {
        QFETCH(bool, iso);
        nuevaVentana(QByteArray("Vt=1000000\nModo=") + (iso ? "Iso" : "Ascii") + "\n");
        const QList<QByteArray> lineas = programa(3000);
        abierto(lineas);
        // The CNC holds the line for 2 ms every 200 bytes; ISO controls send
        // DC3 and DC1 with their parity bit.
        int pausas = 0;
        bool parado = false;
        qint64 marca = 500;
        m_cnc->alRecibir = [&](const QByteArray &) {
            if (parado || m_cnc->recibido().size() < marca)
                return;
            m_cnc->escribe(QByteArray(1, iso ? char(0x93) : char(0x13)));
            parado = true;
            ++pausas;
            QTimer::singleShot(2, m_cnc.get(), [&] {
                parado = false;
                marca = m_cnc->recibido().size() + 200;
                m_cnc->escribe(QByteArray(1, iso ? char(0x91) : char(0x11)));
            });
        };
        m_frm->cmdPcCnc->click();
        QCOMPARE(recibidoHastaDc4(), CodificadorEnvio::codificaPrograma(lineas, iso));
        QVERIFY(espera([this] { return enReposo(); }));
        QVERIFY2(pausas > 50, qPrintable(QString::number(pausas)));
        QCOMPARE(m_frm->lstTexto->currentIndex().row(), 2999);
        QCOMPARE(progreso()->textoLinea(), QStringLiteral("3000 / 3000"));
        QVERIFY(progreso()->textoCifras().startsWith(
            QString::number(CodificadorEnvio::codificaPrograma(lineas, iso).size())
            + QStringLiteral(" B ")));
        m_cnc->alRecibir = nullptr;
    }
};

QTEST_MAIN(FrmPrincipalTransferenciaTest)
#include "tst_frmprincipal_transferencia.moc"
