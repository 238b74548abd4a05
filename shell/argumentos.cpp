#include "shell/argumentos.h"

ArgumentosKeldan ArgumentosKeldan::lee(const QStringList &argumentos)
{
    ArgumentosKeldan a;
    bool ayuda = false;
    bool version = false;
    bool opciones = true;
    for (const QString &arg : argumentos) {
        if (opciones && arg == QLatin1String("--")) {
            opciones = false;
        } else if (opciones && (arg == QLatin1String("--help") || arg == QLatin1String("-h"))) {
            ayuda = true;
        } else if (opciones && arg == QLatin1String("--version")) {
            version = true;
        } else if (opciones && arg == QLatin1String("--no-splash")) {
            a.sinSplash = true;
        } else if (opciones && arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            if (a.error.isEmpty())
                a.error = QStringLiteral("unknown option '%1'").arg(arg);
        } else if (a.fichero.isEmpty() && !arg.isEmpty()) {
            a.fichero = arg;
        } else if (a.error.isEmpty()) {
            a.error = QStringLiteral("one FILE at most ('%1')").arg(arg);
        }
    }
    if (ayuda)
        a.orden = Orden::Ayuda;
    else if (version)
        a.orden = Orden::Version;
    else if (!a.error.isEmpty())
        a.orden = Orden::Error;
    return a;
}

QString ArgumentosKeldan::ayuda()
{
    return QStringLiteral(
        "Usage: keldan [OPTION]... [FILE]\n"
        "Exchange part programs with a CNC machine tool over RS-232 or a network\n"
        "serial port: open a program and send it to the CNC, or receive one from\n"
        "the CNC and save it.\n"
        "\n"
        "With FILE, the main window opens with that part program loaded, as Open\n"
        "loads it (the transfer mode stays as set).\n"
        "\n"
        "  --no-splash    start without the splash window\n"
        "  -h, --help     display this help and exit\n"
        "  --version      output version information and exit\n"
        "\n"
        "Settings, machines and the transfer log (KELDAN.INI, MAQUINAS.INI,\n"
        "KELDAN.LOG) live beside the program when its folder can be written; when\n"
        "Keldan is installed, in $XDG_CONFIG_HOME/keldan (~/.config/keldan).\n"
        "\n"
        "Exit status: 0 when the window is closed; 2 for a wrong command line.\n");
}
