#include "keldanversion.h"
#include "shell/argumentos.h"
#include "shell/frmprincipal.h"
#include "shell/frmsplash.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Help and version need no display (a terminal, the manual page made at build time):
    // they are answered before the toolkit starts.
    QStringList crudos;
    for (int i = 1; i < argc; ++i)
        crudos << QString::fromLocal8Bit(argv[i]);
    const ArgumentosKeldan previos = ArgumentosKeldan::lee(crudos);
    if (previos.orden == ArgumentosKeldan::Orden::Ayuda) {
        std::fputs(ArgumentosKeldan::ayuda().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (previos.orden == ArgumentosKeldan::Orden::Version) {
        std::puts("keldan " KELDAN_VERSION_TEXT);
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Keldan"));
    QApplication::setApplicationVersion(QStringLiteral(KELDAN_VERSION_TEXT));
    // The toolkit has taken its own options (-platform, -style) off by now.
    const ArgumentosKeldan args = ArgumentosKeldan::lee(QApplication::arguments().mid(1));
    if (args.orden == ArgumentosKeldan::Orden::Error) {
        std::fprintf(stderr, "keldan: %s\nTry 'keldan --help' for more information.\n",
            args.error.toLocal8Bit().constData());
        return ArgumentosKeldan::kSalidaError;
    }

    if (args.sinSplash) {
        frmPrincipal::Arranca(args.fichero);
    } else {
        auto *splash = new frmSplash;
        splash->FicheroInicial = args.fichero;
        splash->Form_Load();
        splash->show();
    }
    return app.exec();
}
