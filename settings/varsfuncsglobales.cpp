#include "settings/varsfuncsglobales.h"

#include "base/perfilini.h"
#include "languages/catalogoclaves.h"
#include "line/direccionred.h"
#include "line/direccionremota.h"
#include "settings/maquinas.h"
#include "settings/ubicacionajustes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>

#include <cmath>
#include <limits>
#include <optional>

namespace VarsFuncsGlobales {

QString ModoTransmision;
int PuertoCom = 0;
QString PuertoDispositivo;
qint32 Velocidad = 0;
QString Paridad;
int BitsDatos = 0;
double BitsStop = 0;
QString Nego;
bool XonXoffEnPuerto = false;
FormatoLinea Formato;
QString Maquina;
QString DirRecepcion;
AvisosIni RechazosGeneral;
QHash<QString, QString> TextosIdioma;
QString NombreFichero;
bool ModoAbrir = false;

namespace {

QString g_directorio;
QString g_directorioAjustes;
QString g_errorAjustes;

constexpr int kMaxLeeIni = 126;

// Decimal text to a whole number as the settings have always been read: a
// fractional text rounds to the nearest integer, a half to the even one.
// Anything that is not a number in range gives nothing.
std::optional<qint64> entero(const QString &texto, qint64 minimo, qint64 maximo)
{
    bool ok = false;
    const double d = QLocale::c().toDouble(texto.trimmed(), &ok);
    if (!ok || !std::isfinite(d))
        return std::nullopt;
    const double r = std::nearbyint(d); // default rounding mode: half to even
    if (r < double(minimo) || r > double(maximo))
        return std::nullopt;
    return qint64(r);
}

qint64 enteroOPorDefecto(const QString &texto, qint64 porDefecto, qint64 minimo, qint64 maximo)
{
    return entero(texto, minimo, maximo).value_or(porDefecto);
}

} // namespace

QString DirectorioPrograma()
{
    if (!g_directorio.isEmpty())
        return g_directorio;
    return QCoreApplication::applicationDirPath();
}

void EstableceDirectorioPrograma(const QString &directorio)
{
    g_directorio = directorio;
    g_directorioAjustes.clear();
}

QString DirectorioAjustes()
{
    if (g_directorioAjustes.isEmpty()) {
        g_errorAjustes.clear();
        g_directorioAjustes
            = UbicacionAjustes::elige(QDir::fromNativeSeparators(DirectorioPrograma()),
                UbicacionAjustes::directorioUsuario(), &g_errorAjustes);
    }
    return g_directorioAjustes;
}

void EstableceDirectorioAjustes(const QString &directorio)
{
    g_directorio = directorio;
    g_directorioAjustes = directorio;
    g_errorAjustes.clear();
}

QString ErrorDirectorioAjustes()
{
    return g_errorAjustes;
}

QString RutaIni()
{
    QString dir = DirectorioAjustes();
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir + QStringLiteral("KELDAN.INI");
}

QString LeeIni(
    const QString &seccion, const QString &clave, const QString &porDefecto, const QString &ruta)
{
    const QString valor = PerfilIni::lee(ruta, seccion, clave, porDefecto);
    // The cut is the language texts' old limit; the settings of General
    // (deep folders, device paths, the editor's command) are read whole.
    if (seccion.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
        return valor;
    return valor.left(kMaxLeeIni);
}

QString LeeIniLargo(const QString &seccion, const QString &porDefecto, const QString &ruta)
{
    const QStringList nombres = PerfilIni::claves(ruta, seccion);
    if (nombres.isEmpty())
        return porDefecto;
    QString lista;
    for (const QString &n : nombres) {
        lista += n;
        lista += QChar(0);
    }
    return lista;
}

bool EscribeIni(const QString &seccion, const QString &clave, const QString &valor,
    const QString &ruta, QString *error)
{
    return PerfilIni::escribe(ruta, seccion, clave, valor, error);
}

bool BorraSeccionIni(const QString &seccion, const QString &ruta, QString *error)
{
    return PerfilIni::borraSeccion(ruta, seccion, error);
}

void CargaConfig()
{
    const QString ruta = RutaIni();
    const QString general = QStringLiteral("General");
    IdiomaActual = LeeIni(general, QStringLiteral("Idioma"), QStringLiteral("Español"), ruta);
    ModoTransmision = LeeIni(general, QStringLiteral("Modo"), QStringLiteral("Ascii"), ruta);

    RechazosGeneral = ::Maquina::lee(ruta, general).rechazos;
    const bool comRechazado = std::any_of(RechazosGeneral.cbegin(), RechazosGeneral.cend(),
        [](const AvisoIni &r) { return r.clave == QLatin1String("Com"); });
    const QString com = LeeIni(general, QStringLiteral("Com"), QStringLiteral("1"), ruta);
    // A network port, or a port that cannot be used, is kept as written:
    // opening it says what is wrong, where falling back to COM1 would send
    // elsewhere.
    if (com.trimmed().startsWith(QLatin1Char('/')) || DireccionRed::esDeRed(com)
        || DireccionRemota::esRemota(com) || comRechazado) {
        PuertoDispositivo = com.trimmed();
        PuertoCom = 0;
    } else {
        PuertoDispositivo.clear();
        PuertoCom = int(enteroOPorDefecto(com, 1, 1, 255));
    }
    Velocidad = qint32(
        enteroOPorDefecto(LeeIni(general, QStringLiteral("Vt"), QStringLiteral("4800"), ruta), 4800,
            1, std::numeric_limits<qint32>::max()));
    Paridad = LeeIni(general, QStringLiteral("Par"), QStringLiteral("N"), ruta);
    BitsDatos = int(enteroOPorDefecto(
        LeeIni(general, QStringLiteral("Bd"), QStringLiteral("8"), ruta), 8, -32768, 32767));

    bool ok = false;
    const double bs = QLocale::c().toDouble(
        LeeIni(general, QStringLiteral("Bs"), QStringLiteral("2"), ruta).trimmed(), &ok);
    BitsStop = (ok && std::isfinite(bs) && bs > 0 && bs <= 2) ? bs : 2.0;

    Nego = LeeIni(general, QStringLiteral("Nego"), QStringLiteral("XonXoff"), ruta);
    XonXoffEnPuerto = Maquinas::xonXoffDeTexto(
        LeeIni(general, QStringLiteral("XonXoffEn"), QStringLiteral("Programa"), ruta))
                          .value_or(false);
    Formato = FormatoLinea::lee(ruta, general);
    Maquina = Maquinas::actual(ruta);
    DirRecepcion = Maquinas::dirRecepcionDeTexto(
        LeeIni(general, QStringLiteral("DirRecepcion"), QString(), ruta))
                       .value_or(QString());

    TextosIdioma.clear();
    for (const ClaveIdioma &c : CatalogoClaves::todas())
        TextosIdioma.insert(c.nombre, LeeIni(IdiomaActual, c.nombre, c.textoPorDefecto, ruta));
}

QString TextoBitsStop(double bitsStop)
{
    return QLocale::c().toString(bitsStop, 'g', 15);
}

bool GrabaConfig(QString *error)
{
    const QString ruta = RutaIni();
    const QString general = QStringLiteral("General");
    const QString com
        = PuertoDispositivo.isEmpty() ? QString::number(PuertoCom) : PuertoDispositivo;
    const std::pair<const char *, QString> valores[] = {
        {"Idioma", IdiomaActual},
        {"Modo", ModoTransmision},
        {"Com", com},
        {"Vt", QString::number(Velocidad)},
        {"Par", Paridad},
        {"Bd", QString::number(BitsDatos)},
        {"Bs", TextoBitsStop(BitsStop)},
    };
    for (const auto &[clave, valor] : valores) {
        if (!EscribeIni(general, QString::fromLatin1(clave), valor, ruta, error))
            return false;
    }
    // Files from before the handshake setting stay as they were while it
    // keeps its default.
    const QString nego = QStringLiteral("Nego");
    if (!Nego.isEmpty() && LeeIni(general, nego, QStringLiteral("XonXoff"), ruta) != Nego
        && !EscribeIni(general, nego, Nego, ruta, error))
        return false;
    // Written only when the file means otherwise (absent: in the program).
    const QString xon = QStringLiteral("XonXoffEn");
    if (Maquinas::xonXoffDeTexto(LeeIni(general, xon, QStringLiteral("Programa"), ruta))
            != XonXoffEnPuerto
        && !EscribeIni(general, xon, Maquinas::textoXonXoff(XonXoffEnPuerto), ruta, error))
        return false;
    const QString dir = QStringLiteral("DirRecepcion");
    if (LeeIni(general, dir, QString(), ruta).trimmed() != DirRecepcion
        && !EscribeIni(general, dir, DirRecepcion, ruta, error))
        return false;
    // Only format keys that differ from what the file means are written.
    return Formato.escribe(ruta, general, error);
}

QString CarpetaRecepcionPorDefecto(const QString &rutaIni)
{
    const std::optional<QString> guarda = Maquinas::dirRecepcionDeTexto(
        LeeIni(QStringLiteral("General"), QStringLiteral("DirGuarda"), QString(), rutaIni));
    if (guarda && !guarda->isEmpty())
        return *guarda;
    const QString documentos = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documentos.isEmpty() && QFileInfo(documentos).isDir() ? documentos : QDir::homePath();
}

QString Texto(const QString &clave)
{
    const auto it = TextosIdioma.constFind(clave);
    if (it != TextosIdioma.constEnd())
        return it.value();
    return CatalogoClaves::textoPorDefecto(clave);
}

} // namespace VarsFuncsGlobales
