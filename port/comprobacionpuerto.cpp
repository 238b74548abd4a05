#include "port/comprobacionpuerto.h"

#include "base/razonsistema.h"
#include "port/transporterfc2217.h"
#include "settings/varsfuncsglobales.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QHostInfo>
#include <QSet>
#include <QTcpSocket>
#include <QTimer>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using VarsFuncsGlobales::Texto;
using Estado = Hallazgo::Estado;

namespace {

// Drivers whose adapters answer XON/XOFF in the chip when the port sets
// IXON/IXOFF (PL2303 only without IXANY, which the program never sets).
const char *const kDriversConChip[] = {"ftdi_sio", "cp210x", "pl2303"};

// Processes named in the findings; more would only bury the message.
constexpr int kMaxProcesos = 5;

// Of what a device server says in words before it closes, what is shown.
constexpr qsizetype kMaxDichos = 120;

const QString kReglaLatencia = QStringLiteral(
    R"(ACTION=="add", SUBSYSTEM=="usb-serial", DRIVER=="ftdi_sio", ATTR{latency_timer}="1")");

QString t(const char *clave)
{
    return Texto(QLatin1String(clave));
}

QByteArray leeFichero(const QString &ruta)
{
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString enlace(const QString &ruta)
{
    char destino[4096];
    const ssize_t n = ::readlink(QFile::encodeName(ruta).constData(), destino, sizeof destino);
    return n > 0 ? QFile::decodeName(QByteArray(destino, int(n))) : QString();
}

// The check sees the system through the entorno's directories: a path as the
// operator writes it (/dev/ttyUSB0) and where it is looked at.
struct Vista
{
    const EntornoComprobacion &e;

    QString fisica(const QString &logica) const
    {
        if (logica == QLatin1String("/dev") || logica.startsWith(QLatin1String("/dev/")))
            return e.dev + logica.mid(4);
        return logica;
    }
    // Follows symbolic links (the stable /dev/serial/by-id names) as the
    // system would, staying in the operator's names.
    QString resuelve(QString logica) const
    {
        for (int i = 0; i < 16; ++i) {
            const QString destino = enlace(fisica(logica));
            if (destino.isEmpty())
                break;
            logica = QDir::cleanPath(destino.startsWith(QLatin1Char('/'))
                    ? destino
                    : QFileInfo(logica).path() + QLatin1Char('/') + destino);
        }
        return logica;
    }
    // Name of a user or group from passwd or group, by number.
    QString nombre(const char *fichero, uint id) const
    {
        for (const QByteArray &linea :
            leeFichero(e.etc + QLatin1Char('/') + QLatin1String(fichero)).split('\n')) {
            const QList<QByteArray> campos = linea.split(':');
            if (campos.size() >= 3 && campos.at(2).toUInt() == id && !campos.at(2).isEmpty())
                return QString::fromLocal8Bit(campos.at(0));
        }
        return QString::number(id);
    }
    // Whether the user belongs to the group by the files: listed in it, or
    // the group is the user's own in passwd.
    bool enGrupo(const QString &usuario, gid_t gid) const
    {
        for (const QByteArray &linea : leeFichero(e.etc + QStringLiteral("/group")).split('\n')) {
            const QList<QByteArray> campos = linea.split(':');
            if (campos.size() >= 4 && campos.at(2).toUInt() == gid
                && campos.at(3).trimmed().split(',').contains(usuario.toLocal8Bit()))
                return true;
        }
        for (const QByteArray &linea : leeFichero(e.etc + QStringLiteral("/passwd")).split('\n')) {
            const QList<QByteArray> campos = linea.split(':');
            if (campos.size() >= 4 && QString::fromLocal8Bit(campos.at(0)) == usuario)
                return campos.at(3).toUInt() == gid;
        }
        return false;
    }
    QStringList procesos() const
    {
        return QDir(e.proc).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    }
    QString comando(const QString &pid) const
    {
        return QString::fromLocal8Bit(
            leeFichero(e.proc + QLatin1Char('/') + pid + QStringLiteral("/comm")))
            .trimmed();
    }
    bool vivo(qint64 pid) const
    {
        return pid > 0 && QFileInfo::exists(e.proc + QLatin1Char('/') + QString::number(pid));
    }
    bool enMarcha(const QString &programa) const
    {
        for (const QString &pid : procesos()) {
            if (comando(pid) == programa)
                return true;
        }
        return false;
    }
    bool instalado(const QString &programa) const
    {
        for (const QString &dir : e.programas) {
            if (QFileInfo::exists(dir + QLatin1Char('/') + programa))
                return true;
        }
        return false;
    }
    // The udev rules files of that name part, each once (/lib is often /usr/lib).
    QStringList reglas(const QString &parte) const
    {
        QStringList ficheros;
        QSet<QString> vistos;
        for (const QString &dir : e.reglasUdev) {
            const QFileInfoList lista = QDir(dir).entryInfoList(
                {QStringLiteral("*") + parte + QStringLiteral("*.rules")}, QDir::Files);
            for (const QFileInfo &f : lista) {
                if (!vistos.contains(f.canonicalFilePath())) {
                    vistos.insert(f.canonicalFilePath());
                    ficheros.append(f.filePath());
                }
            }
        }
        return ficheros;
    }
};

// The USB adapter behind a tty, from sysfs: its driver and vendor:product.
struct Adaptador
{
    QString driver;
    QString id; // "0403:6001"; empty when not on USB
};

Adaptador adaptador(const Vista &v, const QString &nombre)
{
    Adaptador a;
    const QString dispositivo
        = v.e.sys + QStringLiteral("/class/tty/") + nombre + QStringLiteral("/device");
    QString dir = QFileInfo(dispositivo).canonicalFilePath();
    const QString raiz = QFileInfo(v.e.sys).canonicalFilePath();
    // Newer kernels put serial-base devices (port, ctrl) between the tty and
    // its UART: the driver that names the hardware is above them.
    QString driver = enlace(dispositivo + QStringLiteral("/driver"));
    for (QString d = dir; driver.contains(QStringLiteral("/serial-base/")) && d.startsWith(raiz);) {
        d = QFileInfo(d).path();
        driver = enlace(d + QStringLiteral("/driver"));
    }
    a.driver = QFileInfo(driver).fileName();
    while (!dir.isEmpty() && dir.startsWith(raiz) && dir != raiz) {
        const QByteArray vendedor = leeFichero(dir + QStringLiteral("/idVendor")).trimmed();
        const QByteArray producto = leeFichero(dir + QStringLiteral("/idProduct")).trimmed();
        if (!vendedor.isEmpty() && !producto.isEmpty()) {
            a.id = QString::fromLatin1(vendedor + ':' + producto).toLower();
            break;
        }
        dir = QFileInfo(dir).path();
    }
    return a;
}

// Whether brltty's rules name the adapter: "Device: 0403:6001" comments, or
// ENV{PRODUCT}=="403/6001/*" matches (hexadecimal without leading zeros).
bool brlttyLoToma(const Vista &v, const QString &id)
{
    const QStringList partes = id.split(QLatin1Char(':'));
    if (partes.size() != 2)
        return false;
    auto sinCeros = [](const QString &h) { return QString::number(h.toUInt(nullptr, 16), 16); };
    const QString producto
        = QStringLiteral("\"%1/%2/").arg(sinCeros(partes.at(0)), sinCeros(partes.at(1)));
    for (const QString &fichero : v.reglas(QStringLiteral("brltty"))) {
        const QString texto = QString::fromLatin1(leeFichero(fichero)).toLower();
        if (texto.contains(QStringLiteral("device: ") + id) || texto.contains(producto))
            return true;
    }
    return false;
}

void permisos(const Vista &v, const struct stat &st, QList<Hallazgo> &h)
{
    const EntornoComprobacion &e = v.e;
    const mode_t rw = S_IRUSR | S_IWUSR;
    const bool propio = st.st_uid == e.uid && (st.st_mode & rw) == rw;
    const bool grupoRw = (st.st_mode & (rw >> 3)) == (rw >> 3);
    const bool todos = (st.st_mode & (rw >> 6)) == (rw >> 6);
    const QString grupo = v.nombre("group", st.st_gid);
    if (e.uid == 0)
        h.append({Estado::Bien, t("CompruebaPermisoAdmin"), {}});
    else if (propio)
        h.append({Estado::Bien, t("CompruebaPermisoPropio").arg(e.usuario), {}});
    else if (grupoRw && e.gruposSesion.contains(st.st_gid))
        h.append({Estado::Bien, t("CompruebaPermisoGrupo").arg(grupo), {}});
    else if (todos)
        h.append({Estado::Bien, t("CompruebaPermisoTodos"), {}});
    else if (grupoRw && v.enGrupo(e.usuario, st.st_gid))
        h.append({Estado::Problema, t("CompruebaGrupoSinSesion").arg(grupo, e.usuario),
            t("CompruebaGrupoSinSesionRemedio")});
    else if (grupoRw)
        h.append({Estado::Problema, t("CompruebaSinGrupo").arg(grupo, e.usuario),
            t("CompruebaSinGrupoRemedio").arg(grupo, e.usuario)});
    else
        h.append(
            {Estado::Problema, t("CompruebaSinPermiso").arg(QString::number(st.st_mode & 0777, 8)),
                t("CompruebaSinPermisoRemedio")});
}

// Who has the device open: every process's open files, and the lock files
// that programs leave beside it.
void ocupado(const Vista &v, const QString &real, QList<Hallazgo> &h)
{
    const EntornoComprobacion &e = v.e;
    int poseedores = 0;
    int sinVer = 0;
    QSet<qint64> nombrados;
    for (const QString &pid : v.procesos()) {
        bool numero = false;
        const qint64 n = pid.toLongLong(&numero);
        if (!numero)
            continue;
        const QString dirFd = e.proc + QLatin1Char('/') + pid + QStringLiteral("/fd");
        if (::access(QFile::encodeName(dirFd).constData(), R_OK | X_OK) != 0) {
            // Processes that end meanwhile are gone, not hidden.
            if (errno == EACCES)
                ++sinVer;
            continue;
        }
        const QStringList fds
            = QDir(dirFd).entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot);
        for (const QString &fd : fds) {
            if (enlace(dirFd + QLatin1Char('/') + fd) != real)
                continue;
            if (poseedores++ < kMaxProcesos) {
                struct stat sp
                {
                };
                const QString usuario
                    = ::stat(QFile::encodeName(e.proc + QLatin1Char('/') + pid).constData(), &sp)
                        == 0
                    ? v.nombre("passwd", sp.st_uid)
                    : QString();
                const QString cmd = v.comando(pid);
                h.append({Estado::Problema, t("CompruebaOcupado").arg(cmd, pid, usuario),
                    t("CompruebaOcupadoRemedio").arg(cmd, pid)});
                nombrados.insert(n);
            }
            break;
        }
    }

    QSet<QString> vistos;
    // Named as serial programs name it: LCK..ttyUSB0, LCK..pts_3.
    QString nombre
        = real.startsWith(QStringLiteral("/dev/")) ? real.mid(5) : QFileInfo(real).fileName();
    nombre.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const QString &dir : e.bloqueos) {
        const QFileInfo bloqueo(dir + QStringLiteral("/LCK..") + nombre);
        if (!bloqueo.exists() || vistos.contains(bloqueo.canonicalFilePath()))
            continue;
        vistos.insert(bloqueo.canonicalFilePath());
        // The PID as text (first line), or the old four binary bytes.
        const QByteArray datos = leeFichero(bloqueo.filePath());
        bool ok = false;
        qint64 pid = datos.split('\n').value(0).trimmed().toLongLong(&ok);
        if (!ok && datos.size() == 4) {
            qint32 binario = 0;
            memcpy(&binario, datos.constData(), 4);
            pid = binario;
        }
        const QString ruta = bloqueo.filePath();
        if (v.vivo(pid)) {
            if (nombrados.contains(pid))
                continue;
            const QString cmd = v.comando(QString::number(pid));
            ++poseedores;
            h.append({Estado::Problema, t("CompruebaBloqueo").arg(ruta, QString::number(pid), cmd),
                t("CompruebaOcupadoRemedio").arg(cmd, QString::number(pid))});
        } else {
            h.append({Estado::Aviso, t("CompruebaBloqueoViejo").arg(ruta, QString::number(pid)),
                t("CompruebaBloqueoViejoRemedio").arg(ruta)});
        }
    }
    if (sinVer > 0)
        h.append({Estado::Aviso, t("CompruebaSinVer").arg(sinVer),
            t("CompruebaSinVerRemedio").arg(real)});
    else if (poseedores == 0)
        h.append({Estado::Bien, t("CompruebaLibre"), {}});
}

