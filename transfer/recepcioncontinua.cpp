#include "transfer/recepcioncontinua.h"

#include "base/razonsistema.h"
#include "browser/logicaexaminar.h"
#include "line/caracterescontrol.h"
#include "line/decodificadorrecepcion.h"
#include "line/direccionred.h"
#include "port/mscomm.h"
#include "settings/varsfuncsglobales.h"
#include "text/ficheroprograma.h"

#include <QDir>
#include <QFile>
#include <QMetaMethod>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

using VarsFuncsGlobales::Texto;

namespace {

using Estado = ResultadoTransferencia::Estado;

// Names tried with a counter before giving up on a folder.
constexpr int kContadorMax = 9999;
// Proposed names longer than this give way to a dated one (room for the
// counter and the incomplete mark within the file system's 255 bytes).
constexpr qsizetype kNombreMax = 100;
// A device server that turns a connection away says so in a line or two
// ("Port already in use") before it hangs up; more is the CNC's data.
constexpr qint64 kRespuestaMax = 256;

// Bytes that may trail a program's end mark before the next program: line
// ends, tape feed, rub-out, flow control and a DC4 after an ISO "%".
bool esCola(quint8 b, bool iso)
{
    switch (b) {
    case 0x00:
    case 0x0A:
    case 0x0D:
    case 0x11:
    case 0x13:
    case 0x14:
        return true;
    case 0x8D:
    case 0x91:
    case 0x93:
    case 0xFF:
        return iso;
    default:
        return false;
    }
}

// The lines of a kept text (each followed by LF).
QList<QByteArray> lineasDe(QByteArrayView texto)
{
    QList<QByteArray> lineas;
    for (qsizetype desde = 0; desde < texto.size();) {
        const qsizetype lf = texto.indexOf('\n', desde);
        lineas.append(texto.sliced(desde, lf - desde).toByteArray());
        desde = lf + 1;
    }
    return lineas;
}

} // namespace

RecepcionContinua::RecepcionContinua(MSComm &puerto, QObject *parent)
    : RecepcionPuerto(puerto, parent)
{
    // The CNC has said all it will about this program: it is whole.
    connect(m_silencio, &QTimer::timeout, this, [this] {
        if (!activo())
            return;
        if (m_saltando)
            terminaSalto();
        else if (!cierraPrograma(Estado::Completa))
            termina(Estado::Detenida);
    });
}

