#include "text/ficheroprograma.h"

#include "base/razonsistema.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace FicheroPrograma {

namespace {

constexpr qsizetype kTrozoLectura = 1024 * 1024;
constexpr qsizetype kTrozoEscritura = 4 * 1024 * 1024;

// One physical line (ended by CR or CR LF, the end removed).
void anadeFisica(const char *p, const char *fin, QList<QByteArray> &lineas)
{
    const char *lf = static_cast<const char *>(std::memchr(p, '\n', size_t(fin - p)));
    if (!lf) {
        lineas.append(QByteArray(p, fin - p));
        return;
    }
    for (;;) {
        // DC4 at the head of a piece is the CNC's end of program: the rest of
        // this physical line goes.
        if (*p == kDc4)
            return;
        lf = static_cast<const char *>(std::memchr(p, '\n', size_t(fin - p)));
        if (!lf) {
            lineas.append(QByteArray(p, fin - p));
            return;
        }
        lineas.append(QByteArray(p, lf - p));
        p = lf + 1;
        // Nothing after the last LF: the line end of an LF-only file, not an
        // empty line of its own.
        if (p == fin)
            return;
    }
}

// Takes the physical lines of [inicio, fin) and returns where the first one
// not taken starts. Without the end of the file in view, the last line may
// still be incomplete (a CR at the very end may yet be followed by its LF) and
// is left for the next call.
const char *separaFisicas(
    const char *inicio, const char *fin, bool finFichero, QList<QByteArray> &lineas)
{
    const char *p = inicio;
    while (p < fin) {
        const char *cr = static_cast<const char *>(std::memchr(p, '\r', size_t(fin - p)));
        if (!cr) {
            if (!finFichero)
                break;
            anadeFisica(p, fin, lineas);
            return fin;
        }
        if (cr + 1 == fin && !finFichero)
            break;
        anadeFisica(p, cr, lineas);
        p = cr + 1;
        if (p < fin && *p == '\n')
            ++p;
    }
    return p;
}

// The system's reason, in the operator's language, right after the failed
// call; Qt's own words when the call left none.
QString razon(const QFileDevice &fichero)
{
    const int codigo = errno;
    return codigo != 0 ? RazonSistema(codigo) : fichero.errorString();
}

} // namespace

QList<QByteArray> separaLineas(QByteArrayView datos)
{
    QList<QByteArray> lineas;
    separaFisicas(datos.data(), datos.data() + datos.size(), true, lineas);
    return lineas;
}

bool sinPrograma(const QList<QByteArray> &lineas)
{
    return std::all_of(
        lineas.begin(), lineas.end(), [](const QByteArray &l) { return l.trimmed().isEmpty(); });
}

bool lee(const QString &ruta, QList<QByteArray> &lineas, QString *error, const Progreso &progreso)
{
    QFile fichero(ruta);
    errno = 0;
    if (!fichero.open(QIODevice::ReadOnly)) {
        if (error)
            *error = razon(fichero);
        return false;
    }
    // Read piece by piece into one reused buffer: fresh memory is slow to
    // touch, and the whole file never has to sit in memory beside its lines.
    const qint64 total = fichero.size();
    QList<QByteArray> leidas;
    QByteArray buffer(kTrozoLectura, Qt::Uninitialized);
    qsizetype lleno = 0;
    qint64 hecho = 0;
    for (;;) {
        if (lleno == buffer.size())
            buffer.resize(buffer.size() * 2); // one physical line longer than the buffer
        errno = 0;
        const qint64 n = fichero.read(buffer.data() + lleno, buffer.size() - lleno);
        if (n < 0) {
            if (error)
                *error = razon(fichero);
            return false;
        }
        const bool finFichero = n == 0;
        lleno += qsizetype(n);
        const char *p
            = separaFisicas(buffer.constData(), buffer.constData() + lleno, finFichero, leidas);
        const qsizetype tomado = p - buffer.constData();
        hecho += tomado;
        if (tomado > 0 && tomado < lleno)
            std::memmove(buffer.data(), buffer.constData() + tomado, size_t(lleno - tomado));
        lleno -= tomado;
        if (finFichero)
            break;
        if (progreso)
            progreso(hecho, total);
    }
    lineas = std::move(leidas);
    return true;
}

namespace {

// Writes the lines `siguiente` gives (false when there are no more), each
// followed by CR LF; `progreso` is told of `total` lines.
bool escribeLineas(const QString &ruta, const std::function<bool(QByteArrayView &)> &siguiente,
    qsizetype total, QString *error, const Progreso &progreso)
{
    QSaveFile fichero(ruta);
    // The new text goes beside the old file and replaces it whole; a folder
    // the user may not write leaves no room for that, and a file the user
    // may write is then written in place.
    fichero.setDirectWriteFallback(true);
    auto falla = [&] {
        if (error)
            *error = razon(fichero);
        fichero.cancelWriting();
        return false;
    };
    errno = 0;
    // Unbuffered, so that a short write (disk full) shows at the write: Qt
    // flushes its own buffer at commit and lets a short last write pass there,
    // reporting a cut file as saved. The lines are gathered in large pieces.
    if (!fichero.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return falla();
    auto pon = [&fichero](const char *datos, qsizetype n) {
        errno = 0;
        return fichero.write(datos, n) == n;
    };

    QByteArray trozo;
    trozo.reserve(kTrozoEscritura + 2);
    QByteArrayView linea;
    for (qsizetype i = 0; siguiente(linea); ++i) {
        if (trozo.size() + linea.size() + 2 > kTrozoEscritura && !trozo.isEmpty()) {
            if (!pon(trozo.constData(), trozo.size()))
                return falla();
            trozo.resize(0);
            if (progreso)
                progreso(i, total);
        }
        if (linea.size() + 2 > kTrozoEscritura) {
            // A line longer than the buffer goes out on its own.
            if (!pon(linea.constData(), linea.size()) || !pon("\r\n", 2))
                return falla();
            continue;
        }
        trozo.append(linea);
        trozo.append("\r\n", 2);
    }
    if (!trozo.isEmpty() && !pon(trozo.constData(), trozo.size()))
        return falla();
    errno = 0;
    if (!fichero.commit()) {
        if (error)
            *error = razon(fichero);
        return false;
    }
    return true;
}

} // namespace

bool escribe(
    const QString &ruta, const QList<QByteArray> &lineas, QString *error, const Progreso &progreso)
{
    qsizetype i = 0;
    const auto siguiente = [&](QByteArrayView &linea) {
        if (i == lineas.size())
            return false;
        linea = lineas.at(i++);
        return true;
    };
    return escribeLineas(ruta, siguiente, lineas.size(), error, progreso);
}

bool escribeTexto(const QString &ruta, QByteArrayView texto, QString *error)
{
    qsizetype desde = 0;
    const auto siguiente = [&](QByteArrayView &linea) {
        const qsizetype lf = texto.indexOf('\n', desde);
        if (lf < 0)
            return false;
        linea = texto.sliced(desde, lf - desde);
        desde = lf + 1;
        return true;
    };
    return escribeLineas(ruta, siguiente, 0, error, {});
}

} // namespace FicheroPrograma
