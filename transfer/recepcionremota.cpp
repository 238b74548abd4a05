#include "transfer/recepcionremota.h"

#include "settings/varsfuncsglobales.h"
#include "transfer/recepcioncontinua.h"

#include <algorithm>

using VarsFuncsGlobales::Texto;

namespace {

using Estado = ResultadoTransferencia::Estado;

// Whether the machine can be reached as a remote one; its address.
std::optional<DireccionRemota> direccionDe(const Maquina &m, QString *error)
{
    const auto falla = [error](const QString &texto) {
        if (error)
            *error = texto;
        return std::nullopt;
    };
    if (m.rechazada()) {
        return falla(Texto(QStringLiteral("RemotaMotivoAjustes")).arg(m.rechazos.first().clave));
    }
    const std::optional<DireccionRemota> dir = DireccionRemota::interpreta(m.com);
    if (!m.esRemota() || !dir)
        return falla(Texto(QStringLiteral("RemotaMotivoNoRemota")).arg(m.com));
    return dir;
}

} // namespace

RecepcionRemota::RecepcionRemota(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<ResultadoTransferencia>();
    qRegisterMetaType<QList<AlmacenRemoto::Entrada>>();
}

RecepcionRemota::~RecepcionRemota()
{
    if (m_almacen)
        m_almacen->cancela();
    m_hilo.abandona();
}

QByteArray RecepcionRemota::texto(const QByteArray &fichero)
{
    QByteArray t;
    t.reserve(fichero.size() + 1);
    for (qsizetype i = 0; i < fichero.size(); ++i) {
        const char c = fichero[i];
        if (c == '\r') {
            t += '\n';
            if (i + 1 < fichero.size() && fichero[i + 1] == '\n')
                ++i;
        } else
            t += c;
    }
    if (!t.isEmpty() && !t.endsWith('\n'))
        t += '\n';
    return t;
}

void RecepcionRemota::ordena(QList<AlmacenRemoto::Entrada> &entradas)
{
    std::stable_sort(entradas.begin(), entradas.end(),
        [](const AlmacenRemoto::Entrada &a, const AlmacenRemoto::Entrada &b) {
            if (a.fecha != b.fecha)
                return a.fecha > b.fecha; // an unknown date is the oldest
            return a.nombre < b.nombre;
        });
}

bool RecepcionRemota::prepara(const Maquina &m, QString *error)
{
    const std::optional<DireccionRemota> dir = direccionDe(m, error);
    if (!dir)
        return false;
    if (m_almacen)
        m_almacen->cancela();
    m_hilo.abandona();
    m_hilo.espera();
    m_direccion = *dir;
    m_limite = m.formato.maxProgramaBytes();
    m_opciones.ftpActivo = m.ftpActivo;
    m_almacen = AlmacenRemoto::crea(m_direccion, m_opciones);
    return true;
}

void RecepcionRemota::lista()
{
    if (!m_almacen) {
        m_activo = true;
        termina(Estado::Fallida, Texto(QStringLiteral("RemotaMotivoSinMaquina")));
        return;
    }
    m_activo = true;
    AlmacenRemoto *almacen = m_almacen.get();
    m_hilo.lanza([this, almacen](const HiloRemoto::Devuelve &devuelve) {
        QList<AlmacenRemoto::Entrada> entradas;
        QString error;
        if (!almacen->lista(&entradas, &error)) {
            devuelve([this, error] { termina(Estado::Fallida, error); });
            return;
        }
        ordena(entradas);
        devuelve([this, entradas] {
            m_activo = false;
            emit listado(entradas);
        });
    });
}

void RecepcionRemota::trae(const QStringList &nombres, const QString &carpeta)
{
    m_activo = true;
    if (!m_almacen || nombres.isEmpty()) {
        termina(Estado::Fallida,
            m_almacen ? Texto(QStringLiteral("RemotaMotivoSinPrograma"))
                      : Texto(QStringLiteral("RemotaMotivoSinMaquina")));
        return;
    }
    AlmacenRemoto *almacen = m_almacen.get();
    const qint64 limite = m_limite;
    m_hilo.lanza([this, almacen, nombres, carpeta, limite](const HiloRemoto::Devuelve &devuelve) {
        auto primerError = std::make_shared<QString>();
        for (const QString &nombre : nombres) {
            QByteArray datos;
            QString error;
            if (!almacen->baja(nombre, &datos, &error, limite)) {
                if (almacen->cancelado())
                    break;
                devuelve([primerError, nombre, error] {
                    if (primerError->isEmpty())
                        *primerError = QStringLiteral("%1: %2").arg(nombre, error);
                });
                continue;
            }
            const QByteArray t = texto(datos);
            if (nombres.size() == 1) {
                devuelve([this, t] { emit programa(t); });
                continue;
            }
            // Saved on the job's thread, one after another, as continuous
            // receive saves: a name taken is never written over.
            devuelve([this, primerError, carpeta, nombre, t] {
                QString motivo;
                const QString ruta = RecepcionContinua::guarda(carpeta, t, false, &motivo);
                if (ruta.isEmpty()) {
                    if (primerError->isEmpty())
                        *primerError = QStringLiteral("%1: %2: %3").arg(nombre, carpeta, motivo);
                    return;
                }
                emit guardado(ruta, t.count('\n'), t.size());
            });
        }
        devuelve([this, primerError] {
            if (primerError->isEmpty())
                termina(Estado::Completa);
            else
                termina(Estado::Fallida, *primerError);
        });
    });
}

void RecepcionRemota::detiene()
{
    if (!m_activo)
        return;
    if (m_almacen)
        m_almacen->cancela();
    m_hilo.abandona();
    m_hilo.espera();
    termina(Estado::Detenida, Texto(QStringLiteral("RemotaMotivoDetenida")));
    // The next request may go on with the same machine.
    m_almacen = AlmacenRemoto::crea(m_direccion, m_opciones);
}

void RecepcionRemota::termina(ResultadoTransferencia::Estado estado, const QString &error)
{
    if (!m_activo)
        return;
    m_activo = false;
    ResultadoTransferencia r;
    r.estado = estado;
    r.error = error;
    emit terminado(r);
}