QString RecepcionContinua::nombrePrograma(QByteArrayView texto)
{
    QByteArray primeras[3];
    qsizetype desde = 0;
    for (QByteArray &linea : primeras) {
        const qsizetype lf = texto.indexOf('\n', desde);
        if (lf < 0)
            break;
        linea = texto.sliced(desde, lf - desde).toByteArray();
        desde = lf + 1;
    }
    // Upper case, as the save dialog gives it.
    QString nombre
        = LogicaExaminar::PropuestaNombre(primeras[0], primeras[1], primeras[2]).toUpper();
    // The name comes from the CNC's text: a plain file name that any file
    // system takes, never a path, never longer than names may be.
    for (QChar &c : nombre) {
        const char16_t u = c.unicode();
        if (!((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '-'
                || u == '_' || u == '.'))
            c = QLatin1Char('_');
    }
    if (nombre.startsWith(QLatin1Char('.')) || nombre.size() > kNombreMax)
        return {};
    return nombre;
}

QString RecepcionContinua::guarda(const QString &carpeta, QByteArrayView texto, bool incompleto,
    QString *error, const QDateTime &ahora)
{
    if (!QDir::isAbsolutePath(carpeta)) {
        // A relative folder would land wherever the program was started.
        if (error)
            *error = RazonSistema(ENOENT);
        return {};
    }
    QString nombre = nombrePrograma(texto);
    if (nombre.isEmpty())
        nombre = QStringLiteral("PROG-") + ahora.toString(QStringLiteral("yyyyMMdd-HHmmss"))
            + QStringLiteral(".TXT");
    const qsizetype punto = nombre.lastIndexOf(QLatin1Char('.'));
    const QString base
        = nombre.left(punto) + (incompleto ? QStringLiteral("-INCOMPLETO") : QString());
    const QString extension = nombre.mid(punto);
    const QString dir = QDir(carpeta).absolutePath() + QLatin1Char('/');
    // The name is taken exclusively first: even a file that appears meanwhile
    // is never written over. The writer then replaces only this empty file.
    for (int n = 1; n <= kContadorMax; ++n) {
        const QString ruta
            = dir + base + (n == 1 ? QString() : QLatin1Char('-') + QString::number(n)) + extension;
        const int fd = ::open(
            QFile::encodeName(ruta).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0) {
            if (error)
                *error = RazonSistema(errno);
            return {};
        }
        ::close(fd);
        if (FicheroPrograma::escribeTexto(ruta, texto, error))
            return ruta;
        QFile::remove(ruta);
        return {};
    }
    if (error)
        *error = RazonSistema(EEXIST);
    return {};
}

void RecepcionContinua::nuevoDecodificador()
{
    delete m_decodificador;
    m_decodificador = new DecodificadorRecepcion(m_iso, m_formato, this);
    connect(m_decodificador, &DecodificadorRecepcion::lineasRecibidas, this,
        &RecepcionContinua::alDecodificar);
}

bool RecepcionContinua::inicia(const QString &carpeta, bool iso, const FormatoLinea &formato)
{
    if (activo())
        return false;
    m_carpeta = carpeta;
    m_iso = iso;
    m_formato = formato;
    m_entreProgramas = m_saltando = false;
    m_falloGuardado.clear();
    m_resto.clear();
    m_sinGuardar.clear();
    m_texto.clear();
    m_lineas = m_bytes = 0;
    m_empezado = m_anunciado = false;
    nuevoDecodificador();
    // A device server that turns the connection away answers with text
    // before any program can come: only on a link made now, and only where
    // programs come framed, so that text before DC2 tells it apart.
    const bool yaAbierto = m_puerto.PortOpen();
    m_quizaRespuesta = !yaAbierto && formato.marco && DireccionRed::esDeRed(m_puerto.Dispositivo());
    if (!abre(iso, formato.silencioS))
        return false;
    // On a port a send has left open, what the CNC sent meanwhile waits.
    if (m_puerto.InBufferCount() > 0)
        QMetaObject::invokeMethod(this, &RecepcionContinua::alLlegar, Qt::QueuedConnection);
    return true;
}

void RecepcionContinua::alLlegar()
{
    if (!activo())
        return;
    const QByteArray datos = m_puerto.Input();
    if (datos.isEmpty())
        return;
    if (!procesa(datos, true)) {
        termina(Estado::Detenida);
        return;
    }
    if (m_silencio->interval() > 0)
        m_silencio->start();
}

bool RecepcionContinua::procesa(QByteArrayView datos, bool parar)
{
    using namespace CaracteresControl;
    const qint64 limite = m_formato.maxProgramaBytes();
    qsizetype i = 0;
    // A program that could not be saved: the rest waits, unread, for the mode's end.
    const auto falla = [&] {
        if (parar)
            m_resto = datos.sliced(i).toByteArray();
        return !parar;
    };
    while (i < datos.size()) {
        if (m_entreProgramas) {
            if (esCola(quint8(datos[i]), m_iso)) {
                ++m_bytes, ++i;
                continue;
            }
            m_entreProgramas = false;
        }
        if (m_saltando) {
            i += salta(datos.sliced(i));
            continue;
        }
        if (m_bytes >= limite) {
            // Past the limit: what came is saved apart, the rest dropped up to its end.
            const QString motivo = Texto(QStringLiteral("ContinuaProgramaLargo"))
                                       .arg(QString::number(m_formato.maxProgramaMiB));
            if (!cierraPrograma(Estado::Fallida, motivo, true) && !falla())
                return false;
            continue;
        }
        qsizetype n = qMin<qint64>(datos.size() - i, limite - m_bytes);
        // With the frame a program starts at DC2: text before it that had no
        // start of its own is a piece apart, or a server's greeting.
        if (m_formato.marco && !m_decodificador->conInicio()) {
            const qsizetype dc2 = datos.sliced(i, n).indexOf(kDc2);
            if (dc2 == 0 && m_decodificador->hayTexto()) {
                if (m_quizaRespuesta)
                    emit respuestaServidor(tomaRespuesta());
                else if (!cierraPrograma(Estado::Completa) && !falla())
                    return false;
                m_entreProgramas = false;
                continue;
            }
            if (dc2 > 0)
                n = dc2;
        }
        const qsizetype tomados = m_decodificador->feedHastaFin(datos.sliced(i, n));
        m_bytes += tomados;
        i += tomados;
        if (m_quizaRespuesta && (m_bytes > kRespuestaMax || m_decodificador->conInicio()))
            sueltaRespuesta();
        if (m_decodificador->terminado() && !cierraPrograma(Estado::Completa) && !falla())
            return false;
    }
    return true;
}

qsizetype RecepcionContinua::salta(QByteArrayView datos)
{
    using namespace CaracteresControl;
    for (qsizetype i = 0; i < datos.size(); ++i) {
        const char c = datos[i];
        const bool inicioLinea = std::exchange(m_saltoInicioLinea, c == kLf || c == kCr);
        if (c == kDc2) {
            // The next program starts.
            m_descartados += i;
            terminaSalto();
            return i;
        }
        if (c == kDc4 || quint8(c) == kPorCientoIso
            || (!m_iso && !m_formato.marco && c == kPorCiento && inicioLinea)) {
            m_descartados += i + 1;
            terminaSalto();
            return i + 1;
        }
    }
    m_descartados += datos.size();
    return datos.size();
}

void RecepcionContinua::terminaSalto()
{
    m_saltando = false;
    m_entreProgramas = true;
    ResultadoTransferencia r = m_resultadoSalto;
    r.error += QLatin1Char(' ')
        + Texto(QStringLiteral("ContinuaDescartados")).arg(QString::number(m_descartados));
    emit guardado(m_rutaSalto, m_lineasSalto, m_bytesSalto + m_descartados, r);
}

void RecepcionContinua::alDecodificar(const QList<QByteArray> &lineas)
{
    for (const QByteArray &l : lineas)
        m_texto.append(l).append('\n');
    m_lineas += lineas.size();
    // Blank lines alone are not yet a program: only the frame has come. A
    // character lost to a wrong parity bit is something received.
    m_empezado = m_empezado || m_decodificador->ilegibles() > 0
        || std::any_of(
            lineas.cbegin(), lineas.cend(), [](const QByteArray &l) { return !l.isEmpty(); });
    if (!m_empezado || m_quizaRespuesta)
        return;
    const bool nuevo = !std::exchange(m_anunciado, true);
    if (nuevo)
        emit programaNuevo();
    // Lists of lines are made only for a window that shows them.
    if (!isSignalConnected(QMetaMethod::fromSignal(&RecepcionContinua::lineasRecibidas)))
        return;
    emit lineasRecibidas(nuevo ? lineasDe(m_texto) : lineas);
}

void RecepcionContinua::sueltaRespuesta()
{
    m_quizaRespuesta = false;
    alDecodificar({});
}

QString RecepcionContinua::tomaRespuesta()
{
    m_decodificador->terminaParcial();
    const QString texto = QString::fromLatin1(m_texto).simplified();
    m_quizaRespuesta = false;
    m_empezado = false;
    siguientePrograma();
    return texto;
}

bool RecepcionContinua::cierraPrograma(Estado estado, const QString &motivo, bool largo)
{
    m_decodificador->terminaParcial();
    // A character lost to a wrong parity bit is something received.
    if (!m_empezado && m_decodificador->ilegibles() > 0)
        alDecodificar({});
    if (m_quizaRespuesta)
        sueltaRespuesta();
    ResultadoTransferencia programa {
        estado, motivo, m_decodificador->ilegibles(), m_decodificador->lineasIlegibles()};
    if (estado == Estado::Completa && !m_decodificador->conInicio()) {
        programa.estado = Estado::Fallida;
        programa.error = Texto(QStringLiteral("ContinuaSinInicio"));
    }
    const bool incompleto = programa.estado != Estado::Completa;
    if (!m_empezado || (!incompleto && m_filtro && m_filtro(m_texto))) {
        siguientePrograma();
        return true;
    }
    QString error;
    const QString ruta = guarda(m_carpeta, m_texto, incompleto, &error);
    if (ruta.isEmpty()) {
        const QString carpeta = QDir::toNativeSeparators(m_carpeta);
        if (m_falloGuardado.isEmpty()) {
            m_falloGuardado = Texto(QStringLiteral("ContinuaTrasFallo"));
            m_ilegiblesFallo = programa;
        }
        m_sinGuardar.append({m_texto, incompleto});
        emit errorGuardado(carpeta, error, m_lineas, m_bytes);
        siguientePrograma();
        return false;
    }
    if (largo) {
        // Told once the rest has been dropped, with how much it was.
        m_saltando = true;
        m_saltoInicioLinea = false;
        m_descartados = 0;
        m_rutaSalto = ruta;
        m_resultadoSalto = programa;
        m_lineasSalto = m_lineas;
        m_bytesSalto = m_bytes;
        siguientePrograma();
        m_entreProgramas = false;
        return true;
    }
    emit guardado(ruta, m_lineas, m_bytes, programa);
    siguientePrograma();
    return true;
}

void RecepcionContinua::siguientePrograma()
{
    m_texto.clear();
    m_lineas = m_bytes = 0;
    m_empezado = m_anunciado = false;
    m_entreProgramas = true;
    m_quizaRespuesta = false;
    nuevoDecodificador();
}

void RecepcionContinua::detiene()
{
    if (activo())
        termina(Estado::Detenida);
}

void RecepcionContinua::termina(Estado estado, const QString &error)
{
    QByteArray resto;
    if (!suelta(resto))
        return;
    // What came after a program that could not be saved, as programs of their own.
    procesa(std::exchange(m_resto, {}) + resto, false);
    QString motivo = error;
    if (m_saltando) {
        terminaSalto();
    } else if (estado == Estado::Fallida && m_quizaRespuesta
        && (m_empezado || m_decodificador->hayTexto())) {
        // The server said something and hung up: its answer, not a program.
        motivo += QLatin1Char(' ')
            + Texto(QStringLiteral("ContinuaRespuestaServidor")).arg(tomaRespuesta());
    } else if (!m_falloGuardado.isEmpty()) {
        cierraPrograma(Estado::Fallida, m_falloGuardado);
    } else {
        // Cut off: by Stop, or with the reason the port gave.
        cierraPrograma(estado == Estado::Completa ? Estado::Detenida : estado, error);
    }
    ResultadoTransferencia r {estado, motivo, 0, {}};
    if (!m_falloGuardado.isEmpty()) {
        r.ilegibles = m_ilegiblesFallo.ilegibles;
        r.lineasIlegibles = m_ilegiblesFallo.lineasIlegibles;
    }
    emit terminado(r);
}
