#pragma once

#include "remote/almacenremoto.h"
#include "settings/maquinas.h"
#include "transfer/hiloremoto.h"
#include "transfer/progresotransferencia.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <memory>

class QTimer;

// Continuous receive from a remote machine: its folder is looked at every
// Sondeo seconds; a program that is new or changed since it was last taken,
// and that did not change between two looks (a file still being written is
// left for a later look), is fetched and saved into the receive folder as
// continuous receive saves (never over a file). Nothing is deleted on the
// control. Programs already there at the start count as taken, unless
// tomaExistentes is set. A look that fails is reported and the next one
// tries again.
class SondeoRemoto : public QObject
{
    Q_OBJECT

public:
    explicit SondeoRemoto(QObject *parent = nullptr);
    ~SondeoRemoto() override;

    void setOpciones(const OpcionesRemotas &opciones) { m_opciones = opciones; }
    // Milliseconds between two looks instead of the machine's Sondeo (tests).
    void setIntervaloMs(int ms)
    {
        m_intervaloMs = ms;
        m_intervaloFijo = true;
    }
    void setTomaExistentes(bool toma) { m_tomaExistentes = toma; }

    // False with terminado() emitted before it returns when the machine is
    // no usable remote machine.
    bool inicia(const Maquina &m, const QString &carpeta);
    // Stop: the look in progress ends; nothing half-saved stays.
    void detiene();
    bool activo() const { return m_activo; }
    // A program just sent to the control under that name: not taken back as
    // new while it is as sent.
    void enviado(const QString &nombre, qint64 bytes);

    // What a look saw of a program.
    struct Visto
    {
        qint64 tamano = -1;
        QDateTime fecha;
        bool operator==(const Visto &) const = default;
    };

signals:
    void guardado(
        const QString &ruta, const QString &nombre, qint64 lineas, qint64 bytes, qint64 ms);
    // A program that could not be fetched or saved, or a look that failed.
    void fallo(const QString &nombre, const QString &motivo);
    // A look after failures succeeded again.
    void recuperado();
    // A look is over (its programs fetched), whether it succeeded or not.
    void mirado();
    void terminado(const ResultadoTransferencia &resultado);

private:
    void mira();
    void alMirar(const QList<AlmacenRemoto::Entrada> &entradas, const QString &error);
    void trae(const QList<AlmacenRemoto::Entrada> &nuevos);
    void siguiente();

    OpcionesRemotas m_opciones;
    DireccionRemota m_direccion;
    QString m_carpeta;
    qint64 m_limite = 64 * 1024 * 1024;
    int m_intervaloMs = 10000;
    bool m_intervaloFijo = false;
    bool m_tomaExistentes = false;
    bool m_activo = false;
    bool m_primera = true;
    bool m_fallando = false;
    QHash<QString, Visto> m_anterior; // the last look
    QHash<QString, Visto> m_tomados; // what was taken (or there at the start)
    QHash<QString, qint64> m_enviados;
    std::unique_ptr<AlmacenRemoto> m_almacen;
    HiloRemoto m_hilo {this};
    QTimer *m_reloj = nullptr;
};
