#include "port/motorpuerto.h"

#include "port/hilopuntual.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

// Unpaced output is handed over in blocks of this size.
constexpr qint64 kBloqueSinRitmo = 64 * 1024;
// A link that takes time to open has this long.
constexpr auto kPlazoApertura = std::chrono::seconds(10);
// Slack on top of the line time when closing a network link, and how often
// the acknowledgements are looked at meanwhile.
constexpr qint64 kMargenCierreNs = 1000000000;
constexpr qint64 kSondeoCierreNs = 10000000;
// Answers of the link's protocol (Telnet's) waiting for the peer to read
// them: a peer that sends commands and never reads must not make them pile
// up in the program's memory; it loses the link instead.
constexpr qsizetype kRespuestaMaxima = 64 * 1024;

// Received data waiting for the owner beyond this stops the reading: the
// driver's or the socket's buffer then fills and holds the peer, however
// fast it sends, so that a flooding peer cannot fill this process.
constexpr qint64 kEntradaMaxima = 256 * 1024;

qint64 ahoraNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

MotorPuerto::MotorPuerto(std::unique_ptr<Transporte> transporte, const AjustesLinea &ajustes,
    const Ritmo &ritmo, std::function<void()> aviso, RelojNs reloj)
    : m_transporte(std::move(transporte)),
      m_ajustes(ajustes),
      m_ritmo(ritmo),
      m_aviso(std::move(aviso)),
      m_reloj(reloj ? std::move(reloj) : RelojNs(ahoraNs)),
      m_despertador(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{ }

MotorPuerto::~MotorPuerto()
{
    detiene(true);
    if (m_despertador >= 0)
        ::close(m_despertador);
}

bool MotorPuerto::abreAhora(FalloTransporte &fallo)
{
    if (!m_transporte->abre(m_ajustes, m_despertador, Transporte::Reloj::now(), fallo))
        return false;
    m_abierto = true;
    m_libreNs = m_reloj();
    return true;
}

void MotorPuerto::arranca()
{
    m_hilo = std::thread([this] {
        // Paced output and the answer to DC3 are only as good as its wake-ups.
        if (m_ritmo.acompasado || m_ritmo.flujoEnPrograma)
            HiloPuntual::aplica();
        bucle();
    });
}

void MotorPuerto::detiene(bool descartar)
{
    {
        std::lock_guard bloqueo(m_mutex);
        m_fin = true;
    }
    despierta();
    if (m_hilo.joinable())
        m_hilo.join();
    if (m_abierto && descartar)
        m_transporte->descartaSalida();
    m_abierto = false;
    m_transporte->cierra();
}

void MotorPuerto::despierta()
{
    const quint64 uno = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_despertador, &uno, sizeof uno);
}

void MotorPuerto::encola(const QByteArray &datos)
{
    bool abierto = false;
    {
        std::lock_guard bloqueo(m_mutex);
        // Copied, not shared: the engine's thread frees its copy.
        m_salida.append(datos.constData(), datos.size());
        m_salidaPendiente = true;
        abierto = m_abierto;
    }
    // While a link is being made, the wake-up stands for Stop; what is
    // queued meanwhile goes out once it is made.
    if (abierto)
        despierta();
}

qint64 MotorPuerto::recorta(const std::vector<qint64> &fines, const QByteArray &tras)
{
    qint64 corte = -1;
    {
        std::lock_guard bloqueo(m_mutex);
        // m_salida[m_posicion] is byte number m_enviados of everything queued.
        const auto fin = std::find_if(
            fines.begin(), fines.end(), [this](qint64 f) { return f >= m_enviados; });
        if (fin == fines.end())
            return -1;
        corte = *fin;
        const qint64 tamano = m_posicion + (corte - m_enviados);
        if (tamano < m_salida.size())
            m_salida.truncate(tamano);
        // Appended under the same lock: the link cannot run dry and close in between.
        m_salida.append(tras.constData(), tras.size());
        m_salidaPendiente = true;
    }
    despierta();
    return corte;
}

