// Random settings files and random sequences of writes and section removals:
// a written value reads back whole, the lines a write did not concern stay as
// they were byte for byte, and the file never ends up empty.
#include "settings/perfilini.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

const char *const kSecciones[] = {"General", "Español", "English", "general", "Deutsch"};
const char *const kClaves[] = {"Vt", "Idioma", "PrinName", "vt", "DirGuarda", "Com"};

// The file's lines as bytes, each without its end (a lone CR at the very end
// ends the last line, as the reader takes it).
QList<QByteArray> lineas(const QString &ruta)
{
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QByteArray datos = f.readAll();
    if (datos.endsWith('\r'))
        datos += '\n';
    QList<QByteArray> l = datos.split('\n');
    for (QByteArray &s : l) {
        if (s.endsWith('\r'))
            s.chop(1);
    }
    if (!l.isEmpty() && l.last().isEmpty())
        l.removeLast();
    return l;
}

// True when despues is antes with at most one old line replaced by at most two new ones.
bool cambioLocal(const QList<QByteArray> &antes, const QList<QByteArray> &despues)
{
    qsizetype p = 0, s = 0;
    while (p < antes.size() && p < despues.size() && antes.at(p) == despues.at(p))
        ++p;
    while (s < antes.size() - p && s < despues.size() - p
        && antes.at(antes.size() - 1 - s) == despues.at(despues.size() - 1 - s))
        ++s;
    return antes.size() - p - s <= 1 && despues.size() - p - s <= 2;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *datos, size_t tamano)
{
    static QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("KELDAN.INI"));

    // The input: a file, then after the first 0xFF byte a list of operations.
    const QByteArray entrada(reinterpret_cast<const char *>(datos), qsizetype(tamano));
    const qsizetype corte = entrada.indexOf('\xFF');
    {
        QFile f(ruta);
        if (!f.open(QIODevice::WriteOnly))
            abort();
        f.write(corte < 0 ? entrada : entrada.left(corte));
    }
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
        // A value of up to 126 characters made of the next bytes.
        const int largo = uchar(ops[i + 2]) % 127;
        QString valor = QString::fromLatin1(ops.mid(i + 3, largo)).trimmed();
        valor.remove(QLatin1Char('\n'));
        valor.remove(QLatin1Char('\r'));
        i += qMin<qsizetype>(largo, ops.size() - i - 3);
        if (!PerfilIni::escribe(ruta, seccion, clave, valor)
            || PerfilIni::lee(ruta, seccion, clave, QStringLiteral("<absent>")) != valor)
            abort();
        const QList<QByteArray> despues = lineas(ruta);
        if (despues.isEmpty() || !cambioLocal(antes, despues))
            abort();
    }
    return 0;
}
