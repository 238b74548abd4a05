#include "port/transporterfc2217.h"

#include "base/razonsistema.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>

bool TransporteRfc2217::prepara(
    const AjustesLinea &ajustes, int cancelar, Reloj::time_point limite, FalloTransporte &fallo)
{
    using F = MSComm::Fallo;
    // XON/XOFF is the program's and needs DC3 and DC1 to reach it: the
    // server's port then does no flow control of its own.
    m_cliente.emplace(ajustes.parametros,
        ajustes.negociacion == MSComm::Negociacion::RtsCts ? ClienteRfc2217::Control::RtsCts
                                                           : ClienteRfc2217::Control::Ninguno);
    m_previos.clear();

    limite = qMin(limite, Reloj::now() + std::chrono::seconds(kSegundosAjustes));
    QByteArray respuesta = m_cliente->inicio();
    while (!m_cliente->listo()) {
        if (!escribeTodo(std::exchange(respuesta, {}), cancelar, limite)) {
            fallo = {F::Perdido, RazonSistema(errno), {}};
            return false;
        }
        if (m_cliente->rechazado())
            break;
        const Espera e = espera(m_fd, POLLIN, cancelar, limite);
        if (e == Espera::Cancelada) {
            fallo = {F::Otro, {}, {}};
            return false;
        }
        if (e == Espera::Plazo)
            break;
        char buf[4096];
        const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
            fallo = {F::Perdido, n < 0 ? RazonSistema(errno) : QString(), {}};
            return false;
        }
        if (n > 0)
            m_cliente->recibe(buf, n, m_previos, respuesta);
        if (m_previos.size() > kPreviosMaximos) {
            fallo = {F::Perdido, RazonSistema(ENOBUFS), {}};
            return false;
        }
    }
    if (m_cliente->listo())
        return escribeTodo(respuesta, cancelar, limite);
    // Never took the option (a raw port, perhaps): no settings to name.
    // Otherwise the settings the server refused, or left unanswered.
    fallo = {F::ParametrosRechazados,
        m_cliente->sinComPort() || m_cliente->pendientes().size() == 5 ? QString()
                                                                       : ajustes.settings,
        {}};
    return false;
}

bool TransporteRfc2217::codifica(const char *datos, qsizetype n, QByteArray &destino)
{
    if (!memchr(datos, 0xFF, size_t(n)))
        return false;
    ClienteRfc2217::codifica(datos, n, destino);
    return true;
}

void TransporteRfc2217::decodifica(
    const char *leido, qsizetype n, QByteArray &datos, QByteArray &respuesta)
{
    datos.append(std::exchange(m_previos, {}));
    m_cliente->recibe(leido, n, datos, respuesta);
}

void TransporteRfc2217::descartaSalida()
{
    // What the server still holds for the line goes too; nothing waits for its answer.
    const QByteArray purga = ClienteRfc2217::purga(ClienteRfc2217::Purga::Envio);
    if (m_fd >= 0) [[maybe_unused]]
        const ssize_t n
            = ::send(m_fd, purga.constData(), size_t(purga.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
}
