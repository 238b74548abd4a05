#include "remote/almacenftp.h"

#include "remote/netrc.h"
#include "settings/varsfuncsglobales.h"

#include <QFile>
#include <QRegularExpression>
#include <QTimeZone>
#include <QUrl>

#include <curl/curl.h>

#include <algorithm>
#include <cstring>

using VarsFuncsGlobales::Texto;

namespace {

// The server's replies kept for a message: its last lines, bounded.
constexpr qsizetype kMaxRespuestas = 4096;

void iniciaCurl()
{
    // Once per process, before any thread makes a handle.
    static const bool hecho = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
    (void)hecho;
}

struct Listas
{
    curl_slist *antes = nullptr;
    curl_slist *despues = nullptr;
    ~Listas()
    {
        curl_slist_free_all(antes);
        curl_slist_free_all(despues);
    }
};

// A reply code that says the server does not have the command at all.
bool ordenDesconocida(long codigo)
{
    return codigo == 500 || codigo == 501 || codigo == 502 || codigo == 504;
}

QString corta(const QByteArray &linea)
{
    QString t = QString::fromUtf8(linea).trimmed();
    if (t.size() > 100)
        t = t.left(100) + QStringLiteral("…");
    return t;
}

} // namespace

struct AlmacenFtp::Peticion
{
    AlmacenFtp *almacen = nullptr;
    QByteArray url;
    bool sinCuerpo = false;
    const QByteArray *subida = nullptr;
    qint64 enviado = 0;
    QByteArray *destino = nullptr;
    qint64 limite = -1;
    bool excedido = false;
    const char *orden = nullptr;
    QList<QByteArray> despues;
    // Out: the server's replies, the last reply code.
    QByteArray respuestas;
    long codigo = 0;
    // Cleaning up after a failure runs even when the call was cancelled.
    bool ignoraCancelar = false;

    static size_t escribe(char *datos, size_t, size_t n, void *yo)
    {
        auto *p = static_cast<Peticion *>(yo);
        if (!p->destino)
            return n;
        if (p->limite >= 0 && p->destino->size() + qint64(n) > p->limite) {
            p->excedido = true;
            return 0; // aborts the transfer: nothing past the limit is kept
        }
        p->destino->append(datos, qsizetype(n));
        return n;
    }
    static size_t lee(char *datos, size_t tam, size_t n, void *yo)
    {
        auto *p = static_cast<Peticion *>(yo);
        const qint64 resto = p->subida->size() - p->enviado;
        const qint64 parte = std::min<qint64>(resto, qint64(tam * n));
        std::memcpy(datos, p->subida->constData() + p->enviado, size_t(parte));
        p->enviado += parte;
        return size_t(parte);
    }
    static size_t cabecera(char *datos, size_t, size_t n, void *yo)
    {
        auto *p = static_cast<Peticion *>(yo);
        p->respuestas.append(datos, qsizetype(std::min<size_t>(n, kMaxRespuestas)));
        if (p->respuestas.size() > kMaxRespuestas)
            p->respuestas = p->respuestas.right(kMaxRespuestas);
        return n;
    }
    static int avance(
        void *yo, curl_off_t totalBaja, curl_off_t baja, curl_off_t totalSube, curl_off_t sube)
    {
        auto *p = static_cast<Peticion *>(yo);
        if (p->almacen->m_cancelado && !p->ignoraCancelar)
            return 1;
        if (p->almacen->m_progreso) {
            if (p->subida)
                p->almacen->m_progreso(sube, totalSube);
            else if (p->destino)
                p->almacen->m_progreso(baja, totalBaja);
        }
        return 0;
    }

    // The server's last reply of failure (code 4xx or 5xx), else its last one.
    QString ultimaRespuesta() const
    {
        QByteArray ultima;
        for (const QByteArray &l : respuestas.split('\n')) {
            const QByteArray t = l.trimmed();
            if (t.size() >= 3 && (t[0] == '4' || t[0] == '5') && std::isdigit(uchar(t[1])))
                ultima = t;
        }
        return corta(ultima);
    }
};

AlmacenFtp::AlmacenFtp(const DireccionRemota &dir, const OpcionesRemotas &opciones)
    : m_dir(dir), m_opciones(opciones)
{
    iniciaCurl();
    m_curl = curl_easy_init();
}

AlmacenFtp::~AlmacenFtp()
{
    if (m_curl)
        curl_easy_cleanup(m_curl);
}

