// Random settings files and random sequences of writes and section removals:
// a written value reads back whole, the lines a write did not concern stay as
// they were, and the file never ends up empty.
#include "settings/perfilini.h"

#include <QDebug>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

const char *const kSecciones[] = {"General", "Español", "English", "general", "Deutsch"};
const char *const kClaves[] = {"Vt", "Idioma", "PrinName", "vt", "DirGuarda", "Com"};

QStringList lineas(const QString &ruta)
{
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QString texto = PerfilIni::decodifica(f.readAll());
    // A lone CR at the very end ends the last line, as the reader takes it.
    QStringList l = (texto.endsWith(QLatin1Char('\r')) ? texto + QLatin1Char('\n') : texto)
                        .split(QLatin1Char('\n'));
    for (QString &s : l) {
        if (s.endsWith(QLatin1Char('\r')))
            s.chop(1);
    }
    // The end of the last line is not a line of its own.
    if (!l.isEmpty() && l.last().isEmpty())
        l.removeLast();
    return l;
}

// True when despues is antes with one place changed: at most one old line
// replaced by at most two new ones.
bool cambioLocal(const QStringList &antes, const QStringList &despues)
{
    qsizetype prefijo = 0;
    while (prefijo < antes.size() && prefijo < despues.size()
        && antes.at(prefijo) == despues.at(prefijo))
        ++prefijo;
    qsizetype sufijo = 0;
    while (sufijo < antes.size() - prefijo && sufijo < despues.size() - prefijo
        && antes.at(antes.size() - 1 - sufijo) == despues.at(despues.size() - 1 - sufijo))
        ++sufijo;
    return antes.size() - prefijo - sufijo <= 1 && despues.size() - prefijo - sufijo <= 2;
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
        const QStringList antes = lineas(ruta);
        if (uchar(ops[i]) >= 250) {
            if (!PerfilIni::borraSeccion(ruta, seccion))
                abort();
            if (PerfilIni::existeSeccion(ruta, seccion))
                abort();
            continue;
        }
        // A value of up to 126 characters made of the next bytes.
        const int largo = uchar(ops[i + 2]) % 127;
        QString valor = QString::fromLatin1(ops.mid(i + 3, largo)).trimmed();
        valor.remove(QLatin1Char('\n'));
        valor.remove(QLatin1Char('\r'));
        i += qMin<qsizetype>(largo, ops.size() - i - 3);
        if (!PerfilIni::escribe(ruta, seccion, clave, valor))
            abort();
        if (PerfilIni::lee(ruta, seccion, clave, QStringLiteral("<absent>")) != valor)
            abort();
        const QStringList despues = lineas(ruta);
        if (despues.isEmpty())
            abort();
        // Only the entry written may have changed.
        if (!cambioLocal(antes, despues)) {
            if (qEnvironmentVariableIsSet("KELDAN_FUZZ_DEPURA"))
                qWarning() << antes << despues;
            abort();
        }
    }
    return 0;
}
