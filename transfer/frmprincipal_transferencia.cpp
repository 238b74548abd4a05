// The main window's serial handlers: port setup, transfer mode, sending and
// receiving.
#include "shell/frmprincipal.h"

#include "base/textovisible.h"

#include "line/codificadorenvio.h"
#include "line/direccionremota.h"
#include "line/parametroslinea.h"
#include "plot/reinicio.h"
#include "port/frmcomprobacion.h"
#include "settings/maquinas.h"
#include "settings/varsfuncsglobales.h"
#include "shell/herramientas.h"
#include "text/ficheroprograma.h"
#include "text/textoprograma.h"
#include "transfer/frmenviodesde.h"
#include "transfer/frmlistaremota.h"
#include "transfer/frmregistro.h"
#include "transfer/progresoestado.h"

#include <QCheckBox>
#include <QDir>
#include <QEventLoop>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStatusBar>

#include <utility>

using namespace VarsFuncsGlobales;
using Herramientas::Puntero;

namespace {

// Received lines reach the text window at most this often.
constexpr int kVolcadoMs = 40;
// Lines named in the message about unreadable characters.
constexpr qsizetype kLineasAviso = 5;
// Lines from the chosen one shown before a send from a line, and how much
// of each: enough to recognise the block without a huge message box.
constexpr qsizetype kLineasMuestra = 3;
constexpr qsizetype kAnchoMuestra = 60;

bool modoIso()
{
    return ModoTransmision == QLatin1String("Iso");
}

// A log that cannot be written is said once a session, not at every transfer.
bool g_registroAvisado = false;

QString rutaRegistro()
{
    QString dir = DirectorioAjustes();
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir + QStringLiteral("KELDAN.LOG");
}

// A remote machine's address as the operator reads it (never with a password).
QString textoDireccionRemota()
{
    const std::optional<DireccionRemota> d = DireccionRemota::interpreta(PuertoDispositivo);
    return d ? d->texto() : DireccionRemota::sinContrasena(PuertoDispositivo);
}

EntradaRegistro empiezaEntrada(EntradaRegistro::Sentido sentido, const MSComm &puerto)
{
    EntradaRegistro e;
    e.inicio = QDateTime::currentDateTime();
    e.sentido = sentido;
    e.maquina = VarsFuncsGlobales::Maquina;
    e.puerto = PuertoCom == 0 && DireccionRemota::esRemota(PuertoDispositivo)
        ? textoDireccionRemota()
        : puerto.Dispositivo();
    if (sentido == EntradaRegistro::Sentido::Envio)
        e.fichero = NombreFichero;
    return e;
}

// Appends the finished transfer's record; the warning to show, if any. The
// transfer's own outcome is told whatever happens here.
QString anotaRegistro(EntradaRegistro &e, const ResultadoTransferencia &r, qint64 ms)
{
    e.duracionMs = ms;
    e.resultado = r.estado;
    e.motivo = r.error;
    e.ilegibles = r.ilegibles;
    QString error;
    if (RegistroTransferencias(rutaRegistro()).anade(e, &error) || g_registroAvisado)
        return {};
    g_registroAvisado = true;
    return Texto(QStringLiteral("RegistroErrorEscritura")).arg(rutaRegistro(), error);
}

// The warning about characters dropped for a wrong parity bit; lines from 1,
// as the operator counts them (and as the ISO send warning does).
QString avisoParidad(const ResultadoTransferencia &r)
{
    QStringList lineas;
    for (qint64 l : r.lineasIlegibles.first(qMin(kLineasAviso, r.lineasIlegibles.size())))
        lineas.append(QString::number(l + 1));
    if (r.lineasIlegibles.size() > kLineasAviso)
        lineas.append(QStringLiteral("…"));
    return Texto(QStringLiteral("PrinAvisoParidad"))
        .arg(QString::number(r.ilegibles), lineas.join(QStringLiteral(", ")));
}

// What the settings in use hold that no port may take, as every transfer
// says it; empty when nothing.
QString textoRechazos(const AvisosIni &rechazos)
{
    QStringList rechazados;
    for (const AvisoIni &r : rechazos)
        rechazados << QStringLiteral("%1=\"%2\"").arg(r.clave, TextoVisible(r.valor));
    return rechazados.isEmpty()
        ? QString()
        : Texto(QStringLiteral("PrinErrorAjustesRechazados"))
              .arg(QDir::toNativeSeparators(RutaIni()), rechazados.join(QStringLiteral(", ")));
}

// The status line once a program is saved: where, its lines, how many so far.
QString textoGuardado(const QString &ruta, qint64 lineas, int cuenta)
{
    return Texto(QStringLiteral("ContinuamsgGuardado"))
               .arg(QDir::toNativeSeparators(ruta), QString::number(lineas))
        + QStringLiteral("  ")
        + Texto(QStringLiteral("ContinuamsgCuenta")).arg(QString::number(cuenta));
}

// A message shown from the event loop, after the handler that has it: a
// box waits on the loop, and a job's signals go on coming meanwhile.
void avisaLuego(QWidget *ventana, const QString &aviso)
{
    if (aviso.isEmpty())
        return;
    QTimer::singleShot(0, ventana, [ventana, aviso] {
        Herramientas::MsgBox(aviso, Herramientas::vbExclamation + Herramientas::vbOKOnly,
            Texto(QStringLiteral("PrinTitulo")), ventana);
    });
}

} // namespace

