#include "line/tablaiso.h"

namespace {

struct Fila
{
    const char *caracter;
    int codigo;
};

// The codes carry the even parity bit the CNC expects; they are data, not
// computed, so that the table stays exactly what the machines were built for.
constexpr Fila kFilas[66] = {
    {"0", 48},
    {"1", 177},
    {"2", 178},
    {"3", 51},
    {"4", 180},
    {"5", 53},
    {"6", 54},
    {"7", 183},
    {"8", 184},
    {"9", 57},
    {"A", 65},
    {"B", 66},
    {"C", 195},
    {"D", 68},
    {"E", 197},
    {"F", 198},
    {"G", 71},
    {"H", 72},
    {"I", 201},
    {"J", 202},
    {"K", 75},
    {"L", 204},
    {"M", 77},
    {"N", 78},
    {"O", 207},
    {"P", 80},
    {"Q", 209},
    {"R", 210},
    {"S", 83},
    {"T", 212},
    {"U", 85},
    {"V", 86},
    {"W", 215},
    {"X", 216},
    {"Y", 89},
    {"Z", 90},
    {"DEL", 255},
    {"NUL", 0},
    {"Bs", 136},
    {"HT", 9},
    {"LF", 10},
    {"", 141},
    {" ", 160},
    {"%", 165},
    {"(", 40},
    {")", 169},
    {"+", 43},
    {"-", 45},
    {":", 58},
    {"/", 175},
    {".", 46},
    {"#", 163},
    {"$", 36},
    {"&", 166},
    {"'", 39},
    {"*", 170},
    {",", 172},
    {";", 187},
    {"<", 60},
    {"=", 189},
    {">", 190},
    {"?", 63},
    {"@", 192},
    {"\"", 34},
    {"[", 219},
    {"]", 221},
};

struct Indices
{
    std::array<quint8, 256> codigo {};
    std::array<QByteArray, 256> caracter;
};

const Indices &indices()
{
    static const Indices ind = [] {
        Indices i;
        TablaIso tabla;
        CargaTablaIso(tabla);
        for (int b = 0; b < 256; ++b) {
            i.codigo[b] = quint8(CodigoIso(tabla, QString(QChar(b))));
            i.caracter[b] = CaracterIso(tabla, b).toLatin1();
        }
        return i;
    }();
    return ind;
}

} // namespace

void CargaTablaIso(TablaIso &tabla)
{
    for (std::size_t i = 0; i < tabla.size(); ++i)
        tabla[i] = {kFilas[i].codigo, QString::fromLatin1(kFilas[i].caracter)};
}

int CodigoIso(const TablaIso &tabla, const QString &caracter)
{
    for (const EntradaIso &entrada : tabla) {
        if (entrada.Caracter == caracter)
            return entrada.Codigo;
    }
    return 0;
}

QString CaracterIso(const TablaIso &tabla, int codigo)
{
    for (const EntradaIso &entrada : tabla) {
        if (entrada.Codigo == codigo)
            return entrada.Caracter;
    }
    return {};
}

namespace IsoRapido {

quint8 codigo(quint8 byte)
{
    return indices().codigo[byte];
}

const QByteArray &caracter(quint8 codigo)
{
    return indices().caracter[codigo];
}

} // namespace IsoRapido
