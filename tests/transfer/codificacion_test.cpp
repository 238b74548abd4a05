#include "transfer/codificadorenvio.h"
#include "transfer/controlflujo.h"
#include "transfer/decodificadorrecepcion.h"

#include <gtest/gtest.h>

namespace {

QByteArray bytes(const char *hex)
{
    return QByteArray::fromHex(hex);
}

TEST(CodificadorEnvio, ProgramsGoBetweenDc2AndDc4)
{
    const auto codifica = CodificadorEnvio::codificaPrograma;
    EXPECT_EQ(codifica({"G00 X10", "M30"}, false), QByteArray("\x12G00 X10\r\nM30\r\n\x14"));
    EXPECT_EQ(
        codifica({"G00 X10", "M30"}, true), bytes("12 47 30 30 A0 D8 B1 30 0A 4D 33 30 0A 14"));
    EXPECT_EQ(codifica({""}, false), QByteArray("\x12\r\n\x14"));
    EXPECT_EQ(codifica({""}, true), QByteArray("\x12\n\x14"));
    EXPECT_EQ(codifica({}, false), QByteArray("\x12\x14"));
    EXPECT_EQ(codifica({}, true), QByteArray("\x12\x14"));
}

TEST(CodificadorEnvio, EveryByteOfALineIsCarriedOrCounted)
{
    // ASCII sends every byte as it is.
    QByteArray linea;
    for (int v = 0; v < 256; ++v)
        linea.append(char(v));
    QByteArray b;
    CodificadorEnvio::codificaLinea(linea, false, b);
    EXPECT_EQ(b, linea + "\r\n");
    // ISO sends 0 for what its table lacks, and the check counts those.
    b.clear();
    CodificadorEnvio::codificaLinea("g1\tX\xe9", true, b);
    EXPECT_EQ(b, bytes("00 B1 00 D8 00 0A"));
    const auto r = CodificadorEnvio::buscaIntransmisibles({"G1", "N10", "x1 y2", "\t"});
    EXPECT_EQ(std::pair(r.cuenta, r.primeraLinea), (std::pair<qint64, qint64>(3, 2)));
    const auto limpio = CodificadorEnvio::buscaIntransmisibles({"%", "O1000", "G01 X-1.5"});
    EXPECT_EQ(std::pair(limpio.cuenta, limpio.primeraLinea), (std::pair<qint64, qint64>(0, -1)));
}

struct Recibido
{
    QList<QByteArray> lineas;
    int fines = 0;
    int inicios = 0;
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
        // CR and control bytes stay; DC1/DC3 go, DC2 mid-line adds nothing.
        {"G1\r\nX\x13\x11\x01Y\x12Z\n", false, false, {{"G1\r", "X\x01YZ"}, 0, 1}},
        {"O1\nA\xa5", false, false, {{"O1", "A\xa5"}, 1, 0}},
        {"A\n\x14"
         "B\n\x14",
            false, false, {{"A", "", "B", ""}, 1, 0}},
        {"O1\nG01 X", false, true, {{"O1", "G01 X"}, 0, 0}},
        {"O1\n", false, true, {{"O1"}, 0, 0}},
        // "10": 0x31 lacks its parity bit, CR has no text, DC3/DC1 go either way.
        {bytes("B1 93 30 13 31 91 11 8D 0A 00 09 88 FF 1B 0A"), true, false,
            {{"10", "NULHTBsDEL"}, 0, 0}},
        // Leader, then "%" LF opens the program and only the later "%" ends it.
        {bytes("00 00 12 A5 0A CF B1 0A 4D 33 30 0A A5 0A 14"), true, false,
            {{"NULNUL%", "O1", "M30", "%", "", ""}, 1, 1}},
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

} // namespace
