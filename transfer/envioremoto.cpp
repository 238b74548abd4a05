#include "transfer/envioremoto.h"
#include "settings/varsfuncsglobales.h"

#include <QFileInfo>

#include <chrono>
#include <memory>

using VarsFuncsGlobales::Texto;

namespace {

using Estado = ResultadoTransferencia::Estado;

// The program number of the first line that is neither empty, "%" nor a
// comment: "O1234" or ":1234" (ISO and EIA spellings), four digits at least,
// as controls store "O0012" for program 12.
QString numeroO(const QByteArray &texto)
{
    for (const QByteArray &bruta : texto.split('\n')) {
        const QByteArray l = bruta.trimmed();
        if (l.isEmpty() || l == "%" || l.startsWith('('))
            continue;
        if (!(l.startsWith('O') || l.startsWith('o') || l.startsWith(':')))
            return {};
        qsizetype fin = 1;
        while (fin < l.size() && fin <= 8 && std::isdigit(uchar(l[fin])))
            ++fin;
        if (fin == 1 || (fin < l.size() && std::isdigit(uchar(l[fin]))))
            return {};
        return QStringLiteral("O")
            + QString::fromLatin1(l.mid(1, fin - 1)).rightJustified(4, QLatin1Char('0'));
    }
    return {};
}

} // namespace

EnvioRemoto::EnvioRemoto(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<ResultadoTransferencia>();
    qRegisterMetaType<ProgresoTransferencia>();
}

EnvioRemoto::~EnvioRemoto()
{
    if (m_almacen)
        m_almacen->cancela();
    m_hilo.abandona();
}

QString EnvioRemoto::nombrePrograma(const QString &fichero, const QByteArray &texto, bool nombreO)
{
    const QString nombre = nombreO ? numeroO(texto) : QFileInfo(fichero).fileName();
    return AlmacenRemoto::nombreValido(nombre) ? nombre : QString();
}

QByteArray EnvioRemoto::contenido(const QList<QByteArray> &lineas, FormatoLinea::FinBloque fin)
{
    const QByteArray final = fin == FormatoLinea::FinBloque::CrLf ? QByteArrayLiteral("\r\n")
        : fin == FormatoLinea::FinBloque::Lf                      ? QByteArrayLiteral("\n")
                                                                  : QByteArrayLiteral("\r");
    qsizetype total = 0;
    for (const QByteArray &l : lineas)
        total += l.size() + final.size();
    QByteArray datos;
    datos.reserve(total);
    for (const QByteArray &l : lineas)
        datos += l + final;
    return datos;
}

bool EnvioRemoto::inicia(
    const Maquina &m, const QString &nombre, const QList<QByteArray> &lineas, bool reemplazar)
{
    m_nombre = nombre;
    m_activo = true;
    m_esperaRespuesta = false;
    if (m.rechazada()) {
        termina(Estado::Fallida,
            Texto(QStringLiteral("RemotaMotivoAjustes")).arg(m.rechazos.first().clave));
        return false;
    }
    const std::optional<DireccionRemota> dir = DireccionRemota::interpreta(m.com);
    if (!m.esRemota() || !dir) {
        termina(Estado::Fallida, Texto(QStringLiteral("RemotaMotivoNoRemota")).arg(m.com));
        return false;
    }
    if (!AlmacenRemoto::nombreValido(nombre)) {
        termina(Estado::Fallida,
            nombre.isEmpty() ? Texto(QStringLiteral("RemotaMotivoSinNombre"))
                             : Texto(QStringLiteral("RemotaMotivoNombre")).arg(nombre));
        return false;
    }
    m_direccion = *dir;
    m_verificar = m.verificar;
    m_datos = contenido(lineas, m.formato.finBloque);
    OpcionesRemotas o = m_opciones;
    o.ftpActivo = m.ftpActivo;
    m_almacen = AlmacenRemoto::crea(m_direccion, o);
    fase(!reemplazar);
    return true;
}