void servicios(const Vista &v, const Adaptador &a, bool existe, QList<Hallazgo> &h)
{
    const bool brltty
        = v.instalado(QStringLiteral("brltty")) || !v.reglas(QStringLiteral("brltty")).isEmpty();
    if (brltty && !a.id.isEmpty() && brlttyLoToma(v, a.id))
        h.append({Estado::Problema, t("CompruebaBrltty").arg(a.id), t("CompruebaBrlttyRemedio")});
    else if (brltty && !existe)
        // An adapter that vanishes as it is plugged in is brltty's classic work.
        h.append({Estado::Aviso, t("CompruebaBrlttyGeneral"), t("CompruebaBrlttyRemedio")});
    if ((!a.id.isEmpty() || !existe) && v.enMarcha(QStringLiteral("ModemManager")))
        h.append({Estado::Aviso, t("CompruebaModemManager"), t("CompruebaModemManagerRemedio")});
}

void controlador(const Vista &v, const QString &nombre, const Adaptador &a, QList<Hallazgo> &h)
{
    const EntornoComprobacion &e = v.e;
    // Every PC has /dev/ttyS0 to ttyS3; the serial core says "0" (unknown)
    // for those without a chip behind them.
    if (leeFichero(e.sys + QStringLiteral("/class/tty/") + nombre + QStringLiteral("/type"))
            .trimmed()
        == "0")
        h.append(
            {Estado::Problema, t("CompruebaSinUart").arg(nombre), t("CompruebaSinUartRemedio")});
    if (a.driver.isEmpty())
        return;
    bool chip = false;
    for (const char *d : kDriversConChip)
        chip = chip || a.driver == QLatin1String(d);
    if (chip)
        h.append({Estado::Bien, t("CompruebaChip").arg(a.driver),
            e.xonXoff && !e.xonXoffEnPuerto ? t("CompruebaChipRemedio") : QString()});
    else if (e.xonXoff && e.xonXoffEnPuerto)
        h.append(
            {Estado::Problema, t("CompruebaSinChip").arg(a.driver), t("CompruebaSinChipRemedio")});
    else
        h.append({Estado::Bien, t("CompruebaSinChip").arg(a.driver), {}});

    if (a.driver != QLatin1String("ftdi_sio"))
        return;
    bool ok = false;
    const int ms = leeFichero(e.sys + QStringLiteral("/bus/usb-serial/devices/") + nombre
        + QStringLiteral("/latency_timer"))
                       .trimmed()
                       .toInt(&ok);
    if (!ok)
        return;
    // Characters the CNC keeps sending while a DC3 waits in the adapter; at
    // slow speeds the wait is shorter than one.
    const qint64 caracteres = qint64(std::floor(
        ms * double(e.linea.velocidad) / std::max(1.0, e.linea.bitsPorCaracter()) / 1000.0));
    if (ms <= 1 || caracteres < 1) {
        h.append({Estado::Bien, t("CompruebaLatenciaBien").arg(ms), {}});
        return;
    }
    h.append({Estado::Aviso,
        t("CompruebaLatencia")
            .arg(QString::number(ms), QString::number(caracteres),
                QString::number(e.linea.velocidad)),
        t("CompruebaLatenciaRemedio").arg(kReglaLatencia)});
}

