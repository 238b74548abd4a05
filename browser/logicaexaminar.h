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

// The name proposed when saving, from the second and third program lines:
// the program number of an "O" line or a ":" line, with ".txt" behind it.
// Empty when there is none to propose.
QString PropuestaNombre(const QByteArray &segunda, const QByteArray &tercera);

// Whether a file name matches a type pattern such as "*.txt" ("*.*" matches
// every name), without regard to letter case.
bool CoincidePatron(const QString &nombre, const QString &patron);

// The files of a directory matching the pattern, sorted without regard to case.
QStringList Ficheros(const QString &directorio, const QString &patron);

// The subdirectories of a directory, sorted without regard to case.
QStringList Subdirectorios(const QString &directorio);

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