bool MotorPuerto::abierto() const
{
    std::lock_guard bloqueo(m_mutex);
    return m_abierto;
}

bool MotorPuerto::activaXonXoff()
{
    std::lock_guard bloqueo(m_mutex);
    return m_abierto && m_transporte->activaXonXoff(m_ajustes);
}

qint64 MotorPuerto::pendientes() const
{
    std::lock_guard bloqueo(m_mutex);
    return m_salida.size() - m_posicion;
}

qint64 MotorPuerto::enviados() const
{
    std::lock_guard bloqueo(m_mutex);
    return m_enviados;
}

qint64 MotorPuerto::msParaVaciar() const
{
    std::lock_guard bloqueo(m_mutex);
    const qint64 ahora = m_reloj();
    const qint64 enCola = m_abierto ? caracteresEnCola(ahora) : 0;
    // A network link kept open for what its server may still hold counts too.
    const qint64 retencion = m_retencionNs > ahora ? m_retencionNs - ahora : 0;
    return ((m_salida.size() - m_posicion + enCola) * m_ritmo.nsPorCaracter + retencion) / 1000000;
}

void MotorPuerto::cierraTrasVaciar()
{
    esperaVaciado(false);
}

void MotorPuerto::avisaTrasVaciar()
{
    esperaVaciado(true);
}

void MotorPuerto::esperaVaciado(bool mantener)
{
    bool abierto = false;
    {
        std::lock_guard bloqueo(m_mutex);
        m_cerrando = true;
        m_mantener = mantener;
        abierto = m_abierto;
    }
    if (abierto)
        despierta();
}

bool MotorPuerto::tomaVaciado()
{
    std::lock_guard bloqueo(m_mutex);
    return std::exchange(m_vaciado, false);
}

bool MotorPuerto::leyendo() const
{
    return m_entradaEnCola < kEntradaMaxima;
}

void MotorPuerto::tomada(qint64 bytes)
{
    const bool parada = !leyendo();
    m_entradaEnCola -= bytes;
    // The thread waits without watching the link: it must look again.
    if (parada && leyendo())
        despierta();
}

QByteArray MotorPuerto::recoge()
{
    std::lock_guard bloqueo(m_mutex);
    if (m_abierto && !m_terminado)
        lee();
    // The data leaves the queue; any other event stays for its turn.
    QByteArray datos;
    std::erase_if(m_eventos, [&](const Evento &e) {
        if (e.tipo != Evento::Tipo::Datos)
            return false;
        datos.append(e.datos);
        return true;
    });
    tomada(datos.size());
    return datos;
}

std::vector<MotorPuerto::Evento> MotorPuerto::eventos()
{
    std::lock_guard bloqueo(m_mutex);
    tomada(m_entradaEnCola);
    return std::exchange(m_eventos, {});
}

void MotorPuerto::publica(Evento evento)
{
    if (evento.tipo == Evento::Tipo::Datos)
        m_entradaEnCola += evento.datos.size();
    // Consecutive data are joined: the owner takes them in one go anyway.
    if (evento.tipo == Evento::Tipo::Datos && !m_eventos.empty()
        && m_eventos.back().tipo == Evento::Tipo::Datos) {
        m_eventos.back().datos.append(evento.datos);
        return;
    }
    m_eventos.push_back(std::move(evento));
    if (m_eventos.size() == 1)
        m_aviso();
}

void MotorPuerto::pierde(int codigo)
{
    m_terminado = true;
    publica({Evento::Tipo::Fallo, {},
        {MSComm::Fallo::Perdido, m_transporte->razonPerdida(codigo), {}}});
}

