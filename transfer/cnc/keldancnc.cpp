// keldan-cnc: the serial port of a CNC, for trying Keldan without a machine.
// It opens a pseudo-terminal (and prints the device the program should use)
// or a real serial device, and then receives a program into a file or sends
// one from a file, at the pace of a real line of the given speed.

#include "transfer/caracterescontrol.h"
#include "transfer/tablaiso.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/timerfd.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

struct Opciones
{
    std::string dispositivo;
    long velocidad = 9600;
    double bitsPorCaracter = 10;
    bool iso = false;
    // Receive mode.
    std::string ficheroRecibido;
    int buffer = 256;
    int alta = 80;
    int baja = 20;
    double consumo = -1; // characters a second the CNC takes from its buffer
    bool dc3Iso = false;
    // Send mode.
    std::string ficheroEnvio;
    bool porCiento = false;
    bool crlf = false;
    long pausaCada = 0;
    long pausaMs = 0;
    long retrasoMs = 0;
};

void uso()
{
    std::fputs(
        "usage: keldan-cnc [--device PATH] [--speed BPS] [--bits-per-char N] [--iso]\n"
        "                  --receive FILE [--buffer N] [--high PCT] [--low PCT]\n"
        "                                 [--consume CPS] [--dc3-iso]\n"
        "                | --send FILE [--percent] [--crlf] [--pause-every LINES --pause-ms MS]\n"
        "                              [--delay-ms MS]\n"
        "Without --device a pseudo-terminal is created and its device printed.\n",
        stderr);
}

bool leeOpciones(int argc, char **argv, Opciones &o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto valor = [&]() -> const char * {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "keldan-cnc: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--device")
            o.dispositivo = valor();
        else if (a == "--speed")
            o.velocidad = std::atol(valor());
        else if (a == "--bits-per-char")
            o.bitsPorCaracter = std::atof(valor());
        else if (a == "--iso")
            o.iso = true;
        else if (a == "--receive")
            o.ficheroRecibido = valor();
        else if (a == "--buffer")
            o.buffer = std::atoi(valor());
        else if (a == "--high")
            o.alta = std::atoi(valor());
        else if (a == "--low")
            o.baja = std::atoi(valor());
        else if (a == "--consume")
            o.consumo = std::atof(valor());
        else if (a == "--dc3-iso")
            o.dc3Iso = true;
        else if (a == "--send")
            o.ficheroEnvio = valor();
        else if (a == "--percent")
            o.porCiento = true;
        else if (a == "--crlf")
            o.crlf = true;
        else if (a == "--pause-every")
            o.pausaCada = std::atol(valor());
        else if (a == "--pause-ms")
            o.pausaMs = std::atol(valor());
        else if (a == "--delay-ms")
            o.retrasoMs = std::atol(valor());
        else
            return false;
    }
    return o.velocidad > 0 && o.bitsPorCaracter > 0 && o.buffer > 0
        && (o.ficheroRecibido.empty() != o.ficheroEnvio.empty());
}

