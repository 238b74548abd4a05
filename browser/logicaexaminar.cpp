#include "browser/logicaexaminar.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <algorithm>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace LogicaExaminar {

namespace {

// Spaces only, as program numbers have always been trimmed.
QByteArray sinEspacios(const QByteArray &texto)
{
    qsizetype inicio = 0;
    qsizetype fin = texto.size();
    while (inicio < fin && texto.at(inicio) == ' ')
        ++inicio;
    while (fin > inicio && texto.at(fin - 1) == ' ')
        --fin;
    return texto.mid(inicio, fin - inicio);
}

bool antes(const QString &a, const QString &b)
{
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

void ordena(QStringList &nombres)
{
    std::sort(nombres.begin(), nombres.end(), antes);
}

// The entries of a directory by their own bytes: QDir leaves out the names
// that are not valid UTF-8, and a file the operator cannot see is lost to him.
// Hidden entries stay out, as QDir leaves them; links count as what they reach.
QList<Entrada> listaEntradas(const QString &directorio, bool directorios)
{
    QList<Entrada> lista;
    DIR *d = ::opendir(QFile::encodeName(directorio).constData());
    if (!d)
        return lista;
    while (const dirent *e = ::readdir(d)) {
        const QByteArray nativo(e->d_name);
        if (nativo.startsWith('.'))
            continue;
        struct stat st;
        if (::fstatat(::dirfd(d), e->d_name, &st, 0) != 0)
            continue;
        if (directorios ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode))
            continue;
        const QString nombre = QFile::decodeName(nativo);
        lista.append(
            {QFile::encodeName(nombre) == nativo ? nombre : QString::fromLatin1(nativo), nativo});
    }
    ::closedir(d);
    std::sort(lista.begin(), lista.end(),
        [](const Entrada &a, const Entrada &b) { return antes(a.nombre, b.nombre); });
    return lista;
}

QTemporaryDir &carpetaEnlaces()
{
    static QTemporaryDir carpeta(QDir::tempPath() + QStringLiteral("/keldan-XXXXXX"));
    return carpeta;
}

// Names of a directory matching one ignoring case; the exact one first.
QString buscaSinCaso(const QString &directorio, const QString &nombre)
{
    QStringList entradas
        = QDir(directorio)
              .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    ordena(entradas);
    for (const QString &e : std::as_const(entradas)) {
        if (e.compare(nombre, Qt::CaseInsensitive) == 0)
            return e;
    }
    return {};
}

} // namespace

QString PropuestaNombre(
    const QByteArray &primera, const QByteArray &segunda, const QByteArray &tercera)
{
    for (const QByteArray *linea : {&primera, &segunda, &tercera}) {
        const QByteArray &s = *linea;
        const bool numero = s.size() > 1 && s.at(1) >= '0' && s.at(1) <= '9';
        if (!numero)
            continue;
        const qsizetype p = s.indexOf('(');
        QByteArray nombre;
        if (s.at(0) == 'O' || s.at(0) == 'o')
            nombre = sinEspacios(p >= 0 ? s.left(p) : s);
        else if (s.at(0) == ':')
            nombre = p >= 0 ? sinEspacios(s.left(p)).mid(1) : s.mid(1);
        else
            continue;
        return QString::fromLatin1(nombre) + QStringLiteral(".txt");
    }
    return {};
}

bool CoincidePatron(const QString &nombre, const QString &patron)
{
    if (patron == QLatin1String("*.*") || patron == QLatin1String("*"))
        return true;
    const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(patron),
        QRegularExpression::CaseInsensitiveOption);
    return re.match(nombre).hasMatch();
}

QList<Entrada> Ficheros(const QString &directorio, const QString &patron)
{
    QList<Entrada> nombres = listaEntradas(directorio, false);
    if (patron == QLatin1String("*.*") || patron == QLatin1String("*"))
        return nombres;
    const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(patron),
        QRegularExpression::CaseInsensitiveOption);
    nombres.removeIf([&re](const Entrada &e) { return !re.match(e.nombre).hasMatch(); });
    return nombres;
}

QList<Entrada> Subdirectorios(const QString &directorio)
{
    return listaEntradas(directorio, true);
}

