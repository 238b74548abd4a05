// Random settings files and random sequences of writes and section removals:
// a written value reads back whole, the lines a write did not concern stay as
// they were byte for byte, and the file never ends up empty.
#include "base/perfilini.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

// The file's lines as bytes without their ends; a lone CR at the very end
// ends the last line, as the reader takes it.
QList<QByteArray> lineas(const QString &ruta)
{
    QFile f(ruta);
    QByteArray datos = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    if (datos.isEmpty())
        return {};
    datos.replace("\r\n", "\n");
    if (datos.endsWith('\r') || datos.endsWith('\n'))
        datos.chop(1);
    return datos.split('\n');
}

// True when despues is antes with at most one old line replaced by at most two new ones.
bool cambioLocal(const QList<QByteArray> &antes, const QList<QByteArray> &despues)
{
    const auto delante = std::mismatch(antes.begin(), antes.end(), despues.begin(), despues.end());
    const auto detras = std::mismatch(antes.rbegin(), std::make_reverse_iterator(delante.first),
        despues.rbegin(), std::make_reverse_iterator(delante.second));
    return detras.first.base() - delante.first <= 1 && detras.second.base() - delante.second <= 2;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *datos, size_t tamano)
{
    static const char *const kSecciones[] = {"General", "Español", "English", "general", "Deutsch"};
    static const char *const kClaves[] = {"Vt", "Idioma", "PrinName", "vt", "DirGuarda", "Com"};
    static QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("KELDAN.INI"));

    // The input: a file, then after the first 0xFF byte a list of operations.
    const QByteArray entrada(reinterpret_cast<const char *>(datos), qsizetype(tamano));
    const qsizetype corte = entrada.indexOf('\xFF');
    QFile f(ruta);
    if (!f.open(QIODevice::WriteOnly)
        || f.write(entrada.left(corte < 0 ? entrada.size() : corte)) < 0)
        abort();
    f.close();
    const QByteArray ops = corte < 0 ? QByteArray() : entrada.mid(corte + 1);

    for (qsizetype i = 0; i + 2 < ops.size(); i += 3) {
        const QString seccion = QString::fromUtf8(kSecciones[uchar(ops[i]) % 5]);
        const QString clave = QString::fromLatin1(kClaves[uchar(ops[i + 1]) % 6]);
        const QList<QByteArray> antes = lineas(ruta);
        if (uchar(ops[i]) >= 250) {
            if (!PerfilIni::borraSeccion(ruta, seccion) || PerfilIni::existeSeccion(ruta, seccion))
                abort();
            continue;
        }
        // A value of up to 126 characters made of the next bytes, one line.
        const int largo = uchar(ops[i + 2]) % 127;
        QString valor = QString::fromLatin1(ops.mid(i + 3, largo)).trimmed();
        valor.remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
        i += qMin<qsizetype>(largo, ops.size() - i - 3);
        if (!PerfilIni::escribe(ruta, seccion, clave, valor)
            || PerfilIni::lee(ruta, seccion, clave, QStringLiteral("<absent>")) != valor
            || lineas(ruta).isEmpty() || !cambioLocal(antes, lineas(ruta)))
            abort();
    }
    return 0;
}