void frmPrincipal::ConfigActual()
{
    MSComm1.setCommPort(PuertoCom);
    MSComm1.setDispositivo(PuertoDispositivo);
    MSComm1.setSettings(QString::number(Velocidad) + QLatin1Char(',') + Paridad + QLatin1Char(',')
        + QString::number(BitsDatos) + QLatin1Char(',') + TextoBitsStop(BitsStop));
    MSComm1.setHandshaking(MSComm::negociacionDeTexto(Nego));
    MSComm1.setXonXoffEnPuerto(XonXoffEnPuerto);
    // Values of the settings file that no port may take open no port at all:
    // every transfer says which, until they are chosen again.
    MSComm1.setRechazo(textoRechazos(RechazosGeneral));

    // A device path is named by its last part, a remote machine by its
    // address; the tooltip holds it whole.
    const bool remota = MaquinaRemota();
    const QString puerto = remota     ? QLatin1Char(' ') + direccionRemota()
        : PuertoDispositivo.isEmpty() ? QStringLiteral(" COM") + QString::number(PuertoCom)
                                      : QLatin1Char(' ') + NombreCortoPuerto(PuertoDispositivo);
    // Short of room the port's name loses its middle; the tooltip holds it whole.
    const QString leyenda = Texto(QStringLiteral("PrinCom"));
    Panels[0]->EstableceTexto(leyenda + puerto, leyenda.size() + 1, puerto.size() - 1);
    Panels[0]->setToolTip(remota ? direccionRemota() : MSComm1.Dispositivo());
    EstablecePanel(
        2, Texto(QStringLiteral("PrinVt")) + QLatin1Char(' ') + QString::number(Velocidad));
    EstablecePanel(3, Texto(QStringLiteral("PrinPar")) + QLatin1Char(' ') + Paridad);
    EstablecePanel(
        4, Texto(QStringLiteral("PrinBd")) + QLatin1Char(' ') + QString::number(BitsDatos));
    EstablecePanel(5, Texto(QStringLiteral("PrinBs")) + QLatin1Char(' ') + TextoBitsStop(BitsStop));
    EstablecePanel(6, Texto(QStringLiteral("PrinModo")) + QLatin1Char(' ') + ModoTransmision);
    QString nego = Texto(QStringLiteral("PrinNego"));
    if (!Nego.isEmpty() && Nego != QLatin1String("XonXoff"))
        nego += QLatin1Char(' ') + Nego;
    EstablecePanel(7, nego);
    // A remote machine has no line: its speed, parity, bits and handshake
    // would say what is not so.
    if (remota) {
        for (int n : {2, 3, 4, 5, 7})
            EstablecePanel(n, QString());
    }

    chkModo->setChecked(ModoTransmision != QLatin1String("Ascii"));
    // A mode stored in other letter case ("ISO") would leave the box checked
    // while the transfers ran in ASCII: what the box shows is what runs.
    if (chkModo->isChecked())
        chkModo_Click();
}

void frmPrincipal::chkModo_Click()
{
    // ISO code is the serial line's: a remote machine's programs are files.
    // A mode read from the file is refused by every transfer instead.
    if (chkModo->isChecked() && MaquinaRemota() && ModoTransmision == QLatin1String("Ascii")) {
        // Unticked once the menu has followed the tick, so that both end clear.
        QTimer::singleShot(0, this, [this] {
            chkModo->setChecked(false);
            Herramientas::MsgBox(Texto(QStringLiteral("ConfigErrorIsoRemota")),
                Herramientas::vbExclamation + Herramientas::vbOKOnly,
                Texto(QStringLiteral("PrinTitulo")), this);
        });
        return;
    }
    ModoTransmision = chkModo->isChecked() ? QStringLiteral("Iso") : QStringLiteral("Ascii");
    EstablecePanel(6, Texto(QStringLiteral("PrinModo")) + QLatin1Char(' ') + ModoTransmision);
}

void frmPrincipal::preparaTransferencia()
{
    if (m_progreso)
        return;
    // The figures sit at the right end of the status line, where they leave
    // the port parameters in the status bar whole.
    m_progreso = new ProgresoEstado(lblEstado);
    m_progreso->muestra(false);

    m_volcado.setSingleShot(true);
    m_volcado.setInterval(kVolcadoMs);
    connect(&m_volcado, &QTimer::timeout, this, &frmPrincipal::vuelcaLineas);

    // The sessions report at most every 40 ms: the view follows at that pace,
    // so a long program is not slowed by the window.
    connect(&m_envio, &Envio::progreso, this, [this](const ProgresoTransferencia &p) {
        m_progreso->actualiza(p);
        m_entradaRegistro.lineas = p.linea;
        m_entradaRegistro.bytes = p.bytes;
        marcaLineaEnviada(p.linea);
        // A long hold by the CNC, or its wait before asking for the program
        // with DC1, must not look like a hung program.
        lblEstado->setText(p.segundosRetenido >= 0
                ? Texto(QStringLiteral("PrinmsgRetenido"))
                      .arg(QString::number(qRound64(p.segundosRetenido)))
                : Texto(QStringLiteral("PrinmsgSaliendo")));
    });
    // Each hold, XOFF or the wait for the CNC's DC1, counts once.
    connect(&m_envio, &Envio::pausaCnc, this, [this](bool detenido) {
        if (detenido)
            ++m_entradaRegistro.pausas;
    });
    connect(&m_envio, &Envio::terminado, this, &frmPrincipal::finEnvio);

    connect(&m_recepcion, &Recepcion::entrando, this, &frmPrincipal::MSComm1_OnComm);
    connect(&m_recepcion, &Recepcion::inicioPrograma, this,
        [] { Herramientas::EstablecePuntero(Puntero::Reloj); });
    connect(
        &m_recepcion, &Recepcion::lineasRecibidas, this, [this](const QList<QByteArray> &lineas) {
            m_pendientes.append(lineas);
            if (!m_volcado.isActive())
                m_volcado.start();
        });
    connect(&m_recepcion, &Recepcion::progreso, this, [this](const ProgresoTransferencia &p) {
        m_progreso->actualiza(p);
        m_entradaRegistro.lineas = p.linea;
        m_entradaRegistro.bytes = p.bytes;
    });
    connect(&m_recepcion, &Recepcion::terminado, this, &frmPrincipal::finRecepcion);
}

void frmPrincipal::cmdPcCnc_Click()
{
    if (m_transferencia != Transferencia::Ninguna)
        return;
    enviaSeleccion(EnvioParcial::desde(m_texto->lineas(), 0));
}

