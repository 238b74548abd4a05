#pragma once

#include "line/formatolinea.h"
#include "remote/almacenremoto.h"
#include "settings/maquinas.h"
#include "transfer/hiloremoto.h"
#include "transfer/progresotransferencia.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

// Sends a program to a remote machine: uploaded atomically under its name,
// then checked (the size the server reports; with Verificar=Si a download
// compared byte for byte). A name the control already has is replaced only
// when the caller says so: inicia() with reemplazar, or continua(true) after
// existe(). The calls to the machine run on a thread of their own; the
// signals come on the thread that made the job.
class EnvioRemoto : public QObject
{
    Q_OBJECT

public:
    explicit EnvioRemoto(QObject *parent = nullptr);
    ~EnvioRemoto() override;

    // The name the program goes up under: the file's name, or with nombreO
    // "O1234" from the program's O-number (its first "O" or ":" word); empty
    // when it has none (the send is then refused), or when the name cannot be
    // used on the machine.
    static QString nombrePrograma(const QString &fichero, const QByteArray &texto, bool nombreO);
    // The lines as the file on the machine holds them, each with the machine's
    // end of block.
    static QByteArray contenido(const QList<QByteArray> &lineas, FormatoLinea::FinBloque fin);

    // Tests reach their own server through these (the .netrc, the CA file).
    void setOpciones(const OpcionesRemotas &opciones) { m_opciones = opciones; }

    // Starts the send. False, with terminado() emitted before it returns,
    // when the machine is no remote machine, is refused or the name cannot be
    // used.
    bool inicia(
        const Maquina &m, const QString &nombre, const QList<QByteArray> &lineas, bool reemplazar);
    // After existe(): true replaces the control's program, false ends the
    // send as Detenida with nothing sent.
    void continua(bool reemplazar);
    // Stop: the call in progress ends; nothing half-written stays under the name.
    void detiene();
    bool activo() const { return m_activo; }
    QString nombre() const { return m_nombre; }
    qint64 bytes() const { return m_datos.size(); }

signals:
    // The control already has a program of that name; the send waits for continua().
    void existe(const QString &nombre);
    void progreso(const ProgresoTransferencia &progreso);
    void terminado(const ResultadoTransferencia &resultado);

private:
    void fase(bool comprobarExiste);
    void termina(ResultadoTransferencia::Estado estado, const QString &error = {});

    OpcionesRemotas m_opciones;
    DireccionRemota m_direccion;
    bool m_verificar = false;
    QString m_nombre;
    QByteArray m_datos;
    bool m_activo = false;
    bool m_esperaRespuesta = false;
    std::unique_ptr<AlmacenRemoto> m_almacen;
    HiloRemoto m_hilo {this};
};
