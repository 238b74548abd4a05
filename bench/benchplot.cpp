// benchplot [lines]: the program check on a million-line program of mixed
// moves (lines, arcs by R and by I J, canned cycles) that it writes itself.
// Prints, each the best and the median of several runs: reading it into a
// toolpath, beside one pass over its bytes (the floor any reader has);
// bytes a move; a redraw after a zoom or a pan at several zooms, beside
// clearing the image alone; picking the move under the pointer; and how far
// the chords of arcs stray from the arcs, in pixels, at every zoom.
#include "plot/dibujotrayectoria.h"
#include "plot/lectorprograma.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <numbers>
#include <random>

#include <time.h>

using namespace Trazado;

namespace {

// A mould-like program, as CAM writes them: patches of surface finished in
// short zig-zag moves, pockets of lines and corner arcs (by R and by I J),
// grids of holes in canned cycles, rapids between them.
QList<QByteArray> generaPrograma(int lineas)
{
    std::mt19937 azar(24);
    QList<QByteArray> p = {"%", "O1000 (BENCH)", "G21 G17 G90 G94", "T1 M6", "S8000 M3", "G54",
        "G0 X0 Y0 Z25", "G43 Z5 H1"};
    const auto num = [](double v) { return QByteArray::number(v, 'f', 3); };
    for (int zona = 0; p.size() < lineas; ++zona) {
        // The part is 400 x 300 mm; each patch a cell of it.
        const double x0 = double(zona % 8) * 50, y0 = double(zona / 8 % 6) * 50;
        switch (zona % 3) {
        case 0: {
            p << "(SURFACE)"
              << "G0 X" + num(x0) + " Y" + num(y0) << "G1 Z0. F1200";
            for (int pasada = 0; pasada < 100; ++pasada) {
                const double y = y0 + pasada * 0.5;
                for (int k = 0; k <= 100; ++k) {
                    const double x = pasada % 2 ? x0 + 50 - k * 0.5 : x0 + k * 0.5;
                    const double z = std::sin(x / 7) * std::cos(y / 9) * 3 - 3;
                    p << "X" + num(x) + " Y" + num(y) + " Z" + num(z);
                }
            }
            p << "G0 Z5.";
            break;
        }
        case 1: {
            p << "(POCKET)"
              << "G0 X" + num(x0 + 5) + " Y" + num(y0 + 10) << "G1 Z-4. F300";
            for (double r = 0; r < 18; r += 0.75) {
                const double a = x0 + 25 - 15 + r / 2, b = x0 + 25 + 15 - r / 2;
                const double c = y0 + 25 - 15 + r / 2, d = y0 + 25 + 15 - r / 2;
                p << "G1 X" + num(a) + " Y" + num(d - 3) + " F900"
                  << "G2 X" + num(a + 3) + " Y" + num(d) + " R3."
                  << "G1 X" + num(b - 3) << "G2 X" + num(b) + " Y" + num(d - 3) + " I0. J-3."
                  << "G1 Y" + num(c + 3) << "G2 X" + num(b - 3) + " Y" + num(c) + " R3."
                  << "G1 X" + num(a + 3) << "G2 X" + num(a) + " Y" + num(c + 3) + " I0. J3.";
            }
            p << "G0 Z5.";
            break;
        }
        default: {
            p << "(HOLES)"
              << "G0 X" + num(x0 + 5) + " Y" + num(y0 + 5)
              << (azar() % 2 ? "G99 G81 Z-8. R2. F150" : "G98 G83 Z-12. R2. Q3. F120");
            for (int k = 0; k < 100; ++k)
                p << "X" + num(x0 + 5 + k % 10 * 4.5) + " Y" + num(y0 + 5 + k / 10 * 4.5);
            p << "G80";
        }
        }
    }
    p << "M30"
      << "%";
    return p;
}

// Wall time, and the processor time of this thread: on a machine others
// load, the second is what the work itself took.
struct Medida
{
    std::vector<double> ms;
    std::vector<double> cpu;
    double mejor() const { return *std::min_element(ms.begin(), ms.end()); }
    double mejorCpu() const { return *std::min_element(cpu.begin(), cpu.end()); }
    double mediana() const
    {
        std::vector<double> s = ms;
        std::sort(s.begin(), s.end());
        return s[s.size() / 2];
    }
    double peor() const { return *std::max_element(ms.begin(), ms.end()); }
};

template<class F> Medida mide(int veces, F &&f)
{
    Medida m;
    const auto cpu = [] {
        timespec t {};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
    };
    for (int i = 0; i < veces; ++i) {
        QElapsedTimer t;
        const double c = cpu();
        t.start();
        f(i);
        m.ms.push_back(double(t.nsecsElapsed()) / 1e6);
        m.cpu.push_back(cpu() - c);
    }
    return m;
}

// The chords of one arc, kept to measure them.
class Cuerdas : public Receptor
{
public:
    void empieza(double u, double v, bool, std::size_t) override
    {
        m_u = u;
        m_v = v;
    }
    void sigue(double u, double v, std::size_t) override
    {
        cuerdas.push_back({m_u, m_v, u, v});
        m_u = u;
        m_v = v;
    }
    void marca(double, double, std::size_t) override { }
    std::vector<std::array<double, 4>> cuerdas;

private:
    double m_u = 0, m_v = 0;
};

// The farthest a chord's middle strays from a circle of the XY plane, in pixels.
double desvio(const Trayectoria &t, std::size_t mov, const Vista &vista, QSize tamano)
{
    Cuerdas c;
    recorreMovimiento(t, mov, vista, {0, 0, double(tamano.width()), double(tamano.height())}, c);
    const GeometriaArco g = t.arco(mov);
    Punto centro {0, 0, t.fin(mov)[2]};
    centro[0] = g.centro[0];
    centro[1] = g.centro[1];
    const double cu = vista.u(centro), cv = vista.v(centro);
    const double r = g.radio0 * vista.escala;
    double peor = 0;
    for (const auto &[u0, v0, u1, v1] : c.cuerdas) {
        for (double f : {0.0, 0.5, 1.0}) {
            const double u = u0 + f * (u1 - u0), v = v0 + f * (v1 - v0);
            peor = std::max(peor, std::abs(std::hypot(u - cu, v - cv) - r));
        }
    }
    return peor;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int lineas = argc > 1 ? std::max(100, atoi(argv[1])) : 1'000'000;
    const QList<QByteArray> programa = generaPrograma(lineas);
    qint64 bytes = 0;
    for (const QByteArray &l : programa)
        bytes += l.size() + 2;
    std::printf("program: %lld lines, %.1f MB\n", qlonglong(programa.size()), double(bytes) / 1e6);

    // Reading.
    volatile qint64 suma = 0;
    const Medida bytesMs = mide(5, [&](int) {
        qint64 s = 0;
        for (const QByteArray &l : programa)
            for (char c : l)
                s += c == 'X';
        suma = s;
    });
    Lectura lectura;
    const Medida lecturaMs = mide(5, [&](int) { lectura = lee(programa); });
    const Trayectoria &t = lectura.trayectoria;
    std::printf("read into a toolpath: best %.0f ms, median %.0f ms, processor %.0f ms (one pass "
                "over the bytes: %.0f ms; ratio %.1f)\n",
        lecturaMs.mejor(), lecturaMs.mediana(), lecturaMs.mejorCpu(), bytesMs.mejor(),
        lecturaMs.mejorCpu() / bytesMs.mejorCpu());
    std::printf("moves: %zu, arcs: %zu, findings: %lld, time estimate %s\n", t.size(),
        t.centros.size(), qlonglong(lectura.hallazgos.size()),
        qPrintable(textoTiempo(lectura.segundos)));
    std::printf("memory: %.1f bytes a move (%.1f MB)\n", double(t.memoria()) / double(t.size()),
        double(t.memoria()) / 1e6);

    // Redraws after a zoom or a pan, at the whole program and closer in.
    const QSize tamano(1280, 800);
    QImage imagen(tamano, QImage::Format_RGB32);
    std::mt19937 azar(7);
    const Medida fondo = mide(20, [&](int) { imagen.fill(Qt::black); });
    std::printf("redraw %dx%d (clearing the image alone: %.2f ms)\n", tamano.width(),
        tamano.height(), fondo.mejor());
    for (const Vista::Tipo tipo : {Vista::XY, Vista::Isometrica}) {
        for (const double zoom : {1.0, 4.0, 32.0, 1000.0}) {
            Vista base = Vista::de(tipo);
            base.encuadra(t.cajaTotal(), tamano.width(), tamano.height());
            base.amplia(zoom, tamano.width() / 2.0, tamano.height() / 2.0);
            const Medida m = mide(20, [&](int i) {
                Vista v = base;
                // Every other redraw a zoom step about the pointer, the rest a pan.
                if (i % 2)
                    v.amplia(1.25, double(azar() % 1280), double(azar() % 800));
                else
                    v.ox += double(azar() % 200) - 100;
                DibujoTrayectoria::dibuja(imagen, t, v);
            });
            std::printf("  %s zoom x%-5g best %.1f ms, median %.1f ms, worst %.1f ms, processor "
                        "%.1f ms\n",
                tipo == Vista::XY ? "XY " : "iso", zoom, m.mejor(), m.mediana(), m.peor(),
                m.mejorCpu());
        }
    }

    // Picking under the pointer, at the whole program and closer in.
    for (const double zoom : {1.0, 32.0}) {
        Vista v = Vista::de(Vista::XY);
        v.encuadra(t.cajaTotal(), tamano.width(), tamano.height());
        v.amplia(zoom, tamano.width() / 2.0, tamano.height() / 2.0);
        int halladas = 0;
        const Medida m = mide(200, [&](int) {
            halladas += busca(t, v, double(azar() % 1280), double(azar() % 800)) >= 0;
        });
        std::printf("pick at zoom x%g: best %.3f ms, median %.3f ms, worst %.3f ms, processor "
                    "%.3f ms (%d of 200 found a move)\n",
            zoom, m.mejor(), m.mediana(), m.peor(), m.mejorCpu(), halladas);
    }

    // Arcs: small, large, huge and whole circles, at zooms from the whole
    // program to a tenth of a micrometre a pixel.
    const Lectura arcos = lee({"G0 X0 Y0 Z0 F100", "G2 X1 Y0 R0.5", "G3 X101 Y0 R50",
        "G2 X201 Y0 R-70", "G3 I-30", "G2 X1201 Y0 R100000"});
    double peor = 0;
    for (std::size_t mov = 1; mov < arcos.trayectoria.size(); ++mov) {
        for (double escala = 1e-3; escala <= Vista::kEscalaMaxima; escala *= 3.7) {
            Vista v = Vista::de(Vista::XY);
            const Punto a = arcos.trayectoria.inicio(mov);
            // The arc's start in the middle of the view.
            v.escala = escala;
            v.ox = tamano.width() / 2.0 - escala * a[0];
            v.oy = tamano.height() / 2.0 + escala * a[1];
            peor = std::max(peor, desvio(arcos.trayectoria, mov, v, tamano));
        }
    }
    std::printf("arcs: chords stray at most %.3f px from the arc, at every zoom\n", peor);
    return suma < 0;
}
