#include "line/codificadorenvio.h"
#include "line/controlflujo.h"
#include "line/decodificadorrecepcion.h"
#include "line/parametroslinea.h"
#include "line/tablaiso.h"
#include "transfer/medidaprogreso.h"

#include <gtest/gtest.h>

#include <bit>

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

Recibido recibe(
    const QList<QByteArray> &trozos, bool iso, bool parcial, const FormatoLinea &formato = {})
{
    Recibido r;
    DecodificadorRecepcion d(iso, formato);
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
    FormatoLinea sinMarco;
    sinMarco.marco = false;
    // Stream, ISO, stopped by the operator after the last byte, the format,
    // what comes out.
    const std::tuple<QByteArray, bool, bool, FormatoLinea, Recibido> casos[] = {
        // DC4 after the last line end closes the frame and adds no line; an
        // empty line the CNC ended itself stays.
        {"\x12%\nO1000\nM30\n%\n\x14", false, false, {}, {{"%", "O1000", "M30", "%"}, 1, 1}},
        {"O1\n\n\x14", false, false, {}, {{"O1", ""}, 1, 0}},
        // A CR before LF ends the line with it, elsewhere it stays, as do
        // other control bytes; DC1/DC3 go, DC2 mid-line adds nothing.
        {"G1\r\nX\x13\x11\x01Y\x12Z\r\x13\n\r\r\nA\rB\n", false, false, {},
            {{"G1", "X\x01YZ", "\r", "A\rB"}, 0, 1}},
        {"O1\nA\xa5", false, false, {}, {{"O1", "A\xa5"}, 1, 0}},
        {"A\n\x14"
         "B\n\x14",
            false, false, {}, {{"A", "B"}, 1, 0}},
        {"O1\nG01 X", false, true, {}, {{"O1", "G01 X"}, 0, 0}},
        {"O1\n", false, true, {}, {{"O1"}, 0, 0}},
        // Without the frame a "%" starting a line after the text closes the
        // program, its line end with it; one inside a line does not.
        {"%\r\nO1\r\nG1 %X\r\n%\r\n", false, false, sinMarco, {{"%", "O1", "G1 %X", "%"}, 1, 0}},
        {"\x12%\nO1\n%\nM30\n\x14", false, false, {}, {{"%", "O1", "%", "M30"}, 1, 1}},
        // "10": CR has no text, DC3/DC1 go either way; tape feed, rub-out and
        // ESC (not in the table) add nothing; 0x31 ("1" without its parity
        // bit) and a LF with its bit wrong are unreadable, counted by line.
        {bytes("B1 93 30 13 31 91 11 8D 0A 00 09 88 FF 1B 0A 8A B1 0A 0A 31 0A 31 0A"), true, false,
            {}, {{"10", "HTBs", "1", "", "", ""}, 0, 0, 4, {0, 2, 4, 5}}},
        // Leader, then "%" LF opens the program and only the later "%" ends it.
        {bytes("00 00 12 A5 0A CF B1 0A 4D 33 30 0A A5 8D 0A 14"), true, false, {},
            {{"%", "O1", "M30", "%"}, 1, 1}},
        // A blank before it is no program text either.
        {bytes("A0 A5 0A CF B1 0A A5"), true, false, {}, {{" %", "O1", "%"}, 1, 0}},
        {bytes("A5 0A A5 A0"), true, false, {}, {{"%"}, 0, 0}},
        {bytes("A5 0A 14"), true, false, {}, {{"%"}, 1, 0}},
        // The message names the first five lines with unreadable bytes only.
        {bytes("31 0A 31 0A 31 0A 31 0A 31 0A 31 0A"), true, false, {},
            {{"", "", "", "", "", ""}, 0, 0, 6, {0, 1, 2, 3, 4}}},
    };
    for (const auto &[f, iso, parcial, formato, esperado] : casos) {
        // Whole, byte by byte, and cut in two at every place.
        QList<QList<QByteArray>> cortes = {{f}, {}};
        for (qsizetype i = 0; i <= f.size(); ++i)
            cortes[1].append(f.mid(i, 1)), cortes.append({f.left(i), f.mid(i)});
        for (const QList<QByteArray> &trozos : cortes)
            EXPECT_TRUE(recibe(trozos, iso, parcial, formato) == esperado)
                << f.toHex(' ').toStdString();
    }
}

TEST(ControlFlujo, ADc3WhileHeldIsNoNewPause)
{
    // Bytes seen, then: state changed, held, pauses. With or without parity.
    ControlFlujo f;
    const std::tuple<QByteArray, bool, bool, qint64> pasos[]
        = {{"\x11", false, false, 0}, {"\x13", true, true, 1}, {"\x93\x13", false, true, 1},
            {"\x91", true, false, 1}, {"\x13G\x11\x93", true, true, 3}};
    for (const auto &[datos, cambio, detenido, pausas] : pasos) {
        const bool c = f.observa(datos.constData(), datos.size());
        EXPECT_EQ(std::tuple(c, f.detenido(), f.pausas()), std::tuple(cambio, detenido, pausas))
            << datos.toHex().toStdString();
    }
}

