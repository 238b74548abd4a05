#include "base/perfilini.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

const QByteArray kBomUtf8("\xEF\xBB\xBF");

// The text of one line: UTF-8 when its bytes are valid UTF-8, Latin-1
// otherwise. Deciding line by line keeps one stray Latin-1 byte (a value
// pasted from an old file) from turning every accent of a UTF-8 file into
// two Latin-1 characters. utf8 tells which, for lines with accents only.
QString decodificaLinea(const QByteArray &bytes, int *utf8 = nullptr, int *latin1 = nullptr)
{
    bool ascii = true;
    for (char c : bytes) {
        if (uchar(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return QString::fromLatin1(bytes);
    QStringDecoder decodificador(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString texto = decodificador(bytes);
    if (!decodificador.hasError()) {
        if (utf8)
            ++*utf8;
        return texto;
    }
    if (latin1)
        ++*latin1;
    return QString::fromLatin1(bytes);
}

struct Fichero
{
    bool existe = false;
    QByteArray bom; // a leading UTF-8 mark, written back as it was
    bool utf8 = true; // encoding of the lines a write adds or changes
    QByteArray finLinea = "\n"; // for lines the writes add
    QStringList lineas;
    // Each line's bytes as read (without its end), null once a write has
    // changed the line: only changed lines are encoded again, the others go
    // back byte for byte whatever their encoding.
    QList<QByteArray> crudas;
    // Each line's own end ("\r\n", "\n", a lone "\r" at the very end, or none
    // for a last line without one).
    QList<QByteArray> fines;

    void cambia(qsizetype i, const QString &linea)
    {
        lineas[i] = linea;
        crudas[i] = QByteArray();
    }
};

// Inserts a line at pos with the file's line end; a last line whose end was
// cut short (none, or a lone CR) gets a whole one first.
void inserta(Fichero &f, qsizetype pos, const QString &linea)
{
    if (pos == f.lineas.size() && !f.fines.isEmpty()) {
        QByteArray &fin = f.fines.last();
        if (fin.isEmpty())
            fin = f.finLinea;
        else if (!fin.endsWith('\n'))
            fin += '\n';
    }
    f.lineas.insert(pos, linea);
    f.crudas.insert(pos, QByteArray());
    f.fines.insert(pos, f.finLinea);
}

// Splits bytes into lines and their ends; a leading UTF-8 mark is cut off.
void separa(QByteArray datos, QByteArray *bom, QList<QByteArray> &crudas, QList<QByteArray> &fines)
{
    if (datos.startsWith(kBomUtf8)) {
        *bom = kBomUtf8;
        datos.remove(0, kBomUtf8.size());
    }
    qsizetype inicio = 0;
    while (inicio < datos.size()) {
        const qsizetype salto = datos.indexOf('\n', inicio);
        QByteArray linea = datos.mid(inicio, salto < 0 ? -1 : salto - inicio);
        QByteArray fin = salto < 0 ? QByteArray("") : QByteArray("\n");
        if (linea.endsWith('\r')) {
            linea.chop(1);
            fin.prepend('\r');
        }
        crudas.append(linea.isNull() ? QByteArray("") : linea);
        fines.append(fin);
        if (salto < 0)
            break;
        inicio = salto + 1;
    }
}

Fichero carga(const QString &ruta)
{
    Fichero f;
    QFile archivo(ruta);
    if (!archivo.open(QIODevice::ReadOnly))
        return f;
    f.existe = true;
    const QByteArray datos = archivo.readAll();
    const qsizetype lf = datos.indexOf('\n');
    if (lf > 0 && datos.at(lf - 1) == '\r')
        f.finLinea = "\r\n";

    separa(datos, &f.bom, f.crudas, f.fines);
    int utf8 = 0, latin1 = 0;
    for (const QByteArray &cruda : std::as_const(f.crudas))
        f.lineas.append(decodificaLinea(cruda, &utf8, &latin1));
    // New text follows what most accented lines are: a Latin-1 file stays
    // Latin-1, a UTF-8 file with a stray Latin-1 byte stays UTF-8.
    f.utf8 = !f.bom.isEmpty() || latin1 <= utf8;
    return f;
}

// The bytes of a changed line: in the file's encoding when they read back as
// the same text, else in UTF-8, which always does (a character Latin-1 has
// not, or Latin-1 bytes that would spell other UTF-8 characters).
QByteArray codificaLinea(const QString &linea, bool utf8)
{
    if (!utf8) {
        bool cabe = true;
        for (QChar c : linea) {
            if (c.unicode() > 0xFF) {
                cabe = false;
                break;
            }
        }
        if (cabe) {
            const QByteArray latin1 = linea.toLatin1();
            if (decodificaLinea(latin1) == linea)
                return latin1;
        }
    }
    return linea.toUtf8();
}

// The name of a section header line, or a null string for any other line.
QString nombreSeccion(const QString &linea)
{
    const QString t = linea.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return {};
    const qsizetype cierre = t.indexOf(QLatin1Char(']'));
    if (cierre < 0)
        return {};
    QString nombre = t.mid(1, cierre - 1).trimmed();
    if (nombre.isNull())
        nombre = QLatin1String("");
    return nombre;
}

bool esComentario(const QString &t)
{
    return t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#'));
}

// Splits an entry line into key and value; false for lines that are not entries.
bool entrada(const QString &linea, QString *clave, QString *valor)
{
    const QString t = linea.trimmed();
    if (t.isEmpty() || esComentario(t) || t.startsWith(QLatin1Char('[')))
        return false;
    const qsizetype igual = t.indexOf(QLatin1Char('='));
    if (igual <= 0)
        return false;
    *clave = t.left(igual).trimmed();
    if (clave->isEmpty())
        return false;
    if (valor)
        *valor = t.mid(igual + 1).trimmed();
    return true;
}

bool igualNombre(const QString &a, const QString &b)
{
    return QString::compare(a.trimmed(), b.trimmed(), Qt::CaseInsensitive) == 0;
}

// Index of the first header of the section, or -1.
qsizetype buscaSeccion(const Fichero &f, const QString &seccion, qsizetype desde = 0)
{
    for (qsizetype i = desde; i < f.lineas.size(); ++i) {
        const QString nombre = nombreSeccion(f.lineas.at(i));
        if (!nombre.isNull() && igualNombre(nombre, seccion))
            return i;
    }
    return -1;
}

// One past the last line that belongs to the section whose header is at cabecera.
qsizetype finSeccion(const Fichero &f, qsizetype cabecera)
{
    qsizetype i = cabecera + 1;
    while (i < f.lineas.size() && nombreSeccion(f.lineas.at(i)).isNull())
        ++i;
    return i;
}

bool guarda(const QString &ruta, const Fichero &f, QString *error)
{
    const QFileInfo info(ruta);
    if (info.exists() && !info.isWritable()) {
        if (error)
            *error = QStringLiteral("Permission denied");
        return false;
    }
    QByteArray datos = f.bom;
    for (qsizetype i = 0; i < f.lineas.size(); ++i) {
        const QByteArray &cruda = f.crudas.at(i);
        datos += cruda.isNull() ? codificaLinea(f.lineas.at(i), f.utf8) : cruda;
        datos += f.fines.at(i);
    }

    QSaveFile archivo(ruta);
    // The file is replaced whole where its folder lets a temporary file be
    // made beside it; a writable file in a folder the user cannot write is
    // written in place rather than not at all.
    archivo.setDirectWriteFallback(true);
    if (!archivo.open(QIODevice::WriteOnly)) {
        if (error)
            *error = archivo.errorString();
        return false;
    }
    if (archivo.write(datos) != datos.size()) {
        if (error)
            *error = archivo.errorString();
        archivo.cancelWriting();
        return false;
    }
    if (!archivo.commit()) {
        if (error)
            *error = archivo.errorString();
        return false;
    }
    return true;
}

} // namespace

namespace PerfilIni {

QString decodifica(const QByteArray &datos)
{
    QByteArray bom;
    QList<QByteArray> crudas, fines;
    separa(datos, &bom, crudas, fines);
    QString texto;
    for (qsizetype i = 0; i < crudas.size(); ++i)
        texto += decodificaLinea(crudas.at(i)) + QString::fromLatin1(fines.at(i));
    return texto;
}

QString lee(
    const QString &ruta, const QString &seccion, const QString &clave, const QString &porDefecto)
{
    const Fichero f = carga(ruta);
    const qsizetype cabecera = buscaSeccion(f, seccion);
    if (cabecera < 0)
        return porDefecto;
    const qsizetype fin = finSeccion(f, cabecera);
    QString k, v;
    for (qsizetype i = cabecera + 1; i < fin; ++i) {
        if (entrada(f.lineas.at(i), &k, &v) && igualNombre(k, clave))
            return v;
    }
    return porDefecto;
}

QStringList claves(const QString &ruta, const QString &seccion)
{
    QStringList resultado;
    const Fichero f = carga(ruta);
    const qsizetype cabecera = buscaSeccion(f, seccion);
    if (cabecera < 0)
        return resultado;
    const qsizetype fin = finSeccion(f, cabecera);
    QString k;
    for (qsizetype i = cabecera + 1; i < fin; ++i) {
        if (entrada(f.lineas.at(i), &k, nullptr))
            resultado.append(k);
    }
    return resultado;
}

bool existeSeccion(const QString &ruta, const QString &seccion)
{
    return buscaSeccion(carga(ruta), seccion) >= 0;
}

bool escribe(const QString &ruta, const QString &seccion, const QString &clave,
    const QString &valor, QString *error)
{
    if (valor.contains(QLatin1Char('\n')) || valor.contains(QLatin1Char('\r'))) {
        if (error)
            *error = QStringLiteral("A value cannot hold a line break");
        return false;
    }
    Fichero f = carga(ruta);
    const QString nueva = clave.trimmed() + QLatin1Char('=') + valor;
    const qsizetype cabecera = buscaSeccion(f, seccion);
    if (cabecera < 0) {
        inserta(f, f.lineas.size(), QLatin1Char('[') + seccion.trimmed() + QLatin1Char(']'));
        inserta(f, f.lineas.size(), nueva);
        return guarda(ruta, f, error);
    }
    const qsizetype fin = finSeccion(f, cabecera);
    qsizetype ultimaNoVacia = cabecera;
    QString k;
    for (qsizetype i = cabecera + 1; i < fin; ++i) {
        const QString &linea = f.lineas.at(i);
        if (entrada(linea, &k, nullptr) && igualNombre(k, clave)) {
            f.cambia(i, k + QLatin1Char('=') + valor);
            return guarda(ruta, f, error);
        }
        if (!linea.trimmed().isEmpty())
            ultimaNoVacia = i;
    }
    inserta(f, ultimaNoVacia + 1, nueva);
    return guarda(ruta, f, error);
}

bool borraSeccion(const QString &ruta, const QString &seccion, QString *error)
{
    Fichero f = carga(ruta);
    bool cambiado = false;
    for (qsizetype cabecera = buscaSeccion(f, seccion); cabecera >= 0;
         cabecera = buscaSeccion(f, seccion, cabecera)) {
        const qsizetype cuantas = finSeccion(f, cabecera) - cabecera;
        f.lineas.remove(cabecera, cuantas);
        f.crudas.remove(cabecera, cuantas);
        f.fines.remove(cabecera, cuantas);
        cambiado = true;
    }
    if (!cambiado)
        return true;
    return guarda(ruta, f, error);
}

} // namespace PerfilIni
