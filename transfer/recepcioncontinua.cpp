#include "transfer/recepcioncontinua.h"

#include "base/razonsistema.h"
#include "browser/logicaexaminar.h"
#include "line/decodificadorrecepcion.h"
#include "port/mscomm.h"
#include "text/ficheroprograma.h"

#include <QDir>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <unistd.h>
#include <utility>

namespace {

// Names tried with a counter before giving up on a folder.
constexpr int kContadorMax = 9999;
// Proposed names longer than this give way to a dated one (room for the
// counter and the incomplete mark within the file system's 255 bytes).
constexpr qsizetype kNombreMax = 100;

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

} // namespace

RecepcionContinua::RecepcionContinua(MSComm &puerto, QObject *parent)
    : RecepcionPuerto(puerto, parent)
{
    // The CNC has said all it will about this program: it is whole.
    connect(m_silencio, &QTimer::timeout, this, [this] {
        if (activo() && !cierraPrograma(false))
            termina(ResultadoTransferencia::Estado::Detenida);
    });
}

QString RecepcionContinua::guarda(const QString &carpeta, const QList<QByteArray> &lineas,
    bool incompleto, QString *error, const QDateTime &ahora)
{
    if (!QDir::isAbsolutePath(carpeta)) {
        // A relative folder would land wherever the program was started.
        if (error)
            *error = RazonSistema(ENOENT);
        return {};
    }
    // The name comes from the CNC's text: it must stay a plain file name in
    // this folder, neither a path nor hidden nor longer than names may be.
    // Upper case, as the save dialog gives it.
    QString nombre = LogicaExaminar::PropuestaNombre(lineas.value(1), lineas.value(2)).toUpper();
    nombre.replace(QLatin1Char('/'), QLatin1Char('_'));
    if (nombre.startsWith(QLatin1Char('.')) || nombre.size() > kNombreMax)
        nombre.clear();
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
        if (FicheroPrograma::escribe(ruta, lineas, error))
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
    m_decodificador = new DecodificadorRecepcion(
        m_iso, m_formato.finBloque == FormatoLinea::FinBloque::Cr, this);
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
    m_empezado = m_falloGuardado = m_entreProgramas = false;
    m_bytes = 0;
    m_lineas.clear();
    nuevoDecodificador();
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
    procesa(datos);
    if (m_falloGuardado) {
        termina(ResultadoTransferencia::Estado::Detenida);
        return;
    }
    if (m_silencio->interval() > 0)
        m_silencio->start();
}

void RecepcionContinua::procesa(const QByteArray &datos)
{
    // Byte by byte, so that what follows an end mark in the same chunk
    // starts the next program instead of trailing the last one.
    for (qsizetype i = 0; i < datos.size(); ++i) {
        ++m_bytes;
        if (m_entreProgramas && esCola(quint8(datos.at(i)), m_iso))
            continue;
        m_entreProgramas = false;
        m_decodificador->feed(datos.sliced(i, 1));
        if (m_decodificador->terminado() && !m_falloGuardado)
            cierraPrograma(false);
    }
}

void RecepcionContinua::alDecodificar(const QList<QByteArray> &lineas)
{
    m_lineas += lineas;
    if (m_empezado) {
        emit lineasRecibidas(lineas);
        return;
    }
    // Blank lines alone are not yet a program: only the frame has come.
    if (m_decodificador->ilegibles() == 0
        && std::all_of(m_lineas.cbegin(), m_lineas.cend(), std::mem_fn(&QByteArray::isEmpty)))
        return;
    m_empezado = true;
    emit programaNuevo();
    emit lineasRecibidas(m_lineas);
}

bool RecepcionContinua::cierraPrograma(bool incompleto)
{
    m_decodificador->terminaParcial();
    // A character lost to a wrong parity bit is something received.
    if (!m_empezado && m_decodificador->ilegibles() > 0)
        alDecodificar({});
    if (m_empezado && !m_falloGuardado && !incompleto && m_filtro && m_filtro(m_lineas)) {
        m_bytes = 0;
    } else if (m_empezado && !m_falloGuardado) {
        QString error;
        const QString ruta = guarda(m_carpeta, m_lineas, incompleto, &error);
        if (ruta.isEmpty()) {
            // Kept as it is, and whatever comes next is added to it by the
            // same decoder, so that its line numbers hold for the whole.
            m_falloGuardado = true;
            emit errorGuardado(QDir::toNativeSeparators(m_carpeta), error);
            return false;
        }
        ResultadoTransferencia programa;
        programa.estado = incompleto ? ResultadoTransferencia::Estado::Detenida
                                     : ResultadoTransferencia::Estado::Completa;
        programa.ilegibles = m_decodificador->ilegibles();
        programa.lineasIlegibles = m_decodificador->lineasIlegibles();
        emit guardado(ruta, m_lineas.size(), std::exchange(m_bytes, 0), programa);
    }
    if (m_falloGuardado)
        return false;
    m_lineas.clear();
    m_empezado = false;
    m_entreProgramas = true;
    nuevoDecodificador();
    return true;
}

void RecepcionContinua::detiene()
{
    if (activo())
        termina(ResultadoTransferencia::Estado::Detenida);
}

void RecepcionContinua::termina(ResultadoTransferencia::Estado estado, const QString &error)
{
    QByteArray resto;
    if (!suelta(resto))
        return;
    procesa(resto);
    if (m_falloGuardado)
        m_decodificador->terminaParcial();
    else
        cierraPrograma(true);
    emit terminado(
        {estado, error, m_decodificador->ilegibles(), m_decodificador->lineasIlegibles()});
}