double ahora()
{
    timespec t {};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

speed_t velocidadTermios(long v)
{
    switch (v) {
    case 110:
        return B110;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B0;
    }
}

// Opens the line; for a pty the slave stays open here too, so that what the
// program writes before it closes is still read.
int abreLinea(const Opciones &o, int &esclavo)
{
    termios t {};
    cfmakeraw(&t);
    int fd = -1;
    if (o.dispositivo.empty()) {
        if (openpty(&fd, &esclavo, nullptr, &t, nullptr) != 0) {
            std::perror("keldan-cnc: openpty");
            return -1;
        }
        std::printf("%s\n", ttyname(esclavo));
    } else {
        fd = ::open(o.dispositivo.c_str(), O_RDWR | O_NOCTTY);
        if (fd < 0) {
            std::fprintf(
                stderr, "keldan-cnc: %s: %s\n", o.dispositivo.c_str(), std::strerror(errno));
            return -1;
        }
        tcgetattr(fd, &t);
        cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        t.c_iflag &= ~(IXON | IXOFF | IXANY);
        if (const speed_t s = velocidadTermios(o.velocidad); s != B0)
            cfsetspeed(&t, s);
        if (tcsetattr(fd, TCSANOW, &t) != 0)
            std::fprintf(stderr, "keldan-cnc: settings refused: %s\n", std::strerror(errno));
    }
    std::fflush(stdout);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    return fd;
}

// A clock of line slots: one character per character time.
struct Reloj
{
    explicit Reloj(double cps) : cps(cps), fd(timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC))
    {
        // Tick once a character, but not more than 10000 times a second.
        const double tick = std::max(1.0 / cps, 100e-6);
        itimerspec it {};
        it.it_interval.tv_sec = time_t(tick);
        it.it_interval.tv_nsec = long((tick - std::floor(tick)) * 1e9);
        it.it_value = it.it_interval;
        timerfd_settime(fd, 0, &it, nullptr);
        ultimo = ahora();
    }
    // Slots elapsed since the last call.
    long huecos()
    {
        const double t = ahora();
        fraccion += (t - ultimo) * cps;
        ultimo = t;
        const long n = long(fraccion);
        fraccion -= n;
        return n;
    }
    double cps;
    int fd;
    double ultimo;
    double fraccion = 0;
};

int recibe(const Opciones &o, int fd)
{
    using namespace CaracteresControl;
    const double cps = o.velocidad / o.bitsPorCaracter;
    const double consumo = o.consumo >= 0 ? o.consumo : cps / 2;
    const long marcaAlta = long(std::ceil(o.buffer * o.alta / 100.0));
    const long marcaBaja = long(std::floor(o.buffer * o.baja / 100.0));
    std::ofstream salida(o.ficheroRecibido, std::ios::binary);
    if (!salida) {
        std::fprintf(stderr, "keldan-cnc: cannot write %s\n", o.ficheroRecibido.c_str());
        return 1;
    }
    Reloj reloj(cps);
    double ocupado = 0;
    bool detenido = false, empezado = false, terminado = false;
    long dc3 = 0, trasDc3 = 0, maxTrasDc3 = 0, desbordes = 0;
    long long bytes = 0, huecosAbiertos = 0, usadosAbiertos = 0;
    double inicio = 0, fin = 0;
    std::vector<char> buf(65536);
    while (!terminado) {
        pollfd p {reloj.fd, POLLIN, 0};
        if (poll(&p, 1, -1) < 0 && errno != EINTR)
            break;
        uint64_t veces;
        if (::read(reloj.fd, &veces, sizeof veces) < 0)
            continue;
        const long huecos = reloj.huecos();
        // The wire delivers at most one character a slot; what the program
        // wrote beyond that waits in the pty, as it would on the line.
        long leidos = 0;
        if (huecos > 0) {
            const ssize_t n = ::read(fd, buf.data(), std::min<size_t>(huecos, buf.size()));
            if (n < 0 && errno != EAGAIN && errno != EIO) {
                std::perror("keldan-cnc: read");
                return 1;
            }
            leidos = n > 0 ? n : 0;
        }
        if (empezado && !detenido) {
            huecosAbiertos += huecos;
            usadosAbiertos += leidos;
        }
        ocupado = std::max(0.0, ocupado - consumo * (huecos / cps));
        for (long i = 0; i < leidos; ++i) {
            const char c = buf[i];
            if (!empezado) {
                if (c == kDc2) {
                    empezado = true;
                    inicio = ahora();
                }
                continue;
            }
            ++bytes;
            if (detenido)
                ++trasDc3;
            if (c == kDc4) {
                terminado = true;
                fin = ahora();
                break;
            }
            salida.put(c);
            ocupado += 1;
        }
        if (ocupado > o.buffer)
            ++desbordes;
        if (!detenido && empezado && ocupado >= marcaAlta) {
            const char c = o.dc3Iso ? char(kDc3Iso) : kDc3;
            if (::write(fd, &c, 1) == 1) {
                detenido = true;
                trasDc3 = 0;
                ++dc3;
            }
        } else if (detenido && ocupado <= marcaBaja) {
            const char c = kDc1;
            if (::write(fd, &c, 1) == 1) {
                detenido = false;
                std::printf("DC3 %ld: %ld characters after DC3\n", dc3, trasDc3);
                maxTrasDc3 = std::max(maxTrasDc3, trasDc3);
            }
        }
    }
    if (detenido) {
        std::printf("DC3 %ld: %ld characters after DC3\n", dc3, trasDc3);
        maxTrasDc3 = std::max(maxTrasDc3, trasDc3);
    }
    salida.close();
    const double segundos = fin - inicio;
    std::printf("received %lld bytes in %.3f s; DC3 sent %ld times, at most %ld characters "
                "after DC3; line busy %.2f %% while open; buffer overflows %ld\n",
        bytes, segundos, dc3, maxTrasDc3,
        huecosAbiertos ? 100.0 * usadosAbiertos / huecosAbiertos : 0.0, desbordes);
    return desbordes ? 3 : 0;
}

