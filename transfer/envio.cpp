#include "transfer/envio.h"

#include "line/caracterescontrol.h"
#include "line/codificadorenvio.h"
#include "line/parametroslinea.h"
#include "port/mscomm.h"
#include "settings/varsfuncsglobales.h"

#include <QTimer>

namespace {

// After Stop, the CNC gets Envio::kMargenMs beyond the time "%" and DC4 need
// at the line's speed; a line that moves meanwhile earns it again.
constexpr int kPlazoParadaMs = Envio::kMargenMs;
// Progress is reported at most this often.
constexpr qint64 kIntervaloProgresoMs = 40;
// While the CNC holds the line, the held time is shown at this pace.
constexpr int kPasoRetencionMs = 1000;
// The port asks for more while this much line time is still queued: the
// window's thread may then be that late without leaving the line idle.
constexpr int kAvisoSalidaMs = 20;

} // namespace

Envio::Envio(MSComm &puerto, QObject *parent)
    : QObject(parent),
      m_puerto(puerto),
      m_plazoParada(new QTimer(this)),
      m_retencion(new QTimer(this)),
      m_pausaLinea(new QTimer(this))
{
    m_plazoParada->setSingleShot(true);
    connect(m_plazoParada, &QTimer::timeout, this, &Envio::alVencerPlazo);
    m_retencion->setInterval(kPasoRetencionMs);
    m_retencion->setTimerType(Qt::PreciseTimer);
    connect(m_retencion, &QTimer::timeout, this, [this] { informaProgreso(true); });
    m_pausaLinea->setSingleShot(true);
    m_pausaLinea->setTimerType(Qt::PreciseTimer);
    connect(m_pausaLinea, &QTimer::timeout, this, &Envio::alimenta);
}

Envio::~Envio()
{
    if (m_activo)
        m_puerto.setPortOpen(false);
}

bool Envio::inicia(const QList<QByteArray> &lineas, bool iso, const FormatoLinea &formato)
{
    if (m_activo)
        return false;
    m_lineas = lineas;
    m_iso = iso;
    m_formato = formato;
    m_detenido = false;
    m_finEncolado = false;
    m_parando = false;
    m_abierto = false;
    m_esperandoDc1 = false;
    m_lineaEnCurso = false;
    m_siguiente = 0;
    m_finesLinea.clear();
    const qint64 finBloque = iso || formato.finBloque == FormatoLinea::FinBloque::CrLf
        ? CodificadorEnvio::longitudCodificada({}, iso)
        : 1;
    qint64 bytesTotales = formato.cabecera().size() + formato.cola().size();
    for (const QByteArray &linea : lineas)
        bytesTotales += linea.size() + finBloque;
    m_bytesTotales = bytesTotales;

    m_conexiones = {
        connect(&m_puerto, &MSComm::salidaLista, this, &Envio::alimenta),
        connect(&m_puerto, &MSComm::cerrado, this, &Envio::alCerrar),
        connect(&m_puerto, &MSComm::vaciado, this, &Envio::alCerrar),
        connect(&m_puerto, &MSComm::flujoCambiado, this, &Envio::alCambiarFlujo),
        connect(&m_puerto, &MSComm::OnComm, this, &Envio::alLlegar),
        connect(&m_puerto, &MSComm::fallo, this,
            [this](MSComm::Fallo, const QString &, const QString &mensaje) { alFallar(mensaje); }),
    };
    m_activo = true;
    m_puerto.setIso(iso);
    // A pause after each line needs to hear when the line has wholly left.
    m_puerto.setAvisoSalidaMs(formato.retardoLineaMs > 0 ? 0 : kAvisoSalidaMs);
    // XON/XOFF done by the port would swallow the DC1 the send waits for:
    // the port takes it up once the DC1 has come.
    m_puerto.setXonXoffPuertoDiferido(formato.esperaDc1);
    if (!m_puerto.setPortOpen(true))
        return false; // fallo() has ended the send
    m_abierto = true;
    m_reloj.start();
    m_medida.empieza(0, lineas.size(), bytesTotales);
    m_ultimoInforme = -1000;
    if (formato.esperaDc1) {
        // The control asks for the program when it is ready; the wait is
        // shown as a hold and does not count in the speed.
        esperaDc1(true);
        return true;
    }
    m_puerto.Output(formato.cabecera());
    alimenta();
    return true;
}

void Envio::esperaDc1(bool esperando)
{
    m_esperandoDc1 = esperando;
    // Waiting for the CNC's DC1 is shown and measured as a hold.
    alCambiarFlujo(esperando);
}

