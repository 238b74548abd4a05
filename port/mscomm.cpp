#include "port/mscomm.h"

#include "line/caracterescontrol.h"
#include "line/direccionred.h"
#include "line/parametroslinea.h"
#include "port/motorpuerto.h"
#include "port/transportetcp.h"
#include "settings/varsfuncsglobales.h"

#include <QFileInfo>

#include <cmath>
#include <utility>

namespace {

// How far ahead of the line the writer may be. The engine reacts to a DC3
// within microseconds, so what the CNC still gets after its DC3 is about
// this window: four characters, or 350 µs of line (5 characters at 115200)
// where a loaded machine may wake the engine late. A DC3 the kernel hands
// over late adds to it, so the window stays well inside the budget of 10.
constexpr qint64 kVentanaMinima = 4;
constexpr qint64 kAdelantoNs = 350000;
// Received bytes kept for a reader that has not taken them (a reception
// that is yet to start, one that lags): beyond this the engine's events wait.
constexpr qint64 kEntradaMaxima = 256 * 1024;

// Without a reason the sentence ends at the port, not at a dangling colon.
QString terminaFrase(QString mensaje, const QString &detalle)
{
    if (detalle.isEmpty()) {
        while (mensaje.endsWith(QLatin1Char(' ')) || mensaje.endsWith(QLatin1Char(':')))
            mensaje.chop(1);
        mensaje += QLatin1Char('.');
    }
    return mensaje;
}

// A network port's failure names the server and its port.
QString mensajeRed(MSComm::Fallo tipo, const DireccionRed &d, const QString &detalle)
{
    using F = MSComm::Fallo;
    using VarsFuncsGlobales::Texto;
    const QString host
        = d.host.contains(QLatin1Char(':')) ? QLatin1Char('[') + d.host + QLatin1Char(']') : d.host;
    const QString puerto = QString::number(d.puerto);
    switch (tipo) {
    case F::NombreDesconocido:
        return Texto(QStringLiteral("PrinErrorRedNombre")).arg(host, puerto);
    case F::ConexionRechazada:
        return Texto(QStringLiteral("PrinErrorRedRechazada")).arg(host, puerto);
    case F::SinRespuesta:
        return Texto(QStringLiteral("PrinErrorRedSinRespuesta"))
            .arg(host, puerto, QString::number(TransporteTcp::kSegundosConexion));
    case F::ParametrosRechazados:
        // No settings named: the server never took the COM port option.
        return detalle.isEmpty()
            ? Texto(QStringLiteral("PrinErrorRedSinRfc2217")).arg(host, puerto)
            : Texto(QStringLiteral("PrinErrorRedAjustes")).arg(host, puerto, detalle);
    case F::Perdido:
        return terminaFrase(
            Texto(QStringLiteral("PrinErrorRedCerrada")).arg(host, puerto, detalle), detalle);
    default:
        return terminaFrase(
            Texto(QStringLiteral("PrinErrorRed")).arg(host, puerto, detalle), detalle);
    }
}

} // namespace

MSComm::MSComm(QObject *parent) : QObject(parent) { }

MSComm::~MSComm()
{
    cierra(true);
}

QString MSComm::Dispositivo() const
{
    return RutaPuerto(m_commPort, m_dispositivo);
}

MSComm::Negociacion MSComm::negociacionDeTexto(const QString &nego)
{
    if (nego.compare(QLatin1String("RtsCts"), Qt::CaseInsensitive) == 0)
        return Negociacion::RtsCts;
    if (nego.compare(QLatin1String("Ninguno"), Qt::CaseInsensitive) == 0)
        return Negociacion::Ninguna;
    return Negociacion::XonXoff;
}

void MSComm::informa(Fallo tipo, const QString &ruta, const QString &detalle, const QString &texto)
{
    using VarsFuncsGlobales::Texto;
    QString mensaje;
    const std::optional<DireccionRed> red = DireccionRed::interpreta(ruta);
    switch (!texto.isEmpty() ? Fallo::Otro : red ? Fallo::NombreDesconocido : tipo) {
    case Fallo::NombreDesconocido:
    case Fallo::ConexionRechazada:
    case Fallo::SinRespuesta:
        mensaje = red ? mensajeRed(tipo, *red, detalle)
                      : Texto(QStringLiteral("PrinErrorPuerto")).arg(ruta, detalle);
        break;
    case Fallo::NoExiste:
        // A network port written amiss cannot exist either; saying how to
        // write it helps more than "does not exist".
        mensaje = Texto(QLatin1String(DireccionRed::esDeRed(ruta) && !DireccionRed::interpreta(ruta)
                                ? "PrinErrorDireccionRed"
                                : "PrinErrorPuertoNoExiste"))
                      .arg(ruta);
        break;
    case Fallo::Ocupado:
        mensaje = detalle.isEmpty()
            ? Texto(QStringLiteral("PrinErrorPuertoOcupado")).arg(ruta)
            : Texto(QStringLiteral("PrinErrorPuertoOcupadoPor")).arg(ruta, detalle);
        break;
    case Fallo::SinPermiso:
        mensaje = Texto(QStringLiteral("PrinErrorPuertoPermiso")).arg(ruta, detalle);
        break;
    case Fallo::ParametrosRechazados:
        mensaje = Texto(QStringLiteral("PrinErrorPuertoParametros")).arg(ruta, detalle);
        break;
    case Fallo::Perdido:
        mensaje = terminaFrase(
            Texto(QStringLiteral("PrinErrorPuertoPerdido")).arg(ruta, detalle), detalle);
        break;
    case Fallo::Otro:
        mensaje
            = texto.isEmpty() ? Texto(QStringLiteral("PrinErrorPuerto")).arg(ruta, detalle) : texto;
        break;
    }
    m_ultimoFallo = tipo;
    m_ultimoError = mensaje;
    emit fallo(tipo, ruta, mensaje);
}

