#include "remote/comprobacionremota.h"

#include <QMetaObject>

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
        carpeta ? QStringLiteral("%1 is reachable").arg(donde)
                : QStringLiteral("logged in to %1").arg(donde)});
    QList<AlmacenRemoto::Entrada> entradas;
    if (!almacen.lista(&entradas, &error)) {
        pasos.append({QStringLiteral("list"), false, error});
        return pasos;
    }
    pasos.append(
        {QStringLiteral("list"), true, QStringLiteral("%1 programs listed").arg(entradas.size())});
    const QString prueba = AlmacenRemoto::nombreTemporal();
    if (!almacen.sube(prueba, QByteArrayLiteral("%\n"), &error)) {
        pasos.append({QStringLiteral("write"), false, error});
        return pasos;
    }
    pasos.append(
        {QStringLiteral("write"), true, QStringLiteral("probe file %1 written").arg(prueba)});
    if (!almacen.borra(prueba, &error)) {
        pasos.append({QStringLiteral("delete"), false,
            QStringLiteral("%1 (delete %2 by hand)").arg(error, prueba)});
        return pasos;
    }
    pasos.append({QStringLiteral("delete"), true, QStringLiteral("probe file deleted")});
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