void Envio::alLlegar()
{
    // Once the end is queued, what the CNC sends is its next output, for
    // the reception that follows.
    if (m_mantienePuerto && m_finEncolado)
        return;
    // Nothing the CNC sends while receiving is data; the flow control bytes
    // have been seen by the port already. Only the first DC1 (with or
    // without its parity bit) may start a send that waits for it.
    const QByteArray datos = m_puerto.Input();
    if (!m_esperandoDc1 || !m_activo)
        return;
    for (char c : datos) {
        if ((quint8(c) & 0x7F) == CaracteresControl::kDc1) {
            esperaDc1(false);
            if (!m_puerto.activaXonXoffPuerto()) {
                const QString error = m_puerto.ultimoError();
                m_puerto.setPortOpen(false);
                termina(ResultadoTransferencia::Estado::Fallida, error);
                return;
            }
            m_puerto.Output(m_formato.cabecera());
            alimenta();
            return;
        }
    }
}

void Envio::alimenta()
{
    if (!m_activo || m_finEncolado || m_esperandoDc1)
        return;
    if (m_detenido) {
        m_pausaLinea->stop();
        QByteArray fin;
        fin.append(CodificadorEnvio::porCiento(m_iso));
        fin.append(m_formato.cola());
        // Lines queued behind the one on the line are taken back.
        if (!cortaTrasLinea(false, fin))
            m_puerto.Output(fin);
        m_finEncolado = true;
        // What goes out now is the rest of the current line and the end mark.
        m_medida.setBytesTotales(m_puerto.bytesEnviados() + m_puerto.OutBufferCount());
        cierraTrasFin();
        return;
    }
    if (m_pausaLinea->isActive())
        return;
    const qint64 total = m_lineas.size();
    if (m_formato.retardoLineaMs > 0) {
        // One line at a time; its pause runs from when it has left the PC,
        // so the CNC gets the whole pause after the line's last character.
        if (m_lineaEnCurso) {
            if (m_puerto.OutBufferCount() > 0)
                return;
            m_lineaEnCurso = false;
            m_pausaLinea->start(int(qMin<qint64>(m_puerto.msParaVaciar(), 24 * 3600 * 1000))
                + m_formato.retardoLineaMs);
            return;
        }
        if (m_siguiente < total) {
            QByteArray linea;
            m_formato.codificaLinea(m_lineas.at(m_siguiente++), m_iso, linea);
            m_lineaEnCurso = true;
            m_puerto.Output(linea);
        }
    } else {
        const qint64 meta = qMax(m_adelanto, 2 * m_puerto.avisoSalida() + 1);
        const qint64 enCola = m_puerto.OutBufferCount();
        if (m_siguiente < total && enCola < meta) {
            lineasSalidas(); // forgets the ends already passed
            const qint64 base = m_puerto.bytesEncolados();
            QByteArray bloque;
            do {
                m_formato.codificaLinea(m_lineas.at(m_siguiente++), m_iso, bloque);
                m_finesLinea.push_back(base + bloque.size());
            } while (m_siguiente < total && enCola + bloque.size() < meta);
            m_puerto.Output(bloque);
        }
    }
    if (m_siguiente >= total && !m_lineaEnCurso) {
        m_puerto.Output(m_formato.cola());
        m_finEncolado = true;
        cierraTrasFin();
    }
    informaProgreso(false);
}

void Envio::cierraTrasFin()
{
    if (m_mantienePuerto)
        m_puerto.avisaTrasVaciar();
    else
        m_puerto.cierraTrasVaciar();
}

void Envio::detiene()
{
    if (!m_activo || m_parando)
        return;
    m_parando = true;
    if (m_esperandoDc1 || !m_puerto.enLinea()) {
        // Nothing has gone (the CNC has not asked yet, or the link is still
        // being made): the CNC gets nothing, not even the end mark.
        m_detenido = true;
        esperaDc1(false);
        m_puerto.setPortOpen(false);
        termina(ResultadoTransferencia::Estado::Detenida);
        return;
    }
    // The rest of the current line is still queued; "%" and the end of the
    // frame follow it. Once the end is queued the program is whole and goes
    // out as it is.
    if (!m_finEncolado) {
        m_detenido = true;
        alimenta();
    } else if (cortaTrasLinea(true, CodificadorEnvio::porCiento(m_iso) + m_formato.cola())) {
        // The end was queued early, behind lines that have not gone yet.
        m_detenido = true;
        m_medida.setBytesTotales(m_puerto.bytesEnviados() + m_puerto.OutBufferCount());
    }
    if (m_activo)
        armaPlazo();
}