// HOST:PORT as messages name a network port, an IPv6 address in brackets.
QString hostPuerto(const DireccionRed &d)
{
    const QString host
        = d.host.contains(QLatin1Char(':')) ? QLatin1Char('[') + d.host + QLatin1Char(']') : d.host;
    return host + QLatin1Char(':') + QString::number(d.puerto);
}

QString nombreAjuste(ClienteRfc2217::Ajuste a, const ParametrosLinea &l, bool rtsCts)
{
    using A = ClienteRfc2217::Ajuste;
    switch (a) {
    case A::Velocidad:
        return t("CompruebaAjusteVelocidad").arg(l.velocidad);
    case A::BitsDatos:
        return t("CompruebaAjusteBitsDatos").arg(l.bitsDatos);
    case A::Paridad:
        return t("CompruebaAjusteParidad").arg(QLatin1Char(l.paridad));
    case A::BitsStop:
        return t("CompruebaAjusteBitsStop").arg(l.bitsStop);
    case A::Control:
        break;
    }
    return t(rtsCts ? "CompruebaAjusteRtsCts" : "CompruebaAjusteSinControl");
}

} // namespace

EntornoComprobacion EntornoComprobacion::delSistema()
{
    EntornoComprobacion e;
    e.uid = ::geteuid();
    if (const passwd *p = ::getpwuid(e.uid))
        e.usuario = QString::fromLocal8Bit(p->pw_name);
    else
        e.usuario = QString::number(e.uid);
    const int n = ::getgroups(0, nullptr);
    QList<gid_t> grupos(qMax(n, 0));
    if (n > 0 && ::getgroups(n, grupos.data()) == n)
        e.gruposSesion = grupos;
    e.gruposSesion.append(::getegid());
    return e;
}

