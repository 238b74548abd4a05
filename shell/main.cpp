#include "keldanversion.h"
#include "shell/frmsplash.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Keldan"));
    QApplication::setApplicationVersion(QStringLiteral(KELDAN_VERSION_TEXT));

    auto *splash = new frmSplash;
    splash->Form_Load();
    splash->show();
    return app.exec();
}
