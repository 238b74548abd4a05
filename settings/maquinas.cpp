#include "settings/maquinas.h"

#include "base/perfilini.h"
#include "languages/valoridioma.h"
#include "line/direccionred.h"
#include "line/direccionremota.h"
#include "line/parametroslinea.h"
#include "settings/varsfuncsglobales.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>

namespace {

// Default of the profile reads: no value can hold a line break, so this
// tells an absent key from one present with any text, the empty one too.
const QString kAusente = QStringLiteral("\n");
const QString kGeneral = QStringLiteral("General");
const QString kClaveMaquina = QStringLiteral("Maquina");
constexpr const char *kDondeXonXoff[] = {"Programa", "Puerto"};

bool igualNombre(const QString &a, const QString &b)
{
    return QString::compare(a.trimmed(), b.trimmed(), Qt::CaseInsensitive) == 0;
}

// Plain decimal digits only, as the line format reads its numbers: a sign,
// a fraction or a blank inside is a typing error, better refused than
// rounded into another port or speed.
std::optional<int> digitos(const QString &texto)
{
    if (texto.isEmpty() || texto.size() > 9)
        return std::nullopt;
    for (const QChar c : texto) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    return texto.toInt();
}

template<typename Lista, typename Valor> bool en(const Lista &lista, Valor v)
{
    return std::find(std::begin(lista), std::end(lista), v) != std::end(lista);
}

std::optional<QString> comValido(const QString &texto)
{
    if (DireccionRemota::esRemota(texto))
        return DireccionRemota::interpreta(texto) ? std::optional(texto.trimmed()) : std::nullopt;
    if (texto.startsWith(QLatin1Char('/')))
        return texto;
    if (DireccionRed::esDeRed(texto))
        return DireccionRed::interpreta(texto) ? std::optional(texto) : std::nullopt;
    if (const auto n = digitos(texto); n && *n >= 1 && *n <= 255)
        return QString::number(*n);
    return std::nullopt;
}

// The word of the list that matches the text in any letter case, as spelled
// in the list.
template<typename Lista> std::optional<QString> palabra(const QString &texto, const Lista &lista)
{
    for (const char *p : lista) {
        if (texto.compare(QLatin1String(p), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(p);
    }
    return std::nullopt;
}

std::optional<QString> negoValido(const QString &texto)
{
    return palabra(texto, ValoresLinea::kNegos);
}

std::optional<qint32> velocidadValida(const QString &texto)
{
    const auto n = digitos(texto);
    if (n && en(ValoresLinea::kVelocidades, *n))
        return *n;
    return std::nullopt;
}

std::optional<QString> paridadValida(const QString &texto)
{
    const QString letra = texto.toUpper();
    if (letra.size() == 1 && en(ValoresLinea::kParidades, letra.at(0).toLatin1()))
        return letra;
    return std::nullopt;
}

std::optional<int> bitsDatosValidos(const QString &texto)
{
    const auto n = digitos(texto);
    if (n && en(ValoresLinea::kBitsDatos, *n))
        return n;
    return std::nullopt;
}

std::optional<double> bitsStopValidos(const QString &texto)
{
    bool ok = false;
    const double d = QLocale::c().toDouble(texto, &ok);
    if (ok && en(ValoresLinea::kBitsStop, d))
        return d;
    return std::nullopt;
}

std::optional<QString> modoValido(const QString &texto)
{
    return palabra(texto, ValoresLinea::kModos);
}

// The section's name as the profile functions would write its header.
QString limpio(const QString &nombre)
{
    return nombre.trimmed();
}

// The name under which the file holds the machine, or nothing.
std::optional<QString> busca(const QString &rutaIni, const QString &nombre)
{
    for (const QString &n : Maquinas::lista(rutaIni)) {
        if (igualNombre(n, nombre))
            return n;
    }
    return std::nullopt;
}

bool escribeActual(const QString &rutaIni, const QString &nombre, QString *error)
{
    if (PerfilIni::lee(rutaIni, kGeneral, kClaveMaquina, kAusente) == nombre)
        return true;
    return PerfilIni::escribe(rutaIni, kGeneral, kClaveMaquina, nombre, error);
}

// Copies a section under another name, its settings first so that the new
// section exists even when the old one has no keys, then every key as it
// stands (unknown keys too). On failure the copy is taken away again.
bool copia(const QString &ruta, const QString &desde, const QString &hacia, QString *error)
{
    bool ok = Maquina::lee(ruta, desde).escribe(ruta, hacia, error);
    for (const QString &clave : PerfilIni::claves(ruta, desde)) {
        if (!ok)
            break;
        ok = PerfilIni::escribe(
            ruta, hacia, clave, PerfilIni::lee(ruta, desde, clave, QString()), error);
    }
    if (!ok)
        PerfilIni::borraSeccion(ruta, hacia);
    return ok;
}

// The old section goes only once the copy is whole, so a failure or a crash
// at any step leaves the machine in the file under one name or the other.
bool mueve(const QString &ruta, const QString &desde, const QString &hacia, QString *error)
{
    if (!copia(ruta, desde, hacia, error))
        return false;
    if (PerfilIni::borraSeccion(ruta, desde, error))
        return true;
    PerfilIni::borraSeccion(ruta, hacia);
    return false;
}

// "min,max" with min below max, in the C locale; an empty text, as a key
// without a value is written, sets no limit.
std::optional<std::optional<RecorridoMaquina::Limite>> limiteValido(const QString &texto)
{
    if (texto.trimmed().isEmpty())
        return std::optional<RecorridoMaquina::Limite>();
    const QStringList partes = texto.split(QLatin1Char(','));
    if (partes.size() != 2)
        return std::nullopt;
    bool ok1 = false, ok2 = false;
    const double a = QLocale::c().toDouble(partes[0].trimmed(), &ok1);
    const double b = QLocale::c().toDouble(partes[1].trimmed(), &ok2);
    if (!ok1 || !ok2 || !std::isfinite(a) || !std::isfinite(b) || a >= b)
        return std::nullopt;
    return std::optional(RecorridoMaquina::Limite {a, b});
}

std::optional<double> positivoValido(const QString &texto)
{
    bool ok = false;
    const double d = QLocale::c().toDouble(texto.trimmed(), &ok);
    if (!ok || !std::isfinite(d) || d <= 0)
        return std::nullopt;
    return d;
}

QString textoNumero(double d)
{
    return QString::number(d, 'g', 15);
}

// Between two looks of continuous receive: at least a second, at most a day.
std::optional<int> sondeoValido(const QString &texto)
{
    const auto n = digitos(texto.trimmed());
    if (n && *n >= 1 && *n <= 86400)
        return n;
    return std::nullopt;
}

// The keys that still apply to a remote machine; the line's and the
// framing's are not looked at, so a value written amiss there refuses
// nothing.
bool claveDeRemota(const QString &clave)
{
    static const char *const kClaves[] = {
        "Com", "Modo", "FinBloque", "MaxPrograma", "FtpActivo", "NombreO", "Verificar", "Sondeo"};
    for (const char *c : kClaves) {
        if (clave == QLatin1String(c))
            return true;
    }
    return false;
}

const char *const kClavesLimites[3] = {"LimitesX", "LimitesY", "LimitesZ"};

struct Preset
{
    Maquinas::Predefinida id;
    const char *nombre;
    qint32 velocidad;
    const char *paridad;
    int bitsDatos;
    double bitsStop;
    int nulosInicio;
};

// Stop bits not given for Heidenhain: 2, which a receiver set for 1 takes
// as well. Its leader of NULs: 50, room enough for the control to get ready.
const Preset kPresets[] = {
    {Maquinas::Predefinida::Fanuc, "Fanuc 0/16/18/21", 4800, "E", 7, 2, 0},
    {Maquinas::Predefinida::Haas, "Haas", 9600, "E", 7, 2, 0},
    {Maquinas::Predefinida::Heidenhain, "Heidenhain TNC", 9600, "E", 7, 2, 50},
    {Maquinas::Predefinida::Mazak, "Mazak", 4800, "N", 8, 2, 0},
    {Maquinas::Predefinida::Generica, "9600 8N1", 9600, "N", 8, 1, 0},
};

const Preset &preset(Maquinas::Predefinida p)
{
    for (const Preset &d : kPresets) {
        if (d.id == p)
            return d;
    }
    return kPresets[0];
}

} // namespace

namespace {

// Sets the field from the key's text when it is understood; an absent key
// keeps the default, a text not understood goes into the list given.
template<typename Interpreta, typename Destino>
void leeCampo(const QString &ruta, const QString &seccion, const char *clave, Interpreta interpreta,
    Destino &destino, AvisosIni *lista)
{
    const QString t = PerfilIni::lee(ruta, seccion, QLatin1String(clave), kAusente);
    if (t == kAusente)
        return;
    if (const auto v = interpreta(t))
        destino = *v;
    else if (lista)
        lista->append({seccion, QLatin1String(clave), t});
}

} // namespace

RecorridoMaquina RecorridoMaquina::lee(
    const QString &ruta, const QString &seccion, AvisosIni *avisos)
{
    RecorridoMaquina r;
    const auto campo = [&](const char *clave, auto interpreta, auto &destino) {
        leeCampo(ruta, seccion, clave, interpreta, destino, avisos);
    };
    for (int eje = 0; eje < 3; ++eje)
        campo(kClavesLimites[eje], limiteValido, r.limites[eje]);
    campo("Rapido", positivoValido, r.rapido);
    campo("FactorTiempo", positivoValido, r.factorTiempo);
    return r;
}

bool RecorridoMaquina::escribe(const QString &ruta, const QString &seccion, QString *error) const
{
    // A key is written when its text does not mean the value: absent keys
    // mean the defaults, texts that cannot be used mean nothing.
    const auto texto = [&](const char *clave) {
        return PerfilIni::lee(ruta, seccion, QLatin1String(clave), kAusente);
    };
    const auto pon = [&](const char *clave, bool igual, const QString &valor) {
        return igual || PerfilIni::escribe(ruta, seccion, QLatin1String(clave), valor, error);
    };
    for (int eje = 0; eje < 3; ++eje) {
        const std::optional<Limite> &l = limites[eje];
        const QString t = texto(kClavesLimites[eje]);
        const auto enFichero
            = t == kAusente ? std::make_optional(std::optional<Limite>()) : limiteValido(t);
        if (!pon(kClavesLimites[eje], enFichero && *enFichero == l,
                l ? textoNumero(l->minimo) + QLatin1Char(',') + textoNumero(l->maximo) : QString()))
            return false;
    }
    const RecorridoMaquina defecto;
    const auto igual = [&](const char *clave, double valor, double porDefecto) {
        const QString t = texto(clave);
        return (t == kAusente ? std::optional(porDefecto) : positivoValido(t)) == valor;
    };
    return pon("Rapido", igual("Rapido", rapido, defecto.rapido), textoNumero(rapido))
        && pon("FactorTiempo", igual("FactorTiempo", factorTiempo, defecto.factorTiempo),
            textoNumero(factorTiempo));
}

Maquina Maquina::lee(const QString &ruta, const QString &seccion, AvisosIni *avisos)
{
    Maquina m;
    m.nombre = seccion;
    const auto campo = [&](const char *clave, auto interpreta, auto &destino, AvisosIni *lista) {
        leeCampo(ruta, seccion, clave, interpreta, destino, lista);
    };
    campo("Com", comValido, m.com, &m.rechazos);
    campo("Vt", velocidadValida, m.velocidad, &m.rechazos);
    campo("Par", paridadValida, m.paridad, &m.rechazos);
    campo("Bd", bitsDatosValidos, m.bitsDatos, &m.rechazos);
    campo("Bs", bitsStopValidos, m.bitsStop, &m.rechazos);
    campo("Modo", modoValido, m.modo, &m.rechazos);
    campo("Nego", negoValido, m.nego, &m.rechazos);
    campo("XonXoffEn", Maquinas::xonXoffDeTexto, m.xonXoffEnPuerto, &m.rechazos);
    m.formato = FormatoLinea::lee(ruta, seccion, &m.rechazos);
    campo("DirRecepcion", Maquinas::dirRecepcionDeTexto, m.dirRecepcion, avisos);
    m.recorrido = RecorridoMaquina::lee(ruta, seccion, avisos);
    campo("FtpActivo", FormatoLinea::siNo, m.ftpActivo, &m.rechazos);
    campo("NombreO", FormatoLinea::siNo, m.nombreO, &m.rechazos);
    campo("Verificar", FormatoLinea::siNo, m.verificar, &m.rechazos);
    campo("Sondeo", sondeoValido, m.sondeoS, &m.rechazos);
    for (AvisoIni &r : m.rechazos) {
        // The password is the user's secret: a message or a log never shows it.
        if (r.clave == QLatin1String("Com"))
            r.valor = DireccionRemota::sinContrasena(r.valor);
    }
    if (m.esRemota()) {
        m.rechazos.removeIf([](const AvisoIni &r) { return !claveDeRemota(r.clave); });
        // ISO code is a property of the serial line; a file stored in it
        // would be no program the control could read.
        if (m.modo.compare(QLatin1String("Iso"), Qt::CaseInsensitive) == 0)
            m.rechazos.append({seccion, QStringLiteral("Modo"), m.modo});
    }
    return m;
}

bool Maquina::escribe(const QString &ruta, const QString &seccion, QString *error) const
{
    const std::pair<const char *, QString> puerto[] = {
        {"Com", com},
        {"Vt", QString::number(velocidad)},
        {"Par", paridad},
        {"Bd", QString::number(bitsDatos)},
        {"Bs", VarsFuncsGlobales::TextoBitsStop(bitsStop)},
        {"Modo", modo},
    };
    for (const auto &[clave, valor] : puerto) {
        const QString k = QLatin1String(clave);
        if (PerfilIni::lee(ruta, seccion, k, kAusente) != valor
            && !PerfilIni::escribe(ruta, seccion, k, valor, error))
            return false;
    }
    const QString claveNego = QStringLiteral("Nego");
    const QString t = PerfilIni::lee(ruta, seccion, claveNego, kAusente);
    const std::optional<QString> negoActual
        = t == kAusente ? QStringLiteral("XonXoff") : negoValido(t);
    if (negoActual != nego && !PerfilIni::escribe(ruta, seccion, claveNego, nego, error))
        return false;
    // Absent means in the program, as before the key existed.
    const QString claveXon = QStringLiteral("XonXoffEn");
    const QString x = PerfilIni::lee(ruta, seccion, claveXon, kAusente);
    const std::optional<bool> xonActual = x == kAusente ? false : Maquinas::xonXoffDeTexto(x);
    if (xonActual != xonXoffEnPuerto
        && !PerfilIni::escribe(
            ruta, seccion, claveXon, Maquinas::textoXonXoff(xonXoffEnPuerto), error))
        return false;
    // Absent means the save folder, as empty does.
    const QString claveDir = QStringLiteral("DirRecepcion");
    const QString dir = PerfilIni::lee(ruta, seccion, claveDir, kAusente);
    if ((dir == kAusente ? QString() : dir) != dirRecepcion
        && !PerfilIni::escribe(ruta, seccion, claveDir, dirRecepcion, error))
        return false;
    const std::pair<const char *, bool> siNo[]
        = {{"FtpActivo", ftpActivo}, {"NombreO", nombreO}, {"Verificar", verificar}};
    for (const auto &[clave, valor] : siNo) {
        // Absent means No, as before the key existed.
        const QString k = QLatin1String(clave);
        const QString v = PerfilIni::lee(ruta, seccion, k, kAusente);
        if ((v == kAusente ? std::optional(false) : FormatoLinea::siNo(v)) != valor
            && !PerfilIni::escribe(ruta, seccion, k, FormatoLinea::textoSiNo(valor), error))
            return false;
    }
    const QString claveSondeo = QStringLiteral("Sondeo");
    const QString so = PerfilIni::lee(ruta, seccion, claveSondeo, kAusente);
    if ((so == kAusente ? std::optional(10) : sondeoValido(so)) != sondeoS
        && !PerfilIni::escribe(ruta, seccion, claveSondeo, QString::number(sondeoS), error))
        return false;
    return formato.escribe(ruta, seccion, error) && recorrido.escribe(ruta, seccion, error);
}

bool Maquina::esRemota() const
{
    for (const AvisoIni &r : rechazos) {
        if (r.clave == QLatin1String("Com"))
            return DireccionRemota::esRemota(r.valor);
    }
    return DireccionRemota::esRemota(com);
}

namespace Maquinas {

QString rutaMaquinas(const QString &rutaIni)
{
    return QFileInfo(rutaIni).dir().filePath(QStringLiteral("MAQUINAS.INI"));
}

bool nombreValido(const QString &nombre)
{
    // Longer names would come back cut from the reads of 126 characters.
    return ValorIdioma::nombreValido(nombre) && limpio(nombre).size() <= ValorIdioma::kLargoMaximo;
}

QStringList lista(const QString &rutaIni, AvisosIni *avisos)
{
    QStringList nombres;
    QFile archivo(rutaMaquinas(rutaIni));
    if (!archivo.open(QIODevice::ReadOnly))
        return nombres;
    const QStringList lineas = PerfilIni::decodifica(archivo.readAll()).split(QLatin1Char('\n'));
    for (const QString &linea : lineas) {
        // Headers as the profile functions find them: blanks around, the
        // name up to the first "]", blanks around it dropped.
        const QString t = linea.trimmed();
        const qsizetype cierre = t.indexOf(QLatin1Char(']'));
        if (!t.startsWith(QLatin1Char('[')) || cierre < 0)
            continue;
        const QString nombre = limpio(t.mid(1, cierre - 1));
        if (!nombreValido(nombre)) {
            if (avisos)
                avisos->append({nombre, QString(), QString()});
            continue;
        }
        const auto igual = [&nombre](const QString &n) { return igualNombre(n, nombre); };
        const auto previo = std::find_if(nombres.cbegin(), nombres.cend(), igual);
        if (previo == nombres.cend())
            nombres.append(nombre);
        else if (avisos)
            avisos->append({nombre, QString(), *previo});
    }
    return nombres;
}

std::optional<Maquina> lee(const QString &rutaIni, const QString &nombre, AvisosIni *avisos)
{
    const std::optional<QString> seccion = busca(rutaIni, nombre);
    if (!seccion)
        return std::nullopt;
    return Maquina::lee(rutaMaquinas(rutaIni), *seccion, avisos);
}

QString actual(const QString &rutaIni)
{
    return PerfilIni::lee(rutaIni, kGeneral, kClaveMaquina, QString()).trimmed();
}

Resultado guarda(const QString &rutaIni, const Maquina &m, bool sustituir, QString *error)
{
    if (!nombreValido(m.nombre))
        return Resultado::NombreNoValido;
    const std::optional<QString> existente = busca(rutaIni, m.nombre);
    if (existente && !sustituir)
        return Resultado::NombreOcupado;
    const QString ruta = rutaMaquinas(rutaIni);
    const QString seccion = existente.value_or(limpio(m.nombre));
    const Maquina anterior = Maquina::lee(ruta, seccion);
    if (m.escribe(ruta, seccion, error))
        return Resultado::Hecho;
    if (existente)
        anterior.escribe(ruta, seccion);
    else
        PerfilIni::borraSeccion(ruta, seccion);
    return Resultado::ErrorFichero;
}

Resultado guardaActual(const QString &rutaIni, const QString &nombre, bool sustituir,
    QString *error, AvisosIni *avisos)
{
    Maquina m = Maquina::lee(rutaIni, kGeneral, avisos);
    if (m.rechazada())
        return Resultado::Rechazada;
    m.nombre = nombre;
    const Resultado r = guarda(rutaIni, m, sustituir, error);
    if (r != Resultado::Hecho)
        return r;
    return escribeActual(rutaIni, busca(rutaIni, nombre).value_or(limpio(nombre)), error)
        ? Resultado::Hecho
        : Resultado::ErrorFichero;
}

Resultado elige(const QString &rutaIni, const QString &nombre, QString *error, AvisosIni *avisos)
{
    const std::optional<Maquina> m = lee(rutaIni, nombre, avisos);
    if (!m)
        return Resultado::NoExiste;
    if (m->rechazada())
        return Resultado::Rechazada;
    const Maquina anterior = Maquina::lee(rutaIni, kGeneral);
    // The name goes in last: General never names a machine whose settings
    // did not all arrive.
    if (m->escribe(rutaIni, kGeneral, error) && escribeActual(rutaIni, m->nombre, error))
        return Resultado::Hecho;
    anterior.escribe(rutaIni, kGeneral);
    return Resultado::ErrorFichero;
}

Resultado renombra(
    const QString &rutaIni, const QString &nombre, const QString &nuevo, QString *error)
{
    if (!nombreValido(nuevo))
        return Resultado::NombreNoValido;
    const std::optional<QString> viejo = busca(rutaIni, nombre);
    if (!viejo)
        return Resultado::NoExiste;
    const QString destino = limpio(nuevo);
    if (*viejo == destino)
        return Resultado::Hecho;
    const bool soloLetras = igualNombre(*viejo, destino);
    if (!soloLetras && busca(rutaIni, destino))
        return Resultado::NombreOcupado;

    const QString ruta = rutaMaquinas(rutaIni);
    if (soloLetras) {
        // The profile functions see both spellings as one section: the
        // machine goes through a name of its own on the way.
        QString paso;
        for (int n = 1; paso.isEmpty() || PerfilIni::existeSeccion(ruta, paso); ++n)
            paso = QStringLiteral("%1 (%2)").arg(destino).arg(n);
        if (!mueve(ruta, *viejo, paso, error))
            return Resultado::ErrorFichero;
        if (!mueve(ruta, paso, destino, error)) {
            mueve(ruta, paso, *viejo, nullptr);
            return Resultado::ErrorFichero;
        }
    } else if (!mueve(ruta, *viejo, destino, error)) {
        return Resultado::ErrorFichero;
    }
    if (!igualNombre(actual(rutaIni), *viejo) || escribeActual(rutaIni, destino, error))
        return Resultado::Hecho;
    mueve(ruta, destino, *viejo, nullptr);
    return Resultado::ErrorFichero;
}

Resultado borra(const QString &rutaIni, const QString &nombre, QString *error)
{
    const std::optional<QString> seccion = busca(rutaIni, nombre);
    if (!seccion)
        return Resultado::NoExiste;
    if (!PerfilIni::borraSeccion(rutaMaquinas(rutaIni), *seccion, error))
        return Resultado::ErrorFichero;
    if (igualNombre(actual(rutaIni), *seccion)
        && !PerfilIni::escribe(rutaIni, kGeneral, kClaveMaquina, QString(), error))
        return Resultado::ErrorFichero;
    return Resultado::Hecho;
}

QString textoXonXoff(bool enPuerto)
{
    return enPuerto ? QStringLiteral("Puerto") : QStringLiteral("Programa");
}

std::optional<bool> xonXoffDeTexto(const QString &texto)
{
    if (const auto p = palabra(texto.trimmed(), kDondeXonXoff))
        return *p == QLatin1String("Puerto");
    return std::nullopt;
}

std::optional<QString> dirRecepcionDeTexto(const QString &texto)
{
    const QString t = texto.trimmed();
    if (t.isEmpty() || t.startsWith(QLatin1Char('/')))
        return t;
    if (t == QLatin1String("~") || t.startsWith(QLatin1String("~/")))
        return QDir::homePath() + t.mid(1);
    return std::nullopt;
}

QList<Predefinida> predefinidas()
{
    QList<Predefinida> lista;
    for (const Preset &p : kPresets)
        lista.append(p.id);
    return lista;
}

QString nombrePredefinida(Predefinida p)
{
    return QString::fromLatin1(preset(p).nombre);
}

Maquina predefinida(Predefinida p)
{
    const Preset &d = preset(p);
    Maquina m;
    m.nombre = QString::fromLatin1(d.nombre);
    m.velocidad = d.velocidad;
    m.paridad = QLatin1String(d.paridad);
    m.bitsDatos = d.bitsDatos;
    m.bitsStop = d.bitsStop;
    m.formato.nulosInicio = d.nulosInicio;
    return m;
}

} // namespace Maquinas
