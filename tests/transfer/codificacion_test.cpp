#include "transfer/codificadorenvio.h"
#include "transfer/controlflujo.h"
#include "transfer/decodificadorrecepcion.h"

#include <gtest/gtest.h>

namespace {

QByteArray bytes(std::initializer_list<int> valores)
{
    QByteArray b;
    for (int v : valores)
        b.append(char(v));
    return b;
}

TEST(CodificadorEnvio, AsciiLinesEndInCrLfBetweenDc2AndDc4)
{
    const QByteArray b = CodificadorEnvio::codificaPrograma({"G00 X10", "M30"}, false);
    EXPECT_EQ(b, QByteArray("\x12G00 X10\r\nM30\r\n\x14"));
}

TEST(CodificadorEnvio, IsoLinesUseTheTableAndEndInLf)
{
    const QByteArray b = CodificadorEnvio::codificaPrograma({"G00 X10", "M30"}, true);
    EXPECT_EQ(b,
        bytes(
            {0x12, 0x47, 0x30, 0x30, 0xA0, 0xD8, 0xB1, 0x30, 0x0A, 0x4D, 0x33, 0x30, 0x0A, 0x14}));
}

TEST(CodificadorEnvio, EmptyLinesAndEmptyPrograms)
{
    EXPECT_EQ(CodificadorEnvio::codificaPrograma({""}, false), QByteArray("\x12\r\n\x14"));
    EXPECT_EQ(CodificadorEnvio::codificaPrograma({""}, true), QByteArray("\x12\n\x14"));
    EXPECT_EQ(CodificadorEnvio::codificaPrograma({}, false), QByteArray("\x12\x14"));
    EXPECT_EQ(CodificadorEnvio::codificaPrograma({}, true), QByteArray("\x12\x14"));
}

TEST(CodificadorEnvio, IsoSendsZeroForUncarriedCharactersAndCountsThem)
{
    QByteArray b;
    CodificadorEnvio::codificaLinea("g1\tX\xe9", true, b);
    EXPECT_EQ(b, bytes({0x00, 0xB1, 0x00, 0xD8, 0x00, 0x0A}));
    const auto r = CodificadorEnvio::buscaIntransmisibles({"G1", "N10", "x1 y2", "\t"});
    EXPECT_EQ(r.cuenta, 3);
    EXPECT_EQ(r.primeraLinea, 2);
    const auto limpio = CodificadorEnvio::buscaIntransmisibles({"%", "O1000", "G01 X-1.5"});
    EXPECT_EQ(limpio.cuenta, 0);
    EXPECT_EQ(limpio.primeraLinea, -1);
}

TEST(CodificadorEnvio, AsciiSendsEveryByteAsItIs)
{
    QByteArray linea;
    for (int v = 0; v < 256; ++v)
        linea.append(char(v));
    QByteArray b;
    CodificadorEnvio::codificaLinea(linea, false, b);
    EXPECT_EQ(b, linea + "\r\n");
}

TEST(CodificadorEnvio, LinesLongerThan32767CharactersAreWhole)
{
    const QByteArray larga(100000, 'X');
    QByteArray b;
    CodificadorEnvio::codificaLinea(larga, true, b);
    ASSERT_EQ(b.size(), 100001);
    EXPECT_EQ(b.count(char(0xD8)), 100000);
}

// Receives the stream in one piece and split at every position (and byte by
// byte): the lines and the end must come out the same.
struct Recibido
{
    QList<QByteArray> lineas;
    int fines = 0;
    int inicios = 0;
    bool operator==(const Recibido &o) const
    {
        return lineas == o.lineas && fines == o.fines && inicios == o.inicios;
    }
};

Recibido recibe(const QList<QByteArray> &trozos, bool iso, bool parcial = false)
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

Recibido recibeTrozeado(const QByteArray &flujo, bool iso, bool parcial = false)
{
    const Recibido entero = recibe({flujo}, iso, parcial);
    for (qsizetype corte = 0; corte <= flujo.size(); ++corte) {
        const Recibido r = recibe({flujo.left(corte), flujo.mid(corte)}, iso, parcial);
        EXPECT_TRUE(r == entero) << "cut at " << corte;
    }
    QList<QByteArray> unoAUno;
    for (char c : flujo)
        unoAUno.append(QByteArray(1, c));
    EXPECT_TRUE(recibe(unoAUno, iso, parcial) == entero);
    return entero;
}

TEST(DecodificadorRecepcion, AsciiProgramEndsAtDc4WithAnEmptyLastLine)
{
    const Recibido r = recibeTrozeado("\x12%\nO1000\nM30\n%\n\x14", false);
    EXPECT_EQ(r.lineas, (QList<QByteArray> {"%", "O1000", "M30", "%", ""}));
    EXPECT_EQ(r.fines, 1);
    EXPECT_EQ(r.inicios, 1);
}

TEST(DecodificadorRecepcion, AsciiKeepsCrAndControlBytesButDropsFlowControl)
{
    const Recibido r = recibeTrozeado("G1\r\nX\x13\x11\x01Y\x12Z\n", false);
    EXPECT_EQ(r.lineas, (QList<QByteArray> {"G1\r", "X\x01YZ"}));
    EXPECT_EQ(r.fines, 0);
    EXPECT_EQ(r.inicios, 1);
}

TEST(DecodificadorRecepcion, AsciiByte165EndsTheReceptionAndStays)
{
    const Recibido r = recibeTrozeado("O1\nA\xa5", false);
    EXPECT_EQ(r.lineas, (QList<QByteArray> {"O1", "A\xa5"}));
    EXPECT_EQ(r.fines, 1);
}

TEST(DecodificadorRecepcion, IsoDecodesThroughTheTable)
{
    // "10" (0x31 lacks its parity bit and vanishes, CR vanishes), NUL by name.
    const Recibido r = recibeTrozeado(
        bytes({0xB1, 0x30, 0x31, 0x8D, 0x0A, 0x00, 0x09, 0x88, 0xFF, 0x1B, 0x0A}), true);
    EXPECT_EQ(r.lineas, (QList<QByteArray> {"10", "NULHTBsDEL"}));
    EXPECT_EQ(r.fines, 0);
}

TEST(DecodificadorRecepcion, IsoLeadingPercentOpensAndLaterOneEnds)
{
    // Leader of NULs, "%" LF, program, "%": the first "%" does not end it.
    const QByteArray flujo = bytes(
        {0x00, 0x00, 0x12, 0xA5, 0x0A, 0xCF, 0xB1, 0x0A, 0x4D, 0x33, 0x30, 0x0A, 0xA5, 0x0A, 0x14});
    const Recibido r = recibeTrozeado(flujo, true);
    EXPECT_EQ(r.lineas, (QList<QByteArray> {"NULNUL%", "O1", "M30", "%", "", ""}));
    EXPECT_EQ(r.fines, 1);
}

TEST(DecodificadorRecepcion, IsoPercentAloneNeverEndsButDc4Does)
{
    const Recibido sinFin = recibeTrozeado(bytes({0xA5, 0x0A, 0xA5, 0xA0}), true);
    EXPECT_EQ(sinFin.lineas, (QList<QByteArray> {"%"}));
    EXPECT_EQ(sinFin.fines, 0);
    const Recibido conFin = recibeTrozeado(bytes({0xA5, 0x0A, 0x14}), true);
    EXPECT_EQ(conFin.lineas, (QList<QByteArray> {"%", ""}));
    EXPECT_EQ(conFin.fines, 1);
}

TEST(DecodificadorRecepcion, BytesAfterTheEndAreStillDecodedAndEndIsReportedOnce)
{
    const Recibido r = recibeTrozeado("A\n\x14"
                                      "B\n\x14",
        false);
    EXPECT_EQ(r.lineas, (QList<QByteArray> {"A", "", "B", ""}));
    EXPECT_EQ(r.fines, 1);
}

TEST(DecodificadorRecepcion, PartialLineBecomesTheLastLineAtStop)
{
    const Recibido r = recibeTrozeado("O1\nG01 X1", false, true);
    EXPECT_EQ(r.lineas, (QList<QByteArray> {"O1", "G01 X1"}));
    const Recibido vacio = recibeTrozeado("O1\n", false, true);
    EXPECT_EQ(vacio.lineas, (QList<QByteArray> {"O1"}));
}

TEST(DecodificadorRecepcion, EachReceptionStartsFromAnEmptyLine)
{
    // A new decoder for a new reception: nothing of the last one carries over.
    recibe({"half a li"}, false);
    const Recibido r = recibe({"O2\n"}, false);
    EXPECT_EQ(r.lineas, (QList<QByteArray> {"O2"}));
}

TEST(DecodificadorRecepcion, MoreThan32767LinesArrive)
{
    QByteArray flujo;
    for (int i = 0; i < 40000; ++i)
        flujo += "N" + QByteArray::number(i) + "\n";
    flujo += '\x14';
    const Recibido r = recibe({flujo}, false);
    ASSERT_EQ(r.lineas.size(), 40001);
    EXPECT_EQ(r.lineas.at(39999), "N39999");
}

TEST(ControlFlujo, Dc3StopsAndDc1ResumesWithOrWithoutParityBit)
{
    ControlFlujo f;
    EXPECT_FALSE(f.observa("abc", 3));
    EXPECT_TRUE(f.observa("\x13", 1));
    EXPECT_TRUE(f.detenido());
    EXPECT_FALSE(f.observa("\x93", 1));
    EXPECT_TRUE(f.observa("\x91", 1));
    EXPECT_FALSE(f.detenido());
    EXPECT_TRUE(f.observa("\x93", 1));
    EXPECT_TRUE(f.observa("\x11", 1));
    // The last of several in one chunk decides.
    EXPECT_FALSE(f.observa("\x13\x11", 2));
    EXPECT_TRUE(f.observa("\x11\x13", 2));
    EXPECT_TRUE(f.detenido());
    EXPECT_EQ(f.pausas(), 4);
}

} // namespace
