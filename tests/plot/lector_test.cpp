#include "base/perfilini.h"
#include "languages/catalogoclaves.h"
#include "plot/lectorprograma.h"
#include "plot/reinicio.h"

#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

#include <numbers>

using namespace Trazado;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

QList<QByteArray> programa(const char *texto)
{
    return QByteArray(texto).split('\n');
}

QString mm(double v)
{
    return std::isnan(v) ? QStringLiteral("?") : textoMm(v).remove(QRegularExpression("\\.?0+$"));
}

// The toolpath written out: each move as its kind, its end point and, for
// an arc, "@" and its centre on the plane's two axes; a move of another line
// than the one before it starts with that line's number (from 1) and ":".
QString camino(const Lectura &l)
{
    static const char *const kTipos[] = {"R", "F", "CW", "CCW", "REF", "J"};
    const Trayectoria &t = l.trayectoria;
    QStringList s;
    std::uint32_t linea = std::uint32_t(-1);
    for (std::size_t i = 0; i < t.size(); ++i) {
        const Movimiento &m = t.movimientos[i];
        QString e = m.linea != linea ? QString::number(m.linea + 1) + ':' : QString();
        linea = m.linea;
        e += kTipos[int(m.tipo)];
        for (int k = 0; k < 3; ++k)
            e += ' ' + mm(t.fin(i)[k] + t.origen[k]);
        if (t.esArco(i)) {
            const auto ejes = ejesPlano(m.plano);
            e += QStringLiteral(" @%1,%2").arg(mm(t.centros[m.arco][0] + t.origen[ejes[0]]),
                mm(t.centros[m.arco][1] + t.origen[ejes[1]]));
        }
        s << e;
    }
    return s.join("; ");
}

QString extension(const Lectura &l)
{
    QStringList s;
    for (int k = 0; k < 3; ++k)
        s << mm(l.minimo[k]) + ".." + mm(l.maximo[k]);
    return s.join(' ');
}

QString hallazgos(const Lectura &l)
{
    QStringList s;
    for (const Hallazgo &h : l.hallazgos)
        s << QString::number(h.linea + 1) + ':' + h.clave().mid(8) + (h.datos.isEmpty() ? "" : " ")
                + h.datos.join(',');
    return s.join("; ");
}

constexpr const char *kInicio = "G90 G0 X0 Y0 Z0 F100\n";

} // namespace

