#include "line/formatolinea.h"

#include "base/perfilini.h"
#include "line/caracterescontrol.h"
#include "line/codificadorenvio.h"

#include <optional>

namespace {

// Default of the profile reads: no value can hold a line break, so this
// tells an absent key from one present with any text, the empty one too.
const QString kAusente = QStringLiteral("\n");

using Fin = FormatoLinea::FinBloque;

const std::pair<Fin, const char *> kFines[] = {
    {Fin::CrLf, "CrLf"},
    {Fin::Lf, "Lf"},
    {Fin::Cr, "Cr"},
};

bool igual(const QString &a, const char *b)
{
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

// Plain decimal digits only: a sign, a fraction or a blank inside is a typing
// error better reported than guessed at.
std::optional<int> entero(const QString &texto, int maximo)
{
    if (texto.isEmpty())
        return std::nullopt;
    for (QChar c : texto) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    bool ok = false;
    const int n = texto.toInt(&ok);
    if (!ok || n > maximo)
        return std::nullopt;
    return n;
}

std::optional<bool> siNo(const QString &texto)
{
    return FormatoLinea::siNo(texto);
}

QString textoSiNo(bool valor)
{
    return FormatoLinea::textoSiNo(valor);
}

// One key of the format: its text as written, and how its text is read
// (false when the text is not understood, leaving the record as it was).
struct Campo
{
    const char *clave;
    QString (*texto)(const FormatoLinea &);
    bool (*interpreta)(const QString &, FormatoLinea &);
};

template<int FormatoLinea::*campo, int maximo, int minimo = 0>
constexpr Campo campoEntero(const char *clave)
{
    return {clave, [](const FormatoLinea &f) { return QString::number(f.*campo); },
        [](const QString &t, FormatoLinea &f) {
            const std::optional<int> n = entero(t, maximo);
            if (n && *n >= minimo)
                f.*campo = *n;
            return n && *n >= minimo;
        }};
}

template<bool FormatoLinea::*campo> constexpr Campo campoSiNo(const char *clave)
{
    return {clave, [](const FormatoLinea &f) { return textoSiNo(f.*campo); },
        [](const QString &t, FormatoLinea &f) {
            const std::optional<bool> b = siNo(t);
            if (b)
                f.*campo = *b;
            return b.has_value();
        }};
}

const Campo kCampos[] = {
    {"FinBloque",
        [](const FormatoLinea &f) {
            for (const auto &[fin, nombre] : kFines) {
                if (fin == f.finBloque)
                    return QString::fromLatin1(nombre);
            }
            return QString();
        },
        [](const QString &t, FormatoLinea &f) {
            for (const auto &[fin, nombre] : kFines) {
                if (igual(t, nombre)) {
                    f.finBloque = fin;
                    return true;
                }
            }
            return false;
        }},
    campoEntero<&FormatoLinea::nulosInicio, FormatoLinea::kMaxNulos>("NulosInicio"),
    campoEntero<&FormatoLinea::nulosFin, FormatoLinea::kMaxNulos>("NulosFin"),
    campoSiNo<&FormatoLinea::marco>("Marco"),
    campoEntero<&FormatoLinea::retardoLineaMs, FormatoLinea::kMaxRetardoMs>("RetardoLinea"),
    campoSiNo<&FormatoLinea::esperaDc1>("EsperaDc1"),
    campoEntero<&FormatoLinea::silencioS, FormatoLinea::kMaxSilencioS>("Silencio"),
    campoEntero<&FormatoLinea::maxProgramaMiB, FormatoLinea::kMaxProgramaMiB, 1>("MaxPrograma"),
};

} // namespace

FormatoLinea FormatoLinea::lee(const QString &ruta, const QString &seccion, AvisosIni *avisos)
{
    FormatoLinea f;
    for (const Campo &c : kCampos) {
        const QString clave = QLatin1String(c.clave);
        const QString t = PerfilIni::lee(ruta, seccion, clave, kAusente);
        if (t != kAusente && !c.interpreta(t, f) && avisos)
            avisos->append({seccion, clave, t});
    }
    return f;
}

bool FormatoLinea::escribe(const QString &ruta, const QString &seccion, QString *error) const
{
    for (const Campo &c : kCampos) {
        const QString clave = QLatin1String(c.clave);
        const QString nuevo = c.texto(*this);
        const QString t = PerfilIni::lee(ruta, seccion, clave, kAusente);
        // What the file means now: the default when absent. An unreadable
        // text means the default too, but is replaced so the file says it.
        FormatoLinea actual;
        const bool mismo = (t == kAusente || c.interpreta(t, actual)) && c.texto(actual) == nuevo;
        if (!mismo && !PerfilIni::escribe(ruta, seccion, clave, nuevo, error))
            return false;
    }
    return true;
}

QByteArray FormatoLinea::cabecera() const
{
    QByteArray bytes(nulosInicio, '\0');
    if (marco)
        bytes.append(CaracteresControl::kDc2);
    return bytes;
}

QByteArray FormatoLinea::cola() const
{
    QByteArray bytes;
    if (marco)
        bytes.append(CaracteresControl::kDc4);
    bytes.append(QByteArray(nulosFin, '\0'));
    return bytes;
}

void FormatoLinea::codificaLinea(const QByteArray &linea, bool iso, QByteArray &destino) const
{
    if (iso || finBloque == FinBloque::CrLf) {
        CodificadorEnvio::codificaLinea(linea, iso, destino);
        return;
    }
    destino.append(linea);
    destino.append(finBloque == FinBloque::Lf ? CaracteresControl::kLf : CaracteresControl::kCr);
}

QByteArray FormatoLinea::codificaPrograma(const QList<QByteArray> &lineas, bool iso) const
{
    QByteArray bytes = cabecera();
    for (const QByteArray &linea : lineas)
        codificaLinea(linea, iso, bytes);
    bytes.append(cola());
    return bytes;
}

std::optional<bool> FormatoLinea::siNo(const QString &texto)
{
    if (igual(texto, "Si") || texto.compare(QStringLiteral("Sí"), Qt::CaseInsensitive) == 0)
        return true;
    if (igual(texto, "No"))
        return false;
    return std::nullopt;
}

QString FormatoLinea::textoSiNo(bool valor)
{
    return valor ? QStringLiteral("Si") : QStringLiteral("No");
}
