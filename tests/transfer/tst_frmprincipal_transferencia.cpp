#include "comun/cncpty.h"
#include "comun/junta.h"
#include "line/codificadorenvio.h"
#include "plot/reinicio.h"
#include "settings/varsfuncsglobales.h"
#include "shell/frmprincipal.h"
#include "shell/herramientas.h"
#include "text/textoprograma.h"
#include "transfer/frmenviodesde.h"
#include "transfer/frmregistro.h"
#include "transfer/progresoestado.h"
#include "transfer/registro.h"

#include "browser/examinar_prueba.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>

using namespace VarsFuncsGlobales;
using Herramientas::Puntero;
using namespace Qt::StringLiterals;

namespace {

const QByteArray kTextos
    = "[English]\nPrinTitulo=Keldan\nPrinmsgGrabaFinal=Save first?\n"
      "PrinmsgEsperandoEntrada=Waiting\nPrinmsgEntrando=Incoming\n"
      "PrinmsgSaliendo=Sending\nPrinmsgLimpia=Empty\nPrinmsgSinGuardar=Not saved\n";

const int kError = Herramientas::vbCritical + Herramientas::vbOKOnly;

} // namespace

class FrmPrincipalTransferenciaTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<CncPty> m_cnc;
    std::unique_ptr<frmPrincipal> m_frm;
    QStringList m_mensajes; // "flags|title|prompt"
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
    QString estado() const { return m_frm->lblEstado->text(); }

    // Text as Open leaves it, with this status.
    void abierto(const QList<QByteArray> &lineas, const QString &estado)
    {
        texto()->setLineas(lineas);
        for (QWidget *w : {m_frm->cmdGuardar, m_frm->cmdPcCnc, m_frm->cmdSpace})
            w->setEnabled(true);
        m_frm->cmdAbrir->setEnabled(false);
        m_frm->lblEstado->setText(estado);
    }

    // Enabled buttons: Stop, Open, Save, Send, Spacing, then the seven that
    // do not depend on the text; the status, the pointer and the figures.
    QString ventana() const
    {
        QString s;
        for (QWidget *w : std::initializer_list<QWidget *> {m_frm->cmdStop, m_frm->cmdAbrir,
                 m_frm->cmdGuardar, m_frm->cmdPcCnc, m_frm->cmdSpace, m_frm->cmdLimpiar,
                 m_frm->cmdSalir, m_frm->cmdConfig, m_frm->cmdEdit, m_frm->cmdCncPc,
                 m_frm->cmdManual, m_frm->chkModo})
            s += w->isEnabled() ? u'1' : u'0';
        return junta(s, estado(), int(Herramientas::PunteroActual()),
            progreso() && progreso()->isVisible(), m_frm->MSComm1.PortOpen());
    }

    // At rest: Open as `abrir` says, Save, Send and Spacing with the text.
    void compruebaReposo(const QString &estado, bool abrir, const QList<QByteArray> &lineas)
    {
        QVERIFY(espera([this] { return m_frm->cmdLimpiar->isEnabled(); }));
        QCOMPARE(texto()->lineas(), lineas);
        const QString botones
            = u"0"_s + QChar(u'0' + abrir) + (lineas.isEmpty() ? u"000"_s : u"111"_s);
        QCOMPARE(
            ventana(), junta(botones + u"1111111"_s, estado, int(Puntero::Normal), false, false));
    }

    // The last of `n` messages: its kind and title, how it starts and a text it must name.
    void compruebaMensaje(int n, int flags, const QString &dicho, const QString &inicio = {})
    {
        const QString m = m_mensajes.value(m_mensajes.size() - 1);
        QCOMPARE(m_mensajes.size(), n);
        QVERIFY2(
            m.startsWith(junta(flags, u"Keldan"_s, inicio)) && m.contains(dicho), qPrintable(m));
    }

