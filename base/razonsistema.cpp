#include "base/razonsistema.h"

#include "base/idiomaactual.h"

#include <QLocale>

#include <cstring>

#include <locale.h>

namespace {

// The locale names of a language section: "Español" and "Spanish" both name
// Spanish, in its own words or in English.
QStringList nombresLocale(const QString &idioma)
{
    QStringList nombres;
    const QString buscado = idioma.trimmed();
    if (buscado.isEmpty())
        return nombres;
    for (int l = QLocale::C + 1; l <= QLocale::LastLanguage; ++l) {
        const auto lengua = QLocale::Language(l);
        const QLocale locale(lengua);
        if (locale.language() != lengua)
            continue;
        // Qt may name the language with its country ("español de España").
        const QString nativo = locale.nativeLanguageName();
        if (buscado.compare(QLocale::languageToString(lengua), Qt::CaseInsensitive) != 0
            && buscado.compare(nativo, Qt::CaseInsensitive) != 0
            && !nativo.startsWith(buscado + QLatin1Char(' '), Qt::CaseInsensitive))
            continue;
        const QString nombre = locale.name();
        nombres << nombre + QStringLiteral(".UTF-8") << nombre + QStringLiteral(".utf8");
        break;
    }
    return nombres;
}

} // namespace

QString VarsFuncsGlobales::IdiomaActual;

QString RazonSistema(int codigo)
{
    locale_t locale = nullptr;
    for (const QString &nombre : nombresLocale(VarsFuncsGlobales::IdiomaActual)) {
        locale
            = newlocale(LC_MESSAGES_MASK | LC_CTYPE_MASK, nombre.toLatin1().constData(), nullptr);
        if (locale)
            break;
    }
    // The C locale's words are plain ASCII, so UTF-8 reads both.
    if (!locale)
        locale = newlocale(LC_MESSAGES_MASK | LC_CTYPE_MASK, "C", nullptr);
    const QString razon = QString::fromUtf8(strerror_l(codigo, locale));
    freelocale(locale);
    return razon;
}
