#include "transfer/codificadorenvio.h"
#include "transfer/controlflujo.h"
#include "transfer/decodificadorrecepcion.h"
#include "transfer/medidaprogreso.h"

#include <gtest/gtest.h>

namespace {

QByteArray bytes(const char *hex)
{
    return QByteArray::fromHex(hex);
}

TEST(CodificadorEnvio, ProgramsGoBetweenDc2AndDc4AndTheTotalIsWhatGoesOut)
{
    QByteArray todos; // ASCII sends every byte as it is
    for (int v = 0; v < 256; ++v)
        todos.append(char(v));
    const std::tuple<QList<QByteArray>, bool, QByteArray> casos[]
        = {{{"G00 X10", "M30"}, false, "\x12G00 X10\r\nM30\r\n\x14"},
            {{"G00 X10", "M30"}, true, bytes("12 47 30 30 A0 D8 B1 30 0A 4D 33 30 0A 14")},
            {{""}, false, "\x12\r\n\x14"}, {{""}, true, "\x12\n\x14"}, {{}, true, "\x12\x14"},
            {{todos}, false, "\x12" + todos + "\r\n\x14"},
            // ISO sends 0 for what its table lacks.
            {{"g1\tX\xe9"}, true, bytes("12 00 B1 00 D8 00 0A 14")}};
    for (const auto &[lineas, iso, esperado] : casos) {
        qint64 total = 2;
        for (const QByteArray &l : lineas)
            total += CodificadorEnvio::longitudCodificada(l, iso);
        EXPECT_EQ(std::pair(CodificadorEnvio::codificaPrograma(lineas, iso), total),
            std::pair(esperado, esperado.size()));
    }
    // The warning before an ISO send: how many cannot go, and the first line.
    using Cuenta = std::pair<qint64, qint64>;
    const std::pair<QList<QByteArray>, Cuenta> malos[] = {{{"G1", "N10", "x1 y2", "\t"}, {3, 2}},
        {{"g1", "M30", "\t"}, {2, 0}}, {{"%", "O1000", "G01 X-1.5"}, {0, -1}}};
    for (const auto &[lineas, esperado] : malos) {
        const auto r = CodificadorEnvio::buscaIntransmisibles(lineas);
        EXPECT_EQ(Cuenta(r.cuenta, r.primeraLinea), esperado) << lineas.join('|').toStdString();
    }
}

struct Recibido
{
    QList<QByteArray> lineas;
    int fines = 0;
    int inicios = 0;
    qint64 ilegibles = 0;
    QList<qint64> lineasIlegibles = {};
    bool operator==(const Recibido &o) const = default;
};

Recibido recibe(const QList<QByteArray> &trozos, bool iso, bool parcial)
{
    Recibido r;
    DecodificadorRecepcion d(iso);
    QObject::connect(&d, &DecodificadorRecepcion::lineasRecibidas,
        [&](const QList<QByteArray> &l) { r.lineas += l; });
    QObject::connect(&d, &DecodificadorRecepcion::finRecepcion, [&] { ++r.fines; });
    QObject::connect(&d, &DecodificadorRecepcion::inicioPrograma, [&] { ++r.inicios; });
    for (const QByteArray &t : trozos)
        d.feed(t);
    if (parcial)
        d.terminaParcial();
    r.ilegibles = d.ilegibles();
    r.lineasIlegibles = d.lineasIlegibles();
    return r;
}

TEST(DecodificadorRecepcion, EveryStreamGivesTheSameLinesHoweverItIsCut)
{
    struct Caso
    {
        QByteArray flujo;
        bool iso;
        bool parcial; // stopped by the operator after the last byte
        Recibido esperado;
    };
    const Caso casos[] = {
        {"\x12%\nO1000\nM30\n%\n\x14", false, false, {{"%", "O1000", "M30", "%", ""}, 1, 1}},
        // A CR before LF ends the line with it, elsewhere it stays, as do
        // other control bytes; DC1/DC3 go, DC2 mid-line adds nothing.
        {"G1\r\nX\x13\x11\x01Y\x12Z\r\x13\n\r\r\nA\rB\n", false, false,
            {{"G1", "X\x01YZ", "\r", "A\rB"}, 0, 1}},
        {"O1\nA\xa5", false, false, {{"O1", "A\xa5"}, 1, 0}},
        {"A\n\x14"
         "B\n\x14",
            false, false, {{"A", "", "B", ""}, 1, 0}},
        {"O1\nG01 X", false, true, {{"O1", "G01 X"}, 0, 0}},
        {"O1\n", false, true, {{"O1"}, 0, 0}},
        // "10": CR has no text, DC3/DC1 go either way; tape feed, rub-out and
        // ESC (not in the table) add nothing; 0x31 ("1" without its parity
        // bit) and a LF with its bit wrong are unreadable, counted by line.
        {bytes("B1 93 30 13 31 91 11 8D 0A 00 09 88 FF 1B 0A 8A B1 0A 0A 31 0A 31 0A"), true, false,
            {{"10", "HTBs", "1", "", "", ""}, 0, 0, 4, {0, 2, 4, 5}}},
        // Leader, then "%" LF opens the program and only the later "%" ends it.
        {bytes("00 00 12 A5 0A CF B1 0A 4D 33 30 0A A5 0A 14"), true, false,
            {{"%", "O1", "M30", "%", "", ""}, 1, 1}},
        {bytes("A5 0A A5 A0"), true, false, {{"%"}, 0, 0}},
        {bytes("A5 0A 14"), true, false, {{"%", ""}, 1, 0}},
    };
    for (const Caso &c : casos) {
        const QByteArray &f = c.flujo;
        SCOPED_TRACE(f.toHex(' ').toStdString());
        EXPECT_TRUE(recibe({f}, c.iso, c.parcial) == c.esperado);
        for (qsizetype corte = 0; corte <= f.size(); ++corte)
            EXPECT_TRUE(recibe({f.left(corte), f.mid(corte)}, c.iso, c.parcial) == c.esperado)
                << "cut at " << corte;
        QList<QByteArray> unoAUno;
        for (char b : f)
            unoAUno.append(QByteArray(1, b));
        EXPECT_TRUE(recibe(unoAUno, c.iso, c.parcial) == c.esperado);
    }
}

TEST(ControlFlujo, Dc3StopsAndDc1ResumesWithOrWithoutParityBit)
{
    ControlFlujo f;
    // Each chunk: whether the state changed, and the state after it; the
    // last of several in one chunk decides.
    const std::tuple<const char *, bool, bool> pasos[] = {{"abc", false, false},
        {"\x13", true, true}, {"\x93", false, true}, {"\x91", true, false}, {"\x93", true, true},
        {"\x11", true, false}, {"\x13\x11", false, false}, {"\x11\x13", true, true}};
    for (const auto &[trozo, cambia, detenido] : pasos) {
        EXPECT_EQ(f.observa(trozo, qstrlen(trozo)), cambia) << trozo;
        EXPECT_EQ(f.detenido(), detenido) << trozo;
    }
    EXPECT_EQ(f.pausas(), 4);
}

TEST(MedidaProgreso, SpeedAndTimeLeftLeaveOutTheTimeTheCncHoldsTheLine)
{
    MedidaProgreso m;
    m.empieza(1000, 40, 2000);
    const auto figuras = [&](qint64 ms, qint64 bytes) {
        const ProgresoTransferencia p = m.figuras(ms, 7, bytes);
        return std::tuple(p.linea, p.lineas, p.bytesTotales, p.caracteresPorSegundo,
            p.segundosRestantes, p.segundosRetenido);
    };
    EXPECT_EQ(figuras(1000, 0), std::tuple(7, 40, 2000, 0.0, -1.0, -1.0));
    EXPECT_EQ(figuras(3000, 500), std::tuple(7, 40, 2000, 250.0, 6.0, -1.0));
    // Held for 4 s: speed and time left stand still, the held time runs.
    m.retiene(true, 3000);
    EXPECT_EQ(figuras(7000, 500), std::tuple(7, 40, 2000, 250.0, 6.0, 4.0));
    m.retiene(false, 7000);
    EXPECT_EQ(figuras(9000, 1000), std::tuple(7, 40, 2000, 250.0, 4.0, -1.0));
    // A reception has no total: its speed only.
    m.empieza(0);
    EXPECT_EQ(figuras(500, 480), std::tuple(7, 0, 0, 960.0, -1.0, -1.0));
}

} // namespace
