#pragma once

#include "port/mscomm.h"
#include "settings/maquinas.h"
#include "transfer/envio.h"
#include "transfer/envioremoto.h"
#include "transfer/recepcioncontinua.h"
#include "transfer/registro.h"
#include "transfer/sondeoremoto.h"

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
//   RetencionMax  seconds the CNC may hold the line (DC3, or its wait before
//              asking with DC1) before the send is ended as incomplete
//              (default 600; 0: as long as it likes)
// Programs go to and come from DirRecepcion, else DirGuarda of General.
struct ConfigMaquinaDnc
{
    static inline const QString kPeticionPorDefecto
        = QStringLiteral(R"(^\(\s*SEND\s+([^\s()]+)\s*\)$)");
    static constexpr int kRetencionMaxPorDefecto = 600;

    Maquina maquina;
    QString carpeta;
    QRegularExpression peticion;
    QString respuesta;
    int retencionMaxS = kRetencionMaxPorDefecto;

    bool operator==(const ConfigMaquinaDnc &) const = default;

    // Every machine of MAQUINAS.INI beside rutaIni; with todas false only
    // those marked for the service. Refused machines are listed too (see
    // Maquina::rechazos); other values that cannot be used go to avisos, and
    // a machine whose RetencionMax cannot be read is left out.
    static QList<ConfigMaquinaDnc> lee(
        const QString &rutaIni, bool todas = false, QStringList *avisos = nullptr);

    // Why the machine is refused ("Com=\"tcp://host\" cannot be used"), for
    // the journal, status and send; empty when it is not.
    QString rechazo() const;
    // The port as the file writes it, also when it could not be used.
    QString puertoEscrito() const;
};

// One machine as the service serves it: its port kept open in continuous
// receive, closed and opened again around each send; a request punched by
// the CNC answered with the program asked for; a port that fails retried.
// A remote machine (an FTP server or a folder) is looked at every Sondeo
// seconds instead, and a send goes up beside the looks; a server away is
// told once and looked at again at the next look.
class MaquinaDnc : public QObject
{
    Q_OBJECT

public:
    enum class Estado { Inactiva, Escuchando, Recibiendo, Enviando, Fallo, Terminada };
    // How long a failed port rests before it is opened again, and how
    // often a failure that goes on is told again.
    static constexpr int kReintentoMs = 5000;
    static constexpr qint64 kRecordatorioFalloMs = 3600 * 1000;
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
    // hecho is told how it ended. A remote machine replaces a program of the
    // same name only with reemplazar; without it the send ends unsent.
    void envia(const QString &fichero, Aviso hecho = {}, bool reemplazar = false);
    // The window's Stop for the send on its way (a CNC that holds the line
    // for good, in alarm, would keep it forever); false when none is.
    bool detieneEnvio();
    // Stops serving, which is no operator's Stop: a send on its way goes on
    // for the line time of its rest and Envio::kMargenMs (at most plazoMaxMs)
    // and is otherwise cut without its end, as incomplete; a program on its
    // way in is kept as incomplete; sends still queued fail with motivo.
    // terminada() once the port is closed.
    void detiene(
        qint64 plazoMaxMs, const QString &motivo = QStringLiteral("the service is stopping"));
    // Ends the send on its way at once, without its end.
    void abandonaEnvio();

    QString nombre() const { return m_config.maquina.nombre; }
    QString puerto() const;
    bool remota() const { return m_remota; }
    Estado estado() const { return m_estado; }
    // The state in plain words, for status.
    QString textoEstado() const;
    const std::optional<EntradaRegistro> &ultima() const { return m_ultima; }
    void setUltima(const std::optional<EntradaRegistro> &ultima) { m_ultima = ultima; }
    const ConfigMaquinaDnc &config() const { return m_config; }

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
        bool reemplazar = false;
    };

    bool filtra(QByteArrayView texto);
    void siguienteEnvio();
    void lanzaEnvio();
    void alTerminarEnvio(const ResultadoTransferencia &r);
    void alTerminarContinua(const ResultadoTransferencia &r);
    void conectaRemota();
    void lanzaEnvioRemoto(const QList<QByteArray> &lineas);
    void alTerminarEnvioRemoto(const ResultadoTransferencia &r);
    void alFallarRemota(const QString &programa, const QString &motivo);
    bool enviando() const { return m_remota ? m_envioRemoto.activo() : m_envio.activo(); }
    void reintenta();
    void alConectar();
    void acaba();
    void anota(EntradaRegistro &e, const ResultadoTransferencia &r, qint64 ms);
    EntradaRegistro empieza(EntradaRegistro::Sentido sentido, const QString &fichero = {});
    bool iso() const;

    ConfigMaquinaDnc m_config;
    RegistroTransferencias m_registro;
    MSComm m_puerto;
    RecepcionContinua m_continua {m_puerto};
    Envio m_envio {m_puerto};
    bool m_remota = false;
    EnvioRemoto m_envioRemoto;
    SondeoRemoto m_sondeo;
    QTimer m_reintento;
    // The CNC's hold beyond RetencionMax, and the send's time once the service stops.
    QTimer m_retencion;
    QTimer m_plazoParada;
    QString m_motivoParada;
    // When the failure in m_motivoFallo was last told.
    QElapsedTimer m_avisoFallo;
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
    // The last look at a remote machine's folder that succeeded.
    QDateTime m_ultimaMirada;
};
