#pragma once

#include "line/tablaiso.h"
#include "port/mscomm.h"
#include "shell/disposicion.h"
#include "shell/panelestado.h"
#include "transfer/envio.h"
#include "transfer/envioparcial.h"
#include "transfer/envioremoto.h"
#include "transfer/recepcion.h"
#include "transfer/recepcioncontinua.h"
#include "transfer/recepcionremota.h"
#include "transfer/registro.h"
#include "transfer/sondeoremoto.h"

#include <QElapsedTimer>
#include <QList>
#include <QMainWindow>
#include <QSet>
#include <QString>
#include <QTimer>

#include <memory>
#include <utility>
#include <vector>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QListView;
class QPushButton;
class QStatusBar;
class PanelTrazado;
class ProgresoEstado;
class TextoPrograma;

// The program's working window: the text window with the part program, the
// status line, the port parameters, the transfer-mode box and the buttons
// that start every operation. Its handlers live beside their subsystem:
// shell/ (start-up, button sets, exit, layout), text/ (files, spacing) and
// transfer/ (port setup, sending, receiving).
class frmPrincipal : public QMainWindow
{
    Q_OBJECT

public:
    explicit frmPrincipal(QWidget *parent = nullptr);
    ~frmPrincipal() override;

    // Controls, named as the operators' manual and the language keys name them.
    QListView *lstTexto = nullptr;
    QLabel *lblTituloTexto = nullptr;
    QLabel *lblEstado = nullptr;
    QLabel *lblTituloEstado = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    PanelEstado *Panels[7] = {};
    // The current machine's name, before the seven; hidden without one.
    PanelEstado *PanelMaquina = nullptr;
    QCheckBox *chkModo = nullptr;
    QLabel *picAnagrama = nullptr;
    QPushButton *cmdAbrir = nullptr;
    QPushButton *cmdGuardar = nullptr;
    QPushButton *cmdLimpiar = nullptr;
    QPushButton *cmdEdit = nullptr;
    QPushButton *cmdConfig = nullptr;
    QPushButton *cmdSalir = nullptr;
    QPushButton *cmdStop = nullptr;
    QPushButton *cmdManual = nullptr;
    QPushButton *cmdSpace = nullptr;
    QPushButton *cmdPcCnc = nullptr;
    QPushButton *cmdCncPc = nullptr;

    // The menu bar above the layout: every button's command again, for the
    // keyboard (F10 or Alt and the menu's letter). Each action is enabled
    // exactly when its button is and runs the button's own handler.
    QMenu *mnuFichero = nullptr;
    QMenu *mnuTransferencia = nullptr;
    QMenu *mnuOpciones = nullptr;
    QMenu *mnuAyuda = nullptr;
    QAction *mnuAbrir = nullptr;
    QAction *mnuGuardar = nullptr;
    QAction *mnuLimpiar = nullptr;
    QAction *mnuEdit = nullptr;
    QAction *mnuSpace = nullptr;
    QAction *mnuComparar = nullptr;
    QAction *mnuSalir = nullptr;
    QAction *mnuCncPc = nullptr;
    QAction *mnuPcCnc = nullptr;
    QAction *mnuEnviaDesde = nullptr;
    QAction *mnuStop = nullptr;
    // Checked for ISO code, as chkModo.
    QAction *mnuModo = nullptr;
    QAction *mnuRegistro = nullptr;
    QAction *mnuConfig = nullptr;
    QAction *mnuManual = nullptr;

    // The status text shown before a send, put back at its end.
    QString lblEstadoTag;

    bool Recibiendo = false;
    bool Enviando = false;
    // Received text that has not been saved. The status line shows it too,
    // but its texts may be empty (no settings file), so it cannot be the marker.
    bool SinGuardar = false;

    TextoPrograma *texto() const { return m_texto; }
    const Disposicion &disposicion() const { return *m_disposicion; }

    // Panel n (from 1) of the status bar.
    void EstablecePanel(int n, const QString &texto);
    QString Panel(int n) const;