bool MotorPuerto::lee()
{
    char buf[16384];
    while (leyendo()) {
        const ssize_t n = ::read(m_transporte->descriptor(), buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        if (n <= 0) {
            pierde(n < 0 ? errno : 0);
            return false;
        }
        QByteArray datos;
        m_transporte->decodifica(buf, n, datos, m_respuesta);
        if (m_respuesta.size() > kRespuestaMaxima) {
            pierde(ENOBUFS);
            return false;
        }
        if (m_ritmo.flujoEnPrograma)
            m_flujo.observa(datos.constData(), datos.size());
        if (!datos.isEmpty())
            publica({Evento::Tipo::Datos, datos, {}});
        if (n < qsizetype(sizeof buf))
            return true;
    }
    return true;
}

qint64 MotorPuerto::escribe(const char *datos, qint64 n)
{
    for (;;) {
        const ssize_t w = ::write(m_transporte->descriptor(), datos, size_t(n));
        if (w >= 0)
            return w;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        pierde(errno);
        return -1;
    }
}

qint64 MotorPuerto::caracteresEnCola(qint64 ahora) const
{
    // The driver's own count where it gives one (a pty gives 0); otherwise
    // the time the written characters take on the line at its speed.
    const qint64 ns = m_ritmo.nsPorCaracter;
    const qint64 modelo = m_libreNs > ahora ? (m_libreNs - ahora + ns - 1) / ns : 0;
    return qMax(modelo, m_transporte->colaDriver());
}

// A device server on the network drops what it still holds when the
// connection ends, even half-closed (ser2net answers the end at once and
// drops its buffer). Closing waits until every byte is acknowledged, then
// while what the server may hold could still go out on its line. Returns
// how long to wait, 0 when the link may close, -1 when it is lost.
qint64 MotorPuerto::esperaCierre(qint64 ahora)
{
    const qint64 ns = m_ritmo.nsPorCaracter;
    if (const qint64 cola = m_transporte->sinConfirmar(); cola > 0) {
        // Each acknowledgement restarts the time: a server held up by its
        // line is slow, not gone.
        if (m_colaCierre < 0 || cola < m_colaCierre) {
            m_colaCierre = cola;
            m_plazoCierreNs = ahora + kMargenCierreNs + cola * ns;
        }
        if (ahora >= m_plazoCierreNs) {
            pierde(ETIMEDOUT);
            return -1;
        }
        return qMin(kSondeoCierreNs, m_plazoCierreNs - ahora);
    }
    const qint64 retenidos = qMin(m_enviados, m_transporte->retenidosServidor());
    if (retenidos <= 0)
        return 0;
    if (m_retencionNs == 0)
        m_retencionNs = ahora + kMargenCierreNs + retenidos * ns;
    return qMax<qint64>(m_retencionNs - ahora, 0);
}

// Writes what may go now. Returns how long until more may go (-1: until
// something happens); `esperaEscritura` when the link must take what it has first.
qint64 MotorPuerto::bombea(qint64 ahora, bool &esperaEscritura)
{
    esperaEscritura = false;
    // Answers of the link's protocol, then coded data already counted.
    for (QByteArray *b : {&m_respuesta, &m_codificado}) {
        if (b->isEmpty())
            continue;
        const qint64 w = escribe(b->constData(), b->size());
        if (w < 0)
            return -1;
        b->remove(0, w);
        if (!b->isEmpty()) {
            esperaEscritura = true;
            return -1;
        }
    }
    for (;;) {
        const qint64 pendiente = m_salida.size() - m_posicion;
        if (pendiente <= m_ritmo.aviso && std::exchange(m_salidaPendiente, false))
            publica({Evento::Tipo::SalidaVacia, {}, {}});
        if (pendiente == 0) {
            m_salida.clear();
            m_posicion = 0;
            if (!m_cerrando)
                return -1;
            const qint64 enCola
                = m_ritmo.acompasado ? caracteresEnCola(ahora) : m_transporte->colaDriver();
            if (enCola > 0)
                return qMax<qint64>(enCola * m_ritmo.nsPorCaracter, 100000);
            if (const qint64 espera = esperaCierre(ahora); espera != 0)
                return espera;
            if (m_mantener) {
                m_cerrando = m_mantener = false;
                m_colaCierre = -1;
                m_retencionNs = 0;
                m_vaciado = true;
                m_aviso();
                return -1;
            }
            m_terminado = true;
            publica({Evento::Tipo::Vaciado, {}, {}});
            return -1;
        }
        if (m_ritmo.flujoEnPrograma && m_flujo.detenido())
            return -1; // the DC1 is read as it comes
        qint64 n = qMin(kBloqueSinRitmo, pendiente);
        if (m_ritmo.acompasado) {
            const qint64 enCola = caracteresEnCola(ahora);
            if (enCola >= m_ritmo.ventana)
                return qMax<qint64>((enCola - m_ritmo.marcaBaja) * m_ritmo.nsPorCaracter, 10000);
            n = qMin(m_ritmo.ventana - enCola, pendiente);
        }
        const char *datos = m_salida.constData() + m_posicion;
        qint64 tomados = 0;
        QByteArray codificado;
        if (m_transporte->codifica(datos, n, codificado)) {
            tomados = n;
            const qint64 w = escribe(codificado.constData(), codificado.size());
            if (w < 0)
                return -1;
            m_codificado = codificado.mid(w);
        } else {
            tomados = escribe(datos, n);
            if (tomados < 0)
                return -1;
        }
        m_posicion += tomados;
        m_enviados += tomados;
        m_colaCierre = -1;
        m_retencionNs = 0;
        m_libreNs = qMax(m_libreNs, ahora) + tomados * m_ritmo.nsPorCaracter;
        if (m_posicion > (1 << 20) && m_posicion * 2 > m_salida.size()) {
            m_salida.remove(0, m_posicion);
            m_posicion = 0;
        }
        if (tomados < n || !m_codificado.isEmpty()) {
            esperaEscritura = true; // the link's queue is full
            return -1;
        }
        ahora = m_reloj();
    }
}

void MotorPuerto::bucle()
{
    if (!m_abierto) {
        FalloTransporte fallo;
        const bool abierto = m_transporte->abre(
            m_ajustes, m_despertador, Transporte::Reloj::now() + kPlazoApertura, fallo);
        std::lock_guard bloqueo(m_mutex);
        if (m_fin)
            return;
        if (!abierto) {
            m_terminado = true;
            publica({Evento::Tipo::Fallo, {}, fallo});
            return;
        }
        m_abierto = true;
        m_libreNs = m_reloj();
        publica({Evento::Tipo::Abierto, {}, {}});
    }
    const int fd = m_transporte->descriptor();
    for (;;) {
        qint64 esperaNs = -1;
        bool esperaEscritura = false;
        bool terminado = false;
        bool leer = false;
        {
            std::lock_guard bloqueo(m_mutex);
            if (m_fin)
                return;
            if (!m_terminado)
                esperaNs = bombea(m_reloj(), esperaEscritura);
            terminado = m_terminado;
            leer = leyendo();
        }
        pollfd p[2] = {{m_despertador, POLLIN, 0}, {fd, short(leer ? POLLIN : 0), 0}};
        if (esperaEscritura)
            p[1].events |= POLLOUT;
        timespec plazo {esperaNs / 1000000000, esperaNs % 1000000000};
        // Once lost or emptied for closing, only the wake-up is watched; so
        // it is while the owner has not taken what was read, unless there
        // is writing to wait for (a hang-up would wake the wait at once).
        const nfds_t cuantos = terminado || p[1].events == 0 ? 1 : 2;
        if (::ppoll(p, cuantos, esperaNs >= 0 ? &plazo : nullptr, nullptr) < 0 && errno != EINTR)
            return;
        if (p[0].revents & POLLIN) {
            quint64 veces;
            [[maybe_unused]] const ssize_t n = ::read(m_despertador, &veces, sizeof veces);
        }
        if (cuantos == 2 && p[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            std::lock_guard bloqueo(m_mutex);
            if (!m_fin && !m_terminado)
                lee();
        }
    }
}