// Each program's toolpath, as a control runs it, written out by hand.
TEST(Lector, ToolpathsOfSmallPrograms)
{
    const struct
    {
        const char *nombre, *texto, *camino, *extension;
    } casos[] = {
        {"modal lines; the first move comes from an unknown place; % ends",
            "G0 X0 Y0 Z5\nG1 Z-1 F100\nX10 ; comment\nY10\nG0 Z5 (UP)\n%\nG0 X99",
            "1:R 0 0 0; 2:R 0 0 5; 3:F 0 0 -1; 4:F 10 0 -1; 5:F 10 10 -1; 6:R 10 10 5",
            "0..10 0..10 -1..5"},
        {"clockwise by I J goes over the top", "G2 X10 Y0 I5 J0", "1:R 0 0 0; 2:CW 10 0 0 @5,0",
            "0..10 0..5 0..0"},
        {"by R: the short way right of the chord, -R the long way, G3 left",
            "G2 X10 R10\nG0 X0\nG2 X10 R-10\nG0 X0\nG3 X10 R10",
            "1:R 0 0 0; 2:CW 10 0 0 @5,-8.66; 3:R 0 0 0; 4:CW 10 0 0 @5,8.66; 5:R 0 0 0; "
            "6:CCW 10 0 0 @5,8.66",
            "-5..15 -1.34..18.66 0..0"},
        {"a full circle when the end is the start", "G0 X10\nG3 X10 Y0 I-10 J0",
            "1:R 0 0 0; 2:R 10 0 0; 3:CCW 10 0 0 @0,0", "-10..10 -10..10 0..0"},
        {"a helix: a quarter turn down 5", "G0 X10\nG3 X0 Y10 Z-5 I-10",
            "1:R 0 0 0; 2:R 10 0 0; 3:CCW 0 10 -5 @0,0", "0..10 0..10 -5..0"},
        // Seen from +Y, X to the left: clockwise from X0 to X10 goes below.
        {"G18: the arc in Z and X, by K and I", "G18 G2 X10 Z0 I5 K0",
            "1:R 0 0 0; 2:CW 10 0 0 @0,5", "0..10 0..0 -5..0"},
        {"G19: the arc in Y and Z, by J and K", "G19 G2 Y10 Z0 J5 K0",
            "1:R 0 0 0; 2:CW 0 10 0 @5,0", "0..0 0..10 0..5"},
        {"inch", "G20\nG0 X1 Y2 Z0.5\nG1 X2", "1:R 0 0 0; 3:R 25.4 50.8 12.7; 4:F 50.8 50.8 12.7",
            "0..50.8 0..50.8 0..12.7"},
        {"incremental, and an axis unknown until given",
            "G91 G1 X10\nY5\nX-10\nG90 G0 Z1\nG53 Z0\nG1 X5\nZ2\nX6",
            "1:R 0 0 0; 2:F 10 0 0; 3:F 10 5 0; 4:F 0 5 0; 5:R 0 5 1; 6:J 0 5 ?; 7:F 5 5 ?; "
            "8:F 5 5 2; 9:F 6 5 2",
            "0..10 0..5 0..2"},
        {"G28 rapids to its point, then the reference; G92 sets the place",
            "G91 G28 Z0\nG90 G0 X1 Y1\nG92 Z7\nG1 X2",
            "1:R 0 0 0; 2:R 0 0 0; REF 0 0 ?; 3:R 1 1 ?; 4:J 1 1 7; 5:F 2 1 7", "0..2 0..1 0..7"},
        {"the tool change leaves the tool where the machine put it", "T2 M6\nG0 X1 Y1\nZ3\nG1 Z0",
            "1:R 0 0 0; 2:J ? ? ?; 3:R 1 1 ?; 4:R 1 1 3; 5:F 1 1 0", "1..1 1..1 0..3"},
        {"a subprogram called twice, and L times",
            "G0 Z5\nM98 P100\nG0 X10\nM98 P0100 L2\nM30\nO100\nG1 Z-1\nG0 Z5\nM99",
            "1:R 0 0 0; 2:R 0 0 5; 8:F 0 0 -1; 9:R 0 0 5; 4:R 10 0 5; 8:F 10 0 -1; 9:R 10 0 5; "
            "8:F 10 0 -1; 9:R 10 0 5",
            "0..10 0..0 -1..5"},
        {"P30100 runs O100 three times", "M98 P30100\nM30\nO100\nG91 G1 X1\nM99",
            "1:R 0 0 0; 5:F 1 0 0; F 2 0 0; F 3 0 0", "0..3 0..0 0..0"},
        {"block skip off: the block runs", "/G1 X5\n/2 Y5", "1:R 0 0 0; 2:F 5 0 0; 3:F 5 5 0",
            "0..5 0..5 0..0"},
        {"G90.1: the centre in absolute coordinates", "G0 X10\nG90.1 G3 X-10 Y0 I0 J0",
            "1:R 0 0 0; 2:R 10 0 0; 3:CCW -10 0 0 @0,0", "-10..10 0..10 0..0"},
        {"comments hold no words; small letters and blanks inside words are read",
            "G0 (X99 MOVE) X5 ; Y99\nn10 g1 y 2.5 f100\nX 1 0 .5",
            "1:R 0 0 0; 2:R 5 0 0; "
            "3:F 5 2.5 0; 4:F 10.5 2.5 0",
            "0..10.5 0..2.5 0..0"},
        {"units change between blocks", "G0 X10\nG20 X1\nG21 Y3",
            "1:R 0 0 0; 2:R 10 0 0; "
            "3:R 25.4 0 0; 4:R 25.4 3 0",
            "0..25.4 0..3 0..0"},
        {"G28 without axes goes nowhere; G10 writes offsets, it moves nothing",
            "G28\nG10 L2 P1 X5 Y5\nG1 X1", "1:R 0 0 0; 4:F 1 0 0", "0..1 0..0 0..0"},
        {"G30 as G28, on the axes it names", "G91 G30 X0 Y0\nG90 G0 Z1\nX1 Y1",
            "1:R 0 0 0; 2:R 0 0 0; REF ? ? 0; 3:R ? ? 1; 4:R 1 1 1", "0..0 0..0 0..0"},
        {"K holes in G90 drill the same place again", "G0 Z5\nG98 G81 X5 Z-1 R1 K2\nG80",
            "1:R 0 0 0; 2:R 0 0 5; 3:R 5 0 5; R 5 0 1; F 5 0 -1; R 5 0 5; R 5 0 5; R 5 0 1; "
            "F 5 0 -1; R 5 0 5",
            "0..5 0..0 -1..5"},
    };
    for (const auto &c : casos) {
        SCOPED_TRACE(c.nombre);
        const Lectura l = lee(programa((QByteArray(kInicio) + c.texto).constData()));
        // The line numbers of the cases count the start line as 1.
        EXPECT_EQ(camino(l), c.camino);
        EXPECT_EQ(extension(l), c.extension);
        EXPECT_EQ(hallazgos(l), "");
    }
    EXPECT_EQ(camino(lee(programa("\n%\nO1 (PLATE)\nG0 X1 Y1 Z1"))), "4:R 1 1 1");
    Opciones salta;
    salta.saltaBloques = true;
    EXPECT_EQ(camino(lee(programa("G0 X0 Y0 Z0\n/G0 X5\nY5"), salta)), "1:R 0 0 0; 3:R 0 5 0");
}