bool MSComm::setPortOpen(bool abrir)
{
    if (!abrir) {
        cierra(true);
        return true;
    }
    if (m_motor)
        return true;

    const bool diferido = std::exchange(m_xonXoffDiferido, false);
    m_ultimoError.clear();
    const QString ruta = Dispositivo();
    if (!m_rechazo.isEmpty()) {
        informa(Fallo::ParametrosRechazados, ruta, QString(), m_rechazo);
        return false;
    }
    std::unique_ptr<Transporte> transporte = Transporte::crea(ruta);
    const std::optional<ParametrosLinea> parametros = ParametrosLinea::interpreta(m_settings);
    if (!parametros) {
        // A device that is not there is named first, as the device would be.
        const bool falta
            = transporte->abreAlInstante() && (ruta.isEmpty() || !QFileInfo::exists(ruta));
        informa(falta ? Fallo::NoExiste : Fallo::ParametrosRechazados, ruta,
            falta ? QString() : m_settings);
        return false;
    }
    // Held by another program (or another port of this one): say which.
    if (!m_bloqueo.libre(ruta)) {
        informa(Fallo::Ocupado, ruta, m_bloqueo.titular());
        return false;
    }
    const ParametrosLinea &p = *parametros;
    AjustesLinea ajustes;
    ajustes.dispositivo = ruta;
    ajustes.parametros = p;
    ajustes.settings = m_settings;
    ajustes.negociacion = m_negociacion;
    // A device server's port is no adapter whose chip stops at DC3, and RFC
    // 2217 cannot name ISO's codes: over the network the program answers it.
    ajustes.xonXoffEnPuerto = m_xonXoffEnPuerto && m_negociacion == Negociacion::XonXoff
        && !DireccionRed::esDeRed(ruta);
    ajustes.xonXoffDiferido = diferido;
    m_flujoEnPrograma = m_negociacion == Negociacion::XonXoff && !ajustes.xonXoffEnPuerto;
    if (m_iso && p.bitsDatos == 8) {
        ajustes.paro = char(CaracteresControl::kDc3 | 0x80);
        ajustes.sigue = char(CaracteresControl::kDc1 | 0x80);
    }
    MotorPuerto::Ritmo ritmo;
    ritmo.acompasado = m_acompasado;
    ritmo.nsPorCaracter
        = qMax<qint64>(1, qint64(std::llround(p.bitsPorCaracter() * 1e9 / p.velocidad)));
    ritmo.ventana
        = qMax(kVentanaMinima, (kAdelantoNs + ritmo.nsPorCaracter - 1) / ritmo.nsPorCaracter);
    // Topped up while two characters are still on their way: a late
    // wake-up of a busy machine then does not leave the line idle.
    ritmo.marcaBaja = ritmo.ventana - 2;
    ritmo.flujoEnPrograma = m_flujoEnPrograma;
    ritmo.aviso = m_acompasado ? qint64(m_avisoSalidaMs) * 1000000 / ritmo.nsPorCaracter : 0;

    const bool alInstante = transporte->abreAlInstante();
    const quint64 generacion = ++m_generacion;
    auto motor = std::make_unique<MotorPuerto>(
        std::move(transporte), ajustes, ritmo, [this, generacion] { procesaLuego(generacion); });
    if (alInstante) {
        FalloTransporte f;
        m_bloqueo.toma(ruta);
        if (!motor->abreAhora(f)) {
            m_bloqueo.suelta();
            informa(f.tipo, ruta, f.detalle, f.mensaje);
            return false;
        }
    }
    m_motor = std::move(motor);
    m_rutaAbierta = ruta;
    m_flujo.reinicia();
    m_entrada.clear();
    m_entradaLlena = false;
    m_enviados = 0;
    m_encolados = 0;
    m_avisoSalida = ritmo.aviso;
    m_avisadoVacio = true;
    m_motor->arranca();
    return true;
}