void frmPrincipal::cmdEnviaDesde_Click()
{
    if (m_transferencia != Transferencia::Ninguna || !cmdPcCnc->isEnabled())
        return;
    // Part of a program stored under the program's own name would take its
    // place on the control.
    if (MaquinaRemota()) {
        Herramientas::MsgBox(Texto(QStringLiteral("RemotaEnviaDesde")),
            Herramientas::vbExclamation + Herramientas::vbOKOnly,
            Texto(QStringLiteral("PrinTitulo")), this);
        return;
    }
    const QList<QByteArray> lineas = m_texto->lineas();
    // The selected line is offered; a block number can be typed instead.
    const QModelIndex actual = lstTexto->currentIndex();
    const QString propuesta = actual.isValid() && lstTexto->selectionModel()->isSelected(actual)
        ? QString::number(actual.row() + 1)
        : QString();
    bool aceptado = false;
    const QString entrada = QInputDialog::getText(this, Texto(QStringLiteral("PrinTitulo")),
        Texto(QStringLiteral("BloqueEntrada")), QLineEdit::Normal, propuesta, &aceptado);
    if (!aceptado || entrada.trimmed().isEmpty())
        return;
    const qsizetype linea = EnvioParcial::buscaLinea(lineas, entrada);
    if (linea < 0) {
        Herramientas::MsgBox(Texto(QStringLiteral("BloqueNoEncontrado")).arg(entrada.trimmed()),
            Herramientas::vbExclamation + Herramientas::vbOKOnly,
            Texto(QStringLiteral("PrinTitulo")), this);
        return;
    }
    EnvioParcial::Seleccion seleccion = EnvioParcial::desde(lineas, linea);
    // What the CNC gets first, so that a wrong restart point shows before it runs.
    QStringList primeras;
    const qsizetype muestra = qMin(seleccion.lineas.size(), seleccion.cabecera + kLineasMuestra);
    for (qsizetype i = 0; i < muestra; ++i) {
        const QByteArray &l = seleccion.lineas.at(i);
        primeras.append(l.size() > kAnchoMuestra
                ? QString::fromLatin1(l.first(kAnchoMuestra)) + QStringLiteral("…")
                : QString::fromLatin1(l));
    }
    if (seleccion.lineas.size() > muestra)
        primeras.append(QStringLiteral("…"));
    const QString pregunta
        = Texto(QStringLiteral("BloquePregunta"))
              .arg(QString::number(seleccion.desde + 1), QString::number(seleccion.saltadas()))
        + QStringLiteral("\n\n") + primeras.join(QLatin1Char('\n'));
    if (seleccion.desde == 0) {
        // The whole program goes: its own blocks set the control up.
        if (Herramientas::MsgBox(pregunta, Herramientas::vbQuestion + Herramientas::vbYesNo,
                Texto(QStringLiteral("PrinTitulo")), this)
            != Herramientas::vbYes)
            return;
    } else {
        // The control has none of the program's tool, offsets, spindle or
        // modes at that line: the reader rebuilds them for the operator to
        // check, edit or leave out.
        Trazado::Opciones opciones;
        opciones.maquina = RecorridoMaquina::lee(RutaIni(), QStringLiteral("General"));
        opciones.saltaBloques = mnuSaltaBloques->isChecked();
        frmEnvioDesde confirma(pregunta, Trazado::bloqueReinicio(lineas, seleccion.desde, opciones),
            seleccion.desde, this);
        if (confirma.exec() != QDialog::Accepted)
            return;
        seleccion.anadeInicio(confirma.bloqueInicio());
    }
    enviaSeleccion(std::move(seleccion));
}

void frmPrincipal::enviaSeleccion(EnvioParcial::Seleccion seleccion)
{
    // The frame alone would reach the CNC as a program with nothing in it.
    if (FicheroPrograma::sinPrograma(seleccion.lineas)) {
        Herramientas::MsgBox(Texto(QStringLiteral("PrinAvisoSinPrograma")),
            Herramientas::vbExclamation + Herramientas::vbOKOnly,
            Texto(QStringLiteral("PrinTitulo")), this);
        return;
    }
    if (MaquinaRemota()) {
        enviaRemoto(seleccion);
        return;
    }
    const bool iso = modoIso();
    if (iso) {
        const CodificadorEnvio::Intransmisibles malos
            = CodificadorEnvio::buscaIntransmisibles(seleccion.lineas);
        if (malos.cuenta > 0) {
            // The line as the window numbers it, whatever part of the text goes.
            const qsizetype primera = seleccion.lineaVentana(malos.primeraLinea + 1) + 1;
            const QString aviso = Texto(QStringLiteral("PrinAvisoIsoIntransmisible"))
                                      .arg(QString::number(malos.cuenta), QString::number(primera));
            if (Herramientas::MsgBox(aviso, Herramientas::vbQuestion + Herramientas::vbYesNo,
                    Texto(QStringLiteral("PrinTitulo")), this)
                != Herramientas::vbYes)
                return;
        }
    }
    preparaTransferencia();

    lblEstadoTag = lblEstado->text();
    lblEstado->setText(Texto(QStringLiteral("PrinmsgSaliendo")));
    lblEstado->repaint();
    DeshabilitaBotones();
    cmdStop->setEnabled(true);
    Herramientas::EstablecePuntero(Puntero::Reloj);
    m_progreso->empiezaEnvio();
    m_progreso->muestra(true);
    m_transferencia = Transferencia::Envio;
    Enviando = true;
    m_entradaRegistro = empiezaEntrada(EntradaRegistro::Sentido::Envio, MSComm1);
    m_relojRegistro.start();
    const QList<QByteArray> lineas = std::move(seleccion.lineas);
    m_enviadas = std::move(seleccion);
    m_enviadas.lineas.clear();
    // A port that cannot be opened ends the send inside this call.
    m_envio.inicia(lineas, iso, Formato);
}

