#pragma once

#include "port/mscomm.h"
#include "settings/maquinas.h"
#include "transfer/envio.h"
#include "transfer/recepcioncontinua.h"
#include "transfer/registro.h"

#include <QElapsedTimer>
#include <QObject>
#include <QRegularExpression>
#include <QTimer>

#include <functional>
#include <optional>

// What the service needs of a machine beyond its line settings, from its
// section of MAQUINAS.INI:
//   Servicio   Si | No   served by keldan-dnc (default No)
//   Peticion   a regular expression with one capture group: a received
//              program whose only line matches it (blank and "%" lines
//              aside, letter case ignored) asks for the program captured
//   Respuesta  a file of the folder sent when the program asked for is not
//              there (default: nothing is sent)
// Programs go to and come from DirRecepcion, else DirGuarda of General.
struct ConfigMaquinaDnc
{
    static inline const QString kPeticionPorDefecto
        = QStringLiteral(R"(^\(\s*SEND\s+([^\s()]+)\s*\)$)");

    Maquina maquina;
    QString carpeta;
    QRegularExpression peticion;
    QString respuesta;

    // Every machine of MAQUINAS.INI beside rutaIni; with todas false only
    // those marked for the service. Values that cannot be used go to avisos.
    static QList<ConfigMaquinaDnc> lee(
        const QString &rutaIni, bool todas = false, QStringList *avisos = nullptr);
};

// One machine as the service serves it: its port kept open in continuous
// receive, closed and opened again around each send; a request punched by
// the CNC answered with the program asked for; a port that fails retried.
class MaquinaDnc : public QObject
{
    Q_OBJECT

public:
    enum class Estado { Inactiva, Escuchando, Recibiendo, Enviando, Fallo, Terminada };
    // How long a failed port rests before it is opened again.
    static constexpr int kReintentoMs = 5000;
    // A send whose port would not open is tried this many times, this far
    // apart: a device server turns a new connection away while it still
    // closes the one the receive just let go.
    static constexpr int kIntentosEnvio = 4;
    static constexpr int kPausaEnvioMs = 1000;

    using Aviso = std::function<void(const ResultadoTransferencia &)>;

    MaquinaDnc(
        const ConfigMaquinaDnc &config, const QString &rutaRegistro, QObject *parent = nullptr);

    // Serves the machine: continuous receive until detiene().
    void arranca();
    // Sends the file once the port is free (after a program on its way in);
    // hecho is told how it ended.
    void envia(const QString &fichero, Aviso hecho = {});
    // The window's Stop for the send on its way (a CNC that holds the line
    // for good, in alarm, would keep it forever); false when none is.
    bool detieneEnvio();
    // Cuts cleanly: a send finishes its line and its end, a program on its
    // way in is kept as incomplete; terminada() once the port is closed.
    void detiene();

    QString nombre() const { return m_config.maquina.nombre; }
    QString puerto() const { return m_puerto.Dispositivo(); }
    Estado estado() const { return m_estado; }
    // The state in plain words, for status.
    QString textoEstado() const;
    const std::optional<EntradaRegistro> &ultima() const { return m_ultima; }

    // The file of the folder a request names: NAME, NAME.NC or NAME.TXT in
    // any letter case; empty when there is none or the name is no plain name.
    static QString buscaPrograma(const QString &carpeta, const QString &nombre);
    // As the log names the result: complete, stopped, failed, incomplete.
    static QString textoResultado(ResultadoTransferencia::Estado e);

signals:
    void terminada();
    // A line for the service's own log (the journal).
    void mensaje(const QString &texto);

private:
    struct Pendiente
    {
        QString fichero;
        Aviso hecho;
        int intentos = 0;
    };

    bool filtra(QByteArrayView texto);
    void siguienteEnvio();
    void lanzaEnvio();
    void alTerminarEnvio(const ResultadoTransferencia &r);
    void alTerminarContinua(const ResultadoTransferencia &r);
    void reintenta();
    void anota(EntradaRegistro &e, const ResultadoTransferencia &r, qint64 ms);
    EntradaRegistro empieza(EntradaRegistro::Sentido sentido, const QString &fichero = {});
    bool iso() const;

    ConfigMaquinaDnc m_config;
    RegistroTransferencias m_registro;
    MSComm m_puerto;
    RecepcionContinua m_continua {m_puerto};
    Envio m_envio {m_puerto};
    QTimer m_reintento;
    Estado m_estado = Estado::Inactiva;
    bool m_servida = false;
    bool m_parando = false;
    // Continuous receive was stopped to make way for a send.
    bool m_cedida = false;
    QString m_motivoFallo;
    QList<Pendiente> m_cola;
    Pendiente m_enCurso;
    // Programs that could not be saved, saved again before the port reopens.
    QList<RecepcionContinua::SinGuardar> m_sinGuardar;
    // The last answer of the network server told, so that it is told once.
    QString m_respuestaServidor;
    EntradaRegistro m_entrada;
    QElapsedTimer m_reloj;
    std::optional<EntradaRegistro> m_ultima;
};
