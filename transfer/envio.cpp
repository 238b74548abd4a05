#include "transfer/envio.h"

#include "transfer/caracterescontrol.h"
#include "transfer/codificadorenvio.h"
#include "transfer/mscomm.h"

#include <QTimer>

namespace {

// Stop gives the CNC this long to take "%" and DC4 before the port is shut.
constexpr int kPlazoParadaMs = 1500;
// Progress is reported at most this often.
constexpr qint64 kIntervaloProgresoMs = 40;

} // namespace

Envio::Envio(MSComm &puerto, QObject *parent)
    : QObject(parent), m_puerto(puerto), m_plazoParada(new QTimer(this))
{
    m_plazoParada->setSingleShot(true);
    m_plazoParada->setInterval(kPlazoParadaMs);
    connect(m_plazoParada, &QTimer::timeout, this, [this] {
        m_puerto.setPortOpen(false);
        termina(ResultadoTransferencia::Estado::Detenida);
    });
}

Envio::~Envio()
{
    if (m_activo)
        m_puerto.setPortOpen(false);
}

bool Envio::inicia(const QList<QByteArray> &lineas, bool iso)
{
    if (m_activo)
        return false;
    m_lineas = lineas;
    m_iso = iso;
    m_detenido = false;
    m_finEncolado = false;
    m_siguiente = 0;
    m_bytesTotales = 2;
    for (const QByteArray &linea : lineas)
        m_bytesTotales += CodificadorEnvio::longitudCodificada(linea, iso);

    m_conexiones = {
        connect(&m_puerto, &MSComm::salidaLista, this, &Envio::alimenta),
        connect(&m_puerto, &MSComm::cerrado, this, &Envio::alCerrar),
        connect(&m_puerto, &MSComm::flujoCambiado, this, &Envio::pausaCnc),
        // Nothing the CNC sends while receiving is data; the flow control
        // bytes have been seen by the port already.
        connect(&m_puerto, &MSComm::OnComm, this, [this] { m_puerto.Input(); }),
        connect(&m_puerto, &MSComm::fallo, this,
            [this](MSComm::Fallo, const QString &, const QString &mensaje) { alFallar(mensaje); }),
    };
    m_activo = true;
    if (!m_puerto.setPortOpen(true))
        return false; // fallo() has ended the send
    m_reloj.start();
    m_ultimoInforme = -1000;
    m_puerto.Output(QByteArray(1, CaracteresControl::kDc2));
    alimenta();
    return true;
}

void Envio::alimenta()
{
    if (!m_activo || m_finEncolado)
        return;
    if (m_detenido) {
        QByteArray fin;
        fin.append(CodificadorEnvio::porCiento(m_iso));
        fin.append(CaracteresControl::kDc4);
        m_puerto.Output(fin);
        m_finEncolado = true;
        m_puerto.cierraTrasVaciar();
        return;
    }
    const qint64 total = m_lineas.size();
    if (m_siguiente < total && m_puerto.OutBufferCount() < m_adelanto) {
        QByteArray bloque;
        do {
            CodificadorEnvio::codificaLinea(m_lineas.at(m_siguiente++), m_iso, bloque);
        } while (m_siguiente < total && m_puerto.OutBufferCount() + bloque.size() < m_adelanto);
        m_puerto.Output(bloque);
    }
    if (m_siguiente >= total) {
        m_puerto.Output(QByteArray(1, CaracteresControl::kDc4));
        m_finEncolado = true;
        m_puerto.cierraTrasVaciar();
    }
    informaProgreso(false);
}

void Envio::detiene()
{
    if (!m_activo || m_plazoParada->isActive())
        return;
    m_plazoParada->start();
    // The rest of the current line is still queued; "%" and DC4 follow it.
    // Once DC4 is queued the program is whole and goes out as it is.
    if (!m_finEncolado) {
        m_detenido = true;
        alimenta();
    }
}

void Envio::alCerrar()
{
    informaProgreso(true);
    termina(m_detenido ? ResultadoTransferencia::Estado::Detenida
                       : ResultadoTransferencia::Estado::Completa);
}

void Envio::alFallar(const QString &mensaje)
{
    termina(ResultadoTransferencia::Estado::Fallida, mensaje);
}

void Envio::termina(ResultadoTransferencia::Estado estado, const QString &error)
{
    if (!m_activo)
        return;
    m_activo = false;
    m_plazoParada->stop();
    for (const QMetaObject::Connection &c : std::as_const(m_conexiones))
        disconnect(c);
    m_conexiones.clear();
    m_lineas.clear();
    emit terminado({estado, error});
}

void Envio::informaProgreso(bool forzado)
{
    const qint64 ms = m_reloj.elapsed();
    if (!forzado && ms - m_ultimoInforme < kIntervaloProgresoMs)
        return;
    m_ultimoInforme = ms;
    ProgresoTransferencia p;
    p.lineas = m_lineas.size();
    p.linea = m_siguiente;
    p.bytes = m_puerto.bytesEnviados();
    p.bytesTotales = m_bytesTotales;
    if (ms > 0)
        p.caracteresPorSegundo = p.bytes * 1000.0 / ms;
    if (p.caracteresPorSegundo > 0)
        p.segundosRestantes = (m_bytesTotales - p.bytes) / p.caracteresPorSegundo;
    emit progreso(p);
}
