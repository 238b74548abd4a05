// keldan-dnc: serves a shop's machines from one PC (see the README).

#include "dnc/senalesdnc.h"
#include "dnc/serviciodnc.h"
#include "keldanversion.h"
#include "languages/catalogoclaves.h"
#include "plot/lectorprograma.h"
#include "settings/varsfuncsglobales.h"
#include "text/ficheroprograma.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <csignal>

#include <unistd.h>

namespace {

// Exit statuses: 0 done; 1 the transfer failed or was cut, or the program
// checked has findings; 2 a wrong command line, an unknown machine or an
// unreadable file; 3 no service (status), or the service cannot start.
constexpr int kFallo = 1;
constexpr int kUso = 2;
constexpr int kServicio = 3;

int uso()
{
    QTextStream(stderr) << "usage: keldan-dnc [--config DIR] serve\n"
                           "       keldan-dnc [--config DIR] send MACHINE FILE [--replace]\n"
                           "       keldan-dnc [--config DIR] status\n"
                           "       keldan-dnc [--config DIR] stop MACHINE\n"
                           "       keldan-dnc [--config DIR] check FILE [MACHINE]\n"
                           "--config DIR: the settings folder (KELDAN.INI, MAQUINAS.INI);\n"
                           "by default the one the Keldan window uses.\n"
                           "serve: SIGHUP reads MAQUINAS.INI again; SIGTERM stops.\n"
                           "send --replace: a machine on an FTP server or a folder gets the\n"
                           "program even when it already has one of that name.\n";
    return kUso;
}

QString rutaRegistro()
{
    return QDir(VarsFuncsGlobales::DirectorioAjustes())
        .absoluteFilePath(QStringLiteral("KELDAN.LOG"));
}

// Sends the request to a running service and prints its answer; nothing
// when no service answers.
std::optional<int> pideAlServicio(const QStringList &rutasSocket, const QString &peticion)
{
    QLocalSocket s;
    for (const QString &ruta : rutasSocket) {
        s.connectToServer(ruta);
        if (s.waitForConnected(2000))
            break;
        s.abort();
    }
    if (s.state() != QLocalSocket::ConnectedState)
        return std::nullopt;
    s.write(peticion.toUtf8() + '\n');
    s.waitForBytesWritten(2000);
    QByteArray respuesta;
    // A send answers when it ends, however slow the line: no time limit.
    while (s.state() == QLocalSocket::ConnectedState && s.waitForReadyRead(-1))
        respuesta += s.readAll();
    respuesta += s.readAll();
    QStringList lineas = QString::fromUtf8(respuesta).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    int salida = kFallo;
    if (!lineas.isEmpty() && lineas.last().startsWith(QLatin1String("exit ")))
        salida = lineas.takeLast().mid(5).toInt();
    // A machine this service does not serve is the caller's to send to.
    if (salida == ServicioDnc::kNoServida)
        return salida;
    QTextStream salidaTexto(salida == 0 ? stdout : stderr);
    // Status fields are apart by tabs; nothing else of the service's text is control.
    for (const QString &l : std::as_const(lineas)) {
        QStringList campos = l.split(QLatin1Char('\t'));
        for (QString &c : campos)
            c = ServicioDnc::visible(c);
        salidaTexto << campos.join(QLatin1Char('\t')) << '\n';
    }
    return salida;
}

int estadoSinServicio()
{
    QTextStream(stderr) << "keldan-dnc: no service running (settings "
                        << VarsFuncsGlobales::DirectorioAjustes() << ")\n";
    const auto entradas = RegistroTransferencias(rutaRegistro()).lee().entradas;
    QTextStream salida(stdout);
    for (const ConfigMaquinaDnc &c : ConfigMaquinaDnc::lee(VarsFuncsGlobales::RutaIni())) {
        const QString estado = c.maquina.rechazada() ? QStringLiteral("refused: ") + c.rechazo()
                                                     : QStringLiteral("not served");
        salida << ServicioDnc::lineaEstado(c.maquina.nombre, c.puertoEscrito(), estado,
            ServicioDnc::ultimaDe(entradas, c.maquina.nombre))
               << '\n';
    }
    return kServicio;
}

// A machine whose file holds values no port could use gets nothing: neither
// the service nor a direct send may put a default in their place.
bool rechazada(const QString &nombre)
{
    for (const ConfigMaquinaDnc &c : ConfigMaquinaDnc::lee(VarsFuncsGlobales::RutaIni(), true)) {
        if (c.maquina.nombre.compare(nombre.trimmed(), Qt::CaseInsensitive) == 0
            && c.maquina.rechazada()) {
            QTextStream(stderr) << "keldan-dnc: machine " << c.maquina.nombre << " of "
                                << Maquinas::rutaMaquinas(VarsFuncsGlobales::RutaIni()) << ": "
                                << c.rechazo() << "; nothing sent\n";
            return true;
        }
    }
    return false;
}

int enviaDirecto(
    QCoreApplication &app, const QString &nombre, const QString &fichero, bool reemplazar)
{
    QStringList avisos;
    for (const ConfigMaquinaDnc &c :
        ConfigMaquinaDnc::lee(VarsFuncsGlobales::RutaIni(), true, &avisos)) {
        if (c.maquina.nombre.compare(nombre.trimmed(), Qt::CaseInsensitive) != 0)
            continue;
        MaquinaDnc maquina(c, rutaRegistro());
        int salida = kFallo;
        maquina.envia(
            fichero,
            [&](const ResultadoTransferencia &r) {
                const bool bien = r.estado == ResultadoTransferencia::Estado::Completa;
                QTextStream(bien ? stdout : stderr) << ServicioDnc::visible(c.maquina.nombre
                    + (bien ? QStringLiteral(": complete") : QStringLiteral(": not complete"))
                    + (r.error.isEmpty() ? QString() : QStringLiteral(": ") + r.error))
                                                    << '\n';
                salida = bien ? 0 : kFallo;
                app.exit(salida);
            },
            reemplazar);
        // Ctrl+C is the operator's Stop; being ended (SIGTERM, SIGHUP) is not:
        // the send ends as it would, or is cut without its end. A second
        // signal cuts it now. Either way the transfer is logged.
        SenalesDnc senales;
        int veces = 0;
        QObject::connect(&senales, &SenalesDnc::senal, &maquina, [&](int senal) {
            if (++veces > 1)
                maquina.abandonaEnvio();
            else if (senal != SIGINT || !maquina.detieneEnvio())
                maquina.detiene(
                    ServicioDnc::kPlazoCierreMs, QStringLiteral("keldan-dnc was stopped"));
        });
        app.exec();
        return salida;
    }
    for (const QString &a : std::as_const(avisos)) {
        if (a.startsWith(nombre.trimmed() + QLatin1Char(':'), Qt::CaseInsensitive))
            QTextStream(stderr) << "keldan-dnc: " << ServicioDnc::visible(a) << '\n';
    }
    QTextStream(stderr) << "keldan-dnc: no machine " << nombre << " in "
                        << Maquinas::rutaMaquinas(VarsFuncsGlobales::RutaIni()) << '\n';
    return kUso;
}

QList<ConfigMaquinaDnc> maquinasServidas()
{
    QStringList avisos;
    const QList<ConfigMaquinaDnc> maquinas
        = ConfigMaquinaDnc::lee(VarsFuncsGlobales::RutaIni(), false, &avisos);
    for (const QString &a : std::as_const(avisos))
        QTextStream(stderr) << "keldan-dnc: " << ServicioDnc::visible(a) << '\n';
    bool alguna = false;
    for (const ConfigMaquinaDnc &c : maquinas) {
        if (!c.maquina.rechazada())
            alguna = true;
        else
            QTextStream(stderr) << "keldan-dnc: " << ServicioDnc::visible(c.maquina.nombre)
                                << ": not served: " << ServicioDnc::visible(c.rechazo()) << '\n';
    }
    if (!alguna)
        QTextStream(stderr) << "keldan-dnc: no machine of "
                            << Maquinas::rutaMaquinas(VarsFuncsGlobales::RutaIni())
                            << " that can be used has Servicio=Si" << Qt::endl;
    return maquinas;
}

// The program's extents, time estimate and findings, one a line, checked
// against the machine's travel when one is named: 0 when nothing was found.
int compruebaPrograma(const QString &fichero, const QString &nombre)
{
    Trazado::Opciones opciones;
    if (!nombre.isEmpty()) {
        QStringList avisos;
        const QList<ConfigMaquinaDnc> maquinas
            = ConfigMaquinaDnc::lee(VarsFuncsGlobales::RutaIni(), true, &avisos);
        const auto m = std::find_if(maquinas.cbegin(), maquinas.cend(), [&](const auto &c) {
            return c.maquina.nombre.compare(nombre.trimmed(), Qt::CaseInsensitive) == 0;
        });
        if (m == maquinas.cend()) {
            QTextStream(stderr) << "keldan-dnc: no machine " << nombre << " in "
                                << Maquinas::rutaMaquinas(VarsFuncsGlobales::RutaIni()) << '\n';
            return kUso;
        }
        for (const QString &a : std::as_const(avisos))
            if (a.startsWith(m->maquina.nombre + QStringLiteral(": ")))
                QTextStream(stderr) << "keldan-dnc: " << a << '\n';
        opciones.maquina = m->maquina.recorrido;
    }
    QList<QByteArray> lineas;
    QString error;
    if (!FicheroPrograma::lee(fichero, lineas, &error)) {
        QTextStream(stderr) << "keldan-dnc: cannot read " << fichero << ": " << error << '\n';
        return kUso;
    }
    const Trazado::Lectura l = Trazado::lee(lineas, opciones);
    QTextStream salida(stdout);
    for (int k = 0; k < 3; ++k) {
        salida << QLatin1Char(char('X' + k)) << ": ";
        if (std::isnan(l.minimo[k]))
            salida << "nothing drawn\n";
        else
            salida << Trazado::textoMm(l.minimo[k]) << " to " << Trazado::textoMm(l.maximo[k])
                   << " mm\n";
    }
    salida << "Time: " << Trazado::textoTiempo(l.segundos) << '\n';
    for (const Trazado::Hallazgo &h : l.hallazgos)
        salida << "Line " << h.linea + 1 << ": "
               << h.texto(CatalogoClaves::textoPorDefecto(h.clave())) << '\n';
    return l.hallazgos.isEmpty() ? 0 : kFallo;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("keldan-dnc"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELDAN_VERSION_TEXT));
    QStringList args = app.arguments().mid(1);
    // Asked for, the usage goes to stdout and ends well (the manual page is made from it).
    if (args.size() == 1 && (args.first() == QLatin1String("--help") || args.first() == "-h")) {
        ::dup2(STDOUT_FILENO, STDERR_FILENO);
        uso();
        QTextStream(stdout) << "Exit status: 0 done; 1 the transfer failed or was cut; 2 a wrong\n"
                               "command line, an unknown machine or an unreadable file; 3 no\n"
                               "service running (status), or the service cannot start.\n";
        return 0;
    }
    if (args.size() == 1 && args.first() == QLatin1String("--version")) {
        QTextStream(stdout) << "keldan-dnc " KELDAN_VERSION_TEXT "\n";
        return 0;
    }
    if (args.size() >= 2 && args.first() == QLatin1String("--config")) {
        const QString dir = QFileInfo(args.at(1)).absoluteFilePath();
        if (!QFileInfo(dir).isDir()) {
            QTextStream(stderr) << "keldan-dnc: no folder " << dir << '\n';
            return kUso;
        }
        // That folder, even read-only: the log and socket then go elsewhere or are told.
        VarsFuncsGlobales::EstableceDirectorioAjustes(dir);
        args = args.mid(2);
    }
    if (args.isEmpty())
        return uso();
    // The operator's language, for the messages that go into the log.
    VarsFuncsGlobales::CargaConfig();
    const QStringList rutasSocket
        = ServicioDnc::rutasSocket(VarsFuncsGlobales::DirectorioAjustes());
    const QString orden = args.first();

