#include "transfer/registro.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringList>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Estado = ResultadoTransferencia::Estado;

constexpr qsizetype kCampos = 12;

// Fixed words, not the operator's language: the file is read back by this
// program in any language, and by spreadsheets and scripts.
constexpr const char *kSentidos[] = {"send", "receive"};
constexpr const char *kResultados[] = {"complete", "stopped", "failed", "incomplete"};

// A text a spreadsheet would take for a formula ("=", "+", "-", "@" first)
// goes out behind an apostrophe, as spreadsheets themselves mark text.
bool pareceFormula(const QString &texto)
{
    return !texto.isEmpty() && QStringLiteral("=+-@").contains(texto.front());
}

// A tab or a line end inside a field would split the record.
QByteArray campo(const QString &texto)
{
    QString limpio = texto;
    for (QChar &c : limpio) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char(' ');
    }
    if (pareceFormula(limpio))
        limpio.prepend(QLatin1Char('\''));
    return limpio.toUtf8();
}

QString textoCampo(const QString &campo)
{
    return campo.startsWith(QLatin1Char('\'')) && pareceFormula(campo.mid(1)) ? campo.mid(1)
                                                                              : campo;
}

QString fecha(const QDateTime &instante)
{
    const int offset = instante.offsetFromUtc();
    const int minutos = qAbs(offset) / 60;
    return instante.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
        + QLatin1Char(offset < 0 ? '-' : '+')
        + QStringLiteral("%1:%2")
              .arg(minutos / 60, 2, 10, QLatin1Char('0'))
              .arg(minutos % 60, 2, 10, QLatin1Char('0'));
}

template<qsizetype N> int indice(const char *const (&palabras)[N], const QString &palabra)
{
    for (qsizetype i = 0; i < N; ++i) {
        if (palabra == QLatin1String(palabras[i]))
            return int(i);
    }
    return -1;
}

bool numero(const QString &texto, qint64 &valor)
{
    bool ok = false;
    valor = texto.toLongLong(&ok);
    return ok && valor >= 0 && !texto.startsWith(QLatin1Char('+'));
}

bool falla(QString *error, int codigo)
{
    if (error)
        *error = qt_error_string(codigo);
    return false;
}

} // namespace

const QByteArray RegistroTransferencias::kCabecera
    = "date\tdirection\tmachine\tport\tfile\tlines\tbytes\t"
      "duration_ms\tresult\treason\tpauses\tunreadable";

RegistroTransferencias::RegistroTransferencias(const QString &ruta, qint64 limite)
    : m_ruta(ruta), m_limite(limite)
{ }

QByteArray RegistroTransferencias::linea(const EntradaRegistro &e)
{
    const QList<QByteArray> campos = {fecha(e.inicio).toUtf8(), kSentidos[int(e.sentido)],
        campo(e.maquina), campo(e.puerto), campo(e.fichero),
        QByteArray::number(qMax<qint64>(e.lineas, 0)), QByteArray::number(qMax<qint64>(e.bytes, 0)),
        QByteArray::number(qMax<qint64>(e.duracionMs, 0)), kResultados[int(e.resultado)],
        campo(e.motivo), QByteArray::number(qMax<qint64>(e.pausas, 0)),
        QByteArray::number(qMax<qint64>(e.ilegibles, 0))};
    return campos.join('\t') + '\n';
}