    // Start-up and shell (shell/frmprincipal.cpp).
    void Form_Load();
    // A main window loaded and shown, closing itself at the end, with the
    // program file given on the command line (none when empty) opened.
    static frmPrincipal *Arranca(const QString &fichero);
    // Runs Clear (with its save question); false when the window must stay open.
    bool Form_Unload();
    void HabilitaBotones();
    void DeshabilitaBotones();
    void Form_MouseMove();
    void cmdStop_MouseMove();
    void cmdConfig_Click();
    void cmdSalir_Click();
    void CargaIdioma();
    void Form_Resize();
    // Window title: the text of PrinName and, with a current file, " - [path]".
    void TituloVentana();
    // Shows the current machine in its panel, marked when the settings in
    // use are not the machine's as stored.
    void MuestraMaquina();

    // Program text (text/frmprincipal_texto.cpp).
    void cmdAbrir_Click();
    // Opens the file as if chosen in the browser for Open (keldan FILE).
    void AbreFichero(const QString &ruta);
    // True when the text was written.
    bool cmdGuardar_Click();
    // True when the text window was cleared; false when the save question
    // was dismissed, or an unsaved text could not be saved after the
    // operator asked for it.
    bool cmdLimpiar_Click();
    // True when the text may go: answered No, or saved.
    bool PreguntaGuardar();
    void cmdEdit_Click();
    void cmdManual_Click();
    void cmdSpace_Click();

    // Compare the text window with a file chosen in the browser (text/frmprincipal_texto.cpp).
    void cmdComparar_Click();

    // Serial transfer (transfer/frmprincipal_transferencia.cpp).
    void ConfigActual();
    void chkModo_Click();
    void cmdPcCnc_Click();
    void cmdStop_Click();
    void cmdCncPc_Click();
    void MSComm1_OnComm();
    // Ends a running transfer as Stop does and closes the port.
    void TerminaTransferencia();

    // Send from a chosen line or block, after the program's header
    // (transfer/frmprincipal_transferencia.cpp).
    void cmdEnviaDesde_Click();

    // The transfer log window (transfer/frmprincipal_transferencia.cpp).
    void cmdRegistro_Click();

    // Checks the port in use and shows what is wrong with it
    // (transfer/frmprincipal_transferencia.cpp).
    void cmdComprueba_Click();
    QAction *mnuComprueba = nullptr;

    // Continuous receive: each program saved by itself into the receive folder
    // (transfer/frmprincipal_transferencia.cpp).
    void cmdRecepcionContinua_Click();
    QAction *mnuRecepcionContinua = nullptr;

    // The backplot beside the text window or in its place (View menu, F4),
    // following the line selected or sent (plot/frmprincipal_trazado.cpp).
    PanelTrazado *panTrazado = nullptr;
    QMenu *mnuVer = nullptr;
    QAction *mnuTrazado = nullptr;
    QAction *mnuTrazadoEnLugar = nullptr;
    QAction *mnuVistaXY = nullptr;
    QAction *mnuVistaXZ = nullptr;
    QAction *mnuVistaYZ = nullptr;
    QAction *mnuVistaIso = nullptr;
    QAction *mnuEncuadra = nullptr;
    QAction *mnuSaltaBloques = nullptr;
    // Shows or hides the backplot.
    void cmdTrazado_Click();
    // Reads the text window into the backplot again, with the machine in use.
    void ReleeTrazado();

    // Twips to pixels and back at the screen's logical resolution.
    double TwipsPorPixel() const;
    int Pixeles(qint32 twips) const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *objeto, QEvent *evento) override;

private:
    void creaControles();
    void creaMenus();
    void textosMenus();
    // Room the menu bar takes above the layout at this window width.
    int AltoBarraMenu(int ancho) const;
    void aplicaDisposicion();
    void colocaControl(Disposicion::Control c, const Disposicion::Rect &r);
    // Loads NombreFichero into the text window; on failure says why and
    // makes the file before it (anterior) current again.
    void CargaFichero(const QString &anterior);
    QWidget *control(Disposicion::Control c) const;
    // Outer size of the window in twips.
    double AltoTwips() const;
    double AnchoTwips() const;

    // The backplot (plot/frmprincipal_trazado.cpp).
    void creaTrazado();
    void textosTrazado();
    // Shares the text window's place with the backplot (a copy: the text
    // window's own geometry changes on the way).
    void colocaTrazado(QRect texto);
    void lstTexto_Seleccion(const QModelIndex &actual);
    void trazado_LineaElegida(qsizetype linea);
    QTimer m_releeTrazado;

    TextoPrograma *m_texto = nullptr;
    std::unique_ptr<Disposicion> m_disposicion;
    // The status bar's panels, laid out so that each reads.
    FilaPaneles *m_paneles = nullptr;
    bool m_descargado = false;
    // Each button or box with the action that follows its enabled state.
    std::vector<std::pair<QWidget *, QAction *>> m_acciones;

    // Serial transfer state (transfer/).