QByteArray AlmacenFtp::url(const QString &nombre) const
{
    QByteArray u = "ftp://";
    // The user goes in the URL: libcurl then takes its password from the
    // .netrc, which it does not for a user given apart.
    if (!m_dir.usuario.isEmpty())
        u += QUrl::toPercentEncoding(m_dir.usuario) + "@";
    u += m_dir.host.contains(QLatin1Char(':')) ? "[" + m_dir.host.toUtf8() + "]"
                                               : m_dir.host.toUtf8();
    u += ":" + QByteArray::number(m_dir.puerto) + "/";
    // The folder from the login folder; an empty first step is the server's root.
    QStringList pasos = m_dir.carpeta.mid(1).split(QLatin1Char('/'));
    pasos.removeLast(); // the folder ends with "/"
    for (qsizetype i = 0; i < pasos.size(); ++i) {
        if (i == 0 && pasos[i].isEmpty())
            u += "%2F";
        else
            u += QUrl::toPercentEncoding(pasos[i]) + "/";
    }
    return u + QUrl::toPercentEncoding(nombre);
}

bool AlmacenFtp::ejecuta(Peticion &p, QString *error)
{
    const auto falla = [error](const QString &texto) {
        if (error)
            *error = texto;
        return false;
    };
    if (!m_curl)
        return falla(Texto(QStringLiteral("RemotaMotivoSinCurl")));
    if (m_cancelado && !p.ignoraCancelar)
        return falla(Texto(QStringLiteral("RemotaMotivoDetenida")));
    const QString netrc = Netrc::ruta(m_opciones.netrc);
    QString motivo;
    if (!Netrc::comprueba(netrc, m_dir.host, m_dir.usuario, &motivo))
        return falla(motivo);

    CURL *c = m_curl;
    // Options from scratch for each request; the connection stays.
    curl_easy_reset(c);
    char errbuf[CURL_ERROR_SIZE] = {};
    p.almacen = this;
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errbuf);
    curl_easy_setopt(c, CURLOPT_URL, p.url.constData());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    const QByteArray rutaNetrc = QFile::encodeName(netrc);
    curl_easy_setopt(c, CURLOPT_NETRC, long(CURL_NETRC_REQUIRED));
    curl_easy_setopt(c, CURLOPT_NETRC_FILE, rutaNetrc.constData());
    const QByteArray ca = QFile::encodeName(m_opciones.ficheroCa);
    if (m_dir.tipo == DireccionRemota::Tipo::Ftps) {
        curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
        if (!ca.isEmpty())
            curl_easy_setopt(c, CURLOPT_CAINFO, ca.constData());
    }
    if (m_opciones.ftpActivo)
        curl_easy_setopt(c, CURLOPT_FTPPORT, "-");
    curl_easy_setopt(c, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_SINGLECWD));
    // Every wait is bounded: to connect and log in, for each reply, for the
    // server to connect back in active mode, and a transfer that stalls.
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, long(m_opciones.conexionS));
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, long(m_opciones.sinDatosS));
    curl_easy_setopt(c, CURLOPT_ACCEPTTIMEOUT_MS, long(m_opciones.conexionS) * 1000);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, long(m_opciones.sinDatosS));
    curl_easy_setopt(c, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &Peticion::avance);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &p);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Peticion::escribe);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &p);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &Peticion::cabecera);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &p);
    if (p.sinCuerpo)
        curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
    if (p.subida) {
        curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(c, CURLOPT_READFUNCTION, &Peticion::lee);
        curl_easy_setopt(c, CURLOPT_READDATA, &p);
        curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, curl_off_t(p.subida->size()));
    }
    if (p.orden)
        curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, p.orden);
    Listas listas;
    for (const QByteArray &o : p.despues)
        listas.despues = curl_slist_append(listas.despues, o.constData());
    if (listas.despues)
        curl_easy_setopt(c, CURLOPT_POSTQUOTE, listas.despues);

    const CURLcode r = curl_easy_perform(c);
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &p.codigo);
    if (r == CURLE_OK)
        return true;
    if (r == CURLE_ABORTED_BY_CALLBACK)
        return falla(Texto(QStringLiteral("RemotaMotivoDetenida")));
    if (p.excedido) {
        return falla(Texto(QStringLiteral("RemotaMotivoExcedido")).arg(p.limite));
    }
    QString texto = QString::fromUtf8(errbuf).trimmed();
    if (texto.isEmpty())
        texto = QString::fromUtf8(curl_easy_strerror(r));
    const QString servidor = p.ultimaRespuesta();
    if (!servidor.isEmpty() && !texto.contains(servidor))
        texto = Texto(QStringLiteral("RemotaMotivoServidor")).arg(texto, servidor);
    return falla(texto);
}