bool MSComm::activaXonXoffPuerto()
{
    if (!m_motor || m_motor->activaXonXoff())
        return true;
    m_ultimoFallo = Fallo::ParametrosRechazados;
    m_ultimoError = VarsFuncsGlobales::Texto(QStringLiteral("PrinErrorPuertoParametros"))
                        .arg(m_rutaAbierta, m_settings);
    return false;
}

void MSComm::cierra(bool descartar)
{
    if (!m_motor)
        return;
    ++m_generacion;
    // May be inside one of the engine's own events: it is stopped, not kept.
    std::unique_ptr<MotorPuerto> motor = std::move(m_motor);
    motor->detiene(descartar);
    m_bloqueo.suelta();
    m_enviados = motor->enviados();
}

void MSComm::Output(const QByteArray &datos)
{
    if (!m_motor || datos.isEmpty())
        return;
    m_avisadoVacio = false;
    m_encolados += datos.size();
    m_motor->encola(datos);
}

qint64 MSComm::recortaSalida(const std::vector<qint64> &fines, const QByteArray &tras)
{
    if (!m_motor)
        return -1;
    const qint64 fin = m_motor->recorta(fines, tras);
    if (fin >= 0) {
        m_encolados = fin + tras.size();
        m_avisadoVacio = false;
    }
    return fin;
}

bool MSComm::enLinea() const
{
    return m_motor && m_motor->abierto();
}

qint64 MSComm::OutBufferCount() const
{
    return m_motor ? m_motor->pendientes() : 0;
}

qint64 MSComm::bytesEnviados() const
{
    return m_motor ? m_motor->enviados() : m_enviados;
}

qint64 MSComm::msParaVaciar() const
{
    return m_motor ? m_motor->msParaVaciar() : 0;
}

void MSComm::recogeEntrada()
{
    if (!m_motor)
        return;
    const QByteArray datos = m_motor->recoge();
    if (m_flujoEnPrograma)
        m_flujo.observa(datos.constData(), datos.size());
    m_entrada.append(datos);
}

QByteArray MSComm::Input()
{
    QByteArray datos;
    datos.swap(m_entrada);
    if (std::exchange(m_entradaLlena, false) && m_motor)
        procesaLuego(m_generacion);
    return datos;
}

void MSComm::procesaLuego(quint64 generacion)
{
    // Any thread may ask; the events are taken on the owner's, and only
    // while the engine that asked is still the open one.
    QMetaObject::invokeMethod(
        this,
        [this, generacion] {
            if (generacion == m_generacion)
                procesaEventos();
        },
        Qt::QueuedConnection);
}

void MSComm::cierraTrasVaciar()
{
    if (m_motor)
        m_motor->cierraTrasVaciar();
}

void MSComm::avisaTrasVaciar()
{
    if (m_motor)
        m_motor->avisaTrasVaciar();
}

void MSComm::procesaEventos()
{
    const quint64 generacion = m_generacion;
    // A handler may close the port, or close and open it again: the rest
    // of these events then belongs to an engine that is gone.
    const auto sigue = [&] { return m_motor && generacion == m_generacion; };
    while (sigue()) {
        // Told apart from the events: it must not wait behind data nobody takes yet.
        if (m_motor->tomaVaciado()) {
            emit vaciado();
            continue;
        }
        if (m_entrada.size() >= kEntradaMaxima) {
            m_entradaLlena = true;
            return;
        }
        const std::vector<MotorPuerto::Evento> eventos = m_motor->eventos();
        if (eventos.empty())
            return;
        for (const MotorPuerto::Evento &e : eventos) {
            if (!sigue())
                return;
            switch (e.tipo) {
            case MotorPuerto::Evento::Tipo::Datos:
                if (m_flujoEnPrograma && m_flujo.observa(e.datos.constData(), e.datos.size())) {
                    emit flujoCambiado(m_flujo.detenido());
                    if (!sigue())
                        return;
                }
                m_entrada.append(e.datos);
                emit OnComm();
                break;
            case MotorPuerto::Evento::Tipo::SalidaVacia:
                if (!m_avisadoVacio && m_motor->pendientes() <= m_avisoSalida) {
                    m_avisadoVacio = true;
                    emit salidaLista();
                }
                break;
            case MotorPuerto::Evento::Tipo::Abierto:
                emit conectado();
                break;
            case MotorPuerto::Evento::Tipo::Vaciado:
                cierra(false);
                emit cerrado();
                return;
            case MotorPuerto::Evento::Tipo::Fallo: {
                const QString ruta = m_rutaAbierta;
                cierra(true);
                informa(e.fallo.tipo, ruta, e.fallo.detalle, e.fallo.mensaje);
                return;
            }
            }
        }
    }
}
