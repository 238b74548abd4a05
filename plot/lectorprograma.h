#pragma once

#include "plot/trayectoria.h"
#include "settings/maquinas.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// Reads a part program in the ISO 6983 word-address dialect as a control
// runs it, block by block with its modal state, into a toolpath, a time
// estimate and the findings: every block it cannot place is named with its
// line, never guessed at.
namespace Trazado {

struct Hallazgo
{
    enum Tipo : std::uint8_t {
        CodigoG, // G code the reader does not know (%1: the code)
        CodigoM, // M code the reader does not know (%1)
        Palabra, // a word that cannot be read (%1: as written)
        Macro, // macro programming (#, [ ], =): the block is not placed
        ArcoFuera, // the end point off its circle (%1: by how much, mm)
        ArcoRadio, // R too small for the end point (%1: R, %2: the least, mm)
        ArcoSinCentro, // G2/G3 with neither I J K nor R
        ArcoCirculoR, // a full circle by R
        ArcoNulo, // an arc of zero radius
        SinAvance, // a feed move before any F
        AvanceVuelta, // G95 without a spindle speed
        CicloSinProfundidad, // a hole with no depth (Z) given
        FueraLimites, // %1 axis, %2 value, %3 .. %4 the machine's travel (mm)
        Compensacion, // G41/G42 (%1): drawn as programmed
        Rotativo, // a rotary axis word (%1): not drawn
        SinSubprograma, // M98 P%1 names no program of the file
        SinM99, // subprogram O%1 runs past its end without M99
        M99Principal, // M99 in the main program
        Anidamiento, // calls deeper than %1: reading stops
        Tamano, // more than %1 moves or %2 blocks: reading stops
        Repeticiones, // a repeat count %1 above %2: %2 taken
        Demasiados, // more than %1 findings: the rest are not listed
    };
    std::uint32_t linea = 0;
    Tipo tipo = Palabra;
    QStringList datos;

    bool operator==(const Hallazgo &) const = default;
    // The language key of its text.
    QString clave() const;
    // That text with the data put in.
    QString texto(const QString &plantilla) const;
};

struct Opciones
{
    RecorridoMaquina maquina;
    // The block skip switch on: blocks marked "/" are left out.
    bool saltaBloques = false;
};

// The control's state before a block, in mm and program coordinates.
struct Estado
{
    Punto posicion {kDesconocido, kDesconocido, kDesconocido};
    int movimiento = 0; // G0..G3
    int ciclo = 80; // G73..G89 while a canned cycle is on
    int plano = 17;
    bool pulgadas = false;
    bool incremental = false;
    bool porVuelta = false;
    bool centroAbsoluto = false; // G90.1
    int origen = 0; // 54..59, 541 for G54.1 with origenP; 0 before any
    int origenP = 0;
    bool retornoInicial = true; // G98
    double avance = 0; // mm/min, or mm a revolution with G95
    double velocidad = 0;
    int giro = 5; // M3, M4, M5
    bool niebla = false; // M7
    bool taladrina = false; // M8
    int herramienta = -1; // the last T
    int herramientaHusillo = -1; // the T of the last M6
    int compensacion = 40;
    int longitud = 49; // G43, G44, G49
    int h = 0;
    // The canned cycle's levels (mm), dwell (s) and peck (mm).
    double nivelInicial = kDesconocido;
    double cicloR = kDesconocido;
    double cicloZ = kDesconocido;
    double cicloQ = 0;
    double cicloP = 0;
    // The highest Z the tool was at, for a safe height.
    double zMaxima = kDesconocido;

    // What the program itself set (the rest are the reader's assumptions).
    enum : std::uint32_t {
        kPlano = 1,
        kUnidades = 2,
        kDistancia = 4,
        kModoAvance = 8,
        kRetorno = 16,
        kMovimiento = 32,
    };
    std::uint32_t dado = 0;
};

struct Lectura
{
    Trayectoria trayectoria;
    QList<Hallazgo> hallazgos;
    // The time estimate in seconds, the machine's factor applied.
    double segundos = 0;
    // Extents of what is drawn (mm, program coordinates); NaN without moves.
    Punto minimo {kDesconocido, kDesconocido, kDesconocido};
    Punto maximo {kDesconocido, kDesconocido, kDesconocido};
    // The work offsets the program uses ("G54", "G54.1 P3"), in order.
    QStringList origenes;
};

Lectura lee(const QList<QByteArray> &lineas, const Opciones &opciones = {});

// The state just before line `linea` (from 0) first runs; nothing when the
// program never runs it.
std::optional<Estado> estadoEn(
    const QList<QByteArray> &lineas, qsizetype linea, const Opciones &opciones = {});

// Hours, minutes and seconds: "1:02:05".
QString textoTiempo(double segundos);

// A length as the findings and extents show it: "-12.500".
QString textoMm(double mm);

// The bounds that keep any program's reading finite.
constexpr std::size_t kMaxMovimientos = 5'000'000;
constexpr std::uint64_t kMaxBloques = 10'000'000;
constexpr int kMaxAnidamiento = 8;
constexpr int kMaxRepeticiones = 9999;
constexpr qsizetype kMaxHallazgos = 10'000;
// An arc's end may be this far off its circle (mm) before it is a finding.
constexpr double kToleranciaArco = 0.01;

} // namespace Trazado
