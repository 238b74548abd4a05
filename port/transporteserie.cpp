#include "port/transporteserie.h"

#include "base/razonsistema.h"

#include <QFile>

// termios2 sets any speed (BOTHER); <termios.h> cannot be mixed with it.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" int ioctl(int fd, unsigned long peticion, ...) noexcept;

namespace {

QString nombreGrupo(gid_t gid)
{
    if (const group *g = getgrgid(gid))
        return QString::fromLocal8Bit(g->gr_name);
    return QString::number(gid);
}

tcflag_t bitsDatos(int n)
{
    switch (n) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

} // namespace

TransporteSerie::~TransporteSerie()
{
    cierra();
}

bool TransporteSerie::abre(
    const AjustesLinea &ajustes, int, Reloj::time_point, FalloTransporte &fallo)
{
    const QByteArray ruta = QFile::encodeName(ajustes.dispositivo);
    auto falla = [&](MSComm::Fallo tipo, const QString &detalle = {}) {
        fallo = {tipo, detalle, {}};
        cierra();
        return false;
    };
    struct stat st
    {
    };
    if (ruta.isEmpty() || ::stat(ruta.constData(), &st) != 0)
        return falla(MSComm::Fallo::NoExiste);
    m_fd = ::open(ruta.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        const int e = errno;
        if (e == ENOENT || e == ENODEV || e == ENXIO)
            return falla(MSComm::Fallo::NoExiste);
        if (e == EACCES || e == EPERM)
            return falla(MSComm::Fallo::SinPermiso, nombreGrupo(st.st_gid));
        if (e == EBUSY)
            return falla(MSComm::Fallo::Ocupado);
        return falla(MSComm::Fallo::Otro, RazonSistema(e));
    }
    // TIOCEXCL keeps other users out, but not root; the lock keeps out any
    // program that locks as well, this one included.
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(m_fd, TIOCEXCL) != 0)
        return falla(
            errno == EWOULDBLOCK || errno == EBUSY ? MSComm::Fallo::Ocupado : MSComm::Fallo::Otro,
            RazonSistema(errno));

    const ParametrosLinea &p = ajustes.parametros;
    termios2 t {};
    if (::ioctl(m_fd, TCGETS2, &t) != 0)
        return falla(MSComm::Fallo::ParametrosRechazados, ajustes.settings);
    // Raw: no translation of any byte, no echo, no signals.
    t.c_iflag &= ~tcflag_t(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF
        | IXANY | INPCK | IGNPAR);
    t.c_oflag &= ~tcflag_t(OPOST);
    t.c_lflag &= ~tcflag_t(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~tcflag_t(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD);
    t.c_cflag |= CREAD | CLOCAL | BOTHER | bitsDatos(p.bitsDatos);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    t.c_ispeed = t.c_ospeed = speed_t(p.velocidad);
    t.c_cflag &= ~tcflag_t(CBAUD << IBSHIFT);
    if (p.paridad != 'N')
        t.c_cflag |= PARENB;
    if (p.paridad == 'O' || p.paridad == 'M')
        t.c_cflag |= PARODD;
    if (p.paridad == 'M' || p.paridad == 'S')
        t.c_cflag |= CMSPAR;
    // Termios has no 1.5 stop bits: the UARTs send 1.5 for "2" with 5 data
    // bits, and there is no way to get 1.5 with more.
    if (p.bitsStop == 1.5 && p.bitsDatos != 5)
        return falla(MSComm::Fallo::ParametrosRechazados, ajustes.settings);
    if (p.bitsStop > 1)
        t.c_cflag |= CSTOPB;
    if (ajustes.negociacion == MSComm::Negociacion::RtsCts)
        t.c_cflag |= CRTSCTS;
    if (ajustes.negociacion == MSComm::Negociacion::XonXoff && ajustes.xonXoffEnPuerto) {
        t.c_iflag |= ajustes.xonXoffDiferido ? IXOFF : IXON | IXOFF;
        t.c_cc[VSTOP] = cc_t(ajustes.paro);
        t.c_cc[VSTART] = cc_t(ajustes.sigue);
    }
    // A driver may take the call and keep what it cannot do: read back.
    termios2 leido {};
    constexpr tcflag_t kCflagPedido = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
    constexpr tcflag_t kIflagPedido = IXON | IXOFF | IXANY;
    if (::ioctl(m_fd, TCSETS2, &t) != 0 || ::ioctl(m_fd, TCGETS2, &leido) != 0
        || (leido.c_cflag & kCflagPedido) != (t.c_cflag & kCflagPedido)
        || (leido.c_iflag & kIflagPedido) != (t.c_iflag & kIflagPedido)
        || std::abs(qint64(leido.c_ospeed) - p.velocidad) > p.velocidad / 50)
        return falla(MSComm::Fallo::ParametrosRechazados, ajustes.settings);
    return true;
}

bool TransporteSerie::activaXonXoff(const AjustesLinea &ajustes)
{
    if (m_fd < 0 || !ajustes.xonXoffEnPuerto || !ajustes.xonXoffDiferido)
        return true;
    termios2 t {};
    if (::ioctl(m_fd, TCGETS2, &t) != 0)
        return false;
    t.c_iflag |= IXON;
    termios2 leido {};
    return ::ioctl(m_fd, TCSETS2, &t) == 0 && ::ioctl(m_fd, TCGETS2, &leido) == 0
        && (leido.c_iflag & IXON);
}

QString TransporteSerie::razonPerdida(int codigo)
{
    // A hung-up line reads as end of file: the device is asked afresh, and
    // when it names no fault, none is given.
    if (codigo == 0 && m_fd >= 0 && ::write(m_fd, "", 0) < 0)
        codigo = errno;
    return Transporte::razonPerdida(codigo);
}

void TransporteSerie::descartaSalida()
{
    if (m_fd >= 0)
        ::ioctl(m_fd, TCFLSH, TCOFLUSH);
}