private slots:
    void initTestCase() { EstableceDirectorioPrograma(m_dir.path()); }

    void init()
    {
        m_mensajes.clear();
        m_respuestas.clear();
        m_alPreguntar = nullptr;
        Herramientas::EstableceRespuestaMsgBox(
            [this](const QString &p, int flags, const QString &titulo) {
                m_mensajes.append(junta(flags, titulo, p));
                if (m_alPreguntar)
                    m_alPreguntar();
                const bool pregunta = flags & Herramientas::vbYesNo;
                return !pregunta             ? int(Herramientas::vbOK)
                    : m_respuestas.isEmpty() ? int(Herramientas::vbNo)
                                             : m_respuestas.takeFirst();
            });
        Herramientas::EstablecePuntero(Puntero::Normal);
        m_cnc = std::make_unique<CncPty>();
        nuevaVentana();
    }

    void cleanup()
    {
        m_frm.reset();
        Herramientas::EstableceRespuestaMsgBox({});
    }

    void isoSendWarnsOfTheFirstLineShowsAHoldAndTellsWhenTheEndDidNotGetThere()
    {
        // 2 ms a character: the CNC's DC3 after the first bytes comes in time.
        nuevaVentana("Vt=4800\nModo=Iso\n");
        // Lines with nothing in them are no program: told, and nothing goes.
        abierto({"", " \t"}, u"Opened"_s);
        m_frm->cmdPcCnc->click();
        compruebaMensaje(1, Herramientas::vbExclamation, u"no program"_s);
        compruebaReposo(u"Opened"_s, false, {"", " \t"});
        m_mensajes.clear();
        const QList<QByteArray> lineas = {"(tool 3)", "", "N20 G01 X-10.5 Y22.75 F1200", "M30"};
        // Received, not saved yet: the marker must survive the send.
        abierto(lineas, u"Not saved"_s);
        m_frm->cmdPcCnc->click();
        compruebaMensaje(1, Herramientas::vbQuestion + Herramientas::vbYesNo, u"line 1"_s, u"4 "_s);
        compruebaReposo(u"Not saved"_s, false, lineas);
        QVERIFY(m_cnc->recibido().isEmpty());

        m_respuestas = {Herramientas::vbYes};
        m_cnc->pausaCadaTrozo(true, 1, 1, 60000);
        m_frm->cmdPcCnc->click();
        QCOMPARE(
            ventana(), junta(u"100000000000"_s, u"Sending"_s, int(Puntero::Reloj), true, true));
        QVERIFY(espera([this] { return estado() == u"The CNC is holding the line (1 s)"_s; }));
        m_frm->cmdStop->click();
        compruebaReposo(u"Not saved"_s, true, lineas);
        compruebaMensaje(3, kError, m_cnc->ruta(), u"The CNC did not get the end"_s);
        QVERIFY(CodificadorEnvio::codificaPrograma(lineas, true).startsWith(m_cnc->recibido()));
    }

    // The block typed into the entry box, then the confirmation answered as
    // told; what the confirmation showed: question, start block and notes.
    QString enviaDesde(const QString &bloque, const std::function<void(frmEnvioDesde *)> &responde)
    {
        QString visto = u"not shown"_s;
        QTimer vigia;
        connect(&vigia, &QTimer::timeout, this, [&] {
            QWidget *w = QApplication::activeModalWidget();
            if (auto *e = qobject_cast<QInputDialog *>(w); e && e->isVisible()) {
                e->setTextValue(bloque);
                e->accept();
            } else if (auto *d = qobject_cast<frmEnvioDesde *>(w); d && d->isVisible()) {
                vigia.stop();
                visto = junta(
                    d->lblPregunta->text(), d->txtInicio->toPlainText(), d->lblNota->text());
                responde(d);
            }
        });
        vigia.start(10);
        m_frm->mnuEnviaDesde->trigger();
        return visto;
    }

    void aSendFromABlockTakesTheHeaderTheStartBlockThenTheBlockOnwardOnlyWhenConfirmed()
    {
        const QList<QByteArray> lineas = {"%", "O12", "N10 G21 T2 M6", "N20 G54 S900 M3 M8",
            "N30 G0 X1 Y2 Z20", "N40 G1 Z-1 F200", "N50 X5", "N60 M30"};
        abierto(lineas, u"Empty"_s);
        const QString visto = junta(
            u"Send from line 7? 4 lines before it are left out; the program's header goes first. "
            u"It begins:\n\n%\nO12\nN50 X5\nN60 M30"_s,
            u"T2 M6\nG54\nG21\nS900 M3\nM8\nG90 G0 Z20.\nG0 X1. Y2.\nG1 Z-1. F200.\nG1 F200."_s,
            u"Rebuilt from the program before line 7; check it against the machine before "
            u"starting."_s);
        // No, and dismissed: nothing goes.
        QCOMPARE(enviaDesde(u" n50"_s, [](frmEnvioDesde *d) { d->cmdNo->click(); }), visto);
        QCOMPARE(enviaDesde(u"7"_s, [](frmEnvioDesde *d) { QTest::keyClick(d, Qt::Key_Escape); }),
            visto);
        QVERIFY(m_cnc->recibido().isEmpty() && m_mensajes.isEmpty());
        // Left out, the send is as it was without it.
        enviaDesde(u"N50"_s, [](frmEnvioDesde *d) {
            d->chkInicio->click();
            d->cmdSi->click();
        });
        compruebaReposo(u"Empty"_s, true, lineas);
        const QByteArray sinBloque = "\x12%\r\nO12\r\nN50 X5\r\nN60 M30\r\n\x14";
        QTRY_COMPARE(m_cnc->recibido(), sinBloque);
        // Edited, it goes after the header; a character no line carries is refused first.
        enviaDesde(u"N50"_s, [](frmEnvioDesde *d) {
            d->txtInicio->appendPlainText(u"G4 P500 (€)"_s);
            d->cmdSi->click();
            QVERIFY(d->isVisible() && d->lblNota->text().contains(u"holds €"_s));
            d->txtInicio->setPlainText(d->txtInicio->toPlainText().replace(u"(€)"_s, u""_s));
            d->cmdSi->click();
        });
        compruebaReposo(u"Empty"_s, true, lineas);
        QTRY_COMPARE(m_cnc->recibido(),
            sinBloque
                + "\x12%\r\nO12\r\nT2 M6\r\nG54\r\nG21\r\nS900 M3\r\nM8\r\nG90 G0 Z20.\r\n"
                  "G0 X1. Y2.\r\nG1 Z-1. F200.\r\nG1 F200.\r\nG4 P500\r\nN50 X5\r\nN60 "
                  "M30\r\n\x14");
        // The window keeps every line; the mark ends on its last.
        QCOMPARE(m_frm->lstTexto->currentIndex().row(), 7);
    }

    // Without a state there is no block to offer; the notes say what the
    // block cannot give back.
    void theStartBlockSaysWhatItCannotGiveBack()
    {
        frmEnvioDesde sinEstado(u"?"_s, {{}, Trazado::BloqueReinicio::SinEstado}, 7);
        QCOMPARE(junta(sinEstado.chkInicio->isChecked(), sinEstado.chkInicio->isEnabled(),
                     sinEstado.bloqueInicio().size(), sinEstado.lblNota->text()),
            u"false|false|0|The program never reaches line 8: there is no state to restart "
            u"from."_s);
        frmEnvioDesde notas(u"?"_s,
            {{"G54", " "},
                Trazado::BloqueReinicio::SinPosicion | Trazado::BloqueReinicio::ConCompensacion},
            2);
        QCOMPARE(junta(notas.bloqueInicio().join(','), notas.lblNota->text()),
            u"G54|Rebuilt from the program before line 3; check it against the machine before "
            u"starting.\nThe start point of line 3 is not known: the block does not move the "
            u"tool.\nCutter compensation is on at line 3: the block does not restore it."_s);
    }

    void closeBoxDuringASlowSendLetsTheLineAndTheEndGoOut()
    {
        // At 110 bit/s the first line takes 2.6 s on the line. Closed once
        // the line has begun (DC2 alone may go before the lines are queued).
        nuevaVentana("Vt=110\nBs=2\n");
        abierto({"N1 G01 X10.5 Y-3.25 F800", "N2 M30"}, u"Not saved"_s);
        m_frm->cmdPcCnc->click();
        QVERIFY(espera([this] { return m_cnc->recibido().size() > 1; }));
        QVERIFY(m_frm->close());
        QCOMPARE(junta(m_cnc->recibido(), m_frm->isHidden(), m_frm->MSComm1.PortOpen(),
                     m_mensajes.size()),
            junta(QByteArray("\x12N1 G01 X10.5 Y-3.25 F800\r\n%\x14"), true, false, 0));
    }

    void theMachinesLineFormatGovernsBothTransfers()
    {
        // A control that asks for the program with DC1, takes it between "%"
        // marks with LF, and sends its own without DC4.
        nuevaVentana("FinBloque=Lf\nMarco=No\nEsperaDc1=Si\nSilencio=1\n");
        abierto({"%", "M30", "%"}, u"Empty"_s);
        m_frm->cmdPcCnc->click();
        QVERIFY(espera([this] { return estado() == u"The CNC is holding the line (1 s)"_s; }));
        QVERIFY(m_cnc->recibido().isEmpty());
        m_cnc->escribe("\x11");
        compruebaReposo(u"Empty"_s, true, {"%", "M30", "%"});
        QTRY_COMPARE(m_cnc->recibido(), "%\nM30\n%\n");

        m_frm->cmdCncPc->click();
        m_cnc->escribe("%\nO1\n%\n");
        compruebaReposo(u"Not saved"_s, false, {"%", "O1", "%"});
        QVERIFY(m_frm->SinGuardar);
    }

    void isoReceiveEndsAtPercentAndTellsOfUnreadableCharacters()
    {
        nuevaVentana("Modo=Iso\n");
        m_frm->cmdCncPc->click();
        QCOMPARE(
            ventana(), junta(u"100000000000"_s, u"Waiting"_s, int(Puntero::Normal), true, true));
        m_cnc->escribe(QByteArray::fromHex("12 A5 0A"));
        QTRY_COMPARE(junta(estado(), int(Herramientas::PunteroActual())),
            junta(u"Incoming"_s, int(Puntero::Reloj)));
        // "X10" loses the parity bit of its "1" in the third line.
        m_cnc->escribe(QByteArray::fromHex("CF B1 0A D8 31 30 0A 4D 33 30 0A A5"));
        compruebaReposo(u"Not saved"_s, false, {"%", "O1", "X0", "M30", "%"});
        compruebaMensaje(1, Herramientas::vbExclamation, u"in lines 3."_s, u"1 characters"_s);
        QVERIFY(!m_frm->lstTexto->selectionModel()->hasSelection());
    }

    void panelsReadWholeAndTheProgressFiguresAsFed()
    {
        const QString porId = u"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"_s;
        // The first panel narrower than its text, or 7 when all fit the bar.
        const auto cortado = [this] {
            int i = 0;
            while (i < 7 && m_frm->Panels[i]->width() >= m_frm->Panels[i]->sizeHint().width())
                ++i;
            return i < 7 || m_frm->Panels[6]->geometry().right() < m_frm->StatusBar1->width() ? i
                                                                                              : 8;
        };
        nuevaVentana("Nego=RtsCts\n", porId);
        QTRY_COMPARE(junta(cortado(), m_frm->Panel(1), m_frm->Panels[0]->toolTip()),
            junta(7, u" …A50285BI-if00-port0"_s, porId));
        nuevaVentana();
        m_frm->cmdCncPc->click();
        QTRY_COMPARE(junta(cortado(), progreso()->isVisible()), u"7|true"_s);
        m_frm->cmdStop->click();

        ProgresoEstado *p = progreso();
        p->empiezaEnvio();
        p->actualiza({7, 40, 500, 2000, 250, 3725, -1});
        QCOMPARE(p->textoLinea() + u'|' + p->textoCifras(), u"7 / 40|500 B  250 B/s  -1:02:05"_s);
        p->empiezaRecepcion();
        p->actualiza({3, 0, 480, 0, 960, 59.2, -1});
        QCOMPARE(p->textoLinea() + u'|' + p->textoCifras(), u"3|480 B  960 B/s"_s);
        QCOMPARE(ProgresoEstado::tiempo(59.2) + ProgresoEstado::tiempo(-1), u"1:00--:--"_s);
    }

    void missingDeviceIsReportedAndTheWindowGoesBackToIdle()
    {
        const QString ruta = m_dir.filePath(u"ttyKELDAN9"_s);
        nuevaVentana({}, ruta);
        abierto({"G00 X10", "M30"}, u"Not saved"_s);
        m_frm->cmdPcCnc->click();
        compruebaMensaje(1, kError, ruta);
        compruebaReposo(u"Not saved"_s, true, {"G00 X10", "M30"});

        // A port or speed written amiss opens nothing, COM1 least of all:
        // the message names the values to choose again.
        nuevaVentana("Vt=96OO\n", u"abc"_s);
        abierto({"G00 X10", "M30"}, u"Not saved"_s);
        m_frm->cmdPcCnc->click();
        compruebaMensaje(2, kError, u"Com=\"abc\", Vt=\"96OO\""_s, u"Section General of"_s);
        compruebaReposo(u"Not saved"_s, true, {"G00 X10", "M30"});
    }

    void stoppedOrRefusedReceivesKeepTheTextAndTheCloseBoxEndsOne()
    {
        m_frm->cmdCncPc->click();
        m_frm->cmdStop->click();
        compruebaReposo(u"Empty"_s, true, {});

        // Stopped mid-line: the partial line is the last. Not saved, the next
        // receive asks first, and is refused when the save does not happen
        // (the browser is closed without a file).
        m_frm->cmdCncPc->click();
        m_cnc->escribe("\x12%\nO10");
        QTRY_COMPARE(texto()->count(), 1);
        m_frm->cmdStop->click();
        m_respuestas = {Herramientas::vbYes};
        {
            OperadorExaminar cancela({});
            m_frm->cmdCncPc->click();
            QCOMPARE(junta(m_mensajes.size(), m_mensajes.value(0), cancela.vistas()),
                u"1|36|Keldan|Save first?|1"_s);
        }
        compruebaReposo(u"Not saved"_s, false, {"%", "O10"});

        // Not saved on purpose; the close box ends this reception before the
        // unload asks its save question.
        m_frm->cmdCncPc->click();
        m_cnc->escribe("\x12%\nO1000\nN1");
        QTRY_COMPARE(texto()->count(), 2);
        QString alPreguntar;
        m_alPreguntar = [&] {
            alPreguntar = junta(m_frm->Recibiendo, m_frm->MSComm1.PortOpen(),
                QString::fromLatin1(texto()->lineas().join(',')));
        };
        QVERIFY(m_frm->close());
        QCOMPARE(junta(m_mensajes.size(), m_mensajes.value(2), alPreguntar, m_frm->isHidden()),
            u"3|36|Keldan|Save first?|false|false|%,O1000,N1|true"_s);
    }

    void continuousReceiveShowsEachSavedProgramAndKeepsOneThatCouldNotBeSaved()
    {
        const QString carpeta = m_dir.path();
        QFile::remove(DirectorioAjustes() + u"/KELDAN.LOG"_s);
        // The machine's receive folder goes before the save folder.
        nuevaVentana("DirGuarda=/nowhere/\nDirRecepcion=" + carpeta.toUtf8() + "\n");
        m_frm->mnuRecepcionContinua->trigger();
        m_cnc->escribe("\x12%\nO21\n\x14\x12%\nO22\n");
        QTRY_COMPARE(texto()->lineas(), (QList<QByteArray> {"%", "O22"}));
        QVERIFY(m_frm->Recibiendo && estado().contains(u"/O21.TXT (2 lines)  Programs saved: 1"_s));
        m_frm->cmdStop->click();
        compruebaReposo(u"Saved %1/O22-INCOMPLETO.TXT (2 lines)  Programs saved: 2"_s.arg(carpeta),
            false, {"%", "O22"});
        QVERIFY(!m_frm->SinGuardar);

        // A file where the folder should be: the program stays, unsaved, and
        // the one that came right after it is logged apart, never shown.
        nuevaVentana("DirGuarda=" + carpeta.toUtf8() + "/O21.TXT\n");
        m_frm->mnuRecepcionContinua->trigger();
        m_cnc->escribe("\x12O5\n\x14\x12O6\nG1\n\x14");
        compruebaReposo(u"Not saved"_s, false, {"O5"});
        QVERIFY(m_frm->SinGuardar);
        compruebaMensaje(1, kError, u"receive stopped"_s,
            u"The program could not be saved in %1/O21.TXT"_s.arg(carpeta));

        // A program cut by a lost port, and a port that does not open: each
        // logged as failed, with the reason.
        nuevaVentana("DirRecepcion=" + carpeta.toUtf8() + "\n");
        m_frm->mnuRecepcionContinua->trigger();
        m_cnc->escribe("\x12%\nO23\nG1");
        QTRY_COMPARE(texto()->count(), 2);
        m_cnc->cierra();
        QTRY_VERIFY(!m_frm->Recibiendo);
        nuevaVentana({}, m_dir.filePath(u"ttyKELDAN9"_s));
        m_frm->mnuRecepcionContinua->trigger();
        QTRY_VERIFY(!m_frm->Recibiendo);
        QStringList registro;
        for (const EntradaRegistro &e :
            RegistroTransferencias(DirectorioAjustes() + u"/KELDAN.LOG"_s).lee().entradas)
            registro.append(junta(
                QFileInfo(e.fichero).fileName(), e.lineas, int(e.resultado), !e.motivo.isEmpty()));
        QCOMPARE(registro,
            (QStringList {u"O21.TXT|2|0|false"_s, u"O22-INCOMPLETO.TXT|2|1|false"_s, u"|1|2|true"_s,
                u"|2|2|true"_s, u"O23-INCOMPLETO.TXT|3|2|true"_s, u"|0|2|true"_s}));
    }

    void aReceiveStopsAtTheProgramLimitAndKeepsWhatCame()
    {
        nuevaVentana("MaxPrograma=1\n");
        m_frm->cmdCncPc->click();
        QByteArray largo = "\x12%\nO1\n";
        while (largo.size() < 1024 * 1024 + 100)
            largo += "N1 G01 X1.000 Y2.000\n";
        // Written while the reception reads: it holds the line while it decodes.
        std::thread cnc([&] { m_cnc->escribe(largo); });
        const bool parada = espera([this] { return !m_frm->Recibiendo; }, 20000);
        cnc.join();
        const QByteArray recibido = texto()->lineas().join('\n');
        QVERIFY(parada && recibido.size() > 1000000 && largo.startsWith("\x12" + recibido));
        QCOMPARE(junta(estado(), m_frm->SinGuardar), u"Not saved|true"_s);
        compruebaMensaje(1, kError, u"1 MiB"_s);
    }

    void aSendIsLoggedAndTheLogWindowShowsItFirstAndByMachine()
    {
        const QString ruta = DirectorioAjustes() + u"/KELDAN.LOG"_s;
        QFile::remove(ruta);
        VarsFuncsGlobales::Maquina = u"Lathe"_s;
        m_frm->cmdCncPc->click();
        m_frm->cmdStop->click();
        VarsFuncsGlobales::Maquina = u"Mill 2"_s;
        NombreFichero = m_dir.filePath(u"P1.NC"_s);
        abierto({"G00 X10", "M30"}, u"Empty"_s);
        m_frm->cmdPcCnc->click();
        compruebaReposo(u"Empty"_s, true, {"G00 X10", "M30"});
        frmRegistro w(ruta);
        // The first row of the machine chosen, without its date and duration.
        const auto primera = [&w](const QString &maquina) {
            w.cmbMaquina->setCurrentIndex(w.cmbMaquina->findText(maquina));
            QStringList s = {QString::number(w.grdRegistro->rowCount())};
            for (int c : {1, 2, 3, 4, 5, 6, 8, 9, 10})
                s.append(w.grdRegistro->item(0, c)->text());
            return s.join(u'|');
        };
        // Bytes as the CNC counts them, once they have all come.
        QTRY_COMPARE(primera(u"All machines"_s),
            junta(2, u"Send|Mill 2"_s, m_cnc->ruta(), u"P1.NC|2"_s, m_cnc->recibido().size(),
                u"Complete|0|0"_s));
        QCOMPARE(primera(u"Lathe"_s),
            junta(1, u"Receive|Lathe"_s, m_cnc->ruta(), u"|0|0|Stopped|0|0"_s));
    }
};

QTEST_MAIN(FrmPrincipalTransferenciaTest)
#include "tst_frmprincipal_transferencia.moc"