    if (orden == QLatin1String("status") && args.size() == 1) {
        if (const std::optional<int> s = pideAlServicio(rutasSocket, QStringLiteral("status")))
            return *s;
        return estadoSinServicio();
    }
    const bool reemplazar = orden == QLatin1String("send") && args.size() == 4
        && args.at(3) == QLatin1String("--replace");
    if (orden == QLatin1String("send") && (args.size() == 3 || reemplazar)) {
        const QString fichero = QFileInfo(args.at(2)).absoluteFilePath();
        QList<QByteArray> lineas;
        QString error;
        if (!QFileInfo(fichero).isFile() || !FicheroPrograma::lee(fichero, lineas, &error)) {
            QTextStream(stderr) << "keldan-dnc: cannot read " << fichero
                                << (error.isEmpty() ? QString() : QStringLiteral(": ") + error)
                                << '\n';
            return kUso;
        }
        if (FicheroPrograma::sinPrograma(lineas)) {
            QTextStream(stderr) << "keldan-dnc: " << fichero
                                << " holds no program (every line is empty): nothing is sent\n";
            return kUso;
        }
        if (args.at(1).contains(QLatin1Char('\t')))
            return uso();
        if (rechazada(args.at(1)))
            return kUso;
        const std::optional<int> s = pideAlServicio(rutasSocket,
            QStringLiteral("send\t%1\t%2").arg(args.at(1), fichero)
                + (reemplazar ? QStringLiteral("\treplace") : QString()));
        if (s && *s != ServicioDnc::kNoServida)
            return *s;
        return enviaDirecto(app, args.at(1), fichero, reemplazar);
    }
    if (orden == QLatin1String("check") && (args.size() == 2 || args.size() == 3))
        return compruebaPrograma(QFileInfo(args.at(1)).absoluteFilePath(), args.value(2));
    if (orden == QLatin1String("stop") && args.size() == 2 && !args.at(1).contains('\t')) {
        if (const std::optional<int> s
            = pideAlServicio(rutasSocket, QStringLiteral("stop\t") + args.at(1)))
            return *s;
        QTextStream(stderr) << "keldan-dnc: no service running (settings "
                            << VarsFuncsGlobales::DirectorioAjustes() << ")\n";
        return kServicio;
    }
    if (orden != QLatin1String("serve") || args.size() != 1)
        return uso();

