#include "remote/comprobacionremota.h"
#include "settings/varsfuncsglobales.h"

#include <QMetaObject>

using VarsFuncsGlobales::Texto;

ComprobacionRemota::ComprobacionRemota(QObject *parent) : QObject(parent) { }

ComprobacionRemota::~ComprobacionRemota()
{
    cancela();
}

QList<ComprobacionRemota::Paso> ComprobacionRemota::comprueba(
    AlmacenRemoto &almacen, const DireccionRemota &dir)
{
    QList<Paso> pasos;
    QString error;
    const bool carpeta = dir.tipo == DireccionRemota::Tipo::Carpeta;
    const QString donde = dir.texto();
    if (!almacen.conecta(&error)) {
        pasos.append({QStringLiteral("login"), false, error});
        return pasos;
    }
    pasos.append({QStringLiteral("login"), true,
        carpeta ? Texto(QStringLiteral("CompruebaRemotaAccesible")).arg(donde)
                : Texto(QStringLiteral("CompruebaRemotaSesion")).arg(donde)});
    QList<AlmacenRemoto::Entrada> entradas;
    if (!almacen.lista(&entradas, &error)) {
        pasos.append({QStringLiteral("list"), false, error});
        return pasos;
    }
    pasos.append({QStringLiteral("list"), true,
        Texto(QStringLiteral("CompruebaRemotaListados")).arg(entradas.size())});
    const QString prueba = AlmacenRemoto::nombreTemporal();
    if (!almacen.sube(prueba, QByteArrayLiteral("%\n"), &error)) {
        pasos.append({QStringLiteral("write"), false, error});
        return pasos;
    }
    pasos.append({QStringLiteral("write"), true,
        Texto(QStringLiteral("CompruebaRemotaEscrito")).arg(prueba)});
    if (!almacen.borra(prueba, &error)) {
        pasos.append({QStringLiteral("delete"), false,
            Texto(QStringLiteral("CompruebaRemotaBorraMano")).arg(error, prueba)});
        return pasos;
    }
    pasos.append({QStringLiteral("delete"), true, Texto(QStringLiteral("CompruebaRemotaBorrado"))});
    return pasos;
}

void ComprobacionRemota::inicia(const DireccionRemota &dir, const OpcionesRemotas &opciones)
{
    cancela();
    m_pasos.clear();
    m_enCurso = true;
    m_almacen = AlmacenRemoto::crea(dir, opciones);
    AlmacenRemoto *almacen = m_almacen.get();
    const int generacion = ++m_generacion;
    m_hilo = std::thread([this, almacen, dir, generacion] {
        const QList<Paso> pasos = comprueba(*almacen, dir);
        QMetaObject::invokeMethod(
            this,
            [this, pasos, generacion] {
                if (!m_enCurso || generacion != m_generacion)
                    return;
                espera();
                m_pasos = pasos;
                m_enCurso = false;
                emit terminada();
            },
            Qt::QueuedConnection);
    });
}

void ComprobacionRemota::cancela()
{
    if (m_almacen)
        m_almacen->cancela();
    espera();
    m_enCurso = false;
}

void ComprobacionRemota::espera()
{
    if (m_hilo.joinable())
        m_hilo.join();
}