EntornoComprobacion EntornoComprobacion::bajo(const QString &raiz)
{
    EntornoComprobacion e;
    auto debajo = [&raiz](QStringList &lista) {
        for (QString &d : lista)
            d.prepend(raiz);
    };
    e.dev.prepend(raiz);
    e.sys.prepend(raiz);
    e.proc.prepend(raiz);
    e.etc.prepend(raiz);
    debajo(e.bloqueos);
    debajo(e.reglasUdev);
    debajo(e.programas);
    return e;
}

ComprobacionPuerto::ComprobacionPuerto(QObject *parent)
    : QObject(parent), m_limite(new QTimer(this))
{
    m_limite->setSingleShot(true);
    connect(m_limite, &QTimer::timeout, this, [this] {
        if (m_cliente) {
            // Silence is an answer too: no RFC 2217, or settings left unconfirmed.
            juzgaNegociacion();
            return;
        }
        const QString quien = m_socket ? hostPuerto(m_red) : m_red.host;
        m_hallazgos.append({Estado::Problema,
            t("CompruebaRedSinRespuesta").arg(quien, QString::number(m_msRed / 1000.0)),
            t("CompruebaRedSinRespuestaRemedio")});
        termina();
    });
}

ComprobacionPuerto::~ComprobacionPuerto()
{
    suelta();
}