    const QList<ConfigMaquinaDnc> maquinas = maquinasServidas();
    const auto servidas = std::count_if(maquinas.begin(), maquinas.end(),
        [](const ConfigMaquinaDnc &c) { return !c.maquina.rechazada(); });
    if (servidas == 0)
        return kServicio;
    ServicioDnc servicio(maquinas, rutaRegistro());
    SenalesDnc senales;
    QObject::connect(&senales, &SenalesDnc::senal, &servicio, [&servicio](int senal) {
        if (senal == SIGHUP) {
            QTextStream(stderr) << "keldan-dnc: reading the machines again" << Qt::endl;
            servicio.recarga(maquinasServidas());
            return;
        }
        QTextStream(stderr) << "keldan-dnc: stopping" << Qt::endl;
        servicio.detiene();
    });
    QObject::connect(&servicio, &ServicioDnc::terminado, &app, [] { QCoreApplication::exit(0); });
    QString error;
    if (!servicio.arranca(VarsFuncsGlobales::DirectorioAjustes(), &error)) {
        QTextStream(stderr) << "keldan-dnc: " << error << '\n';
        return kServicio;
    }
    QTextStream(stderr) << "keldan-dnc: machines served: " << servidas << "; socket "
                        << servicio.rutaSocket() << Qt::endl;
    return app.exec();
}