bool NombreFiel(const Entrada &entrada)
{
    return QFile::encodeName(entrada.nombre) == entrada.nativo;
}

QString RutaEntrada(const QString &directorio, const Entrada &entrada)
{
    if (NombreFiel(entrada))
        return ConBarra(directorio) + entrada.nombre;
    // One subfolder per link, so that two names shown alike do not meet.
    QTemporaryDir &carpeta = carpetaEnlaces();
    static int cuenta = 0;
    const QString sub = carpeta.filePath(QString::number(++cuenta));
    const QString enlace = sub + QLatin1Char('/') + entrada.nombre;
    const QByteArray destino = QFile::encodeName(ConBarra(directorio)) + entrada.nativo;
    if (!carpeta.isValid() || !QDir().mkdir(sub)
        || ::symlink(destino.constData(), QFile::encodeName(enlace).constData()) != 0)
        return {};
    return enlace;
}

bool EsEnlacePropio(const QString &ruta)
{
    const QTemporaryDir &carpeta = carpetaEnlaces();
    return carpeta.isValid() && ruta.startsWith(ConBarra(carpeta.path()));
}

QString ResuelveNombre(const QString &directorio, const QString &nombre)
{
    if (nombre.isEmpty() || QFileInfo::exists(ConBarra(directorio) + nombre))
        return nombre;
    const QString encontrado = buscaSinCaso(directorio, nombre);
    return encontrado.isEmpty() ? nombre : encontrado;
}

QString ResuelveRuta(const QString &ruta)
{
    const QString limpia = QDir::cleanPath(QDir::fromNativeSeparators(ruta));
    if (!limpia.startsWith(QLatin1Char('/')) || QFileInfo::exists(limpia))
        return limpia;
    const QStringList partes = limpia.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString actual = kRaiz;
    for (qsizetype i = 0; i < partes.size(); ++i) {
        const QString resuelto = ResuelveNombre(actual, partes.at(i));
        const QString siguiente = ConBarra(actual) + resuelto;
        if (!QFileInfo::exists(siguiente)) {
            // Nothing by that name: the rest stays as written.
            return ConBarra(actual) + partes.mid(i).join(QLatin1Char('/'));
        }
        actual = siguiente;
    }
    return actual;
}

QString ConBarra(const QString &ruta)
{
    if (ruta.endsWith(QLatin1Char('/')))
        return ruta;
    return ruta + QLatin1Char('/');
}

QStringList Unidades()
{
    QStringList raices;
    for (const QStorageInfo &v : QStorageInfo::mountedVolumes()) {
        if (v.isValid() && v.isReady() && !raices.contains(v.rootPath()))
            raices.append(v.rootPath());
    }
    raices.removeAll(kRaiz);
    ordena(raices);
    raices.prepend(kRaiz);
    return raices;
}

QString UnidadDe(const QString &ruta)
{
    QString actual = QDir::cleanPath(QDir::fromNativeSeparators(ruta));
    while (!actual.isEmpty() && !QFileInfo::exists(actual)) {
        const qsizetype barra = actual.lastIndexOf(QLatin1Char('/'));
        if (barra <= 0)
            return kRaiz;
        actual.truncate(barra);
    }
    const QStorageInfo volumen(actual.isEmpty() ? kRaiz : actual);
    return volumen.isValid() ? volumen.rootPath() : kRaiz;
}

Fallo CompruebaUnidad(const QString &raiz)
{
    const QStorageInfo volumen(raiz);
    if (!QFileInfo::exists(raiz) || !volumen.isValid() || !volumen.isReady())
        return Fallo::DispositivoNoDisponible;
    return CompruebaDirectorio(raiz) == Fallo::Ninguno ? Fallo::Ninguno : Fallo::Otro;
}

Fallo CompruebaDirectorio(const QString &ruta)
{
    if (ruta.isEmpty())
        return Fallo::RutaNoEncontrada;
    const QFileInfo info(ruta);
    if (!info.exists() || !info.isDir())
        return Fallo::RutaNoEncontrada;
    if (!info.isReadable() || !info.isExecutable())
        return Fallo::Otro;
    return Fallo::Ninguno;
}

} // namespace LogicaExaminar
