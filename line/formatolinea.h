#pragma once

#include "base/avisoini.h"

#include <QByteArray>
#include <QList>

#include <optional>

// How a machine wants its program framed on the line, beyond the port
// settings. The defaults are the stream the program has always sent:
// DC2, each ASCII line ending in CR LF (LF in ISO code), DC4, no pauses.
//
// Stored as keys of any section of a profile file (section General of
// KELDAN.INI, or a machine's section of MAQUINAS.INI):
//   FinBloque    CrLf | Lf | Cr    end of block of ASCII lines (ISO always ends in LF)
//   NulosInicio  0..10000          NUL characters before DC2 (leader)
//   NulosFin     0..10000          NUL characters after DC4 (trailer)
//   Marco        Si | No           DC2 before and DC4 after the program
//   RetardoLinea 0..60000          pause after each line, in ms
//   EsperaDc1    Si | No           hold the first byte until the CNC sends DC1
//   Silencio     0..3600           a reception also ends after this many
//                                  seconds without a byte once data has
//                                  come (0: only DC4 or the end mark end it)
//   MaxPrograma  1..4096           MiB a received program may take; past
//                                  it the reception keeps what came and
//                                  drops the rest of that program
// An absent key means its default.
struct FormatoLinea
{
    enum class FinBloque { CrLf, Lf, Cr };

    static constexpr int kMaxNulos = 10000;
    static constexpr int kMaxRetardoMs = 60000;
    static constexpr int kMaxSilencioS = 3600;
    static constexpr int kMaxProgramaMiB = 4096;

    FinBloque finBloque = FinBloque::CrLf;
    int nulosInicio = 0;
    int nulosFin = 0;
    bool marco = true;
    int retardoLineaMs = 0;
    bool esperaDc1 = false;
    int silencioS = 0;
    int maxProgramaMiB = 64;

    bool operator==(const FormatoLinea &) const = default;

    qint64 maxProgramaBytes() const { return qint64(maxProgramaMiB) * 1024 * 1024; }

    // The format held by the section. An absent key gives its default; so
    // does a value that is not understood (unknown word, not a whole number,
    // out of range), which is also added to avisos when given.
    static FormatoLinea lee(
        const QString &ruta, const QString &seccion, AvisosIni *avisos = nullptr);

    // Writes the format into the section. Only keys whose value differs from
    // what the file already means are written (an absent key means its
    // default), so the defaults written into a file that has none of these
    // keys leave it byte for byte as it was. False with the reason in error
    // when the file cannot be written; keys written before the failure stay.
    bool escribe(const QString &ruta, const QString &seccion, QString *error = nullptr) const;

    // The words of a yes/no key: Si (or Sí) and No in any letter case;
    // nothing for another text.
    static std::optional<bool> siNo(const QString &texto);
    static QString textoSiNo(bool valor);

    // Bytes of a send, for the sender to put on the line in this order:
    // cabecera(), each line through codificaLinea(), cola().
    QByteArray cabecera() const; // leader NULs, DC2
    QByteArray cola() const; // DC4, trailer NULs
    // One line as sent: ASCII with the end of block, or ISO codes with LF.
    void codificaLinea(const QByteArray &linea, bool iso, QByteArray &destino) const;
    // The whole send at once.
    QByteArray codificaPrograma(const QList<QByteArray> &lineas, bool iso) const;
};