void frmPrincipal::marcaLineaEnviada(qint64 enviadas)
{
    if (enviadas <= 0)
        return;
    // A send from a line leaves lines out: the mark stays on the window's own line.
    const qsizetype linea = m_enviadas.lineaVentana(enviadas);
    if (linea < 0 || linea >= m_texto->count())
        return;
    const QModelIndex indice = m_texto->index(int(linea));
    lstTexto->setCurrentIndex(indice);
    lstTexto->scrollTo(indice);
}

void frmPrincipal::finEnvio(const ResultadoTransferencia &resultado)
{
    if (m_transferencia != Transferencia::Envio)
        return;
    m_transferencia = Transferencia::Ninguna;
    const bool remota = std::exchange(m_remota, false);
    MSComm1.setPortOpen(false);
    // A remote machine takes the program whole or not at all.
    if (remota && resultado.estado == ResultadoTransferencia::Estado::Completa)
        m_entradaRegistro.bytes = m_envioRemoto.bytes();
    const QString avisoRegistro
        = anotaRegistro(m_entradaRegistro, resultado, m_relojRegistro.elapsed());
    Enviando = false;
    HabilitaBotones();
    cmdStop->setEnabled(false);
    m_progreso->muestra(false);
    update();
    Herramientas::EstablecePuntero(Puntero::Normal);
    // Puts back what the status line said, the unsaved marker included.
    lblEstado->setText(lblEstadoTag);
    if (resultado.estado == ResultadoTransferencia::Estado::Fallida
        || resultado.estado == ResultadoTransferencia::Estado::SinFin)
        Herramientas::MsgBox(remota
                ? Texto(QStringLiteral("RemotaErrorEnvio"))
                      .arg(m_envioRemoto.nombre(), direccionRemota(), resultado.error)
                : resultado.error,
            Herramientas::vbCritical + Herramientas::vbOKOnly, Texto(QStringLiteral("PrinTitulo")),
            this);
    avisaRegistro(avisoRegistro);
}

void frmPrincipal::cmdStop_Click()
{
    // A remote job ends the call in progress; nothing half-written stays
    // under a program's name, and its end comes through its own signal.
    if (m_remota) {
        Recibiendo = false;
        Enviando = false;
        if (m_envioRemoto.activo())
            m_envioRemoto.detiene();
        if (m_recepcionRemota.activo())
            m_recepcionRemota.detiene();
        if (m_sondeo.activo())
            m_sondeo.detiene();
        Herramientas::EstablecePuntero(Puntero::Normal);
        cmdStop->setEnabled(false);
        return;
    }
    if (Recibiendo) {
        Recibiendo = false;
        // Ends at once; what has come, a partial line too, is kept.
        m_recepcion.detiene();
    }
    if (m_continua.activo())
        m_continua.detiene();
    if (Enviando) {
        Enviando = false;
        // The line on its way is finished, then "%" and DC4 go out and the
        // send ends once they have left.
        m_envio.detiene();
    }
    Herramientas::EstablecePuntero(Puntero::Normal);
    cmdStop->setEnabled(false);
}

void frmPrincipal::cmdCncPc_Click()
{
    if (m_transferencia != Transferencia::Ninguna)
        return;
    // An unsaved program the operator wanted saved, and could not, stays.
    if (!cmdLimpiar_Click())
        return;
    if (MaquinaRemota()) {
        recibeRemoto();
        return;
    }
    preparaTransferencia();

    lblEstado->setText(Texto(QStringLiteral("PrinmsgEsperandoEntrada")));
    lblEstado->repaint();
    DeshabilitaBotones();
    cmdStop->setEnabled(true);
    m_pendientes.clear();
    m_progreso->empiezaRecepcion();
    m_progreso->muestra(true);
    m_transferencia = Transferencia::Recepcion;
    Recibiendo = true;
    m_entradaRegistro = empiezaEntrada(EntradaRegistro::Sentido::Recepcion, MSComm1);
    m_relojRegistro.start();
    // A port that cannot be opened ends the reception inside this call.
    m_recepcion.inicia(modoIso(), Formato);
}

void frmPrincipal::vuelcaLineas()
{
    if (m_pendientes.isEmpty())
        return;
    m_texto->append(m_pendientes);
    m_pendientes.clear();
    lstTexto->scrollToBottom();
}

// The reception reads and decodes the port's data itself; the window only
// shows that the data has begun to come.
void frmPrincipal::MSComm1_OnComm()
{
    if (!Recibiendo)
        return;
    lblEstado->setText(Texto(QStringLiteral("PrinmsgEntrando")));
    lblEstado->repaint();
}

bool frmPrincipal::vuelveDeRecepcion()
{
    m_transferencia = Transferencia::Ninguna;
    m_remota = false;
    m_volcado.stop();
    vuelcaLineas();
    Recibiendo = false;
    MSComm1.setPortOpen(false);
    HabilitaBotones();
    const bool hayTexto = m_texto->count() > 0;
    cmdAbrir->setEnabled(!hayTexto);
    cmdGuardar->setEnabled(hayTexto);
    cmdPcCnc->setEnabled(hayTexto);
    cmdSpace->setEnabled(hayTexto);
    cmdStop->setEnabled(false);
    return hayTexto;
}

