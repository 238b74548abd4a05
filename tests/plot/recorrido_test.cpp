#include "plot/lectorprograma.h"
#include "plot/recorrido.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

using namespace Trazado;

namespace {

// The polylines handed out, as chords.
struct Cuerdas : Receptor
{
    void empieza(double u, double v, bool r, std::size_t) override
    {
        lu = u;
        lv = v;
        rapidos += r;
    }
    void sigue(double u, double v, std::size_t mov) override
    {
        cuerdas.push_back({lu, lv, u, v, double(mov)});
        lu = u;
        lv = v;
    }
    void marca(double u, double v, std::size_t) override { marcas.push_back({u, v}); }
    double lu = 0, lv = 0;
    int rapidos = 0;
    std::vector<std::array<double, 5>> cuerdas;
    std::vector<std::array<double, 2>> marcas;
};

Vista vistaXY(double escala, double ox, double oy)
{
    Vista v = Vista::de(Vista::XY);
    v.escala = escala;
    v.ox = ox;
    v.oy = oy;
    return v;
}

} // namespace

// A circle of 50 mm, a tiny arc and one of a huge radius, from a whole view
// to a micrometre a pixel: every chord within half a pixel of its arc, and
// none where the view does not reach.
TEST(Recorrido, ArcsStayWithinHalfAPixelAtEveryZoom)
{
    const Lectura l
        = lee({"G0 X50 Y0 Z0 F100", "G3 I-50", "G2 X50.3 R0.15", "G2 X1050.3 R1000000"});
    const Trayectoria &t = l.trayectoria;
    for (std::size_t mov = 1; mov < t.size(); ++mov) {
        const GeometriaArco g = t.arco(mov);
        for (double escala = 0.01; escala <= Vista::kEscalaMaxima; escala *= 3) {
            SCOPED_TRACE(testing::Message() << "move " << mov << " scale " << escala);
            // The arc's start in the middle of an 800 x 600 view.
            const Punto a = t.inicio(mov);
            const Vista v = vistaXY(escala, 400 - escala * a[0], 300 + escala * a[1]);
            Cuerdas c;
            recorreMovimiento(t, mov, v, {0, 0, 800, 600}, c);
            ASSERT_FALSE(c.cuerdas.empty());
            const double cu = v.u({g.centro[0], g.centro[1], 0}),
                         cv = v.v({g.centro[0], g.centro[1], 0});
            double peor = 0;
            for (const auto &[u0, v0, u1, v1, m] : c.cuerdas) {
                // A chord drawn at all touches the view.
                EXPECT_FALSE(std::max(u0, u1) < 0 || std::min(u0, u1) > 800 || std::max(v0, v1) < 0
                    || std::min(v0, v1) > 600);
                for (double f : {0.0, 0.5, 1.0})
                    peor = std::max(peor,
                        std::abs(std::hypot(u0 + f * (u1 - u0) - cu, v0 + f * (v1 - v0) - cv)
                            - g.radio0 * escala));
            }
            EXPECT_LE(peor, 0.5 + 1e-6);
        }
    }
}

// A whole view of a dense program walks a level of detail instead of the
// moves; what it hands out stays within half a pixel of the moves all the same.
TEST(Recorrido, AWholeViewThroughTheLevelOfDetailStaysWithinHalfAPixel)
{
    QList<QByteArray> lineas = {"G0 X0 Y0 Z0 F100"};
    for (int i = 1; i <= 4000; ++i)
        lineas << QByteArray("G1 X") + QByteArray::number(i * 0.025) + " Y"
                + QByteArray::number(std::sin(i * 0.0025) * 20, 'f', 4);
    lineas << "G0 X150 Y0"
           << "G3 I-50";
    const Lectura l = lee(lineas);
    const Trayectoria &t = l.trayectoria;
    ASSERT_FALSE(t.detalles.empty());
    const std::size_t circulo = t.size() - 1;
    const GeometriaArco g = t.arco(circulo);
    for (const double ancho : {300.0, 800.0, 3000.0}) {
        SCOPED_TRACE(ancho);
        Vista v = Vista::de(Vista::XY);
        v.encuadra(t.cajaTotal(), ancho, ancho * 0.75);
        Cuerdas c;
        recorre(t, v, {0, 0, ancho, ancho * 0.75}, 1.0, c);
        double peor = 0;
        for (const auto &[u0, v0, u1, v1, m] : c.cuerdas) {
            // The rapid over to the circle is on neither.
            if (std::size_t(m) == circulo - 1)
                continue;
            for (double f : {0.0, 0.5, 1.0}) {
                const Punto p = v.punto(u0 + f * (u1 - u0), v0 + f * (v1 - v0));
                // Off the circle, or off the curve y = 20 sin(x / 10) (across
                // it: the height off it over the slope's secant).
                const double x = p[0] + t.origen[0], y = p[1] + t.origen[1];
                const double d = std::size_t(m) == circulo
                    ? std::abs(std::hypot(p[0] - g.centro[0], p[1] - g.centro[1]) - 50)
                    : std::abs(y - std::sin(x / 10) * 20) / std::hypot(1, 2 * std::cos(x / 10));
                peor = std::max(peor, d * v.escala);
            }
        }
        EXPECT_LE(peor, 0.5);
        EXPECT_LT(c.cuerdas.size(), t.size() / 4);
    }
}

