#include "port/transporte.h"

#include "base/razonsistema.h"
#include "line/direccionred.h"
#include "port/transporterfc2217.h"
#include "port/transporteserie.h"

#include <sys/ioctl.h>
#include <unistd.h>

Transporte::~Transporte() = default;

std::unique_ptr<Transporte> Transporte::crea(const QString &dispositivo)
{
    // A network port written amiss still goes to a network link, which
    // reports it as such rather than as a missing device.
    if (DireccionRed::esDeRed(dispositivo)) {
        const std::optional<DireccionRed> d = DireccionRed::interpreta(dispositivo);
        if (d && d->protocolo == DireccionRed::Protocolo::Rfc2217)
            return std::make_unique<TransporteRfc2217>();
        return std::make_unique<TransporteTcp>();
    }
    return std::make_unique<TransporteSerie>();
}

bool Transporte::codifica(const char *, qsizetype, QByteArray &)
{
    return false;
}

void Transporte::decodifica(const char *leido, qsizetype n, QByteArray &datos, QByteArray &)
{
    datos.append(leido, n);
}

QString Transporte::razonPerdida(int codigo)
{
    return codigo ? RazonSistema(codigo) : QString();
}

qint64 Transporte::cuentaCola(unsigned long peticion) const
{
    int enCola = 0;
    if (m_fd >= 0 && ::ioctl(m_fd, peticion, &enCola) == 0 && enCola > 0)
        return enCola;
    return 0;
}

qint64 Transporte::colaDriver() const
{
    // TIOCOUTQ for a tty is SIOCOUTQ for a socket: bytes not yet on the wire.
    return cuentaCola(TIOCOUTQ);
}

void Transporte::descartaSalida() { }

void Transporte::cierra()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}