int envia(const Opciones &o, int fd)
{
    using namespace CaracteresControl;
    std::ifstream entrada(o.ficheroEnvio, std::ios::binary);
    if (!entrada) {
        std::fprintf(stderr, "keldan-cnc: cannot read %s\n", o.ficheroEnvio.c_str());
        return 1;
    }
    auto codifica = [&](const std::string &texto, std::string &destino) {
        for (char c : texto)
            destino += o.iso ? char(IsoRapido::codigo(quint8(c))) : c;
    };
    auto finLinea = [&](std::string &destino) {
        if (o.crlf)
            destino += o.iso ? char(0x8D) : kCr;
        destino += kLf;
    };
    // The stream, with the places where the CNC pauses.
    std::string flujo(1, kDc2);
    std::vector<size_t> pausas;
    if (o.porCiento) {
        codifica("%", flujo);
        finLinea(flujo);
    }
    std::string linea;
    long n = 0;
    while (std::getline(entrada, linea)) {
        if (!linea.empty() && linea.back() == '\r')
            linea.pop_back();
        codifica(linea, flujo);
        finLinea(flujo);
        if (o.pausaCada > 0 && ++n % o.pausaCada == 0)
            pausas.push_back(flujo.size());
    }
    flujo += kDc4;

    if (o.retrasoMs > 0)
        usleep(useconds_t(o.retrasoMs) * 1000);
    const double cps = o.velocidad / o.bitsPorCaracter;
    Reloj reloj(cps);
    size_t hecho = 0, siguientePausa = 0;
    double reanuda = 0;
    while (hecho < flujo.size()) {
        pollfd p {reloj.fd, POLLIN, 0};
        if (poll(&p, 1, -1) < 0 && errno != EINTR)
            break;
        uint64_t veces;
        if (::read(reloj.fd, &veces, sizeof veces) < 0)
            continue;
        long huecos = reloj.huecos();
        if (ahora() < reanuda)
            continue;
        size_t limite = flujo.size();
        if (siguientePausa < pausas.size())
            limite = pausas[siguientePausa];
        const size_t n = std::min<size_t>(huecos, limite - hecho);
        if (n > 0) {
            const ssize_t w = ::write(fd, flujo.data() + hecho, n);
            if (w > 0)
                hecho += size_t(w);
        }
        if (siguientePausa < pausas.size() && hecho == pausas[siguientePausa]) {
            ++siguientePausa;
            reanuda = ahora() + o.pausaMs / 1000.0;
        }
    }
    // Let the program read the last bytes before the pty goes away.
    tcdrain(fd);
    usleep(200000);
    std::printf("sent %zu bytes\n", flujo.size());
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    Opciones o;
    if (!leeOpciones(argc, argv, o)) {
        uso();
        return 2;
    }
    int esclavo = -1;
    const int fd = abreLinea(o, esclavo);
    if (fd < 0)
        return 1;
    const int r = o.ficheroRecibido.empty() ? envia(o, fd) : recibe(o, fd);
    std::fflush(stdout);
    ::close(fd);
    if (esclavo >= 0)
        ::close(esclavo);
    return r;
}