// Each level of detail strays from the moves no more than the error it
// claims, which is what the walk trusts to stay within half a pixel: every
// point of every move (arcs in fine steps) near the level's lines.
TEST(Recorrido, EachLevelOfDetailKeepsWithinItsError)
{
    QList<QByteArray> lineas = {"G0 X0 Y0 Z0 F100"};
    for (int i = 1; i <= 3000; ++i)
        lineas << QByteArray("G1 X") + QByteArray::number(i * 0.02, 'f', 3) + " Y"
                + QByteArray::number(std::sin(i * 0.01) * 3, 'f', 4) + " Z"
                + QByteArray::number(std::cos(i * 0.003) * 2, 'f', 4);
    lineas << "G2 X70 Y0 R5"
           << "G0 Z5"
           << "G3 X70 Y0 I-10 Z-2";
    const Lectura l = lee(lineas);
    const Trayectoria &t = l.trayectoria;
    ASSERT_FALSE(t.detalles.empty());
    for (const Trayectoria::Detalle &d : t.detalles) {
        SCOPED_TRACE(d.error);
        std::vector<std::array<Punto, 2>> tramos;
        for (std::size_t j = 1; j < d.vertices.size(); ++j)
            if (!(d.vertices[j].mov & Trayectoria::kCorte)) {
                const auto &a = d.vertices[j - 1].p, &b = d.vertices[j].p;
                tramos.push_back({Punto {a[0], a[1], a[2]}, Punto {b[0], b[1], b[2]}});
            }
        const auto distancia = [&](const Punto &p) {
            double mejor = 1e300;
            for (const auto &[a, b] : tramos) {
                const double c[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
                const double e[3] = {p[0] - a[0], p[1] - a[1], p[2] - a[2]};
                const double l2 = c[0] * c[0] + c[1] * c[1] + c[2] * c[2];
                const double u = l2 > 0
                    ? std::clamp((e[0] * c[0] + e[1] * c[1] + e[2] * c[2]) / l2, 0.0, 1.0)
                    : 0;
                mejor = std::min(
                    mejor, std::hypot(e[0] - u * c[0], e[1] - u * c[1], e[2] - u * c[2]));
            }
            return mejor;
        };
        double peor = 0;
        for (std::size_t i = 1; i < t.size(); ++i) {
            if (!t.visible(i))
                continue;
            if (t.esArco(i)) {
                const GeometriaArco g = t.arco(i);
                for (int k = 0; k <= 200; ++k)
                    peor = std::max(peor, distancia(g.punto(k / 200.0)));
            } else {
                peor = std::max(peor, distancia(t.fin(i)));
            }
        }
        EXPECT_LE(peor, d.error * 1.0001 + 1e-6);
        EXPECT_LT(d.vertices.size(), t.size());
    }
}

// Each view shows X, Y and Z its way (the screen's v grows downward); a
// fit centres the program within a margin; a zoom keeps the point under
// the pointer where it is, and stops at its bounds.
TEST(Recorrido, ViewsFitAndZoomAboutThePointer)
{
    const auto ejes = [](Vista::Tipo tipo) {
        Vista v = Vista::de(tipo);
        QStringList s;
        for (const Punto &p : {Punto {1, 0, 0}, Punto {0, 1, 0}, Punto {0, 0, 1}})
            s << QString::number(v.u(p), 'f', 2) + ',' + QString::number(v.v(p), 'f', 2);
        return s.join(' ').replace("-0.00", "0.00").toStdString();
    };
    EXPECT_EQ(ejes(Vista::XY), "1.00,0.00 0.00,-1.00 0.00,0.00");
    EXPECT_EQ(ejes(Vista::XZ), "1.00,0.00 0.00,0.00 0.00,-1.00");
    EXPECT_EQ(ejes(Vista::YZ), "0.00,0.00 1.00,0.00 0.00,-1.00");
    EXPECT_EQ(ejes(Vista::Isometrica), "0.71,0.41 0.71,-0.41 0.00,-0.82");

    Vista v = Vista::de(Vista::XY);
    v.encuadra({{-10, 0, -5}, {30, 20, 5}}, 400, 300);
    EXPECT_NEAR(v.u({10, 10, 0}), 200, 1e-9);
    EXPECT_NEAR(v.v({10, 10, 0}), 150, 1e-9);
    EXPECT_NEAR(v.u({-10, 0, 0}), 19, 1e-9); // the margin: a twentieth of the side, and 4
    const Punto antes = v.punto(100, 50);
    v.amplia(2.5, 100, 50);
    const Punto despues = v.punto(100, 50);
    EXPECT_NEAR(antes[0], despues[0], 1e-9);
    EXPECT_NEAR(antes[1], despues[1], 1e-9);
    v.amplia(1e12, 0, 0);
    EXPECT_EQ(v.escala, Vista::kEscalaMaxima);
    v.amplia(1e-30, 0, 0);
    EXPECT_EQ(v.escala, Vista::kEscalaMinima);
    // A program that is one point shows 20 mm across.
    v.encuadra({{5, 5, 5}, {5, 5, 5}}, 400, 300);
    EXPECT_EQ(v.escala, 15);
}

// Picking finds the nearest move within its radius, rapids and the G28 mark
// included; the walk merges what is below a pixel and skips what is out of sight.
TEST(Recorrido, PickingAndMerging)
{
    const Lectura l = lee({"G0 X0 Y0 Z0", "G1 X10 F100", "G0 Y10", "G91 G28 Z0", "G90 G0 X0 Y0 Z0",
        "G1 X0.001", "X0.002", "X0.003", "X100"});
    const Trayectoria &t = l.trayectoria;
    const Vista v = vistaXY(10, 50, 500);
    EXPECT_EQ(busca(t, v, 100, 502), 1); // on the feed move, 2 px off
    EXPECT_EQ(busca(t, v, 151, 450), 2); // on the rapid
    EXPECT_EQ(busca(t, v, 120, 480), -1); // 20 px from both

    Cuerdas c;
    recorre(t, v, {0, 0, 2000, 1000}, 1.0, c);
    // The feed move, the rapid (with G28's rapid of no length), and the
    // three micrometre steps with the line on to X100 as one chord.
    ASSERT_EQ(c.cuerdas.size(), 3u);
    EXPECT_EQ(c.cuerdas.back()[2], 1050);
    EXPECT_EQ(c.marcas.size(), 1u);
    // A window the path passes by gets nothing.
    Cuerdas nada;
    recorre(t, v, {300, 0, 400, 300}, 1.0, nada);
    EXPECT_TRUE(nada.cuerdas.empty() && nada.marcas.empty());
}

// keldan-dnc check: extents, time and one finding a line, with the
// machine's travel; 0 clean, 1 with findings, 2 for what cannot be read.
TEST(Recorrido, DncCheckPrintsTheFindingsAndTellsByItsExitStatus)
{
    QTemporaryDir dir;
    const auto escribe = [&](const char *nombre, const QByteArray &datos) {
        QFile f(dir.filePath(nombre));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(datos) == datos.size());
    };
    escribe("KELDAN.INI", "[General]\nIdioma=English\n");
    escribe("MAQUINAS.INI", "[Mill]\nCom=/dev/null\nLimitesX=0,50\nRapido=x\n");
    escribe("P1.NC", "%\r\nO1\r\nG0 X0 Y0 Z5\r\nG1 X100 F100\r\nM30\r\n%\r\n");
    const auto dnc = [&](const QStringList &args) {
        QProcess p;
        p.start(KELDAN_DNC, QStringList {"--config", dir.path(), "check"} + args);
        p.waitForFinished(30000);
        return QString::number(p.exitCode()) + '|' + p.readAllStandardOutput()
            + p.readAllStandardError();
    };
    EXPECT_EQ(dnc({dir.filePath("P1.NC")}),
        "0|X: 0.000 to 100.000 mm\nY: 0.000 to 0.000 mm\nZ: 5.000 to 5.000 mm\nTime: 0:01:00\n");
    EXPECT_EQ(dnc({dir.filePath("P1.NC"), "mill"}),
        "1|X: 0.000 to 100.000 mm\nY: 0.000 to 0.000 mm\nZ: 5.000 to 5.000 mm\nTime: 0:01:00\n"
        "Line 4: X 100.000 is outside the machine's travel (0.000 to 50.000).\n"
        "keldan-dnc: Mill: Rapido=x cannot be used; its default is taken\n");
    EXPECT_TRUE(dnc({dir.filePath("P2.NC")}).startsWith("2|keldan-dnc: cannot read "));
    EXPECT_TRUE(dnc({}).startsWith("2|usage: keldan-dnc"));
    escribe("VACIO.NC", "%\r\nM30\r\n");
    EXPECT_EQ(dnc({dir.filePath("VACIO.NC")}),
        "0|X: nothing drawn\nY: nothing drawn\nZ: nothing drawn\nTime: 0:00:00\n");
    EXPECT_TRUE(dnc({dir.filePath("P1.NC"), "Lathe"}).startsWith("2|keldan-dnc: no machine Lathe"));
}