// Every canned cycle with G98 (back to the initial level) then G99 (to R):
// rapid to the hole and to R, feed to the depth, out by feed or rapid.
TEST(Lector, CannedCyclesDrawHolesAndReturnToTheirLevel)
{
    const QString rapida = "2:R 5 0 10; R 5 0 2; F 5 0 -3; R 5 0 10; 3:R 10 0 10; R 10 0 2; "
                           "F 10 0 -3; R 10 0 2";
    const QString avance = "2:R 5 0 10; R 5 0 2; F 5 0 -3; F 5 0 2; R 5 0 10; 3:R 10 0 10; "
                           "R 10 0 2; F 10 0 -3; F 10 0 2";
    const std::pair<int, QString> casos[] = {
        {73, rapida},
        {74, avance},
        {76, rapida},
        {81, rapida},
        {82, rapida},
        {83, rapida},
        {84, avance},
        {85, avance},
        {86, rapida},
        // Back boring goes back to the initial level from either.
        {87,
            "2:R 5 0 10; R 5 0 2; F 5 0 -3; R 5 0 10; 3:R 10 0 10; R 10 0 2; F 10 0 -3; "
            "R 10 0 10"},
        {88, rapida},
        {89, avance},
    };
    for (const auto &[ciclo, esperado] : casos) {
        SCOPED_TRACE(ciclo);
        const QByteArray texto = "G0 X0 Y0 Z10 F100\nG98 G" + QByteArray::number(ciclo)
            + " X5 Z-3 R2 Q1 P500\nG99 X10\nG80 X20";
        const Lectura l = lee(texto.split('\n'));
        QString c = camino(l);
        c = c.left(c.indexOf("; 4:"));
        EXPECT_EQ(c, "1:R 0 0 10; " + esperado);
        EXPECT_EQ(hallazgos(l), "");
    }
    // Incremental: R from the initial level, Z from R, K holes a step apart;
    // the dwell of G82 counts in the time.
    Opciones o;
    o.maquina.rapido = 6000;
    const Lectura l = lee(programa("G0 X0 Y0 Z10 F60\nG91 G99 G82 X5 R-8 Z-5 K2 P1500\nG80"), o);
    EXPECT_EQ(camino(l),
        "1:R 0 0 10; 2:R 5 0 10; R 5 0 2; F 5 0 -3; R 5 0 2; R 10 0 2; F 10 0 -3; R 10 0 2");
    // Rapids 5 + 8 + 5 + 5 + 5 mm at 100 mm/s, feeds 2 x 5 mm at 1 mm/s, 2 dwells.
    EXPECT_NEAR(l.segundos, 0.28 + 10 + 3, 1e-9);
}

