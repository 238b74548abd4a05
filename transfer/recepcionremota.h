#pragma once

#include "remote/almacenremoto.h"
#include "settings/maquinas.h"
#include "transfer/hiloremoto.h"
#include "transfer/progresotransferencia.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

// Receive from a remote machine: the list of its programs, then the chosen
// ones fetched, one into the text window or several into the receive folder
// (saved as continuous receive saves, never over a file). The calls run on a
// thread of their own; the signals come on the thread that made the job.
class RecepcionRemota : public QObject
{
    Q_OBJECT

public:
    explicit RecepcionRemota(QObject *parent = nullptr);
    ~RecepcionRemota() override;

    void setOpciones(const OpcionesRemotas &opciones) { m_opciones = opciones; }

    // The machine to receive from; false with the reason when it is no
    // usable remote machine.
    bool prepara(const Maquina &m, QString *error = nullptr);
    // listado(), newest first, or terminado() with the reason.
    void lista();
    // One name: programa() with its text; several: each saved into the
    // folder (guardado() each). terminado() at the end: Fallida with the
    // first reason when any could not be fetched or saved.
    void trae(const QStringList &nombres, const QString &carpeta);
    void detiene();
    bool activo() const { return m_activo; }

    // The file's bytes as text lines each followed by LF, whatever its
    // line ends (CR LF, LF or CR).
    static QByteArray texto(const QByteArray &fichero);
    // Newest first; the same date by name.
    static void ordena(QList<AlmacenRemoto::Entrada> &entradas);

signals:
    void listado(const QList<AlmacenRemoto::Entrada> &entradas);
    // One program fetched: its text, lines each followed by LF.
    void programa(const QByteArray &texto);
    void guardado(const QString &ruta, qint64 lineas, qint64 bytes);
    void terminado(const ResultadoTransferencia &resultado);

private:
    void termina(ResultadoTransferencia::Estado estado, const QString &error = {});

    OpcionesRemotas m_opciones;
    DireccionRemota m_direccion;
    qint64 m_limite = 64 * 1024 * 1024;
    bool m_activo = false;
    std::unique_ptr<AlmacenRemoto> m_almacen;
    HiloRemoto m_hilo {this};
};

Q_DECLARE_METATYPE(AlmacenRemoto::Entrada)
