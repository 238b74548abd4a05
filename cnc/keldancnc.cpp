// keldan-cnc: the serial port of a CNC, for trying Keldan without a machine.
// It opens a pseudo-terminal (and prints the device the program should use)
// or a real serial device, and then receives a program into a file or sends
// one from a file, at the pace of a real line of the given speed.

#include "keldanversion.h"
#include "line/caracterescontrol.h"
#include "line/tablaiso.h"
#include "port/hilopuntual.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <time.h>
#include <type_traits>
#include <unistd.h>
#include <utility>
#include <variant>
#include <vector>

namespace {

enum class FinBloque { CrLf, Lf, Cr };

struct Opciones
{
    std::string dispositivo;
    // A line the caller keeps open (the master of its pseudo-terminal), so
    // that one port serves run after run.
    int descriptor = -1;
    long velocidad = 9600;
    double bitsPorCaracter = 10;
    bool iso = false;
    // End of block sent, or expected on receiving.
    FinBloque eol = FinBloque::CrLf;
    bool eolDado = false;
    bool marco = true;
    // Receive mode.
    std::string ficheroRecibido;
    int buffer = 256;
    int alta = 80;
    int baja = 20;
    double consumo = -1; // characters a second the CNC takes from its buffer
    bool dc3Iso = false;
    bool pideDc1 = false;
    long ociosoMs = 2000; // without framing, this long without a byte ends the program
    // More characters than this after a DC3 raise the control's overrun alarm (0: never).
    long desborde = 10;
    // Once this many bytes of the program have come, the line is held with
    // DC3 until a line (or the end) comes on standard input (0: never), so
    // that whoever drives the CNC may act during the transfer.
    long retenerEn = 0;
    // Send mode.
    std::string ficheroEnvio;
    bool porCiento = false;
    bool dc4 = true;
    long lider = 0;
    long cola = 0;
    long pausaCada = 0;
    long pausaMs = 0;
    long retrasoMs = 0;
    // The program sent this many times in a row, each framed on its own;
    // the line cut after this many bytes of it all (0: never).
    long repeticiones = 1;
    long cortaTras = 0;
};

void uso()
{
    std::fputs("usage: keldan-cnc [--device PATH] [--speed BPS] [--bits-per-char N] [--iso]\n"
               "                  [--eol crlf|lf|cr] [--no-frame]\n"
               "                  --receive FILE [--buffer N] [--high PCT] [--low PCT]\n"
               "                                 [--consume CPS] [--dc3-iso] [--request-dc1]\n"
               "                                 [--idle-ms MS] [--overrun N] [--hold-at BYTES]\n"
               "                | --send FILE [--percent] [--leader N] [--trailer N] [--no-dc4]\n"
               "                              [--pause-every LINES --pause-ms MS] [--delay-ms MS]\n"
               "                              [--repeat N] [--cut-after BYTES]\n"
               "Without --device a pseudo-terminal is created and its device printed;\n"
               "--send then starts once the program opens it and ends when it closes it.\n"
               "--crlf is --eol crlf. --overrun N (default 10, 0 for never) raises the\n"
               "control's alarm and ends when more than N characters come after a DC3.\n"
               "--hold-at BYTES holds the line with DC3 once that many bytes of the\n"
               "program have come, until a line (or the end) comes on standard input.\n"
               "--fd N instead of --device uses a line the caller holds open (the master\n"
               "of its own pseudo-terminal), or, for a listening socket, the first\n"
               "connection to it (a CNC behind a raw TCP device server).\n",
        stderr);
}

// A flag's field and the value it sets.
struct Bandera
{
    bool Opciones::*campo;
    bool valor;
};

// The options, one row each: a flag, or a field that takes the next argument.
struct Opcion
{
    const char *nombre;
    std::variant<Bandera, int Opciones::*, long Opciones::*, double Opciones::*,
        std::string Opciones::*>
        campo;
};

const Opcion kOpciones[] = {
    {"--device", &Opciones::dispositivo},
    {"--fd", &Opciones::descriptor},
    {"--speed", &Opciones::velocidad},
    {"--bits-per-char", &Opciones::bitsPorCaracter},
    {"--iso", Bandera {&Opciones::iso, true}},
    {"--receive", &Opciones::ficheroRecibido},
    {"--buffer", &Opciones::buffer},
    {"--high", &Opciones::alta},
    {"--low", &Opciones::baja},
    {"--consume", &Opciones::consumo},
    {"--dc3-iso", Bandera {&Opciones::dc3Iso, true}},
    {"--send", &Opciones::ficheroEnvio},
    {"--percent", Bandera {&Opciones::porCiento, true}},
    {"--no-frame", Bandera {&Opciones::marco, false}},
    {"--no-dc4", Bandera {&Opciones::dc4, false}},
    {"--leader", &Opciones::lider},
    {"--trailer", &Opciones::cola},
    {"--request-dc1", Bandera {&Opciones::pideDc1, true}},
    {"--idle-ms", &Opciones::ociosoMs},
    {"--overrun", &Opciones::desborde},
    {"--hold-at", &Opciones::retenerEn},
    {"--pause-every", &Opciones::pausaCada},
    {"--pause-ms", &Opciones::pausaMs},
    {"--delay-ms", &Opciones::retrasoMs},
    {"--repeat", &Opciones::repeticiones},
    {"--cut-after", &Opciones::cortaTras},
};

// A number written whole: "12x" or "" is a wrong command line, not 12 or 0.
template<typename T> bool numero(const char *texto, T &valor)
{
    char *fin = nullptr;
    errno = 0;
    if constexpr (std::is_floating_point_v<T>)
        valor = T(std::strtod(texto, &fin));
    else {
        const long long n = std::strtoll(texto, &fin, 10);
        valor = T(n);
        if (n != valor)
            return false;
    }
    return *texto && fin && !*fin && errno == 0;
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
        if (a == "--crlf") {
            o.eol = FinBloque::CrLf, o.eolDado = true;
            continue;
        }
        if (a == "--eol") {
            const std::string v = valor();
            if (v == "crlf")
                o.eol = FinBloque::CrLf;
            else if (v == "lf")
                o.eol = FinBloque::Lf;
            else if (v == "cr")
                o.eol = FinBloque::Cr;
            else
                return false;
            o.eolDado = true;
            continue;
        }
        const auto opcion = std::find_if(std::begin(kOpciones), std::end(kOpciones),
            [&](const Opcion &op) { return a == op.nombre; });
        if (opcion == std::end(kOpciones))
            return false;
        const bool bien = std::visit(
            [&](auto campo) {
                using Campo = decltype(campo);
                if constexpr (std::is_same_v<Campo, Bandera>) {
                    o.*campo.campo = campo.valor;
                    return true;
                } else if constexpr (std::is_same_v<Campo, std::string Opciones::*>) {
                    o.*campo = valor();
                    return true;
                } else
                    return numero(valor(), o.*campo);
            },
            opcion->campo);
        if (!bien)
            return false;
    }
    return o.velocidad > 0 && o.bitsPorCaracter > 0 && o.buffer > 0 && o.lider >= 0 && o.cola >= 0
        && o.ociosoMs > 0 && o.desborde >= 0 && o.retenerEn >= 0 && o.repeticiones >= 1
        && o.cortaTras >= 0 && (o.ficheroRecibido.empty() != o.ficheroEnvio.empty());
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
    if (o.descriptor >= 0) {
        fd = o.descriptor;
        int escucha = 0;
        socklen_t largo = sizeof escucha;
        if (getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &escucha, &largo) == 0 && escucha) {
            // Said before waiting: the caller connects once it knows the
            // CNC is there, as it reads a pty's name.
            std::printf("waiting for a connection\n");
            std::fflush(stdout);
            fd = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                std::perror("keldan-cnc: accept");
                return -1;
            }
            const int uno = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &uno, sizeof uno);
        }
    } else if (o.dispositivo.empty()) {
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
    // Slots count from `desde`: what came before the first tick was on the line then.
    Reloj(double cps, double desde) : cps(cps), fd(timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC))
    {
        // Tick once a character, but not more than 10000 times a second.
        const double tick = std::max(1.0 / cps, 100e-6);
        itimerspec it {};
        it.it_interval.tv_sec = time_t(tick);
        it.it_interval.tv_nsec = long((tick - std::floor(tick)) * 1e9);
        it.it_value = it.it_interval;
        timerfd_settime(fd, 0, &it, nullptr);
        ultimo = desde;
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

// Checks the ends of block of the program received against the expected one.
struct RevisorFinBloque
{
    RevisorFinBloque(FinBloque eol, bool iso)
        : eol(eol), cr(iso ? char(0x8D) : CaracteresControl::kCr)
    { }
    void mira(char c)
    {
        const bool trasCr = std::exchange(crPendiente, false);
        if (c == cr) {
            if (eol == FinBloque::Cr)
                ++lineas;
            else
                crPendiente = true;
            if (trasCr || eol == FinBloque::Lf)
                ++malos;
        } else if (c == CaracteresControl::kLf) {
            ++lineas;
            if (trasCr != (eol == FinBloque::CrLf))
                ++malos;
        } else if (trasCr) {
            ++malos; // a CR alone
        }
    }
    FinBloque eol;
    char cr;
    bool crPendiente = false;
    long lineas = 0;
    long malos = 0;
};

// True once standard input has a line or its end, which it takes.
bool hayEntrada()
{
    pollfd p {STDIN_FILENO, POLLIN, 0};
    if (poll(&p, 1, 0) != 1)
        return false;
    char buf[256];
    return ::read(STDIN_FILENO, buf, sizeof buf) >= 0 || errno != EAGAIN;
}

// `abierta`: when the line was offered to the program, which may send at once.
int recibe(const Opciones &o, int fd, double abierta)
{
    using namespace CaracteresControl;
    const double cps = o.velocidad / o.bitsPorCaracter;
    const double consumo = o.consumo >= 0 ? o.consumo : cps / 2;
    const long marcaAlta = long(std::ceil(o.buffer * o.alta / 100.0));
    const long marcaBaja = long(std::floor(o.buffer * o.baja / 100.0));
    const char porCiento = o.iso ? char(kPorCientoIso) : kPorCiento;
    std::ofstream salida(o.ficheroRecibido, std::ios::binary);
    if (!salida) {
        std::fprintf(stderr, "keldan-cnc: cannot write %s\n", o.ficheroRecibido.c_str());
        return 1;
    }
    // Characters sent before this point took their slots then: counted from
    // later, they would stand in the pty as a backlog until the first DC3.
    Reloj reloj(cps, abierta);
    RevisorFinBloque revisor(o.eol, o.iso);
    double ocupado = 0;
    bool detenido = false, empezado = false, terminado = false;
    enum class Retencion { Antes, Pedida, Dicha, Soltada } retencion = Retencion::Antes;
    // Without framing: at the start of a line, and "%" lines seen.
    bool inicioLinea = true;
    int marcas = 0;
    long dc3 = 0, trasDc3 = 0, maxTrasDc3 = 0, desbordes = 0;
    long lider = 0, nulos = 0, cola = 0, trasFin = 0;
    long long bytes = 0, huecosAbiertos = 0, usadosAbiertos = 0;
    double inicio = 0, fin = 0, ultimoByte = ahora(), ultimoDc1 = -1;
    std::vector<char> buf(65536);
    // After the end, the trailer is read until the line has been idle a while.
    while (!terminado || ahora() - ultimoByte < 0.3) {
        // The control asks for the program until it begins to come.
        if (o.pideDc1 && !empezado && bytes == 0 && lider == 0 && ahora() - ultimoDc1 >= 1) {
            const char c = o.dc3Iso ? char(kDc1Iso) : kDc1;
            if (::write(fd, &c, 1) == 1)
                ultimoDc1 = ahora();
        }
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
        if (leidos > 0)
            ultimoByte = ahora();
        if (empezado && !detenido && !terminado) {
            huecosAbiertos += huecos;
            usadosAbiertos += leidos;
        }
        ocupado = std::max(0.0, ocupado - consumo * (huecos / cps));
        for (long i = 0; i < leidos; ++i) {
            const char c = buf[i];
            if (terminado) {
                // The end of block of the closing "%" line belongs to it.
                if (c == '\0')
                    ++cola;
                else if (trasFin == 0 && cola == 0 && (c == revisor.cr || c == kLf)) {
                    salida.put(c);
                    revisor.mira(c);
                } else
                    ++trasFin;
                continue;
            }
            if (!empezado) {
                if (c == '\0') {
                    ++lider;
                    continue;
                }
                if (o.marco ? c != kDc2 : c != porCiento)
                    continue;
                empezado = true;
                inicio = ahora();
                if (o.marco)
                    continue;
            }
            ++bytes;
            if (detenido && ++trasDc3 > o.desborde && o.desborde > 0) {
                // A control stops reading with an alarm: the program is lost.
                std::printf("OVERRUN ALARM: %ld characters after DC3 %ld (at most %ld)\n", trasDc3,
                    dc3, o.desborde);
                std::fflush(stdout);
                return 5;
            }
            if (o.marco && c == kDc4) {
                terminado = true;
                fin = ahora();
                continue;
            }
            if (c == '\0') {
                ++nulos; // tape feed: no part of the program
                continue;
            }
            salida.put(c);
            revisor.mira(c);
            ocupado += 1;
            if (!o.marco && c == porCiento && inicioLinea && ++marcas == 2) {
                terminado = true;
                fin = ahora();
            }
            inicioLinea = c == kLf || c == revisor.cr;
        }
        if (!o.marco && empezado && !terminado && ahora() - ultimoByte >= o.ociosoMs / 1000.0) {
            terminado = true;
            fin = ultimoByte;
        }
        if (ocupado > o.buffer)
            ++desbordes;
        if (retencion == Retencion::Antes && o.retenerEn > 0 && bytes >= o.retenerEn && !terminado)
            retencion = Retencion::Pedida;
        else if (retencion == Retencion::Dicha && hayEntrada())
            retencion = Retencion::Soltada;
        const bool retenida = retencion == Retencion::Pedida || retencion == Retencion::Dicha;
        if (!detenido && empezado && !terminado && (ocupado >= marcaAlta || retenida)) {
            const char c = o.dc3Iso ? char(kDc3Iso) : kDc3;
            if (::write(fd, &c, 1) == 1) {
                detenido = true;
                trasDc3 = 0;
                ++dc3;
            }
        } else if (detenido && !retenida && (ocupado <= marcaBaja || terminado)) {
            const char c = kDc1;
            if (::write(fd, &c, 1) == 1) {
                detenido = false;
                std::printf("DC3 %ld: %ld characters after DC3\n", dc3, trasDc3);
                maxTrasDc3 = std::max(maxTrasDc3, trasDc3);
            }
        }
        if (retencion == Retencion::Pedida && detenido) {
            retencion = Retencion::Dicha;
            std::printf("holding the line at %lld bytes with DC3 %ld\n", bytes, dc3);
            std::fflush(stdout);
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
    std::printf("%ld lines, %ld with another end of block; NUL: %ld leader, %ld inside, "
                "%ld trailer; %ld other bytes after the end\n",
        revisor.lineas, revisor.malos, lider, nulos, cola, trasFin);
    return desbordes ? 3 : revisor.malos || trasFin ? 4 : 0;
}

// True while nothing but keldan-cnc holds the pty: its master then reports a hang-up.
bool sinPrograma(int fd)
{
    pollfd p {fd, 0, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & POLLHUP);
}

int envia(const Opciones &o, int fd, int &esclavo)
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
        if (o.eol != FinBloque::Lf)
            destino += o.iso ? char(0x8D) : kCr;
        if (o.eol != FinBloque::Cr)
            destino += kLf;
    };
    // The stream, with the places where the CNC pauses.
    std::string flujo(size_t(o.lider), '\0');
    if (o.marco)
        flujo += kDc2;
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
    if (o.marco && o.dc4)
        flujo += kDc4;
    flujo.append(size_t(o.cola), '\0');
    // Programs one after another, as a CNC punching its directory out.
    const std::string uno = flujo;
    const std::vector<size_t> pausasUno = pausas;
    for (long r = 1; r < o.repeticiones; ++r) {
        for (size_t p : pausasUno)
            pausas.push_back(p + flujo.size());
        flujo += uno;
    }
    // A cable pulled mid-program: the pauses past the cut are never reached.
    if (o.cortaTras > 0 && size_t(o.cortaTras) < flujo.size()) {
        flujo.resize(size_t(o.cortaTras));
        std::erase_if(pausas, [&](size_t p) { return p > flujo.size(); });
    }

    // On a pty, a CNC sends to a port that is open and keeps its line until
    // the program closes it: a program without DC4 may end the reception only
    // after its silence time, and what was sent before it opened would be lost.
    const bool pty = esclavo >= 0;
    if (pty) {
        ::close(std::exchange(esclavo, -1));
        while (sinPrograma(fd))
            usleep(10000);
    }
    if (o.retrasoMs > 0)
        usleep(useconds_t(o.retrasoMs) * 1000);
    const double cps = o.velocidad / o.bitsPorCaracter;
    Reloj reloj(cps, ahora());
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
            else if (pty && sinPrograma(fd))
                break; // the program closed its port: the rest is lost, as on a pulled cable
        }
        if (siguientePausa < pausas.size() && hecho == pausas[siguientePausa]) {
            ++siguientePausa;
            reanuda = ahora() + o.pausaMs / 1000.0;
        }
    }
    tcdrain(fd);
    if (pty) {
        while (!sinPrograma(fd))
            usleep(10000);
    } else
        usleep(200000);
    std::printf("sent %zu bytes\n", flujo.size());
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    // Asked for, the usage goes to stdout and ends well (the manual page is made from it).
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        ::dup2(STDOUT_FILENO, STDERR_FILENO);
        uso();
        std::puts("Exit status: 0 done; 1 the line or a file could not be used; 2 a wrong\n"
                  "command line; 3 a buffer overflow (receive); 4 line ends that differ from\n"
                  "--eol or bytes after the end (receive); 5 the overrun alarm (receive).");
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("keldan-cnc " KELDAN_VERSION_TEXT);
        return 0;
    }
    Opciones o;
    if (!leeOpciones(argc, argv, o)) {
        uso();
        return 2;
    }
    // A control's UART takes each character as it comes, however busy the
    // machine: the simulated one must not wake late either.
    HiloPuntual::aplica();
    int esclavo = -1;
    const double abierta = ahora();
    const int fd = abreLinea(o, esclavo);
    if (fd < 0)
        return 1;
    // The program sends CR LF in ASCII, LF in ISO code; a CNC's own default is LF.
    if (!o.eolDado)
        o.eol = !o.ficheroRecibido.empty() && !o.iso ? FinBloque::CrLf : FinBloque::Lf;
    const int r = o.ficheroRecibido.empty() ? envia(o, fd, esclavo) : recibe(o, fd, abierta);
    std::fflush(stdout);
    ::close(fd);
    if (esclavo >= 0)
        ::close(esclavo);
    return r;
}