QList<Hallazgo> ComprobacionPuerto::dispositivo(const QString &ruta, const EntornoComprobacion &e)
{
    QList<Hallazgo> h;
    const Vista v {e};
    const QString real = v.resuelve(ruta);
    struct stat st
    {
    };
    const bool existe = ::stat(QFile::encodeName(v.fisica(real)).constData(), &st) == 0;
    const QString nombre = QFileInfo(real).fileName();
    const Adaptador a = existe ? adaptador(v, nombre) : Adaptador();
    if (!existe) {
        h.append({Estado::Problema,
            real == ruta ? t("CompruebaNoExiste").arg(ruta)
                         : t("CompruebaEnlaceRoto").arg(ruta, real),
            t("CompruebaNoExisteRemedio")});
    } else {
        h.append({Estado::Bien,
            real == ruta ? t("CompruebaExiste").arg(ruta)
                         : t("CompruebaExisteEnlace").arg(ruta, real),
            {}});
        permisos(v, st, h);
        ocupado(v, real, h);
    }
    servicios(v, a, existe, h);
    if (existe)
        controlador(v, nombre, a, h);
    return h;
}

void ComprobacionPuerto::inicia(const QString &puerto, const EntornoComprobacion &entorno)
{
    suelta();
    ++m_generacion;
    m_hallazgos.clear();
    m_enCurso = true;
    // The port's own rules tell a network port from a device.
    if (!DireccionRed::esDeRed(puerto)) {
        m_hallazgos = dispositivo(puerto, entorno);
        terminaLuego();
        return;
    }
    const std::optional<DireccionRed> red = DireccionRed::interpreta(puerto);
    if (!red) {
        m_hallazgos.append({Estado::Problema, t("CompruebaRedMal").arg(puerto), {}});
        terminaLuego();
        return;
    }
    m_red = *red;
    m_msRed = entorno.msRed;
    m_linea = entorno.linea;
    m_rtsCts = entorno.rtsCts;
    if (entorno.xonXoff && entorno.xonXoffEnPuerto)
        m_hallazgos.append(
            {Estado::Aviso, t("CompruebaRedEnPuerto"), t("CompruebaSinChipRemedio")});
    m_limite->start(m_msRed);
    m_busqueda
        = QHostInfo::lookupHost(m_red.host, this, [this, g = m_generacion](const QHostInfo &i) {
              // An answer that comes after all to a check cancelled or replaced.
              if (g == m_generacion && m_enCurso)
                  nombreResuelto(i);
          });
}