void frmPrincipal::finRecepcion(const ResultadoTransferencia &resultado)
{
    if (m_transferencia != Transferencia::Recepcion)
        return;
    const bool hayTexto = vuelveDeRecepcion();
    const QString avisoRegistro
        = anotaRegistro(m_entradaRegistro, resultado, m_relojRegistro.elapsed());
    if (hayTexto) {
        const QModelIndex ultima = m_texto->index(int(m_texto->count() - 1));
        lstTexto->setCurrentIndex(ultima);
        lstTexto->scrollTo(ultima);
    }
    lstTexto->selectionModel()->clear();
    m_progreso->muestra(false);
    update();
    Herramientas::EstablecePuntero(Puntero::Normal);
    SinGuardar = hayTexto;
    lblEstado->setText(
        Texto(hayTexto ? QStringLiteral("PrinmsgSinGuardar") : QStringLiteral("PrinmsgLimpia")));
    if (resultado.estado == ResultadoTransferencia::Estado::Fallida)
        Herramientas::MsgBox(resultado.error, Herramientas::vbCritical + Herramientas::vbOKOnly,
            Texto(QStringLiteral("PrinTitulo")), this);
    if (resultado.ilegibles > 0)
        Herramientas::MsgBox(avisoParidad(resultado),
            Herramientas::vbExclamation + Herramientas::vbOKOnly,
            Texto(QStringLiteral("PrinTitulo")), this);
    avisaRegistro(avisoRegistro);
}

void frmPrincipal::TerminaTransferencia()
{
    if (m_transferencia == Transferencia::Ninguna) {
        MSComm1.setPortOpen(false);
        return;
    }
    if (Recibiendo || Enviando)
        cmdStop_Click();
    if (m_remota) {
        // The call in progress ends soon after Stop; the job's end puts the
        // window at rest and logs it.
        const auto esperaFin = [](auto &trabajo) {
            QEventLoop espera;
            connect(&trabajo, &std::remove_reference_t<decltype(trabajo)>::terminado, &espera,
                &QEventLoop::quit);
            if (trabajo.activo())
                espera.exec();
        };
        esperaFin(m_envioRemoto);
        esperaFin(m_recepcionRemota);
        esperaFin(m_sondeo);
        return;
    }
    if (m_transferencia == Transferencia::Envio && m_envio.activo()) {
        // The current line, "%" and DC4 are on their way, at the line's speed
        // however slow; the send lets go of the port once they have left, or
        // by its own deadline when the CNC holds the line. A fixed wait here
        // would cut them at a slow speed.
        QEventLoop espera;
        connect(&m_envio, &Envio::terminado, &espera, &QEventLoop::quit);
        if (m_envio.activo())
            espera.exec();
    }
    MSComm1.setPortOpen(false);
    if (m_transferencia == Transferencia::Envio) {
        ResultadoTransferencia detenida;
        detenida.estado = ResultadoTransferencia::Estado::Detenida;
        finEnvio(detenida);
    }
}

void frmPrincipal::cmdRegistro_Click()
{
    frmRegistro ventana(rutaRegistro(), this);
    ventana.exec();
}

void frmPrincipal::preparaContinua()
{
    if (std::exchange(m_continuaPreparada, true))
        return;
    connect(&m_continua, &RecepcionContinua::programaNuevo, this, [this] {
        m_entradaRegistro = empiezaEntrada(EntradaRegistro::Sentido::Recepcion, MSComm1);
        m_relojRegistro.start();
        m_continuaAnotada = false;
        // A program that came after one that could not be saved is only logged.
        if (!m_continuaError.isEmpty())
            return;
        // The program shown was saved: the new one takes its place.
        if (std::exchange(m_continuaReemplaza, false)) {
            m_volcado.stop();
            m_pendientes.clear();
            m_texto->clear();
            NombreFichero.clear();
            TituloVentana();
        }
        Herramientas::EstablecePuntero(Puntero::Reloj);
    });
    connect(&m_continua, &RecepcionContinua::lineasRecibidas, this,
        [this](const QList<QByteArray> &lineas) {
            if (!m_continuaError.isEmpty())
                return;
            m_pendientes.append(lineas);
            if (!m_volcado.isActive())
                m_volcado.start();
        });
    connect(&m_continua, &RecepcionContinua::guardado, this,
        [this](const QString &ruta, qint64 lineas, qint64 bytes,
            const ResultadoTransferencia &programa) {
            m_entradaRegistro.fichero = ruta;
            m_entradaRegistro.lineas = lineas;
            m_entradaRegistro.bytes = bytes;
            m_continuaAnotada = true;
            const QString avisoRegistro
                = anotaRegistro(m_entradaRegistro, programa, m_relojRegistro.elapsed());
            if (!m_continuaError.isEmpty())
                return;
            m_volcado.stop();
            vuelcaLineas();
            m_continuaReemplaza = true;
            SinGuardar = false;
            NombreFichero = ruta;
            TituloVentana();
            Herramientas::EstablecePuntero(Puntero::Normal);
            const QString nativa = QDir::toNativeSeparators(ruta);
            lblEstado->setText(textoGuardado(ruta, lineas, ++m_continuaGuardados));
            QStringList avisos;
            if (programa.ilegibles > 0)
                avisos.append(nativa + QStringLiteral(": ") + avisoParidad(programa));
            avisos.append(avisoRegistro);
            avisos.removeAll(QString());
            // Not from inside the reception: a box waits on the event loop,
            // and the programs that follow are taken in meanwhile.
            for (const QString &aviso : std::as_const(avisos))
                QTimer::singleShot(0, this, [this, aviso] {
                    Herramientas::MsgBox(aviso,
                        Herramientas::vbExclamation + Herramientas::vbOKOnly,
                        Texto(QStringLiteral("PrinTitulo")), this);
                });
        });
    connect(&m_continua, &RecepcionContinua::errorGuardado, this,
        [this](const QString &carpeta, const QString &motivo, qint64 lineas, qint64 bytes) {
            if (m_continuaError.isEmpty())
                m_continuaError
                    = Texto(QStringLiteral("ContinuaErrorGuardar")).arg(carpeta, motivo);
            m_entradaRegistro.lineas = lineas;
            m_entradaRegistro.bytes = bytes;
            ResultadoTransferencia r;
            r.estado = ResultadoTransferencia::Estado::Fallida;
            r.error = motivo;
            m_continuaAnotada = true;
            anotaRegistro(m_entradaRegistro, r, m_relojRegistro.elapsed());
        });
    connect(&m_continua, &RecepcionContinua::terminado, this, &frmPrincipal::finContinua);
}