bool AlmacenFtp::conecta(QString *error)
{
    Peticion p;
    p.url = url();
    p.sinCuerpo = true;
    return ejecuta(p, error);
}

bool AlmacenFtp::listaCon(const char *orden, QByteArray *texto, QString *error, int *codigo)
{
    Peticion p;
    p.url = url();
    p.orden = orden;
    p.destino = texto;
    p.limite = kMaxListado;
    const bool ok = ejecuta(p, error);
    *codigo = int(p.codigo);
    return ok;
}

bool AlmacenFtp::lista(QList<Entrada> *entradas, QString *error)
{
    entradas->clear();
    QByteArray texto;
    int codigo = 0;
    if (!m_sinMlsd) {
        // MLSD gives sizes and dates in one form; older servers only LIST.
        if (listaCon("MLSD", &texto, error, &codigo))
            return interpretaMlsd(texto, entradas, error);
        if (!ordenDesconocida(codigo))
            return false;
        m_sinMlsd = true;
        texto.clear();
    }
    if (!listaCon(nullptr, &texto, error, &codigo))
        return false;
    return interpretaList(texto, entradas, error);
}

bool AlmacenFtp::existe(const QString &nombre, bool *hay, QString *error)
{
    QList<Entrada> entradas;
    if (!lista(&entradas, error))
        return false;
    // Letter case aside: a control on a case-blind file system would take
    // "o1234" for "O1234", and asking once too often loses nothing.
    *hay = std::any_of(entradas.cbegin(), entradas.cend(),
        [&](const Entrada &e) { return e.nombre.compare(nombre, Qt::CaseInsensitive) == 0; });
    return true;
}

bool AlmacenFtp::sube(const QString &nombre, const QByteArray &datos, QString *error)
{
    if (!nombreValido(nombre)) {
        if (error)
            *error = Texto(QStringLiteral("RemotaMotivoNombreControl")).arg(nombre);
        return false;
    }
    const QString temporal = nombreTemporal();
    const auto limpia = [&] {
        Peticion p;
        p.url = url();
        p.sinCuerpo = true;
        p.ignoraCancelar = true;
        p.despues = {"DELE " + temporal.toUtf8()};
        ejecuta(p, nullptr);
    };
    Peticion s;
    s.url = url(temporal);
    s.subida = &datos;
    if (!ejecuta(s, error)) {
        limpia();
        return false;
    }
    // What the server holds is checked before it takes the real name; a
    // server without SIZE leaves that to the check after the rename.
    Peticion t;
    t.url = url(temporal);
    t.sinCuerpo = true;
    QString motivo;
    if (ejecuta(t, &motivo)) {
        curl_off_t bytes = -1;
        curl_easy_getinfo(m_curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &bytes);
        if (bytes >= 0 && bytes != datos.size()) {
            limpia();
            if (error)
                *error = Texto(QStringLiteral("RemotaMotivoTamanoServidor"))
                             .arg(bytes)
                             .arg(datos.size());
            return false;
        }
    } else if (!ordenDesconocida(t.codigo)) {
        limpia();
        if (error)
            *error = motivo;
        return false;
    }
    Peticion r;
    r.url = url();
    r.sinCuerpo = true;
    r.despues = {"RNFR " + temporal.toUtf8(), "RNTO " + nombre.toUtf8()};
    if (ejecuta(r, error))
        return true;
    // Some servers rename onto no existing file. The old program then moves
    // aside first and comes back if the new one cannot take its name: at
    // every moment one of them is there. Only when RNFR was taken, so that
    // the refusal was the name's.
    const bool rnfrTomado = r.respuestas.startsWith("350") || r.respuestas.contains("\n350");
    const auto renombra = [&](const QString &de, const QString &a, QString *motivo) {
        Peticion q;
        q.url = url();
        q.sinCuerpo = true;
        q.ignoraCancelar = motivo == nullptr;
        q.despues = {"RNFR " + de.toUtf8(), "RNTO " + a.toUtf8()};
        return ejecuta(q, motivo);
    };
    const QString aparte = nombreTemporal();
    QString otro;
    if (!rnfrTomado || m_cancelado || !renombra(nombre, aparte, &otro)) {
        limpia();
        return false;
    }
    if (!renombra(temporal, nombre, &otro)) {
        renombra(aparte, nombre, nullptr);
        limpia();
        if (error)
            *error = otro;
        return false;
    }
    borra(aparte, nullptr);
    return true;
}

