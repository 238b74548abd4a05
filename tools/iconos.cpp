// keldan-iconos SVG DIR SIZE...: renders the application icon as DIR/SIZE.png
// for each size, at build time, so that the PNGs a desktop uses at small
// sizes never drift from the SVG.

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char *argv[])
{
    // No display is needed to draw into an image.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 4) {
        std::fputs("usage: keldan-iconos SVG DIR SIZE...\n", stderr);
        return 2;
    }
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        std::fprintf(stderr, "keldan-iconos: cannot read %s\n", argv[1]);
        return 1;
    }
    for (int i = 3; i < argc; ++i) {
        const int lado = QByteArray(argv[i]).toInt();
        if (lado <= 0) {
            std::fprintf(stderr, "keldan-iconos: bad size %s\n", argv[i]);
            return 2;
        }
        QImage imagen(lado, lado, QImage::Format_ARGB32_Premultiplied);
        imagen.fill(Qt::transparent);
        QPainter pintor(&imagen);
        svg.render(&pintor);
        pintor.end();
        const QString ruta
            = QStringLiteral("%1/%2.png").arg(QString::fromLocal8Bit(argv[2])).arg(lado);
        if (!imagen.save(ruta, "PNG")) {
            std::fprintf(stderr, "keldan-iconos: cannot write %s\n", qPrintable(ruta));
            return 1;
        }
    }
    return 0;
}
