#include "transfer/recepcionpuerto.h"

#include "port/mscomm.h"

#include <QTimer>

RecepcionPuerto::RecepcionPuerto(MSComm &puerto, QObject *parent)
    : QObject(parent), m_puerto(puerto), m_silencio(new QTimer(this))
{
    m_silencio->setSingleShot(true);
}

RecepcionPuerto::~RecepcionPuerto()
{
    if (m_activo)
        m_puerto.setPortOpen(false);
}

bool RecepcionPuerto::abre(bool iso, int silencioS)
{
    m_silencio->setInterval(silencioS * 1000);
    m_conexiones = {
        connect(&m_puerto, &MSComm::OnComm, this, &RecepcionPuerto::alLlegar),
        connect(&m_puerto, &MSComm::fallo, this,
            [this](MSComm::Fallo, const QString &, const QString &mensaje) {
                termina(ResultadoTransferencia::Estado::Fallida, mensaje);
            }),
    };
    m_activo = true;
    m_puerto.setIso(iso);
    return m_puerto.setPortOpen(true);
}

bool RecepcionPuerto::suelta(QByteArray &resto)
{
    if (!m_activo)
        return false;
    m_activo = false;
    m_silencio->stop();
    for (const QMetaObject::Connection &c : std::as_const(m_conexiones))
        disconnect(c);
    m_conexiones.clear();
    // Bytes the device has taken in but not yet reported are read too; the
    // port is closed right after.
    m_puerto.recogeEntrada();
    resto = m_puerto.Input();
    m_puerto.setPortOpen(false);
    return true;
}
