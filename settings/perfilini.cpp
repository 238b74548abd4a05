#include "settings/perfilini.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace {

const QByteArray kBomUtf8("\xEF\xBB\xBF");

struct Fichero
{
    bool existe = false;
    bool utf8 = true;
    bool bom = false;
    QString finLinea = QStringLiteral("\n"); // for lines the writes add
    QStringList lineas;
    // Each line's own end ("\r\n", "\n", a lone "\r" at the very end, or none
    // for a last line without one), so untouched lines are written back as
    // they were, byte for byte.
    QStringList fines;
};

// Inserts a line at pos with the file's line end; a last line whose end was
// cut short (none, or a lone CR) gets a whole one first.
void inserta(Fichero &f, qsizetype pos, const QString &linea)
{
    if (pos == f.lineas.size() && !f.fines.isEmpty()) {
        QString &fin = f.fines.last();
        if (fin.isEmpty())
            fin = f.finLinea;
        else if (!fin.endsWith(QLatin1Char('\n')))
            fin += QLatin1Char('\n');
    }
    f.lineas.insert(pos, linea);
    f.fines.insert(pos, f.finLinea);
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
        f.finLinea = QStringLiteral("\r\n");

    const QString texto = PerfilIni::decodifica(datos, &f.utf8, &f.bom);
    qsizetype inicio = 0;
    while (inicio < texto.size()) {
        const qsizetype salto = texto.indexOf(QLatin1Char('\n'), inicio);
        QString linea = texto.mid(inicio, salto < 0 ? -1 : salto - inicio);
        QString fin = salto < 0 ? QString() : QStringLiteral("\n");
        if (linea.endsWith(QLatin1Char('\r'))) {
            linea.chop(1);
            fin.prepend(QLatin1Char('\r'));
        }
        f.lineas.append(linea);
        f.fines.append(fin);
        if (salto < 0)
            break;
        inicio = salto + 1;
    }
    return f;
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

bool esUtf8ConAcentos(const QByteArray &datos)
{
    bool acentos = false;
    for (char c : datos) {
        if (uchar(c) >= 0x80) {
            acentos = true;
            break;
        }
    }
    if (!acentos)
        return false;
    QStringDecoder decodificador(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString texto = decodificador(datos);
    Q_UNUSED(texto);
    return !decodificador.hasError();
}

bool guarda(const QString &ruta, const Fichero &f, QString *error)
{
    const QFileInfo info(ruta);
    if (info.exists() && !info.isWritable()) {
        if (error)
            *error = QStringLiteral("Permission denied");
        return false;
    }
    bool utf8 = f.utf8 || !f.existe;
    if (!utf8) {
        // A value that Latin-1 cannot hold turns the whole file into UTF-8
        // rather than losing characters.
        for (const QString &l : f.lineas) {
            for (QChar c : l) {
                if (c.unicode() > 0xFF) {
                    utf8 = true;
                    break;
                }
            }
            if (utf8)
                break;
        }
    }
    QString texto;
    for (qsizetype i = 0; i < f.lineas.size(); ++i)
        texto += f.lineas.at(i) + f.fines.at(i);
    QByteArray cuerpo = utf8 ? texto.toUtf8() : texto.toLatin1();
    if (!utf8 && esUtf8ConAcentos(cuerpo)) {
        // Once the write has removed the last byte that was not UTF-8, the
        // Latin-1 text would read back as UTF-8 with other characters: write
        // it as UTF-8 so every value stays as it was.
        utf8 = true;
        cuerpo = texto.toUtf8();
    }
    QByteArray datos;
    if (f.bom && utf8)
        datos += kBomUtf8;
    datos += cuerpo;

    QSaveFile archivo(ruta);
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

QString decodifica(const QByteArray &datos, bool *utf8, bool *bom)
{
    QStringDecoder decodificador(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const bool marca = datos.startsWith(kBomUtf8);
    QString texto = decodificador(marca ? datos.mid(kBomUtf8.size()) : datos);
    const bool esUtf8 = !decodificador.hasError();
    if (!esUtf8) // not UTF-8: the first bytes are Latin-1 text like the rest
        texto = QString::fromLatin1(datos);
    if (utf8)
        *utf8 = esUtf8;
    if (bom)
        *bom = esUtf8 && marca;
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
            f.lineas[i] = k + QLatin1Char('=') + valor;
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
        f.fines.remove(cabecera, cuantas);
        cambiado = true;
    }
    if (!cambiado)
        return true;
    return guarda(ruta, f, error);
}

} // namespace PerfilIni
