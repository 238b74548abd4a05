#include "transfer/mscomm.h"

#include "settings/varsfuncsglobales.h"
#include "text/razonsistema.h"
#include "transfer/parametroslinea.h"
#include "transfer/temporizadorfino.h"

#include <QFile>
#include <QSerialPort>
#include <QSocketNotifier>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <grp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// How far ahead of the line the writer may be: eight characters, so that a
// DC3 stops the line within ten, but not less than the event loop can keep up
// with at speeds above 115200 bit/s.
constexpr qint64 kVentanaMinima = 8;
constexpr qint64 kAdelantoNs = 750000;
// Unpaced output is handed over in blocks of this size.
constexpr qint64 kBloqueSinRitmo = 64 * 1024;

qint64 ahoraNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QString nombreGrupo(gid_t gid)
{
    if (const group *g = getgrgid(gid))
        return QString::fromLocal8Bit(g->gr_name);
    return QString::number(gid);
}

} // namespace

MSComm::MSComm(QObject *parent) : QObject(parent), m_temporizador(new TemporizadorFino(this))
{
    connect(m_temporizador, &TemporizadorFino::vencido, this, &MSComm::bombea);
}

MSComm::~MSComm()
{
    cierra(true);
}

QString MSComm::Dispositivo() const
{
    return RutaPuerto(m_commPort, m_dispositivo);
}

MSComm::Negociacion MSComm::negociacionDeTexto(const QString &nego)
{
    if (nego.compare(QLatin1String("RtsCts"), Qt::CaseInsensitive) == 0)
        return Negociacion::RtsCts;
    if (nego.compare(QLatin1String("Ninguno"), Qt::CaseInsensitive) == 0)
        return Negociacion::Ninguna;
    return Negociacion::XonXoff;
}

void MSComm::informa(Fallo tipo, const QString &ruta, const QString &detalle)
{
    using VarsFuncsGlobales::Texto;
    QString mensaje;
    switch (tipo) {
    case Fallo::NoExiste:
        mensaje = Texto(QStringLiteral("PrinErrorPuertoNoExiste")).arg(ruta);
        break;
    case Fallo::Ocupado:
        mensaje = Texto(QStringLiteral("PrinErrorPuertoOcupado")).arg(ruta);
        break;
    case Fallo::SinPermiso:
        mensaje = Texto(QStringLiteral("PrinErrorPuertoPermiso")).arg(ruta, detalle);
        break;
    case Fallo::ParametrosRechazados:
        mensaje = Texto(QStringLiteral("PrinErrorPuertoParametros")).arg(ruta, detalle);
        break;
    case Fallo::Perdido:
        mensaje = Texto(QStringLiteral("PrinErrorPuertoPerdido")).arg(ruta, detalle);
        // Without a reason the sentence ends at the port, not at a dangling colon.
        if (detalle.isEmpty()) {
            while (mensaje.endsWith(QLatin1Char(' ')) || mensaje.endsWith(QLatin1Char(':')))
                mensaje.chop(1);
            mensaje += QLatin1Char('.');
        }
        break;
    case Fallo::Otro:
        mensaje = Texto(QStringLiteral("PrinErrorPuerto")).arg(ruta, detalle);
        break;
    }
    m_ultimoFallo = tipo;
    m_ultimoError = mensaje;
    emit fallo(tipo, ruta, mensaje);
}