void ComprobacionPuerto::nombreResuelto(const QHostInfo &info)
{
    m_busqueda = -1;
    m_limite->stop();
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
        m_hallazgos.append({Estado::Problema, t("CompruebaRedSinNombre").arg(m_red.host),
            t("CompruebaRedSinNombreRemedio")});
        termina();
        return;
    }
    // IPv4 first: device servers seldom listen on IPv6.
    QHostAddress direccion = info.addresses().first();
    for (const QHostAddress &d : info.addresses()) {
        if (d.protocol() == QAbstractSocket::IPv4Protocol) {
            direccion = d;
            break;
        }
    }
    QStringList textos;
    for (const QHostAddress &d : info.addresses())
        textos.append(d.toString());
    if (QHostAddress(m_red.host).isNull())
        m_hallazgos.append({Estado::Bien,
            t("CompruebaRedNombre").arg(m_red.host, textos.join(QStringLiteral(", "))), {}});
    conecta(direccion.toString());
}

void ComprobacionPuerto::conecta(const QString &direccion)
{
    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::connected, this, [this] {
        m_limite->stop();
        m_hallazgos.append({Estado::Bien,
            t("CompruebaRedConectado").arg(m_red.host, QString::number(m_red.puerto)), {}});
        if (m_red.protocolo == DireccionRed::Protocolo::Rfc2217)
            negocia();
        else
            termina();
    });
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        m_limite->stop();
        const QString puerto = QString::number(m_red.puerto);
        if (m_cliente && error == QAbstractSocket::RemoteHostClosedError) {
            // A server busy with another client, or unable to open its
            // port, often says why before it hangs up.
            QString dicho;
            for (const char c : std::as_const(m_dichos))
                dicho += quint8(c) >= 0x20 && quint8(c) < 0x7F ? QLatin1Char(c) : QLatin1Char(' ');
            dicho = dicho.simplified();
            m_hallazgos.append({Estado::Problema,
                dicho.isEmpty() ? t("CompruebaRedCerrada").arg(hostPuerto(m_red))
                                : t("CompruebaRedCerradaDice").arg(hostPuerto(m_red), dicho),
                t("CompruebaRedCerradaRemedio")});
        } else if (error == QAbstractSocket::ConnectionRefusedError)
            m_hallazgos.append(
                {Estado::Problema, t("CompruebaRedRechazada").arg(m_red.host, puerto),
                    t("CompruebaRedRechazadaRemedio")});
        else {
            const int codigo = error == QAbstractSocket::NetworkError ? ENETUNREACH
                : error == QAbstractSocket::SocketAccessError         ? EACCES
                : error == QAbstractSocket::RemoteHostClosedError     ? ECONNRESET
                                                                      : 0;
            m_hallazgos.append({Estado::Problema,
                t("CompruebaRedError")
                    .arg(m_red.host, puerto,
                        codigo ? RazonSistema(codigo) : m_socket->errorString()),
                t("CompruebaRedSinRespuestaRemedio")});
        }
        termina();
    });
    m_limite->start(m_msRed);
    m_socket->connectToHost(QHostAddress(direccion), m_red.puerto);
}

