#include "transfer/sondeoremoto.h"

#include "settings/varsfuncsglobales.h"
#include "transfer/recepcioncontinua.h"
#include "transfer/recepcionremota.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

using VarsFuncsGlobales::Texto;

namespace {

using Estado = ResultadoTransferencia::Estado;

} // namespace

SondeoRemoto::SondeoRemoto(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<ResultadoTransferencia>();
    m_reloj = new QTimer(this);
    m_reloj->setSingleShot(true);
    connect(m_reloj, &QTimer::timeout, this, &SondeoRemoto::mira);
}

SondeoRemoto::~SondeoRemoto()
{
    if (m_almacen)
        m_almacen->cancela();
    m_hilo.abandona();
}

bool SondeoRemoto::inicia(const Maquina &m, const QString &carpeta)
{
    m_activo = true;
    const auto falla = [this](const QString &texto) {
        m_activo = false;
        ResultadoTransferencia r;
        r.estado = Estado::Fallida;
        r.error = texto;
        emit terminado(r);
        return false;
    };
    if (m.rechazada()) {
        return falla(Texto(QStringLiteral("RemotaMotivoAjustes")).arg(m.rechazos.first().clave));
    }
    const std::optional<DireccionRemota> dir = DireccionRemota::interpreta(m.com);
    if (!m.esRemota() || !dir)
        return falla(Texto(QStringLiteral("RemotaMotivoNoRemota")).arg(m.com));
    if (!QDir::isAbsolutePath(carpeta))
        return falla(Texto(QStringLiteral("RemotaMotivoSinCarpeta")));
    m_direccion = *dir;
    m_carpeta = carpeta;
    m_limite = m.formato.maxProgramaBytes();
    if (!m_intervaloFijo)
        m_intervaloMs = m.sondeoS * 1000;
    m_opciones.ftpActivo = m.ftpActivo;
    m_almacen = AlmacenRemoto::crea(m_direccion, m_opciones);
    m_primera = true;
    m_fallando = false;
    m_anterior.clear();
    m_tomados.clear();
    mira();
    return true;
}

void SondeoRemoto::detiene()
{
    if (!m_activo)
        return;
    m_reloj->stop();
    if (m_almacen)
        m_almacen->cancela();
    m_hilo.abandona();
    m_hilo.espera();
    m_activo = false;
    emit terminado(ResultadoTransferencia {Estado::Detenida, QString(), 0, {}});
}

void SondeoRemoto::siguiente()
{
    if (!m_activo)
        return;
    m_reloj->start(m_intervaloMs);
    emit mirado();
}

void SondeoRemoto::mira()
{
    if (!m_activo)
        return;
    AlmacenRemoto *almacen = m_almacen.get();
    m_hilo.lanza([this, almacen](const HiloRemoto::Devuelve &devuelve) {
        QList<AlmacenRemoto::Entrada> entradas;
        QString error;
        if (!almacen->lista(&entradas, &error) && error.isEmpty())
            error = Texto(QStringLiteral("RemotaMotivoListaFallo"));
        devuelve([this, entradas, error] { alMirar(entradas, error); });
    });
}

void SondeoRemoto::alMirar(const QList<AlmacenRemoto::Entrada> &entradas, const QString &error)
{
    if (!error.isEmpty()) {
        // Said once until a look succeeds again; the next look tries again.
        if (!m_fallando)
            emit fallo(QString(), error);
        m_fallando = true;
        siguiente();
        return;
    }
    if (m_fallando) {
        m_fallando = false;
        emit recuperado();
    }
    QHash<QString, Visto> ahora;
    for (const AlmacenRemoto::Entrada &e : entradas)
        ahora.insert(e.nombre, {e.tamano, e.fecha});
    if (m_primera && !m_tomaExistentes)
        m_tomados = ahora;
    m_primera = false;
    // A program gone from the control may come back under its name: taken anew.
    for (auto i = m_tomados.begin(); i != m_tomados.end();) {
        if (!ahora.contains(i.key()))
            i = m_tomados.erase(i);
        else
            ++i;
    }

    QList<AlmacenRemoto::Entrada> nuevos;
    for (const AlmacenRemoto::Entrada &e : entradas) {
        const Visto v = ahora.value(e.nombre);
        // A look listed before the upload ended may still show the old
        // program: the mark waits for the size sent.
        if (const auto enviado = m_enviados.constFind(e.nombre);
            enviado != m_enviados.cend() && *enviado == e.tamano) {
            m_enviados.erase(enviado);
            m_tomados.insert(e.nombre, v);
            continue;
        }
        const auto tomado = m_tomados.constFind(e.nombre);
        if (tomado != m_tomados.cend() && *tomado == v)
            continue;
        // Unchanged since the last look: no longer being written.
        const auto antes = m_anterior.constFind(e.nombre);
        if (antes == m_anterior.cend() || !(*antes == v))
            continue;
        if (e.tamano > m_limite) {
            m_tomados.insert(e.nombre, v);
            emit fallo(e.nombre, Texto(QStringLiteral("RemotaMotivoMaxPrograma")).arg(e.tamano));
            continue;
        }
        nuevos.append(e);
    }
    m_anterior = ahora;
    if (nuevos.isEmpty()) {
        siguiente();
        return;
    }
    trae(nuevos);
}

void SondeoRemoto::trae(const QList<AlmacenRemoto::Entrada> &nuevos)
{
    AlmacenRemoto *almacen = m_almacen.get();
    const qint64 limite = m_limite;
    m_hilo.lanza([this, almacen, nuevos, limite](const HiloRemoto::Devuelve &devuelve) {
        for (const AlmacenRemoto::Entrada &e : nuevos) {
            QElapsedTimer reloj;
            reloj.start();
            QByteArray datos;
            QString error;
            if (!almacen->baja(e.nombre, &datos, &error, limite)) {
                if (almacen->cancelado())
                    return;
                devuelve([this, e, error] { emit fallo(e.nombre, error); });
                continue;
            }
            const QByteArray t = RecepcionRemota::texto(datos);
            const qint64 ms = reloj.elapsed();
            devuelve([this, e, t, ms] {
                QString motivo;
                const QString ruta = RecepcionContinua::guarda(m_carpeta, t, false, &motivo);
                if (ruta.isEmpty()) {
                    emit fallo(e.nombre, QStringLiteral("%1: %2").arg(m_carpeta, motivo));
                    return;
                }
                m_tomados.insert(e.nombre, {e.tamano, e.fecha});
                emit guardado(ruta, e.nombre, t.count('\n'), t.size(), ms);
            });
        }
        devuelve([this] { siguiente(); });
    });
}

void SondeoRemoto::enviado(const QString &nombre, qint64 bytes)
{
    // Marks of programs the control renamed or deleted never match: kept
    // within the bound of a listing.
    if (m_enviados.size() >= AlmacenRemoto::kMaxEntradas)
        m_enviados.clear();
    m_enviados.insert(nombre, bytes);
}
