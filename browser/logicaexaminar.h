#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What the file browser decides without showing anything: drives, directory
// and file lists, the proposed name, and how names typed in upper case find
// files on a file system that tells letter case apart.
namespace LogicaExaminar {

// Stands for the first drive and its root, where the browser falls back to.
inline const QString kRaiz = QStringLiteral("/");

// The name proposed when saving: the program number of the first of the
// first three program lines that holds one (an "O" or ":" followed by a
// digit, as "%" then "O1234", or "O1234" on the first line of a program
// sent without "%"), with ".txt" behind it. Empty when there is none.
QString PropuestaNombre(
    const QByteArray &primera, const QByteArray &segunda, const QByteArray &tercera);

// Whether a file name matches a type pattern such as "*.txt" ("*.*" matches
// every name), without regard to letter case.
bool CoincidePatron(const QString &nombre, const QString &patron);

// An entry of a directory: the name shown and the bytes the name really has.
// They differ for a name that is not valid UTF-8 (a Latin-1 "PI\xD1A.txt" from
// an old share), which is shown as Latin-1.
struct Entrada
{
    QString nombre;
    QByteArray nativo;
    bool operator==(const Entrada &) const = default;
};

// The files of a directory matching the pattern, sorted without regard to case.
QList<Entrada> Ficheros(const QString &directorio, const QString &patron);

// The subdirectories of a directory, sorted without regard to case.
QList<Entrada> Subdirectorios(const QString &directorio);

// Whether a file name text reaches the file of those bytes.
bool NombreFiel(const Entrada &entrada);

// A path that QFile opens as the entry of the directory: the directory and the
// name, or, for a name that a QString path cannot carry (Qt encodes paths in
// UTF-8), a link to the entry in a folder of the program's own. Reading
// through the link reaches the real file; an empty text when none can be made.
QString RutaEntrada(const QString &directorio, const Entrada &entrada);

// Whether the path lies in that folder of links.
bool EsEnlacePropio(const QString &ruta);

// The name of the file of the directory that a name denotes: the name itself
// when such a file exists, else the one whose name matches it ignoring case,
// else the name as given.
QString ResuelveNombre(const QString &directorio, const QString &nombre);

// The same for every part of an absolute path, so that an upper-cased path
// finds the directories it was taken from.
QString ResuelveRuta(const QString &ruta);

// The path with one "/" at its end.
QString ConBarra(const QString &ruta);

// The roots of the mounted volumes ("/" always among them, first).
QStringList Unidades();

// The root of the volume that holds the path, or of its nearest existing parent.
QString UnidadDe(const QString &ruta);

enum class Fallo {
    Ninguno,
    DispositivoNoDisponible,
    RutaNoEncontrada,
    Otro,
};

// Why a volume cannot be entered, if it cannot.
Fallo CompruebaUnidad(const QString &raiz);

// Why a directory cannot be listed, if it cannot.
Fallo CompruebaDirectorio(const QString &ruta);

} // namespace LogicaExaminar