public:
    // The serial line to the CNC; open only while a transfer runs.
    MSComm MSComm1;
    ::TablaIso TablaIso {};

private:
    enum class Transferencia { Ninguna, Envio, Recepcion, Continua };
    void preparaTransferencia();
    void enviaSeleccion(EnvioParcial::Seleccion seleccion);
    void marcaLineaEnviada(qint64 enviadas);
    void vuelcaLineas();
    void finEnvio(const ResultadoTransferencia &resultado);
    void finRecepcion(const ResultadoTransferencia &resultado);
    // The window at rest after a reception of either kind; true when it holds text.
    bool vuelveDeRecepcion();

    Envio m_envio {MSComm1};
    Recepcion m_recepcion {MSComm1};
    Transferencia m_transferencia = Transferencia::Ninguna;
    // Where the lines being sent sit in the text window (without the lines).
    EnvioParcial::Seleccion m_enviadas;
    ProgresoEstado *m_progreso = nullptr;
    // Received lines wait here a moment so that the text window takes them in batches.
    QList<QByteArray> m_pendientes;
    QTimer m_volcado;
    // The transfer under way, as its record in the log will show it.
    EntradaRegistro m_entradaRegistro;
    QElapsedTimer m_relojRegistro;

    // Continuous receive (transfer/frmprincipal_transferencia.cpp).
    void preparaContinua();
    void finContinua(const ResultadoTransferencia &resultado);
    RecepcionContinua m_continua {MSComm1};
    // The program in the window is saved: the next one replaces it.
    bool m_continuaReemplaza = false;
    int m_continuaGuardados = 0;
    bool m_continuaPreparada = false;
    // Why the mode ended without saving the text it keeps; told at its end.
    // Programs that came after it are logged, never shown.
    QString m_continuaError;
    // The log holds a record for the latest program (or for the mode's start).
    bool m_continuaAnotada = false;

    // A machine reached over FTP or through a folder: the same commands, on
    // its programs as files (transfer/frmprincipal_transferencia.cpp).
public:
    // Whether the settings in use name such a machine.
    bool MaquinaRemota() const;

private:
    // The settings in use as a machine, with the keys only a remote machine
    // has; false, after telling why, when they cannot be used for it.
    bool maquinaRemotaEnUso(::Maquina &m);
    void preparaRemota();
    void enviaRemoto(const EnvioParcial::Seleccion &seleccion);
    void recibeRemoto();
    void listadoRemoto(const QList<AlmacenRemoto::Entrada> &entradas);
    void finRecepcionRemota(const ResultadoTransferencia &resultado);
    void continuaRemota();
    void finSondeo(const ResultadoTransferencia &resultado);
    // The address as the operator reads it (never with a password).
    QString direccionRemota() const;
    // Tells, when the log could not take a transfer's record, why.
    void avisaRegistro(const QString &aviso);

    EnvioRemoto m_envioRemoto;
    RecepcionRemota m_recepcionRemota;
    // A child, so that tests find it and follow its looks.
    SondeoRemoto m_sondeo {this};
    bool m_remotaPreparada = false;
    // The transfer under way is with a remote machine.
    bool m_remota = false;
    // Receive: the programs chosen (none while the list is read) and the
    // folder several go into; how many were saved there.
    QStringList m_remotosElegidos;
    QString m_carpetaRemota;
    int m_remotosGuardados = 0;
    // Programs continuous receive could not fetch, logged once each until one is taken.
    QSet<QString> m_fallosSondeo;
};