void EnvioRemoto::continua(bool reemplazar)
{
    if (!m_activo || !m_esperaRespuesta)
        return;
    m_esperaRespuesta = false;
    if (!reemplazar) {
        termina(Estado::Detenida, Texto(QStringLiteral("RemotaMotivoNoSustituye")).arg(m_nombre));
        return;
    }
    fase(false);
}

void EnvioRemoto::detiene()
{
    if (!m_activo)
        return;
    if (m_almacen)
        m_almacen->cancela();
    m_hilo.abandona();
    m_hilo.espera();
    termina(Estado::Detenida, Texto(QStringLiteral("RemotaMotivoDetenida")));
}

void EnvioRemoto::fase(bool comprobarExiste)
{
    AlmacenRemoto *almacen = m_almacen.get();
    const QString nombre = m_nombre;
    const QByteArray datos = m_datos;
    const bool verificar = m_verificar;
    // Ten a second at most reach the status line, however often the
    // library calls.
    auto ultimo = std::make_shared<std::chrono::steady_clock::time_point>();
    almacen->setProgreso([this, ultimo](qint64 hecho, qint64 total) {
        const auto ahora = std::chrono::steady_clock::now();
        if (ahora - *ultimo < std::chrono::milliseconds(100) && hecho != total)
            return;
        *ultimo = ahora;
        ProgresoTransferencia p;
        p.bytes = hecho;
        p.bytesTotales = total;
        QMetaObject::invokeMethod(
            this,
            [this, p] {
                if (m_activo)
                    emit progreso(p);
            },
            Qt::QueuedConnection);
    });
    m_hilo.lanza([this, almacen, nombre, datos, verificar, comprobarExiste](
                     const HiloRemoto::Devuelve &devuelve) {
        QString error;
        const auto falla = [&](const QString &texto) {
            devuelve([this, texto] { termina(Estado::Fallida, texto); });
        };
        if (comprobarExiste) {
            bool hay = false;
            if (!almacen->existe(nombre, &hay, &error))
                return falla(error);
            if (hay) {
                devuelve([this] {
                    m_esperaRespuesta = true;
                    emit existe(m_nombre);
                });
                return;
            }
        }
        if (!almacen->sube(nombre, datos, &error))
            return falla(error);
        // The check: the size the control reports, then with Verificar its copy.
        qint64 bytes = -1;
        if (!almacen->tamano(nombre, &bytes, &error)) {
            QList<AlmacenRemoto::Entrada> entradas;
            if (almacen->lista(&entradas, nullptr)) {
                for (const AlmacenRemoto::Entrada &e : entradas) {
                    if (e.nombre == nombre)
                        bytes = e.tamano;
                }
            }
            if (bytes < 0)
                return falla(Texto(QStringLiteral("RemotaMotivoSinComprobar")).arg(error));
        }
        if (bytes != datos.size()) {
            return falla(
                Texto(QStringLiteral("RemotaMotivoTamanoControl")).arg(bytes).arg(datos.size()));
        }
        if (verificar) {
            QByteArray copia;
            if (!almacen->baja(nombre, &copia, &error, datos.size() + 1))
                return falla(Texto(QStringLiteral("RemotaMotivoSinReleer")).arg(error));
            if (copia != datos) {
                qsizetype i = 0;
                while (i < copia.size() && i < datos.size() && copia[i] == datos[i])
                    ++i;
                return falla(Texto(QStringLiteral("RemotaMotivoDifiere")).arg(i + 1));
            }
        }
        devuelve([this] { termina(Estado::Completa); });
    });
}

void EnvioRemoto::termina(ResultadoTransferencia::Estado estado, const QString &error)
{
    if (!m_activo)
        return;
    m_activo = false;
    m_esperaRespuesta = false;
    ResultadoTransferencia r;
    r.estado = estado;
    r.error = error;
    emit terminado(r);
}