bool AlmacenFtp::baja(const QString &nombre, QByteArray *datos, QString *error, qint64 limite)
{
    datos->clear();
    Peticion p;
    p.url = url(nombre);
    p.destino = datos;
    p.limite = limite;
    if (ejecuta(p, error))
        return true;
    datos->clear();
    return false;
}

bool AlmacenFtp::tamano(const QString &nombre, qint64 *bytes, QString *error)
{
    Peticion p;
    p.url = url(nombre);
    p.sinCuerpo = true;
    if (!ejecuta(p, error))
        return false;
    curl_off_t b = -1;
    curl_easy_getinfo(m_curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &b);
    if (b < 0) {
        if (error)
            *error = Texto(QStringLiteral("RemotaMotivoSinTamano")).arg(nombre);
        return false;
    }
    *bytes = b;
    return true;
}

bool AlmacenFtp::borra(const QString &nombre, QString *error)
{
    Peticion p;
    p.url = url();
    p.sinCuerpo = true;
    p.despues = {"DELE " + nombre.toUtf8()};
    return ejecuta(p, error);
}

namespace {

bool falla(QString *error, const QString &texto)
{
    if (error)
        *error = texto;
    return false;
}

bool anade(QList<AlmacenRemoto::Entrada> *entradas, const AlmacenRemoto::Entrada &e, QString *error)
{
    if (!AlmacenRemoto::nombreValido(e.nombre) || AlmacenRemoto::esTemporal(e.nombre))
        return true;
    if (entradas->size() >= AlmacenRemoto::kMaxEntradas) {
        return falla(error,
            Texto(QStringLiteral("RemotaMotivoCarpetaLlena")).arg(AlmacenRemoto::kMaxEntradas));
    }
    entradas->append(e);
    return true;
}

QList<QByteArray> lineas(const QByteArray &texto)
{
    QList<QByteArray> l = texto.split('\n');
    for (QByteArray &x : l) {
        if (x.endsWith('\r'))
            x.chop(1);
    }
    while (!l.isEmpty() && l.last().isEmpty())
        l.removeLast();
    return l;
}

} // namespace

bool AlmacenFtp::interpretaMlsd(const QByteArray &texto, QList<Entrada> *entradas, QString *error)
{
    entradas->clear();
    for (const QByteArray &linea : lineas(texto)) {
        if (linea.size() > kMaxLineaListado)
            return falla(error, Texto(QStringLiteral("RemotaMotivoLineaLarga")));
        const qsizetype espacio = linea.indexOf(' ');
        if (espacio < 0)
            return falla(error, Texto(QStringLiteral("RemotaMotivoLineaRara")).arg(corta(linea)));
        Entrada e;
        e.nombre = QString::fromUtf8(linea.mid(espacio + 1));
        bool fichero = false;
        for (const QByteArray &hecho : linea.left(espacio).split(';')) {
            const qsizetype igual = hecho.indexOf('=');
            if (igual < 0)
                continue;
            const QByteArray clave = hecho.left(igual).toLower();
            const QByteArray valor = hecho.mid(igual + 1);
            if (clave == "type")
                fichero = valor.toLower() == "file";
            else if (clave == "size") {
                bool ok = false;
                e.tamano = valor.toLongLong(&ok);
                if (!ok || e.tamano < 0)
                    e.tamano = -1;
            } else if (clave == "modify") {
                QDateTime f = QDateTime::fromString(
                    QString::fromLatin1(valor.left(14)), QStringLiteral("yyyyMMddHHmmss"));
                f.setTimeZone(QTimeZone::utc());
                e.fecha = f;
            }
        }
        if (fichero && !anade(entradas, e, error))
            return false;
    }
    return true;
}