bool MSComm::setPortOpen(bool abrir)
{
    if (!abrir) {
        cierra(true);
        return true;
    }
    if (m_puerto)
        return true;

    m_ultimoError.clear();
    const QString ruta = Dispositivo();
    const std::optional<ParametrosLinea> parametros = ParametrosLinea::interpreta(m_settings);
    struct stat st
    {
    };
    if (ruta.isEmpty() || ::stat(QFile::encodeName(ruta).constData(), &st) != 0) {
        informa(Fallo::NoExiste, ruta, {});
        return false;
    }
    if (!parametros) {
        informa(Fallo::ParametrosRechazados, ruta, m_settings);
        return false;
    }

    auto *puerto = new QSerialPort(this);
    puerto->setPortName(ruta);
    if (!puerto->open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = puerto->error();
        const QString detalle = puerto->errorString();
        delete puerto;
        // The serial library says "permission" both for a port in use and for
        // one the user may not open: the device's own rights tell them apart.
        if (error == QSerialPort::DeviceNotFoundError)
            informa(Fallo::NoExiste, ruta, {});
        else if (::access(QFile::encodeName(ruta).constData(), R_OK | W_OK) != 0 && errno == EACCES)
            informa(Fallo::SinPermiso, ruta, nombreGrupo(st.st_gid));
        else if (error == QSerialPort::PermissionError || error == QSerialPort::OpenError)
            informa(Fallo::Ocupado, ruta, {});
        else
            informa(Fallo::Otro, ruta, detalle);
        return false;
    }

    // Settings are applied on the open device so that one it refuses is
    // reported instead of quietly left as it was.
    const ParametrosLinea &p = *parametros;
    QSerialPort::Parity paridad = QSerialPort::NoParity;
    switch (p.paridad) {
    case 'E':
        paridad = QSerialPort::EvenParity;
        break;
    case 'O':
        paridad = QSerialPort::OddParity;
        break;
    case 'M':
        paridad = QSerialPort::MarkParity;
        break;
    case 'S':
        paridad = QSerialPort::SpaceParity;
        break;
    default:
        break;
    }
    // Termios has no 1.5 stop bits: the UARTs send 1.5 for "2" with 5 data
    // bits, and there is no way to get 1.5 with more.
    bool stopValido = true;
    QSerialPort::StopBits stop = QSerialPort::OneStop;
    if (p.bitsStop == 2)
        stop = QSerialPort::TwoStop;
    else if (p.bitsStop == 1.5) {
        stop = QSerialPort::TwoStop;
        stopValido = p.bitsDatos == 5;
    }
    const bool aceptado = stopValido && puerto->setBaudRate(p.velocidad)
        && puerto->setParity(paridad) && puerto->setDataBits(QSerialPort::DataBits(p.bitsDatos))
        && puerto->setStopBits(stop)
        && puerto->setFlowControl(m_negociacion == Negociacion::RtsCts
                ? QSerialPort::HardwareControl
                : QSerialPort::NoFlowControl);
    if (!aceptado) {
        puerto->close();
        delete puerto;
        informa(Fallo::ParametrosRechazados, ruta, m_settings);
        return false;
    }

    m_puerto = puerto;
    m_rutaAbierta = ruta;
    connect(m_puerto, &QSerialPort::readyRead, this, &MSComm::alLeer);
    m_notificadorEscritura = new QSocketNotifier(m_puerto->handle(), QSocketNotifier::Write, this);
    m_notificadorEscritura->setEnabled(false);
    connect(m_notificadorEscritura, &QSocketNotifier::activated, this, [this] {
        m_notificadorEscritura->setEnabled(false);
        bombea();
    });
    connect(m_puerto, &QSerialPort::errorOccurred, this,
        [this](QSerialPort::SerialPortError e) { alError(int(e)); });

    m_flujo.reinicia();
    m_salida.clear();
    m_posicionSalida = 0;
    m_entrada.clear();
    m_enviados = 0;
    m_avisadoVacio = true;
    m_cerrando = false;
    m_nsPorCaracter
        = qMax<qint64>(1, qint64(std::llround(p.bitsPorCaracter() * 1e9 / p.velocidad)));
    m_ventana = qMax(kVentanaMinima, (kAdelantoNs + m_nsPorCaracter - 1) / m_nsPorCaracter);
    // Topped up early, while three quarters are still queued: late wake-ups
    // of a busy machine then do not leave the line idle.
    m_marcaBaja = m_ventana * 3 / 4;
    m_libreNs = ahoraNs();
    return true;
}

void MSComm::cierra(bool descartar)
{
    m_temporizador->desarma();
    m_cerrando = false;
    m_salida.clear();
    m_posicionSalida = 0;
    if (!m_puerto)
        return;
    QSerialPort *puerto = m_puerto;
    m_puerto = nullptr;
    delete m_notificadorEscritura;
    m_notificadorEscritura = nullptr;
    puerto->disconnect(this);
    if (descartar && puerto->isOpen())
        puerto->clear(QSerialPort::Output);
    puerto->close();
    // May be inside one of the port's own signals.
    puerto->deleteLater();
}

void MSComm::Output(const QByteArray &datos)
{
    if (!m_puerto || datos.isEmpty())
        return;
    m_salida.append(datos);
    m_avisadoVacio = false;
    programaBombeo();
}

qint64 MSComm::msParaVaciar() const
{
    if (!m_puerto)
        return 0;
    return (OutBufferCount() + caracteresEnCola(ahoraNs())) * m_nsPorCaracter / 1000000;
}

void MSComm::recogeEntrada()
{
    if (!m_puerto)
        return;
    QByteArray datos = m_puerto->readAll();
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(int(m_puerto->handle()), buf, sizeof buf);
        if (n > 0)
            datos.append(buf, n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break;
    }
    if (m_negociacion == Negociacion::XonXoff)
        m_flujo.observa(datos.constData(), datos.size());
    m_entrada.append(datos);
}

QByteArray MSComm::Input()
{
    QByteArray datos;
    datos.swap(m_entrada);
    return datos;
}

void MSComm::programaBombeo()
{
    if (m_bombeando || m_bombeoProgramado)
        return;
    m_bombeoProgramado = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_bombeoProgramado = false;
            bombea();
        },
        Qt::QueuedConnection);
}