TEST(MedidaProgreso, SpeedAndTimeLeftLeaveOutTheTimeTheCncHoldsTheLine)
{
    MedidaProgreso m;
    m.empieza(1000, 40, 2000);
    // At each time (ms), with the bytes gone and the line held or not: the
    // speed, the time left and the held time. Held, the first two stand still.
    const std::tuple<qint64, qint64, bool, double, double, double> pasos[]
        = {{1000, 0, false, 0, -1, -1}, {3000, 500, false, 250, 6, -1},
            {3000, 500, true, 250, 6, 0}, {7000, 500, true, 250, 6, 4},
            {7000, 500, false, 250, 6, -1}, {9000, 1000, false, 250, 4, -1},
            // A second hold adds to the first.
            {9000, 1000, true, 250, 4, 0}, {11000, 1000, false, 250, 4, -1},
            {13000, 1500, false, 250, 2, -1}};
    for (const auto &[ms, bytes, retenido, velocidad, restantes, retencion] : pasos) {
        m.retiene(retenido, ms);
        const ProgresoTransferencia p = m.figuras(ms, 7, bytes);
        EXPECT_EQ(std::tuple(p.caracteresPorSegundo, p.segundosRestantes, p.segundosRetenido),
            std::tuple(velocidad, restantes, retencion))
            << ms;
    }
    m.empieza(0); // a reception has no total: its speed only
    EXPECT_EQ(m.figuras(500, 7, 480).caracteresPorSegundo, 960);
}

TEST(TablaIso, EveryCodeIsTheAsciiCodeWithItsEvenParityBit)
{
    TablaIso t;
    CargaTablaIso(t);
    // The reference: each entry's 7-bit character, its parity bit computed here.
    std::vector<std::pair<QString, int>> referencia
        = {{"NUL", 0x00}, {"Bs", 0x08}, {"HT", 0x09}, {"LF", 0x0A}, {"", 0x0D}, {"DEL", 0x7F}};
    for (char c : QByteArray("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ %()+-:/.#$&'*,;<=>?@\"[]"))
        referencia.emplace_back(QString(QLatin1Char(c)), c);
    ASSERT_EQ(referencia.size(), t.size());
    const auto codigo
        = [](int ascii) { return ascii | (std::popcount(unsigned(ascii)) % 2 ? 0x80 : 0); };
    for (const auto &[caracter, ascii] : referencia) {
        EXPECT_EQ(CodigoIso(t, caracter), codigo(ascii)) << caracter.toStdString();
        EXPECT_EQ(CaracterIso(t, codigo(ascii)), caracter) << ascii;
    }
    // Not carried: small letters, tab; names only match as whole texts;
    // the "1" without its parity bit, ESC and codes beyond a byte read as nothing.
    EXPECT_EQ(CodigoIso(t, "a") + CodigoIso(t, "\t") + CodigoIso(t, "NU") + CodigoIso(t, "1 "), 0);
    EXPECT_EQ(CaracterIso(t, 0x31) + CaracterIso(t, 0x1B) + CaracterIso(t, 0x100), "");
    // The per-byte lookups against the reference: a byte is sent by its
    // code only when it is a character itself (not a name like "LF").
    for (int b = 0; b < 256; ++b) {
        QString texto;
        int enviado = 0;
        for (const auto &[caracter, ascii] : referencia) {
            if (codigo(ascii) == b)
                texto = caracter;
            if (caracter == QString(QChar(b)))
                enviado = codigo(ascii);
        }
        EXPECT_EQ(std::pair(IsoRapido::codigo(quint8(b)),
                      QString::fromLatin1(IsoRapido::caracter(quint8(b)))),
            std::pair(quint8(enviado), texto))
            << b;
    }
}

TEST(ParametrosLinea, ReadsWhatAPortTakesAndRefusesTheRest)
{
    // Bits a character takes on the line, or 0 for a text no port takes.
    const std::pair<const char *, double> casos[] = {{"9600,N,8,1", 10}, {"115200,e,7,1.5", 10.5},
        {"4800,O,5,2", 9}, {"110,M,8,2", 12}, {"4800,N,4,2", 0}, {"4800,N,9,1", 0},
        {"4800,X,8,1", 0}, {"4800,N,8,3", 0}, {"0,N,8,1", 0}, {"-9600,N,8,1", 0}, {"4800,N,8", 0},
        {"fast,N,8,1", 0}, {"4800,N,8,1,1", 0}, {"", 0}};
    for (const auto &[texto, bits] : casos) {
        const auto p = ParametrosLinea::interpreta(texto);
        EXPECT_EQ(p ? p->bitsPorCaracter() : 0, bits) << texto;
    }
}

TEST(RutaPuerto, NumberGivesTtySAndAPathIsKeptAndNamedByItsLastPart)
{
    EXPECT_EQ(RutaPuerto(1, {}) + RutaPuerto(12, {}) + RutaPuerto(0, {}), "/dev/ttyS0/dev/ttyS11");
    EXPECT_EQ(RutaPuerto(3, "/dev/pts/7"), "/dev/pts/7");
    const std::pair<const char *, QString> nombres[]
        = {{"/dev/ttyUSB0", "ttyUSB0"}, {"/dev/pts/3", "pts/3"}, {"ttyS1", "ttyS1"},
            {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
                QStringLiteral("…A50285BI-if00-port0")}};
    for (const auto &[ruta, nombre] : nombres)
        EXPECT_EQ(NombreCortoPuerto(ruta), nombre) << ruta;
}

} // namespace