namespace {

int mes(const QByteArray &t)
{
    static const char *const kMeses[]
        = {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    for (int i = 0; i < 12; ++i) {
        if (t.toLower() == kMeses[i])
            return i + 1;
    }
    return 0;
}

struct Campo
{
    QByteArray texto;
    qsizetype fin = 0;
};

QList<Campo> campos(const QByteArray &linea, int maximo)
{
    QList<Campo> c;
    qsizetype i = 0;
    while (i < linea.size() && c.size() < maximo) {
        while (i < linea.size() && linea[i] == ' ')
            ++i;
        const qsizetype inicio = i;
        while (i < linea.size() && linea[i] != ' ')
            ++i;
        if (i > inicio)
            c.append({linea.mid(inicio, i - inicio), i});
    }
    return c;
}

// The name after a field: one blank separates it, more are part of it.
QString nombreTras(const QByteArray &linea, qsizetype fin)
{
    return QString::fromUtf8(fin + 1 <= linea.size() ? linea.mid(fin + 1) : QByteArray());
}

bool numero(const QByteArray &t, qint64 *n)
{
    bool ok = false;
    *n = t.toLongLong(&ok);
    return ok && *n >= 0 && !t.startsWith('+');
}

} // namespace

bool AlmacenFtp::interpretaList(
    const QByteArray &texto, QList<Entrada> *entradas, QString *error, const QDateTime &ahora)
{
    entradas->clear();
    for (const QByteArray &linea : lineas(texto)) {
        if (linea.size() > kMaxLineaListado)
            return falla(error, Texto(QStringLiteral("RemotaMotivoLineaLarga")));
        if (linea.startsWith("total ") || linea.trimmed().isEmpty())
            continue;
        const auto noEntendida = [&] {
            return falla(error, Texto(QStringLiteral("RemotaMotivoLineaRara")).arg(corta(linea)));
        };
        const QList<Campo> c = campos(linea, 9);
        // DOS style: 12-07-26  06:49PM  <DIR> or size  name
        static const QRegularExpression kFechaDos(QStringLiteral("^\\d+-\\d+-\\d+$"));
        if (c.size() >= 4 && kFechaDos.match(QString::fromLatin1(c[0].texto)).hasMatch()) {
            if (c[2].texto == "<DIR>")
                continue;
            Entrada e;
            qint64 n = 0;
            if (!numero(c[2].texto, &n))
                return noEntendida();
            e.tamano = n;
            const QString f = QString::fromLatin1(c[0].texto + ' ' + c[1].texto);
            for (const char *forma :
                {"MM-dd-yy hh:mmAP", "MM-dd-yyyy hh:mmAP", "MM-dd-yy HH:mm", "MM-dd-yyyy HH:mm"}) {
                QDateTime d = QDateTime::fromString(f, QLatin1String(forma));
                if (d.isValid()) {
                    if (d.date().year() < 1970)
                        d = d.addYears(100);
                    d.setTimeZone(QTimeZone::utc());
                    e.fecha = d;
                    break;
                }
            }
            e.nombre = nombreTras(linea, c[2].fin);
            if (!anade(entradas, e, error))
                return false;
            continue;
        }
        // Unix style: the month, day and time or year follow the size,
        // whether a group is shown or not.
        if (c.isEmpty() || c[0].texto.size() < 10)
            return noEntendida();
        const char tipo = c[0].texto[0];
        qsizetype m = -1;
        for (qsizetype i = 3; i + 2 < c.size(); ++i) {
            qint64 n = 0;
            if (mes(c[i].texto) && numero(c[i - 1].texto, &n)) {
                m = i;
                break;
            }
        }
        if (m < 0)
            return noEntendida();
        if (tipo != '-')
            continue; // folders, links, devices
        Entrada e;
        numero(c[m - 1].texto, &e.tamano);
        const int dia = c[m + 1].texto.toInt();
        const QByteArray &hy = c[m + 2].texto;
        QDate fecha;
        QTime hora(0, 0);
        if (hy.contains(':')) {
            hora = QTime::fromString(QString::fromLatin1(hy), QStringLiteral("H:mm"));
            // Without a year: the last such date not after tomorrow.
            fecha = QDate(ahora.date().year(), mes(c[m].texto), dia);
            if (fecha.isValid() && fecha > ahora.date().addDays(1))
                fecha = fecha.addYears(-1);
        } else
            fecha = QDate(hy.toInt(), mes(c[m].texto), dia);
        if (fecha.isValid() && hora.isValid())
            e.fecha = QDateTime(fecha, hora, QTimeZone::utc());
        e.nombre = nombreTras(linea, c[m + 2].fin);
        if (!anade(entradas, e, error))
            return false;
    }
    return true;
}