void Envio::abandona(const QString &motivo)
{
    if (!m_activo)
        return;
    const bool algoSalio = m_abierto && m_puerto.bytesEnviados() > 0;
    const QString aviso = sinFin();
    m_puerto.setPortOpen(false);
    m_medida.retiene(false, m_reloj.elapsed());
    informaProgreso(true);
    if (algoSalio)
        termina(ResultadoTransferencia::Estado::SinFin, motivo + QLatin1Char('\n') + aviso);
    else
        termina(ResultadoTransferencia::Estado::Fallida, motivo);
}

qint64 Envio::msRestantes()
{
    if (!m_activo)
        return 0;
    const std::optional<ParametrosLinea> p = ParametrosLinea::interpreta(m_puerto.Settings());
    const double msPorByte = p ? p->bitsPorCaracter() * 1000.0 / p->velocidad : 0;
    const qint64 bytes = qMax<qint64>(0, m_bytesTotales - m_puerto.bytesEnviados());
    const qint64 lineas = qMax<qint64>(0, m_lineas.size() - lineasSalidas());
    return qint64(bytes * msPorByte) + lineas * m_formato.retardoLineaMs;
}

void Envio::armaPlazo()
{
    m_enviadosAlArmar = m_puerto.bytesEnviados();
    m_plazoParada->start(
        int(qMin<qint64>(m_puerto.msParaVaciar(), 24 * 3600 * 1000)) + kPlazoParadaMs);
}

void Envio::alVencerPlazo()
{
    if (!m_activo)
        return;
    // A slow line, or one the CNC let go meanwhile, still carries the end.
    if (m_puerto.bytesEnviados() != m_enviadosAlArmar) {
        armaPlazo();
        return;
    }
    // Nothing has moved for the whole time: the CNC holds the line (or the
    // driver's queue stands still). What is queued is dropped so that it
    // cannot reach the CNC once it lets go.
    const QString aviso = sinFin();
    m_puerto.setPortOpen(false);
    informaProgreso(true);
    termina(ResultadoTransferencia::Estado::SinFin, aviso);
}

QString Envio::sinFin() const
{
    return VarsFuncsGlobales::Texto(QStringLiteral("PrinErrorFinNoEnviado"))
        .arg(m_puerto.Dispositivo());
}

void Envio::alCambiarFlujo(bool detenido)
{
    m_medida.retiene(detenido, m_reloj.elapsed());
    if (detenido)
        m_retencion->start();
    else
        m_retencion->stop();
    informaProgreso(true);
    emit pausaCnc(detenido);
}

void Envio::alCerrar()
{
    m_medida.retiene(false, m_reloj.elapsed());
    informaProgreso(true);
    termina(m_detenido ? ResultadoTransferencia::Estado::Detenida
                       : ResultadoTransferencia::Estado::Completa);
}

void Envio::alFallar(const QString &mensaje)
{
    // Once bytes have gone, the CNC holds part of a program without its end;
    // a link that failed while being made has carried nothing.
    termina(ResultadoTransferencia::Estado::Fallida,
        m_abierto && m_puerto.bytesEnviados() > 0 ? mensaje + QStringLiteral("\n") + sinFin()
                                                  : mensaje);
}

void Envio::termina(ResultadoTransferencia::Estado estado, const QString &error)
{
    if (!m_activo)
        return;
    m_activo = false;
    m_plazoParada->stop();
    m_retencion->stop();
    m_pausaLinea->stop();
    for (const QMetaObject::Connection &c : std::as_const(m_conexiones))
        disconnect(c);
    m_conexiones.clear();
    m_lineas.clear();
    emit terminado({estado, error, 0, {}});
}

void Envio::informaProgreso(bool forzado)
{
    const qint64 ms = m_reloj.elapsed();
    if (!forzado && ms - m_ultimoInforme < kIntervaloProgresoMs)
        return;
    m_ultimoInforme = ms;
    emit progreso(m_medida.figuras(ms, lineasSalidas(), m_puerto.bytesEnviados()));
}

bool Envio::cortaTrasLinea(bool finEncolado, const QByteArray &fin)
{
    lineasSalidas();
    std::vector<qint64> fines(m_finesLinea.begin(), m_finesLinea.end());
    // With the end queued, the last line carries it: no cut there.
    if (finEncolado && !fines.empty())
        fines.pop_back();
    const qint64 corte = m_puerto.recortaSalida(fines, fin);
    if (corte < 0)
        return false;
    while (!m_finesLinea.empty() && m_finesLinea.back() > corte) {
        m_finesLinea.pop_back();
        --m_siguiente;
    }
    return true;
}

qint64 Envio::lineasSalidas()
{
    const qint64 enviados = m_puerto.bytesEnviados();
    while (!m_finesLinea.empty() && m_finesLinea.front() <= enviados)
        m_finesLinea.pop_front();
    return m_siguiente - qint64(m_finesLinea.size());
}