qint64 MSComm::escribe(const char *datos, qint64 n)
{
    // Written straight to the device, not through the serial library's own
    // buffer: what the driver holds is then exactly what the pacing counts.
    for (;;) {
        const ssize_t w = ::write(int(m_puerto->handle()), datos, size_t(n));
        if (w >= 0)
            return w;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        const QString detalle = RazonSistema(errno);
        const QString ruta = m_rutaAbierta;
        cierra(true);
        QMetaObject::invokeMethod(
            this, [this, ruta, detalle] { informa(Fallo::Perdido, ruta, detalle); },
            Qt::QueuedConnection);
        return -1;
    }
}

qint64 MSComm::colaDriver() const
{
    int enCola = 0;
    if (m_puerto && ::ioctl(int(m_puerto->handle()), TIOCOUTQ, &enCola) == 0 && enCola > 0)
        return enCola;
    return 0;
}

qint64 MSComm::caracteresEnCola(qint64 ahora) const
{
    // The driver's own count where it gives one (a pty gives 0); otherwise
    // the time the written characters take on the line at its speed.
    const qint64 modelo
        = m_libreNs > ahora ? (m_libreNs - ahora + m_nsPorCaracter - 1) / m_nsPorCaracter : 0;
    return qMax(modelo, colaDriver());
}

void MSComm::alLeer()
{
    if (!m_puerto)
        return;
    const QByteArray datos = m_puerto->readAll();
    if (datos.isEmpty())
        return;
    if (m_negociacion == Negociacion::XonXoff && m_flujo.observa(datos.constData(), datos.size())) {
        emit flujoCambiado(m_flujo.detenido());
        if (!m_flujo.detenido())
            bombea();
    }
    m_entrada.append(datos);
    emit OnComm();
}

void MSComm::alError(int error)
{
    const auto e = QSerialPort::SerialPortError(error);
    if (!m_puerto || e == QSerialPort::NoError || e == QSerialPort::TimeoutError)
        return;
    // The library's error text may be left over from an earlier call (a
    // hung-up line reads as end of file and leaves errno as it was): the
    // device is asked afresh, and when it names no fault, none is given.
    QString detalle;
    if (::write(int(m_puerto->handle()), "", 0) < 0)
        detalle = RazonSistema(errno);
    const QString ruta = m_rutaAbierta;
    cierra(true);
    // Reported from the event loop, not from inside the port's call that failed.
    QMetaObject::invokeMethod(
        this, [this, ruta, detalle] { informa(Fallo::Perdido, ruta, detalle); },
        Qt::QueuedConnection);
}

void MSComm::bombea()
{
    if (!m_puerto || m_bombeando)
        return;
    m_bombeando = true;
    qint64 espera = -1;
    for (;;) {
        if (OutBufferCount() == 0) {
            if (m_avisadoVacio)
                break;
            m_avisadoVacio = true;
            m_salida.clear();
            m_posicionSalida = 0;
            emit salidaLista();
            if (!m_puerto || OutBufferCount() == 0)
                break;
            continue;
        }
        if (m_negociacion == Negociacion::XonXoff && m_flujo.detenido())
            break;
        qint64 n = 0;
        const qint64 ahora = ahoraNs();
        if (m_acompasado) {
            if (m_notificadorEscritura->isEnabled())
                break;
            const qint64 enCola = caracteresEnCola(ahora);
            if (enCola >= m_ventana) {
                espera = qMax<qint64>((enCola - m_marcaBaja) * m_nsPorCaracter, 20000);
                break;
            }
            n = qMin(m_ventana - enCola, OutBufferCount());
        } else {
            if (m_notificadorEscritura->isEnabled())
                break; // the driver says when it takes more
            n = qMin(kBloqueSinRitmo, OutBufferCount());
        }
        const qint64 escritos = escribe(m_salida.constData() + m_posicionSalida, n);
        if (!m_puerto)
            break;
        if (escritos < n)
            m_notificadorEscritura->setEnabled(true); // the driver's queue is full
        if (escritos <= 0)
            break;
        m_posicionSalida += escritos;
        m_enviados += escritos;
        m_libreNs = qMax(m_libreNs, ahora) + escritos * m_nsPorCaracter;
        if (m_posicionSalida > (1 << 20) && m_posicionSalida * 2 > m_salida.size()) {
            m_salida.remove(0, m_posicionSalida);
            m_posicionSalida = 0;
        }
    }
    m_bombeando = false;
    if (!m_puerto)
        return;
    if (espera >= 0)
        m_temporizador->arma(espera);
    if (m_cerrando)
        revisaVaciado();
}

void MSComm::cierraTrasVaciar()
{
    if (!m_puerto)
        return;
    m_cerrando = true;
    bombea();
}

void MSComm::revisaVaciado()
{
    if (!m_puerto || OutBufferCount() > 0)
        return;
    const qint64 ahora = ahoraNs();
    const qint64 enCola = m_acompasado ? caracteresEnCola(ahora) : colaDriver();
    if (enCola > 0) {
        if (!m_temporizador->armado())
            m_temporizador->arma(qMax<qint64>(enCola * m_nsPorCaracter, 100000));
        return;
    }
    cierra(false);
    emit cerrado();
}