std::optional<EntradaRegistro> RegistroTransferencias::interpreta(QByteArrayView linea)
{
    // Binary junk: no field holds a control character once written.
    for (char c : linea) {
        if ((quint8(c) < 0x20 && c != '\t') || c == 0x7F)
            return std::nullopt;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString texto = utf8(linea);
    if (utf8.hasError())
        return std::nullopt;
    const QStringList c = texto.split(QLatin1Char('\t'));
    if (c.size() != kCampos)
        return std::nullopt;

    EntradaRegistro e;
    e.inicio = QDateTime::fromString(c[0], Qt::ISODate);
    const int sentido = indice(kSentidos, c[1]);
    const int resultado = indice(kResultados, c[8]);
    if (!e.inicio.isValid() || sentido < 0 || resultado < 0 || !numero(c[5], e.lineas)
        || !numero(c[6], e.bytes) || !numero(c[7], e.duracionMs) || !numero(c[10], e.pausas)
        || !numero(c[11], e.ilegibles))
        return std::nullopt;
    e.sentido = EntradaRegistro::Sentido(sentido);
    e.resultado = Estado(resultado);
    e.maquina = textoCampo(c[2]);
    e.puerto = textoCampo(c[3]);
    e.fichero = textoCampo(c[4]);
    e.motivo = textoCampo(c[9]);
    return e;
}

bool RegistroTransferencias::anade(const EntradaRegistro &entrada, QString *error) const
{
    QByteArray datos = linea(entrada);
    const QByteArray ruta = QFile::encodeName(m_ruta);
    // Read as well: the last byte says whether the file ends its last line.
    constexpr int kModo = O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC;
    // What was sent to which machine and when is the user's own.
    constexpr mode_t kPermisos = 0600;
    int fd = ::open(ruta.constData(), kModo, kPermisos);
    if (fd < 0)
        return falla(error, errno);
    struct stat st
    {
    };
    if (::fstat(fd, &st) == 0 && st.st_size > 0 && st.st_size + datos.size() > m_limite) {
        // Another program may have moved it already: only the file still at
        // the path becomes the old generation. Should the rename fail, the
        // record still goes to the file as it is.
        struct stat actual
        {
        };
        if (::stat(ruta.constData(), &actual) == 0 && actual.st_ino == st.st_ino
            && actual.st_dev == st.st_dev)
            ::rename(ruta.constData(), QFile::encodeName(rutaAnterior()).constData());
        ::close(fd);
        fd = ::open(ruta.constData(), kModo, kPermisos);
        if (fd < 0 || ::fstat(fd, &st) != 0) {
            const int codigo = errno;
            if (fd >= 0)
                ::close(fd);
            return falla(error, codigo);
        }
    }
    char ultimo = '\n';
    if (st.st_size == 0)
        datos.prepend(kCabecera + '\n');
    else if (::pread(fd, &ultimo, 1, st.st_size - 1) == 1 && ultimo != '\n')
        // A last line cut short (a full disk, a hand edit) would swallow
        // this record: it starts on a line of its own.
        datos.prepend('\n');
    // One write of the whole record: appends of other programs land before
    // or after it, never inside.
    ssize_t n;
    do
        n = ::write(fd, datos.constData(), size_t(datos.size()));
    while (n < 0 && errno == EINTR);
    const int codigo = n < 0 ? errno : ENOSPC;
    ::close(fd);
    if (n != datos.size())
        return falla(error, codigo);
    return true;
}

void RegistroTransferencias::leeFichero(const QString &ruta, Lectura &lectura)
{
    QFile f(ruta);
    if (!f.exists())
        return;
    QByteArray datos;
    if (f.open(QIODevice::ReadOnly))
        datos = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        if (lectura.error.isEmpty())
            lectura.error = f.errorString();
        return;
    }
    const QList<QByteArray> lineas = datos.split('\n');
    for (qsizetype i = 0; i < lineas.size(); ++i) {
        QByteArrayView l = lineas[i];
        const bool ultima = i == lineas.size() - 1;
        if (l.endsWith('\r'))
            l.chop(1);
        // The header starts each generation, and again where two programs
        // both began a new file.
        if (l.isEmpty() || l == QByteArrayView(kCabecera))
            continue;
        // A last line without its end was cut short: its last number may be too.
        const std::optional<EntradaRegistro> e = ultima ? std::nullopt : interpreta(l);
        if (e)
            lectura.entradas.append(*e);
        else
            ++lectura.ilegibles;
    }
}

RegistroTransferencias::Lectura RegistroTransferencias::lee() const
{
    Lectura lectura;
    leeFichero(rutaAnterior(), lectura);
    leeFichero(m_ruta, lectura);
    return lectura;
}