void frmPrincipal::cmdRecepcionContinua_Click()
{
    if (m_transferencia != Transferencia::Ninguna)
        return;
    // Only a clear window: unsaved text is never replaced.
    if (!cmdLimpiar_Click())
        return;
    if (MaquinaRemota()) {
        continuaRemota();
        return;
    }
    preparaTransferencia();
    preparaContinua();
    // The machine's receive folder, else the save folder (a path read whole).
    const QString carpeta
        = !DirRecepcion.isEmpty() ? DirRecepcion : CarpetaRecepcionPorDefecto(RutaIni());
    lblEstado->setText(
        Texto(QStringLiteral("ContinuamsgEsperando")).arg(QDir::toNativeSeparators(carpeta)));
    DeshabilitaBotones();
    cmdStop->setEnabled(true);
    m_pendientes.clear();
    m_continuaReemplaza = false;
    m_continuaGuardados = 0;
    m_continuaError.clear();
    m_continuaAnotada = false;
    m_transferencia = Transferencia::Continua;
    Recibiendo = true;
    m_entradaRegistro = empiezaEntrada(EntradaRegistro::Sentido::Recepcion, MSComm1);
    m_relojRegistro.start();
    // A port that cannot be opened ends the mode inside this call.
    m_continua.inicia(carpeta, modoIso(), Formato);
}

void frmPrincipal::finContinua(const ResultadoTransferencia &resultado)
{
    if (m_transferencia != Transferencia::Continua)
        return;
    const bool hayTexto = vuelveDeRecepcion();
    Herramientas::EstablecePuntero(Puntero::Normal);
    // A port that would not open, or was lost before any program came, is
    // logged too (a program it cut off has its own record).
    if (resultado.estado == ResultadoTransferencia::Estado::Fallida && !m_continuaAnotada) {
        m_continuaAnotada = true;
        anotaRegistro(m_entradaRegistro, resultado, m_relojRegistro.elapsed());
    }
    // Text that could not be saved stays, marked as such.
    if (!m_continuaError.isEmpty()) {
        SinGuardar = hayTexto;
        lblEstado->setText(Texto(QStringLiteral("PrinmsgSinGuardar")));
    } else if (m_continuaGuardados == 0) {
        lblEstado->setText(Texto(QStringLiteral("PrinmsgLimpia")));
    }
    if (!m_continuaError.isEmpty())
        Herramientas::MsgBox(m_continuaError, Herramientas::vbCritical + Herramientas::vbOKOnly,
            Texto(QStringLiteral("PrinTitulo")), this);
    // Unreadable characters in the text kept; a saved program's were told with it.
    if (!m_continuaError.isEmpty() && resultado.ilegibles > 0)
        Herramientas::MsgBox(avisoParidad(resultado),
            Herramientas::vbExclamation + Herramientas::vbOKOnly,
            Texto(QStringLiteral("PrinTitulo")), this);
    if (resultado.estado == ResultadoTransferencia::Estado::Fallida)
        Herramientas::MsgBox(resultado.error, Herramientas::vbCritical + Herramientas::vbOKOnly,
            Texto(QStringLiteral("PrinTitulo")), this);
}

void frmPrincipal::cmdComprueba_Click()
{
    frmComprobacion::MuestraEnUso(this);
}

bool frmPrincipal::MaquinaRemota() const
{
    return PuertoCom == 0 && DireccionRemota::esRemota(PuertoDispositivo);
}

QString frmPrincipal::direccionRemota() const
{
    return textoDireccionRemota();
}

bool frmPrincipal::maquinaRemotaEnUso(::Maquina &m)
{
    // The keys only a remote machine has live in General, not in the record.
    m = ::Maquina::lee(RutaIni(), QStringLiteral("General"));
    QString motivo = textoRechazos(m.rechazos);
    // The box's mode is this session's: ISO code makes no file the control reads.
    if (motivo.isEmpty() && ModoTransmision != QLatin1String("Ascii"))
        motivo = Texto(QStringLiteral("ConfigErrorIsoRemota"));
    if (motivo.isEmpty())
        return true;
    Herramientas::MsgBox(motivo, Herramientas::vbCritical + Herramientas::vbOKOnly,
        Texto(QStringLiteral("PrinTitulo")), this);
    return false;
}

