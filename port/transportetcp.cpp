#include "port/transportetcp.h"

#include "base/razonsistema.h"
#include "line/direccionred.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/sockios.h>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// A name lookup cannot be interrupted: it runs on a thread of its own, which
// the connection gives up on at Stop or at the time limit and which ends by
// itself later. What it finds is shared until both are done with it.
struct Busqueda
{
    std::mutex mutex;
    addrinfo *direcciones = nullptr;
    int error = 0;
    int errorSistema = 0;
    int aviso[2] = {-1, -1};

    ~Busqueda()
    {
        if (direcciones)
            freeaddrinfo(direcciones);
        for (const int fd : aviso) {
            if (fd >= 0)
                ::close(fd);
        }
    }
};

} // namespace

TransporteTcp::~TransporteTcp()
{
    cierra();
}

TransporteTcp::Espera TransporteTcp::espera(
    int fd, short eventos, int cancelar, Reloj::time_point limite)
{
    for (;;) {
        const auto queda
            = std::chrono::duration_cast<std::chrono::milliseconds>(limite - Reloj::now()).count();
        if (queda <= 0)
            return Espera::Plazo;
        pollfd p[2] = {{cancelar, POLLIN, 0}, {fd, eventos, 0}};
        const int n = ::poll(p, 2, int(qMin<qint64>(queda, 1000)));
        if (n < 0 && errno != EINTR)
            return Espera::Cancelada;
        if (p[0].revents & POLLIN)
            return Espera::Cancelada;
        if (p[1].revents)
            return Espera::Lista;
    }
}

bool TransporteTcp::escribeTodo(const QByteArray &datos, int cancelar, Reloj::time_point limite)
{
    for (qsizetype hecho = 0; hecho < datos.size();) {
        const ssize_t n
            = ::send(m_fd, datos.constData() + hecho, size_t(datos.size() - hecho), MSG_NOSIGNAL);
        if (n > 0)
            hecho += n;
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        else if (espera(m_fd, POLLOUT, cancelar, limite) != Espera::Lista)
            return false;
    }
    return true;
}

bool TransporteTcp::abre(
    const AjustesLinea &ajustes, int cancelar, Reloj::time_point limite, FalloTransporte &fallo)
{
    using F = MSComm::Fallo;
    const auto falla = [&](F tipo, const QString &detalle = {}) {
        fallo = {tipo, detalle, {}};
        cierra();
        return false;
    };
    const std::optional<DireccionRed> direccion = DireccionRed::interpreta(ajustes.dispositivo);
    if (!direccion)
        return falla(F::NoExiste);
    limite = qMin(limite, Reloj::now() + std::chrono::seconds(kSegundosConexion));

    auto busqueda = std::make_shared<Busqueda>();
    if (::pipe2(busqueda->aviso, O_CLOEXEC | O_NONBLOCK) != 0)
        return falla(F::Otro, RazonSistema(errno));
    std::thread([busqueda, host = direccion->host.toUtf8(),
                    puerto = QByteArray::number(direccion->puerto)] {
        addrinfo pista {};
        pista.ai_socktype = SOCK_STREAM;
        addrinfo *lista = nullptr;
        const int error = getaddrinfo(host.constData(), puerto.constData(), &pista, &lista);
        const int errorSistema = errno;
        std::lock_guard bloqueo(busqueda->mutex);
        busqueda->direcciones = lista;
        busqueda->error = error;
        busqueda->errorSistema = errorSistema;
        [[maybe_unused]] const ssize_t n = ::write(busqueda->aviso[1], "", 1);
    }).detach();
    switch (espera(busqueda->aviso[0], POLLIN, cancelar, limite)) {
    case Espera::Plazo:
        return falla(F::SinRespuesta);
    case Espera::Cancelada:
        return falla(F::Otro);
    case Espera::Lista:
        break;
    }

    std::lock_guard bloqueo(busqueda->mutex);
    if (busqueda->error == EAI_SYSTEM)
        return falla(F::Otro, RazonSistema(busqueda->errorSistema));
    if (busqueda->error != 0)
        return falla(F::NombreDesconocido, QString::fromLocal8Bit(gai_strerror(busqueda->error)));

    // Each address in turn, as the resolver orders them; the first refusal
    // is what the operator hears of when none takes the connection.
    F tipo = F::SinRespuesta;
    QString detalle;
    for (const addrinfo *a = busqueda->direcciones; a; a = a->ai_next) {
        m_fd = ::socket(a->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (m_fd < 0)
            continue;
        int error = ::connect(m_fd, a->ai_addr, a->ai_addrlen) == 0 ? 0 : errno;
        if (error == EINPROGRESS) {
            const Espera e = espera(m_fd, POLLOUT, cancelar, limite);
            if (e == Espera::Cancelada)
                return falla(F::Otro);
            socklen_t largo = sizeof error;
            if (e == Espera::Plazo)
                error = ETIMEDOUT;
            else if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &largo) != 0)
                error = errno;
        }
        if (error == 0) {
            // Paced output goes out a few characters at a time: at once, not
            // gathered while the last ones wait for their acknowledgement.
            const int uno = 1;
            ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &uno, sizeof uno);
            return prepara(ajustes, cancelar, limite, fallo) || (cierra(), false);
        }
        cierra();
        if (error == ECONNREFUSED && tipo != F::ConexionRechazada) {
            tipo = F::ConexionRechazada;
            detalle.clear();
        } else if (error != ETIMEDOUT && tipo == F::SinRespuesta) {
            tipo = F::Otro;
            detalle = RazonSistema(error);
        }
        if (Reloj::now() >= limite)
            break;
    }
    return falla(tipo, detalle);
}

qint64 TransporteTcp::colaDriver() const
{
    // Bytes not sent yet. Those sent and not yet acknowledged are with the
    // server, whose line the pacing models already: counting them would hold
    // the output for as long as the server delays its acknowledgements.
    return cuentaCola(SIOCOUTQNSD);
}

qint64 TransporteTcp::sinConfirmar() const
{
    return cuentaCola(SIOCOUTQ);
}