// Each kind of finding with the line it is in; the drawing goes on after it.
TEST(Lector, FindingsNameTheirLine)
{
    Opciones limites;
    limites.maquina.limites[0] = RecorridoMaquina::Limite {0, 100};
    limites.maquina.limites[1] = RecorridoMaquina::Limite {-5, 5};
    const struct
    {
        const char *texto, *hallazgos;
        Opciones opciones = {};
    } casos[] = {
        {"G12 X1\nM123\nG5.1 Q1 M1", "2:CodigoG G12; 3:CodigoM M123"},
        {"X1.2.3\nY\n#1=5\nG0 X[#1]\nE5\nG54.12",
            "2:Palabra .3; 3:Palabra Y; 4:Macro; 5:Macro; "
            "6:Palabra E5; 7:Palabra G54.12"},
        {"G2 X10 I5.1\nG2 X20 R4\nG2 X30\nG2 X30 R5\nG2 X30 I0",
            "2:ArcoFuera 0.200; 3:ArcoRadio 4.000,5.000; 4:ArcoSinCentro; 5:ArcoCirculoR; "
            "6:ArcoNulo"},
        {"G94 F0\nG1 X5\nG95 F0.1\nX6", "3:SinAvance; 5:AvanceVuelta"},
        {"G81 X5 R2\nG80\nG81 X5 Z-1 R2 K99999",
            "2:CicloSinProfundidad; 4:Repeticiones 99999,9999"},
        // The move back from X120 starts outside too.
        {"G0 X120\nX50 Y4\nG2 X60 I5",
            "2:FueraLimites X,120.000,0.000,100.000; "
            "3:FueraLimites X,120.000,0.000,100.000; "
            "4:FueraLimites Y,9.000,-5.000,5.000",
            limites},
        // After a tool change only what is programmed is known: X is named where it leaves.
        {"T1 M6\nG0 X120\nY0 Z5\nX50",
            "3:FueraLimites X,120.000,0.000,100.000; "
            "4:FueraLimites X,120.000,0.000,100.000; 5:FueraLimites X,120.000,0.000,100.000",
            limites},
        {"G41 D1 X5\nA90\nB4\nA5 B5", "2:Compensacion G41; 3:Rotativo A; 4:Rotativo B"},
        {"M98 P999\nM99", "2:SinSubprograma 999; 3:M99Principal"},
        {"M98 P100\nM30\nO100\nG1 X1\n%", "4:SinM99 100"},
        {"M98 P100\nM30\nO100\nM98 P100\nM99", "5:Anidamiento 8"},
        {"M98 P100 L99999\nM30\nO100\nM99", "2:Repeticiones 99999,9999"},
    };
    for (const auto &c : casos) {
        SCOPED_TRACE(c.texto);
        EXPECT_EQ(hallazgos(lee(programa((QByteArray(kInicio) + c.texto).constData()), c.opciones)),
            c.hallazgos);
    }
    // Findings past their bound are counted once, not listed.
    QList<QByteArray> malos(kMaxHallazgos + 50, "G12");
    const Lectura muchos = lee(malos);
    ASSERT_EQ(muchos.hallazgos.size(), kMaxHallazgos + 1);
    EXPECT_EQ(muchos.hallazgos.last().tipo, Hallazgo::Demasiados);
    // A drawing that would grow without end stops at its bound and says so.
    const Lectura enorme
        = lee(programa("G0 X0 Y0 Z1 F1\nM98 P100 L9999\nM30\nO100\nG91 G81 X1 Z-1 R0 K9999\nM99"));
    EXPECT_EQ(hallazgos(enorme), "5:Tamano 5000000,10000000");
    EXPECT_EQ(enorme.trayectoria.size(), kMaxMovimientos);
    EXPECT_LT(enorme.trayectoria.memoria() / enorme.trayectoria.size(), 40u);
}

TEST(Lector, TimeOfKnownLengthsAndFeeds)
{
    Opciones o;
    o.maquina.factorTiempo = 1.5;
    const Lectura l = lee(programa("G0 X0 Y0 Z0\n"
                                   "G1 X100 F1000\n" // 6 s
                                   "G0 X0\n" // 100 mm at 5000 mm/min: 1.2 s
                                   "G0 X10\n" // 0.12 s
                                   "G3 I-10 F628.3185307\n" // a full circle: 6 s
                                   "G4 P2000\n" // 2 s
                                   "G95 S1000 G1 X20 F0.1\n"), // 100 mm/min: 6 s
        o);
    EXPECT_EQ(hallazgos(l), "");
    EXPECT_NEAR(l.segundos, (6 + 1.2 + 0.12 + 6 + 2 + 6) * 1.5, 1e-6);
    EXPECT_EQ(textoTiempo(l.segundos), "0:00:32");
    // Three turns of a helix down 6 mm, at 60 mm/min.
    const Lectura helice = lee(programa("G0 X10 Y0 Z0\nG3 X10 Y0 Z-6 I-10 P3 F60"));
    EXPECT_NEAR(helice.segundos, std::hypot(3 * 2 * std::numbers::pi * 10, 6), 1e-6);
    EXPECT_EQ(helice.trayectoria.movimientos[1].vueltas, 2);
    EXPECT_EQ(textoTiempo(3725.4) + ' ' + textoTiempo(360000), "1:02:05 100:00:00");
}