void frmPrincipal::preparaRemota()
{
    preparaTransferencia();
    if (std::exchange(m_remotaPreparada, true))
        return;
    // A name the control has is replaced only when the operator says so.
    connect(&m_envioRemoto, &EnvioRemoto::existe, this, [this](const QString &nombre) {
        const bool reemplazar
            = Herramientas::MsgBox(Texto(QStringLiteral("RemotaPreguntaReemplaza")).arg(nombre),
                  Herramientas::vbQuestion + Herramientas::vbYesNo,
                  Texto(QStringLiteral("PrinTitulo")), this)
            == Herramientas::vbYes;
        m_envioRemoto.continua(reemplazar);
    });
    connect(&m_envioRemoto, &EnvioRemoto::progreso, this, [this](const ProgresoTransferencia &p) {
        m_progreso->actualiza(p);
        m_entradaRegistro.bytes = p.bytes;
    });
    connect(&m_envioRemoto, &EnvioRemoto::terminado, this, &frmPrincipal::finEnvio);

    connect(&m_recepcionRemota, &RecepcionRemota::listado, this, &frmPrincipal::listadoRemoto);
    connect(&m_recepcionRemota, &RecepcionRemota::programa, this, [this](const QByteArray &texto) {
        QList<QByteArray> lineas = texto.split('\n');
        // Each line is followed by LF: the last piece is no line.
        if (!lineas.isEmpty() && lineas.constLast().isEmpty())
            lineas.removeLast();
        m_entradaRegistro.lineas = lineas.size();
        m_entradaRegistro.bytes = texto.size();
        m_pendientes.append(lineas);
        vuelcaLineas();
    });
    // Several programs: one record each, as continuous receive logs them.
    connect(&m_recepcionRemota, &RecepcionRemota::guardado, this,
        [this](const QString &ruta, qint64 lineas, qint64 bytes) {
            m_entradaRegistro.fichero = ruta;
            m_entradaRegistro.lineas = lineas;
            m_entradaRegistro.bytes = bytes;
            avisaLuego(this,
                anotaRegistro(
                    m_entradaRegistro, ResultadoTransferencia {}, m_relojRegistro.elapsed()));
            m_entradaRegistro = empiezaEntrada(EntradaRegistro::Sentido::Recepcion, MSComm1);
            m_relojRegistro.start();
            lblEstado->setText(textoGuardado(ruta, lineas, ++m_remotosGuardados));
        });
    connect(
        &m_recepcionRemota, &RecepcionRemota::terminado, this, &frmPrincipal::finRecepcionRemota);

    connect(&m_sondeo, &SondeoRemoto::guardado, this,
        [this](const QString &ruta, const QString &nombre, qint64 lineas, qint64 bytes, qint64 ms) {
            EntradaRegistro e = empiezaEntrada(EntradaRegistro::Sentido::Recepcion, MSComm1);
            e.inicio = e.inicio.addMSecs(-ms);
            e.fichero = ruta;
            e.lineas = lineas;
            e.bytes = bytes;
            m_continuaAnotada = true;
            m_fallosSondeo.remove(nombre);
            avisaLuego(this, anotaRegistro(e, ResultadoTransferencia {}, ms));
            // Shown until the next one comes, as continuous receive shows it.
            QList<QByteArray> texto;
            if (FicheroPrograma::lee(ruta, texto)) {
                m_texto->setLineas(texto);
                NombreFichero = ruta;
                TituloVentana();
            }
            lblEstado->setText(textoGuardado(ruta, lineas, ++m_continuaGuardados));
        });
    // A look or a program that failed is said on the status line and tried
    // again at the next look; a program is logged once until it comes.
    connect(&m_sondeo, &SondeoRemoto::fallo, this,
        [this](const QString &nombre, const QString &motivo) {
            lblEstado->setText(Texto(QStringLiteral("RemotaFalloSondeo"))
                                   .arg(nombre.isEmpty() ? direccionRemota() : nombre, motivo));
            if (nombre.isEmpty() || m_fallosSondeo.contains(nombre))
                return;
            m_fallosSondeo.insert(nombre);
            EntradaRegistro e = empiezaEntrada(EntradaRegistro::Sentido::Recepcion, MSComm1);
            e.fichero = nombre;
            ResultadoTransferencia r;
            r.estado = ResultadoTransferencia::Estado::Fallida;
            r.error = motivo;
            m_continuaAnotada = true;
            avisaLuego(this, anotaRegistro(e, r, 0));
        });
    connect(&m_sondeo, &SondeoRemoto::recuperado, this, [this] {
        lblEstado->setText(Texto(QStringLiteral("ContinuamsgSondeo"))
                               .arg(direccionRemota(), QDir::toNativeSeparators(m_carpetaRemota)));
    });
    connect(&m_sondeo, &SondeoRemoto::terminado, this, &frmPrincipal::finSondeo);
}

void frmPrincipal::enviaRemoto(const EnvioParcial::Seleccion &seleccion)
{
    ::Maquina m;
    if (!maquinaRemotaEnUso(m))
        return;
    // The control keeps programs by name: the file's, or its O-number's.
    const QString nombre
        = EnvioRemoto::nombrePrograma(NombreFichero, seleccion.lineas.join('\n'), m.nombreO);
    if (nombre.isEmpty()) {
        Herramientas::MsgBox(Texto(QStringLiteral("RemotaSinNombre")),
            Herramientas::vbExclamation + Herramientas::vbOKOnly,
            Texto(QStringLiteral("PrinTitulo")), this);
        return;
    }
    preparaRemota();
    lblEstadoTag = lblEstado->text();
    lblEstado->setText(Texto(QStringLiteral("PrinmsgSaliendo")));
    DeshabilitaBotones();
    cmdStop->setEnabled(true);
    Herramientas::EstablecePuntero(Puntero::Reloj);
    m_progreso->empiezaEnvio();
    m_progreso->muestra(true);
    m_transferencia = Transferencia::Envio;
    m_remota = true;
    Enviando = true;
    m_entradaRegistro = empiezaEntrada(EntradaRegistro::Sentido::Envio, MSComm1);
    m_entradaRegistro.lineas = seleccion.lineas.size();
    m_relojRegistro.start();
    m_enviadas = {};
    // A machine refused by the job ends the send inside this call.
    m_envioRemoto.inicia(m, nombre, seleccion.lineas, false);
}

void frmPrincipal::recibeRemoto()
{
    ::Maquina m;
    if (!maquinaRemotaEnUso(m))
        return;
    QString error;
    if (!m_recepcionRemota.prepara(m, &error)) {
        Herramientas::MsgBox(error, Herramientas::vbCritical + Herramientas::vbOKOnly,
            Texto(QStringLiteral("PrinTitulo")), this);
        return;
    }
    preparaRemota();
    m_carpetaRemota
        = !DirRecepcion.isEmpty() ? DirRecepcion : CarpetaRecepcionPorDefecto(RutaIni());
    m_remotosElegidos.clear();
    m_remotosGuardados = 0;
    lblEstado->setText(Texto(QStringLiteral("RemotamsgListando")).arg(direccionRemota()));
    DeshabilitaBotones();
    cmdStop->setEnabled(true);
    Herramientas::EstablecePuntero(Puntero::Reloj);
    m_pendientes.clear();
    m_transferencia = Transferencia::Recepcion;
    m_remota = true;
    Recibiendo = true;
    // A listing that fails is a reception that failed, and is logged.
    m_entradaRegistro = empiezaEntrada(EntradaRegistro::Sentido::Recepcion, MSComm1);
    m_relojRegistro.start();
    m_recepcionRemota.lista();
}