void ComprobacionPuerto::negocia()
{
    // What a transfer asks: XON/XOFF stays the program's, so the server's
    // port is set to no flow control unless the line uses RTS/CTS.
    m_cliente.emplace(
        m_linea, m_rtsCts ? ClienteRfc2217::Control::RtsCts : ClienteRfc2217::Control::Ninguno);
    m_dichos.clear();
    connect(m_socket, &QTcpSocket::readyRead, this, &ComprobacionPuerto::leeServidor);
    // A server slower than a transfer allows would fail the transfer.
    m_limite->start(qMin(m_msRed, TransporteRfc2217::kSegundosAjustes * 1000));
    m_socket->write(m_cliente->inicio());
}

void ComprobacionPuerto::leeServidor()
{
    const QByteArray leido = m_socket->readAll();
    QByteArray datos;
    QByteArray respuesta;
    m_cliente->recibe(leido.constData(), leido.size(), datos, respuesta);
    m_dichos += datos.left(kMaxDichos - m_dichos.size());
    if (!respuesta.isEmpty())
        m_socket->write(respuesta);
    const ClienteRfc2217 &c = *m_cliente;
    if (c.listo() || c.sinComPort() || (c.comPortAceptado() && c.pendientes().isEmpty()))
        juzgaNegociacion();
}

void ComprobacionPuerto::juzgaNegociacion()
{
    const ClienteRfc2217 &c = *m_cliente;
    const QString quien = hostPuerto(m_red);
    using A = ClienteRfc2217::Ajuste;
    if (c.listo()) {
        QStringList ajustes;
        for (const A a : {A::Velocidad, A::BitsDatos, A::Paridad, A::BitsStop, A::Control})
            ajustes.append(nombreAjuste(a, m_linea, m_rtsCts));
        m_hallazgos.append({Estado::Bien,
            t("CompruebaRfc2217Bien").arg(quien, ajustes.join(QStringLiteral(", "))), {}});
    } else if (!c.comPortAceptado()) {
        m_hallazgos.append({Estado::Problema, t("CompruebaRfc2217Sin").arg(quien),
            t("CompruebaRfc2217SinRemedio")
                .arg(QStringLiteral("tcp://") + quien, QString::number(m_red.puerto))});
    } else {
        QStringList ajustes;
        for (const A a : c.rechazados())
            ajustes.append(nombreAjuste(a, m_linea, m_rtsCts));
        for (const A a : c.pendientes())
            ajustes.append(
                t("CompruebaAjusteSinRespuesta").arg(nombreAjuste(a, m_linea, m_rtsCts)));
        m_hallazgos.append({Estado::Problema,
            t("CompruebaRfc2217Rechaza").arg(quien, ajustes.join(QStringLiteral(", "))),
            t("CompruebaRfc2217RechazaRemedio")});
    }
    termina();
}

void ComprobacionPuerto::terminaLuego()
{
    // Told from the event loop, as a network check is.
    QTimer::singleShot(0, this, [this, g = m_generacion] {
        if (g == m_generacion)
            termina();
    });
}

void ComprobacionPuerto::cancela()
{
    suelta();
    m_enCurso = false;
}

void ComprobacionPuerto::suelta()
{
    m_limite->stop();
    if (m_busqueda >= 0)
        QHostInfo::abortHostLookup(m_busqueda);
    m_busqueda = -1;
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    m_cliente.reset();
}

void ComprobacionPuerto::termina()
{
    if (!m_enCurso)
        return;
    suelta();
    m_enCurso = false;
    emit terminada();
}