TEST(Lector, RestartBlockGivesBackToolOffsetSpindleCoolantAndModes)
{
    const QList<QByteArray> lineas = programa("%\nO10\nG21 G17 G90 G94\nT3 M6\nT4\nG54\n"
                                              "S1500 M3\nM8\nG0 X10 Y20 Z50\nG43 Z5 H3\n"
                                              "G1 Z-2 F250\nX30\nY40\nM30\n%");
    const BloqueReinicio r = bloqueReinicio(lineas, 11);
    EXPECT_EQ(r.lineas.join('|'),
        "T3 M6|T4|G54|G17 G21 G94|S1500 M3|M8|G90 G0 G43 H3 Z50.|"
        "G0 X10. Y20.|G1 Z-2. F250.|G1 F250.");
    EXPECT_EQ(r.notas, 0u);

    // Inch and incremental in a canned cycle: the cycle's initial level, its
    // block without a hole, G91 after the absolute moves; compensation on.
    const QList<QByteArray> ciclo = programa("G20 G0 X0 Y0 Z1\nG41 D2\nG91 G98 G83 X1 R-0.9 "
                                             "Z-0.5 Q0.1 P250 F5\nX1\nX1");
    const BloqueReinicio c = bloqueReinicio(ciclo, 4);
    EXPECT_EQ(c.lineas.join('|'),
        "G20|G90 G0 Z1.|G0 X2. Y0.|G0 Z1.|G91|G98 G83 R-0.9 Z-0.5 "
        "Q0.1 P250 F5.");
    EXPECT_EQ(c.notas, BloqueReinicio::ConCompensacion);

    EXPECT_EQ(bloqueReinicio(programa("G1 X1 Y1\nM30\nG0 X5"), 2).notas, BloqueReinicio::SinEstado);
    // Inside a subprogram the state is the one of its first run; the tool
    // prepared after the change, M4, M7, an extended offset, G95, G18 and no
    // length offset go as they were.
    const BloqueReinicio sub = bloqueReinicio(
        programa("T7 M6\nT8\nG54.1 P3 G18 G95\nS800 M4 M7\nG0 X1 Y2 Z3\nM98 P20\nM30\nO20\n"
                 "G2 X5 Z1 R4 F0.2\nX9\nM99"),
        9);
    EXPECT_EQ(sub.lineas.join('|'),
        "T7 M6|T8|G54.1 P3|G18 G95|S800 M4|M7|G90 G0 Z3.|G0 X5. Y2.|G1 Z1. F0.2|G2 F0.2");
    const BloqueReinicio sinZ = bloqueReinicio(programa("T1 M6\nG0 X1\nG1 Y1 F5\nX2"), 3);
    EXPECT_EQ(sinZ.lineas.join('|'), "T1 M6|G1 F5.");
    EXPECT_EQ(sinZ.notas, BloqueReinicio::SinPosicion);
}

// Each kind of finding has its text, in the catalogue and in both shipped
// languages, with as many places for its data as the reader gives it.
TEST(Lector, EveryFindingHasItsTextWithItsDataInEveryLanguage)
{
    const int datos[] = {1, 1, 1, 0, 1, 2, 0, 0, 0, 0, 0, 0, 4, 1, 1, 1, 1, 0, 1, 2, 2, 1};
    static_assert(std::size(datos) == Hallazgo::Demasiados + 1);
    const QString ini = QStringLiteral(KELDAN_INI_SUMINISTRADO);
    for (int tipo = 0; tipo <= Hallazgo::Demasiados; ++tipo) {
        const Hallazgo h {0, Hallazgo::Tipo(tipo), {}};
        for (const QString &texto : {CatalogoClaves::textoPorDefecto(h.clave()),
                 PerfilIni::lee(ini, QStringLiteral("Español"), h.clave(), QString()),
                 PerfilIni::lee(ini, QStringLiteral("English"), h.clave(), QString())}) {
            SCOPED_TRACE(h.clave().toStdString() + ": " + texto.toStdString());
            int lugares = 0;
            while (texto.contains('%' + QString::number(lugares + 1)))
                ++lugares;
            EXPECT_EQ(lugares, datos[tipo]);
        }
    }
}

// A line's moves are those of its first run; a line without moves shows the
// tool where the move before it left it; a line never run, nowhere.
TEST(Lector, EachLineFindsItsMovesAndTheTool)
{
    const Trayectoria t = lee(programa("G0 X0 Y0 Z0\nG81 X1 Z-1 R1 F9\nM8\nM98 P7\nM30\n"
                                       "O7\nG80 G0 X3\nM99\nG0 X9"))
                              .trayectoria;
    const auto de = [&t](std::size_t l) {
        const auto [p, q] = t.movimientosDeLinea(l);
        const Punto h = t.herramientaEnLinea(l);
        return QString("%1-%2 %3").arg(p).arg(q).arg(std::isnan(h[0]) ? -1 : h[0] + t.origen[0]);
    };
    EXPECT_EQ(de(1), "1-5 1"); // the hole: four moves, back at X1
    EXPECT_EQ(de(2), "5-5 1");
    EXPECT_EQ(de(6), "5-6 3"); // in the subprogram
    EXPECT_EQ(de(8), "0-0 -1"); // after M30
}
