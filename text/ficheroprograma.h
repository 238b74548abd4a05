#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>

// Program text files: one byte a character, every byte value kept. Lines are
// read at CR or CR LF; an LF inside a line splits it into pieces (the CNC
// sends LF-ended lines, and files saved from it by other tools keep them).
// Written back with CR LF after every line.
namespace FicheroPrograma {

constexpr char kDc4 = 20;

// Told now and then how far a long read or write has come (done of total).
using Progreso = std::function<void(qint64 hecho, qint64 total)>;

// The text lines of a file's whole content.
QList<QByteArray> separaLineas(QByteArrayView datos);

// No line holds anything but blanks: sent, the CNC would get only the frame.
bool sinPrograma(const QList<QByteArray> &lineas);

// Reads the file at ruta into lineas; false with the reason when it cannot
// be opened or read, lineas then untouched.
bool lee(const QString &ruta, QList<QByteArray> &lineas, QString *error = nullptr,
    const Progreso &progreso = {});

// Writes every line followed by CR LF. The old file is replaced only once the
// new one is complete: on failure it is left whole and error holds the reason.
// In a folder the user may not write, a file the user may write is written in
// place instead (a failure then may leave it cut short, and is reported).
bool escribe(const QString &ruta, const QList<QByteArray> &lineas, QString *error = nullptr,
    const Progreso &progreso = {});
// The same for a text whose lines each end in LF (none holds one): a long
// program kept whole in one piece.
bool escribeTexto(const QString &ruta, QByteArrayView texto, QString *error = nullptr);

} // namespace FicheroPrograma