void frmPrincipal::listadoRemoto(const QList<AlmacenRemoto::Entrada> &entradas)
{
    if (m_transferencia != Transferencia::Recepcion || !m_remota)
        return;
    Herramientas::EstablecePuntero(Puntero::Normal);
    QStringList elegidos;
    if (entradas.isEmpty()) {
        Herramientas::MsgBox(Texto(QStringLiteral("RemotaListaVacia")).arg(direccionRemota()),
            Herramientas::vbExclamation + Herramientas::vbOKOnly,
            Texto(QStringLiteral("PrinTitulo")), this);
    } else {
        frmListaRemota lista(entradas, direccionRemota(), m_carpetaRemota, this);
        if (lista.exec() == QDialog::Accepted)
            elegidos = lista.elegidos();
    }
    // Nothing chosen: nothing was received, and nothing is logged.
    if (elegidos.isEmpty()) {
        vuelveDeRecepcion();
        lblEstado->setText(Texto(QStringLiteral("PrinmsgLimpia")));
        return;
    }
    m_remotosElegidos = elegidos;
    m_entradaRegistro = empiezaEntrada(EntradaRegistro::Sentido::Recepcion, MSComm1);
    m_relojRegistro.start();
    lblEstado->setText(elegidos.size() == 1
            ? Texto(QStringLiteral("PrinmsgEntrando"))
            : Texto(QStringLiteral("RemotamsgTrayendo")).arg(QString::number(elegidos.size())));
    Herramientas::EstablecePuntero(Puntero::Reloj);
    m_recepcionRemota.trae(elegidos, m_carpetaRemota);
}

void frmPrincipal::finRecepcionRemota(const ResultadoTransferencia &resultado)
{
    if (m_transferencia != Transferencia::Recepcion || !m_remota)
        return;
    const bool listando = m_remotosElegidos.isEmpty();
    const bool varios = m_remotosElegidos.size() > 1;
    m_remotosElegidos.clear();
    const bool hayTexto = vuelveDeRecepcion();
    Herramientas::EstablecePuntero(Puntero::Normal);
    // One program is logged as a reception is; several have a record each
    // already, and what could not be fetched gets one with the reason. A
    // listing stopped by the operator received nothing.
    const bool anota = listando
        ? resultado.estado == ResultadoTransferencia::Estado::Fallida
        : !varios || resultado.estado != ResultadoTransferencia::Estado::Completa;
    const QString avisoRegistro = anota
        ? anotaRegistro(m_entradaRegistro, resultado, m_relojRegistro.elapsed())
        : QString();
    if (varios) {
        lblEstado->setText(Texto(QStringLiteral("RemotamsgGuardados"))
                               .arg(QString::number(m_remotosGuardados),
                                   QDir::toNativeSeparators(m_carpetaRemota)));
    } else {
        if (hayTexto) {
            lstTexto->setCurrentIndex(m_texto->index(0));
            lstTexto->scrollToTop();
        }
        SinGuardar = hayTexto;
        lblEstado->setText(Texto(
            hayTexto ? QStringLiteral("PrinmsgSinGuardar") : QStringLiteral("PrinmsgLimpia")));
    }
    if (resultado.estado == ResultadoTransferencia::Estado::Fallida)
        Herramientas::MsgBox(
            Texto(QStringLiteral("RemotaErrorRecepcion")).arg(direccionRemota(), resultado.error),
            Herramientas::vbCritical + Herramientas::vbOKOnly, Texto(QStringLiteral("PrinTitulo")),
            this);
    avisaRegistro(avisoRegistro);
}

void frmPrincipal::continuaRemota()
{
    ::Maquina m;
    if (!maquinaRemotaEnUso(m))
        return;
    preparaRemota();
    m_carpetaRemota
        = !DirRecepcion.isEmpty() ? DirRecepcion : CarpetaRecepcionPorDefecto(RutaIni());
    lblEstado->setText(Texto(QStringLiteral("ContinuamsgSondeo"))
                           .arg(direccionRemota(), QDir::toNativeSeparators(m_carpetaRemota)));
    DeshabilitaBotones();
    cmdStop->setEnabled(true);
    m_continuaGuardados = 0;
    m_continuaAnotada = false;
    m_fallosSondeo.clear();
    m_transferencia = Transferencia::Continua;
    m_remota = true;
    Recibiendo = true;
    m_entradaRegistro = empiezaEntrada(EntradaRegistro::Sentido::Recepcion, MSComm1);
    m_relojRegistro.start();
    // A machine the job cannot use ends the mode inside this call.
    m_sondeo.inicia(m, m_carpetaRemota);
}

void frmPrincipal::finSondeo(const ResultadoTransferencia &resultado)
{
    if (m_transferencia != Transferencia::Continua || !m_remota)
        return;
    vuelveDeRecepcion();
    Herramientas::EstablecePuntero(Puntero::Normal);
    // A mode that could not start is logged too.
    if (resultado.estado == ResultadoTransferencia::Estado::Fallida && !m_continuaAnotada)
        anotaRegistro(m_entradaRegistro, resultado, m_relojRegistro.elapsed());
    if (m_continuaGuardados == 0)
        lblEstado->setText(Texto(QStringLiteral("PrinmsgLimpia")));
    if (resultado.estado == ResultadoTransferencia::Estado::Fallida)
        Herramientas::MsgBox(
            Texto(QStringLiteral("RemotaErrorSondeo")).arg(direccionRemota(), resultado.error),
            Herramientas::vbCritical + Herramientas::vbOKOnly, Texto(QStringLiteral("PrinTitulo")),
            this);
}

void frmPrincipal::avisaRegistro(const QString &aviso)
{
    if (!aviso.isEmpty())
        Herramientas::MsgBox(aviso, Herramientas::vbExclamation + Herramientas::vbOKOnly,
            Texto(QStringLiteral("PrinTitulo")), this);
}
