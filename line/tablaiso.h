#pragma once

#include <QByteArray>
#include <QString>
#include <array>

// One character the CNC knows in ISO code: its 8-bit code (7 bits and an
// even parity bit) and its text (the character, a control name, or "" for CR).
struct EntradaIso
{
    int Codigo = 0;
    QString Caracter;
};

using TablaIso = std::array<EntradaIso, 66>;

// Fills the table with the 66 characters in their fixed order.
void CargaTablaIso(TablaIso &tabla);

// The code of the entry whose text equals the argument exactly; 0 when none does.
int CodigoIso(const TablaIso &tabla, const QString &caracter);

// The text of the entry with this code; the empty text when none has it.
QString CaracterIso(const TablaIso &tabla, int codigo);

// The two lookups for single bytes, derived once from the table so that a
// transfer of millions of characters does not scan it per byte.
namespace IsoRapido {

// The ISO byte sent for a program byte (0 for one the table does not carry).
quint8 codigo(quint8 byte);

// What a received ISO byte adds to a line (may be empty or a name like "NUL").
const QByteArray &caracter(quint8 codigo);

} // namespace IsoRapido
