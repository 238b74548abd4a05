// keldan-dnc: serves a shop's machines from one PC (see the README).

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
                           "       keldan-dnc [--config DIR] send MACHINE FILE\n"
                           "       keldan-dnc [--config DIR] status\n"
                           "       keldan-dnc [--config DIR] stop MACHINE\n"
                           "       keldan-dnc [--config DIR] check FILE [MACHINE]\n"
                           "--config DIR: the settings folder (KELDAN.INI, MAQUINAS.INI);\n"
                           "by default the one the Keldan window uses.\n";
    return kUso;
}

QString rutaRegistro()
{
    return QDir(VarsFuncsGlobales::DirectorioAjustes())
        .absoluteFilePath(QStringLiteral("KELDAN.LOG"));
}

// Sends the request to a running service and prints its answer; nothing
// when no service answers.
std::optional<int> pideAlServicio(const QString &rutaSocket, const QString &peticion)
{
    QLocalSocket s;
    s.connectToServer(rutaSocket);
    if (!s.waitForConnected(2000))
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
    QTextStream(salida == 0 ? stdout : stderr)
        << lineas.join(QLatin1Char('\n')) << (lineas.isEmpty() ? "" : "\n");
    return salida;
}

int estadoSinServicio(const QString &rutaSocket)
{
    QTextStream(stderr) << "keldan-dnc: no service running (" << rutaSocket << ")\n";
    const auto entradas = RegistroTransferencias(rutaRegistro()).lee().entradas;
    QTextStream salida(stdout);
    for (const ConfigMaquinaDnc &c : ConfigMaquinaDnc::lee(VarsFuncsGlobales::RutaIni())) {
        std::optional<EntradaRegistro> ultima;
        for (const EntradaRegistro &e : entradas) {
            if (e.maquina.compare(c.maquina.nombre, Qt::CaseInsensitive) == 0)
                ultima = e;
        }
        salida << ServicioDnc::lineaEstado(
            c.maquina.nombre, c.maquina.com, QStringLiteral("not served"), ultima)
               << '\n';
    }
    return kServicio;
}

int enviaDirecto(QCoreApplication &app, const QString &nombre, const QString &fichero)
{
    for (const ConfigMaquinaDnc &c : ConfigMaquinaDnc::lee(VarsFuncsGlobales::RutaIni(), true)) {
        if (c.maquina.nombre.compare(nombre.trimmed(), Qt::CaseInsensitive) != 0)
            continue;
        MaquinaDnc maquina(c, rutaRegistro());
        int salida = kFallo;
        maquina.envia(fichero, [&](const ResultadoTransferencia &r) {
            const bool bien = r.estado == ResultadoTransferencia::Estado::Completa;
            QTextStream(bien ? stdout : stderr)
                << c.maquina.nombre << ": " << (bien ? "complete" : "not complete")
                << (r.error.isEmpty() ? QString() : QStringLiteral(": ") + r.error) << '\n';
            salida = bien ? 0 : kFallo;
            app.exit(salida);
        });
        app.exec();
        return salida;
    }
    QTextStream(stderr) << "keldan-dnc: no machine " << nombre << " in "
                        << Maquinas::rutaMaquinas(VarsFuncsGlobales::RutaIni()) << '\n';
    return kUso;
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
    if (args.size() >= 2 && args.first() == QLatin1String("--config")) {
        const QString dir = QFileInfo(args.at(1)).absoluteFilePath();
        if (!QFileInfo(dir).isDir()) {
            QTextStream(stderr) << "keldan-dnc: no folder " << dir << '\n';
            return kUso;
        }
        VarsFuncsGlobales::EstableceDirectorioPrograma(dir);
        args = args.mid(2);
    }
    if (args.isEmpty())
        return uso();
    // The operator's language, for the messages that go into the log.
    VarsFuncsGlobales::CargaConfig();
    const QString rutaSocket = ServicioDnc::rutaSocket(VarsFuncsGlobales::DirectorioAjustes());
    const QString orden = args.first();

    if (orden == QLatin1String("status") && args.size() == 1) {
        if (const std::optional<int> s = pideAlServicio(rutaSocket, QStringLiteral("status")))
            return *s;
        return estadoSinServicio(rutaSocket);
    }
    if (orden == QLatin1String("send") && args.size() == 3) {
        const QString fichero = QFileInfo(args.at(2)).absoluteFilePath();
        if (!QFileInfo(fichero).isFile() || !QFileInfo(fichero).isReadable()) {
            QTextStream(stderr) << "keldan-dnc: cannot read " << fichero << '\n';
            return kUso;
        }
        if (args.at(1).contains(QLatin1Char('\t')))
            return uso();
        if (const std::optional<int> s
            = pideAlServicio(rutaSocket, QStringLiteral("send\t%1\t%2").arg(args.at(1), fichero)))
            return *s;
        return enviaDirecto(app, args.at(1), fichero);
    }
    if (orden == QLatin1String("check") && (args.size() == 2 || args.size() == 3))
        return compruebaPrograma(QFileInfo(args.at(1)).absoluteFilePath(), args.value(2));
    if (orden == QLatin1String("stop") && args.size() == 2 && !args.at(1).contains('\t')) {
        if (const std::optional<int> s
            = pideAlServicio(rutaSocket, QStringLiteral("stop\t") + args.at(1)))
            return *s;
        QTextStream(stderr) << "keldan-dnc: no service running (" << rutaSocket << ")\n";
        return kServicio;
    }
    if (orden != QLatin1String("serve") || args.size() != 1)
        return uso();

    QStringList avisos;
    const QList<ConfigMaquinaDnc> maquinas
        = ConfigMaquinaDnc::lee(VarsFuncsGlobales::RutaIni(), false, &avisos);
    for (const QString &a : std::as_const(avisos))
        QTextStream(stderr) << "keldan-dnc: " << a << '\n';
    if (maquinas.isEmpty()) {
        QTextStream(stderr) << "keldan-dnc: no machine of "
                            << Maquinas::rutaMaquinas(VarsFuncsGlobales::RutaIni())
                            << " has Servicio=Si\n";
        return kServicio;
    }
    ServicioDnc servicio(maquinas, rutaRegistro());
    servicio.atiendeSenales();
    QObject::connect(&servicio, &ServicioDnc::terminado, &app, [] { QCoreApplication::exit(0); });
    QString error;
    if (!servicio.arranca(rutaSocket, &error)) {
        QTextStream(stderr) << "keldan-dnc: " << error << '\n';
        return kServicio;
    }
    QTextStream(stderr) << "keldan-dnc: machines served: " << maquinas.size() << "; socket "
                        << rutaSocket << Qt::endl;
    return app.exec();
}
