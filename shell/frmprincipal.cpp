#include "shell/frmprincipal.h"

#include "settings/frmconfig.h"
#include "settings/maquinas.h"
#include "settings/varsfuncsglobales.h"
#include "shell/herramientas.h"
#include "text/delegadotexto.h"
#include "text/textoprograma.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QIcon>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>

using namespace VarsFuncsGlobales;

namespace {

// The window's border and title bar, in twips: the layout works on the outer
// size, Qt reports the inner one.
constexpr qint32 kMarcoAncho = 120;
constexpr qint32 kMarcoAlto = 450;

const char *const kDisenoPaneles[7] = {"Com", "Vt", "Par", "Bd", "Bs", "Modo", "Nego"};

QPushButton *botonConImagen(QWidget *padre, const char *imagen)
{
    auto *boton = new QPushButton(padre);
    boton->setIcon(QIcon(QStringLiteral(":/imagenes/%1.svg").arg(QLatin1String(imagen))));
    boton->setIconSize(QSize(22, 22));
    return boton;
}

} // namespace

frmPrincipal::frmPrincipal(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Programa de Comunicación por el Puerto Serie"));
    setWindowIcon(QIcon(QStringLiteral(":/imagenes/keldan.svg")));
    creaControles();
}

frmPrincipal::~frmPrincipal() = default;

void frmPrincipal::creaControles()
{
    Herramientas::FuenteDiseno(this);

    auto *central = new QWidget(this);
    setCentralWidget(central);
    central->setMouseTracking(true);
    central->installEventFilter(this);

    m_texto = new TextoPrograma(this);
    lstTexto = new QListView(central);
    lstTexto->setObjectName(QStringLiteral("lstTexto"));
    lstTexto->setModel(m_texto);
    // Millions of lines scroll smoothly only when the view need not measure each one.
    lstTexto->setUniformItemSizes(true);
    lstTexto->setItemDelegate(new DelegadoTexto(lstTexto));
    lstTexto->setLayoutMode(QListView::Batched);
    lstTexto->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstTexto->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    QPalette paleta = lstTexto->palette();
    paleta.setColor(QPalette::Base, Qt::black);
    paleta.setColor(QPalette::Text, QColor(0, 192, 0));
    lstTexto->setPalette(paleta);

    lblTituloTexto = new QLabel(QStringLiteral("Ventana de Texto:"), central);
    lblTituloEstado = new QLabel(QStringLiteral("Ventana de Estado:"), central);
    lblEstado = new QLabel(central);
    lblEstado->setObjectName(QStringLiteral("lblEstado"));
    lblEstado->setFrameShape(QFrame::Panel);
    lblEstado->setFrameShadow(QFrame::Sunken);

    picAnagrama = new QLabel(central);
    picAnagrama->setPixmap(QIcon(QStringLiteral(":/imagenes/anagrama.svg")).pixmap(QSize(50, 44)));
    picAnagrama->setAlignment(Qt::AlignCenter);

    cmdLimpiar = botonConImagen(central, "limpiar");
    cmdSalir = botonConImagen(central, "salir");
    cmdConfig = botonConImagen(central, "config");
    cmdEdit = botonConImagen(central, "edit");
    cmdAbrir = botonConImagen(central, "abrir");
    cmdGuardar = botonConImagen(central, "guardar");
    cmdStop = botonConImagen(central, "stop");
    cmdStop->setIconSize(QSize(32, 32));
    cmdCncPc = new QPushButton(QStringLiteral("&CNC -> PC"), central);
    cmdPcCnc = new QPushButton(QStringLiteral("&PC -> CNC"), central);
    cmdSpace = new QPushButton(QStringLiteral("&Espacios"), central);
    cmdManual = new QPushButton(QStringLiteral("&Manual"), central);
    chkModo = new QCheckBox(QStringLiteral("Ascii / Iso"), central);

    const std::pair<QPushButton *, const char *> nombres[] = {
        {cmdLimpiar, "cmdLimpiar"},
        {cmdSalir, "cmdSalir"},
        {cmdConfig, "cmdConfig"},
        {cmdEdit, "cmdEdit"},
        {cmdAbrir, "cmdAbrir"},
        {cmdGuardar, "cmdGuardar"},
        {cmdStop, "cmdStop"},
        {cmdCncPc, "cmdCncPc"},
        {cmdPcCnc, "cmdPcCnc"},
        {cmdSpace, "cmdSpace"},
        {cmdManual, "cmdManual"},
    };
    for (const auto &[boton, nombre] : nombres) {
        boton->setObjectName(QLatin1String(nombre));
        boton->setAutoDefault(false);
    }
    chkModo->setObjectName(QStringLiteral("chkModo"));

    // Design state: nothing to save, send or space yet; Stop only during a transfer.
    cmdGuardar->setEnabled(false);
    cmdStop->setEnabled(false);
    cmdSpace->setEnabled(false);
    cmdPcCnc->setEnabled(false);

    // Tab order follows the column from top to bottom, the text window last.
    QWidget *orden[] = {cmdLimpiar, cmdSalir, cmdConfig, cmdEdit, cmdAbrir, cmdGuardar, cmdCncPc,
        cmdPcCnc, cmdSpace, cmdManual, chkModo, cmdStop, lstTexto};
    for (size_t i = 1; i < std::size(orden); ++i)
        setTabOrder(orden[i - 1], orden[i]);

    cmdStop->setMouseTracking(true);
    cmdStop->installEventFilter(this);

    StatusBar1 = statusBar();
    StatusBar1->setSizeGripEnabled(true);
    // As low as the design's bar, so it leaves the column's Stop button whole.
    StatusBar1->setFixedHeight(qMax(Pixeles(252), StatusBar1->fontMetrics().height() + 6));
    // Each panel as wide as its text, so that none is cut to a misleading
    // stub ("COM1(" for COM10); the bar's spare room stays on the right.
    // Short of room, the machine's and the port's names lose their middle,
    // and the panels sit closer than the bar would set them, so that a
    // machine, a long device name and every setting are read at the
    // window's default width. The machine's panel goes first and shows only
    // while there is a machine.
    m_paneles = new FilaPaneles(StatusBar1);
    PanelMaquina = new PanelEstado();
    PanelMaquina->setObjectName(QStringLiteral("PanelMaquina"));
    PanelMaquina->hide();
    m_paneles->Agrega(PanelMaquina);
    for (int i = 0; i < 7; ++i) {
        Panels[i] = new PanelEstado(QLatin1String(kDisenoPaneles[i]));
        m_paneles->Agrega(Panels[i]);
    }
    StatusBar1->addWidget(m_paneles, 1);

    connect(cmdLimpiar, &QPushButton::clicked, this, [this] { cmdLimpiar_Click(); });
    connect(cmdSalir, &QPushButton::clicked, this, &frmPrincipal::cmdSalir_Click);
    connect(cmdConfig, &QPushButton::clicked, this, &frmPrincipal::cmdConfig_Click);
    connect(cmdEdit, &QPushButton::clicked, this, &frmPrincipal::cmdEdit_Click);
    connect(cmdAbrir, &QPushButton::clicked, this, &frmPrincipal::cmdAbrir_Click);
    connect(cmdGuardar, &QPushButton::clicked, this, [this] { cmdGuardar_Click(); });
    connect(cmdStop, &QPushButton::clicked, this, &frmPrincipal::cmdStop_Click);
    connect(cmdManual, &QPushButton::clicked, this, &frmPrincipal::cmdManual_Click);
    connect(cmdSpace, &QPushButton::clicked, this, &frmPrincipal::cmdSpace_Click);
    connect(cmdPcCnc, &QPushButton::clicked, this, &frmPrincipal::cmdPcCnc_Click);
    connect(cmdCncPc, &QPushButton::clicked, this, &frmPrincipal::cmdCncPc_Click);
    // A value set from code raises the handler as a click does.
    connect(chkModo, &QCheckBox::toggled, this, &frmPrincipal::chkModo_Click);

    creaMenus();

    // The bar sits above the layout, which keeps its design size below it.
    for (int c = 0; c < Disposicion::NumControles; ++c)
        colocaControl(Disposicion::Control(c), Disposicion::diseno(Disposicion::Control(c)));
    const int ancho = Pixeles(Disposicion::kAnchoCliente);
    setMinimumSize(Pixeles(Disposicion::kAnchoMinimo - kMarcoAncho),
        Pixeles(Disposicion::kAltoMinimo - kMarcoAlto) + AltoBarraMenu(ancho));
    resize(ancho, Pixeles(Disposicion::kAltoCliente) + AltoBarraMenu(ancho));
}

void frmPrincipal::creaMenus()
{
    QMenuBar *barra = menuBar();
    mnuFichero = barra->addMenu(QString());
    mnuTransferencia = barra->addMenu(QString());
    mnuVer = barra->addMenu(QString());
    mnuOpciones = barra->addMenu(QString());
    mnuAyuda = barra->addMenu(QString());

    const auto accion = [this](QMenu *menu, const char *nombre, QAbstractButton *boton,
                            const QKeySequence &atajo = {}) {
        QAction *a = menu->addAction(QString());
        a->setObjectName(QLatin1String(nombre));
        a->setShortcut(atajo);
        a->setEnabled(boton->isEnabled());
        // The button's enabled state drives the action (see eventFilter),
        // whoever sets it.
        m_acciones.emplace_back(boton, a);
        boton->installEventFilter(this);
        // Through the button: its own handler runs, and never while it is off.
        if (!boton->isCheckable())
            connect(a, &QAction::triggered, boton, &QAbstractButton::click);
        return a;
    };
    // A command without a button of its own follows the button whose state
    // it shares: Compare needs text, as Save does; a send from a line is a
    // send; the log needs no transfer.
    const auto orden = [this](QMenu *menu, const char *nombre, QAbstractButton *guia,
                           void (frmPrincipal::*manejador)()) {
        QAction *a = menu->addAction(QString());
        a->setObjectName(QLatin1String(nombre));
        a->setEnabled(guia->isEnabled());
        m_acciones.emplace_back(guia, a);
        guia->installEventFilter(this);
        connect(a, &QAction::triggered, this, manejador);
        return a;
    };
    mnuAbrir = accion(mnuFichero, "mnuAbrir", cmdAbrir, QKeySequence::Open);
    mnuGuardar = accion(mnuFichero, "mnuGuardar", cmdGuardar, QKeySequence::Save);
    mnuLimpiar = accion(mnuFichero, "mnuLimpiar", cmdLimpiar);
    mnuFichero->addSeparator();
    mnuEdit = accion(mnuFichero, "mnuEdit", cmdEdit);
    mnuSpace = accion(mnuFichero, "mnuSpace", cmdSpace);
    mnuComparar = orden(mnuFichero, "mnuComparar", cmdGuardar, &frmPrincipal::cmdComparar_Click);
    mnuFichero->addSeparator();
    mnuSalir = accion(mnuFichero, "mnuSalir", cmdSalir, QKeySequence::Quit);

    // Both transfers keep their buttons' Alt letters; Escape stops.
    mnuCncPc = accion(mnuTransferencia, "mnuCncPc", cmdCncPc);
    // Continuous receive may start whenever a reception may.
    mnuRecepcionContinua = orden(mnuTransferencia, "mnuRecepcionContinua", cmdCncPc,
        &frmPrincipal::cmdRecepcionContinua_Click);
    mnuPcCnc = accion(mnuTransferencia, "mnuPcCnc", cmdPcCnc);
    mnuEnviaDesde
        = orden(mnuTransferencia, "mnuEnviaDesde", cmdPcCnc, &frmPrincipal::cmdEnviaDesde_Click);
    mnuStop = accion(mnuTransferencia, "mnuStop", cmdStop, QKeySequence(Qt::Key_Escape));
    mnuTransferencia->addSeparator();
    mnuModo = accion(mnuTransferencia, "mnuModo", chkModo);
    mnuModo->setCheckable(true);
    mnuModo->setChecked(chkModo->isChecked());
    // The box runs chkModo_Click when it changes, from here too.
    connect(mnuModo, &QAction::triggered, chkModo, &QAbstractButton::setChecked);
    connect(chkModo, &QAbstractButton::toggled, mnuModo, &QAction::setChecked);
    mnuRegistro
        = orden(mnuTransferencia, "mnuRegistro", cmdConfig, &frmPrincipal::cmdRegistro_Click);

    mnuConfig = accion(mnuOpciones, "mnuConfig", cmdConfig, QKeySequence::Preferences);
    // The check never while a transfer holds the port, as the settings.
    mnuComprueba = orden(mnuOpciones, "mnuComprueba", cmdConfig, &frmPrincipal::cmdComprueba_Click);
    mnuManual = accion(mnuAyuda, "mnuManual", cmdManual, QKeySequence::HelpContents);

    creaTrazado();

    // F10 opens the bar as on other desktops; Qt leaves it to the program.
    auto *f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(f10, &QShortcut::activated, this,
        [this] { menuBar()->setActiveAction(mnuFichero->menuAction()); });
    // Texts before the window measures the bar: without them it is lower.
    textosMenus();
}

void frmPrincipal::textosMenus()
{
    const std::pair<QAction *, const char *> menus[] = {
        {mnuFichero->menuAction(), "MenuFichero"},
        {mnuAbrir, "MenuAbrir"},
        {mnuGuardar, "MenuGuardar"},
        {mnuLimpiar, "MenuLimpiar"},
        {mnuEdit, "MenuEdit"},
        {mnuSpace, "MenuSpace"},
        {mnuComparar, "ComparamnuComparar"},
        {mnuSalir, "MenuSalir"},
        {mnuTransferencia->menuAction(), "MenuTransferencia"},
        {mnuCncPc, "MenuCncPc"},
        {mnuRecepcionContinua, "ContinuaMenu"},
        {mnuPcCnc, "MenuPcCnc"},
        {mnuEnviaDesde, "BloquemnuEnviaDesde"},
        {mnuStop, "MenuStop"},
        {mnuModo, "MenuModo"},
        {mnuRegistro, "MenuRegistro"},
        {mnuOpciones->menuAction(), "MenuOpciones"},
        {mnuConfig, "MenuConfig"},
        {mnuComprueba, "MenuComprueba"},
        {mnuAyuda->menuAction(), "MenuAyuda"},
        {mnuManual, "MenuManual"},
    };
    for (const auto &[accion, clave] : menus)
        accion->setText(Texto(QLatin1String(clave)));
    textosTrazado();
}

int frmPrincipal::AltoBarraMenu(int ancho) const
{
    // A bar the desktop draws itself (a global menu) takes no room here.
    const auto *barra = qobject_cast<const QMenuBar *>(menuWidget());
    if (!barra || barra->isNativeMenuBar() || barra->isHidden())
        return 0;
    // As the window's own layout measures it.
    const int alto = barra->heightForWidth(ancho);
    return alto >= 0 ? alto : barra->sizeHint().height();
}

QWidget *frmPrincipal::control(Disposicion::Control c) const
{
    switch (c) {
    case Disposicion::lblTituloTexto:
        return lblTituloTexto;
    case Disposicion::lstTexto:
        return lstTexto;
    case Disposicion::picAnagrama:
        return picAnagrama;
    case Disposicion::cmdLimpiar:
        return cmdLimpiar;
    case Disposicion::cmdSalir:
        return cmdSalir;
    case Disposicion::cmdConfig:
        return cmdConfig;
    case Disposicion::cmdEdit:
        return cmdEdit;
    case Disposicion::cmdAbrir:
        return cmdAbrir;
    case Disposicion::cmdGuardar:
        return cmdGuardar;
    case Disposicion::cmdCncPc:
        return cmdCncPc;
    case Disposicion::cmdPcCnc:
        return cmdPcCnc;
    case Disposicion::cmdSpace:
        return cmdSpace;
    case Disposicion::cmdManual:
        return cmdManual;
    case Disposicion::chkModo:
        return chkModo;
    case Disposicion::cmdStop:
        return cmdStop;
    case Disposicion::lblTituloEstado:
        return lblTituloEstado;
    case Disposicion::lblEstado:
        return lblEstado;
    case Disposicion::StatusBar1: // spans the bottom edge on its own
    case Disposicion::NumControles:
        break;
    }
    return nullptr;
}

double frmPrincipal::TwipsPorPixel() const
{
    const QScreen *pantalla = screen();
    const double dpi = pantalla ? pantalla->logicalDotsPerInchX() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

int frmPrincipal::Pixeles(qint32 twips) const
{
    return qRound(twips / TwipsPorPixel());
}

double frmPrincipal::AltoTwips() const
{
    return (height() - AltoBarraMenu(width())) * TwipsPorPixel() + kMarcoAlto;
}

double frmPrincipal::AnchoTwips() const
{
    return width() * TwipsPorPixel() + kMarcoAncho;
}

void frmPrincipal::EstablecePanel(int n, const QString &texto)
{
    Panels[n - 1]->setText(texto);
}

QString frmPrincipal::Panel(int n) const
{
    return Panels[n - 1]->text();
}

void frmPrincipal::Form_Load()
{
    Recibiendo = false;
    Enviando = false;
    m_disposicion = std::make_unique<Disposicion>(AltoTwips(), AnchoTwips());
    CargaTablaIso(TablaIso);
    CargaConfig();
    CargaIdioma();
    ConfigActual();
    MuestraMaquina();
    lblEstado->setText(Texto(QStringLiteral("PrinmsgLimpia")));
    // Installed for every user, the settings are the user's own copy; without
    // it every change would be lost, so the operator must know at once.
    if (!ErrorDirectorioAjustes().isEmpty())
        Herramientas::MsgBox(
            Texto(QStringLiteral("PrinErrorGrabaIni")).arg(RutaIni(), ErrorDirectorioAjustes()),
            Herramientas::vbCritical + Herramientas::vbOKOnly, Texto(QStringLiteral("PrinTitulo")),
            this);
}

frmPrincipal *frmPrincipal::Arranca(const QString &fichero)
{
    auto *principal = new frmPrincipal;
    principal->setAttribute(Qt::WA_DeleteOnClose);
    principal->Form_Load();
    principal->show();
    if (!fichero.isEmpty())
        principal->AbreFichero(fichero);
    return principal;
}

void frmPrincipal::MuestraMaquina()
{
    QString texto = VarsFuncsGlobales::Maquina;
    if (!texto.isEmpty()) {
        // Settings in use that are not the machine's as stored (changed
        // after choosing it, or it has gone) must not pass for it.
        const QString ruta = RutaIni();
        const std::optional<::Maquina> guardada = Maquinas::lee(ruta, texto);
        ::Maquina enUso = ::Maquina::lee(ruta, QStringLiteral("General"));
        enUso.nombre = guardada ? guardada->nombre : QString();
        if (!guardada || enUso != *guardada)
            texto = Texto(QStringLiteral("PrinMaquinaModificada")).arg(texto);
    }
    // The name may lose its middle, never the marker around it.
    const qsizetype inicio = texto == VarsFuncsGlobales::Maquina
        ? 0
        : Texto(QStringLiteral("PrinMaquinaModificada")).indexOf(QStringLiteral("%1"));
    PanelMaquina->EstableceTexto(
        texto, qMax(qsizetype(0), inicio), VarsFuncsGlobales::Maquina.size());
    PanelMaquina->setToolTip(Texto(QStringLiteral("PrinMaquina")) + QLatin1Char('\n') + texto);
    PanelMaquina->setAccessibleName(Texto(QStringLiteral("PrinMaquina")));
    PanelMaquina->setVisible(!texto.isEmpty());
    m_paneles->Coloca();
}

void frmPrincipal::TituloVentana()
{
    QString titulo = Texto(QStringLiteral("PrinName"));
    if (!NombreFichero.isEmpty())
        titulo += QStringLiteral(" - [") + NombreFichero + QLatin1Char(']');
    setWindowTitle(titulo);
}

void frmPrincipal::CargaIdioma()
{
    TituloVentana();
    lblTituloTexto->setText(Texto(QStringLiteral("PrinlblTituloTexto")));
    lblTituloEstado->setText(Texto(QStringLiteral("PrinlblTituloEstado")));
    cmdSpace->setText(Texto(QStringLiteral("PrincmdSpace")));
    cmdManual->setText(Texto(QStringLiteral("PrincmdManual")));
    for (Disposicion::Control c : {Disposicion::lblTituloTexto, Disposicion::lblTituloEstado})
        colocaControl(c, m_disposicion ? m_disposicion->geometria(c) : Disposicion::diseno(c));
    const std::pair<QPushButton *, const char *> ayudas[] = {
        {cmdLimpiar, "PrincmdLimpiar"},
        {cmdSalir, "PrincmdSalir"},
        {cmdConfig, "PrincmdConfig"},
        {cmdEdit, "PrincmdEdit"},
        {cmdAbrir, "PrincmdAbrir"},
        {cmdGuardar, "PrincmdGuardar"},
        {cmdStop, "PrincmdStop"},
    };
    for (const auto &[boton, clave] : ayudas) {
        const QString ayuda = Texto(QLatin1String(clave));
        boton->setToolTip(ayuda);
        // The picture buttons have no caption: screen readers use the tooltip.
        boton->setAccessibleName(ayuda);
    }
    textosMenus();
}

void frmPrincipal::HabilitaBotones()
{
    for (QWidget *w : std::initializer_list<QWidget *> {cmdLimpiar, cmdSalir, cmdConfig, cmdEdit,
             cmdAbrir, cmdGuardar, cmdCncPc, cmdPcCnc, cmdSpace, cmdManual, chkModo})
        w->setEnabled(true);
}

void frmPrincipal::DeshabilitaBotones()
{
    for (QWidget *w : std::initializer_list<QWidget *> {cmdLimpiar, cmdSalir, cmdConfig, cmdEdit,
             cmdAbrir, cmdGuardar, cmdCncPc, cmdPcCnc, cmdSpace, cmdManual, chkModo})
        w->setEnabled(false);
}

void frmPrincipal::Form_MouseMove()
{
    if (Recibiendo || Enviando)
        Herramientas::EstablecePuntero(Herramientas::Puntero::Reloj);
}

void frmPrincipal::cmdStop_MouseMove()
{
    if (Recibiendo || Enviando)
        Herramientas::EstablecePuntero(Herramientas::Puntero::Normal);
}

bool frmPrincipal::eventFilter(QObject *objeto, QEvent *evento)
{
    if (evento->type() == QEvent::EnabledChange) {
        for (const auto &[control, accion] : m_acciones)
            if (control == objeto)
                accion->setEnabled(control->isEnabled());
    } else if (evento->type() == QEvent::MouseMove) {
        if (objeto == cmdStop) {
            cmdStop_MouseMove();
        } else if (objeto == centralWidget()) {
            const auto *raton = static_cast<QMouseEvent *>(evento);
            if (!centralWidget()->childAt(raton->position().toPoint()))
                Form_MouseMove();
        }
    }
    return QMainWindow::eventFilter(objeto, evento);
}

void frmPrincipal::cmdConfig_Click()
{
    {
        frmConfig dialogo(*this, this);
        dialogo.exec();
    }
    // Cancelled too: a machine renamed or deleted in the dialog is gone.
    MuestraMaquina();
    // Its travel and rapid rate check the program.
    ReleeTrazado();
    update();
}

bool frmPrincipal::Form_Unload()
{
    return cmdLimpiar_Click();
}

void frmPrincipal::cmdSalir_Click()
{
    if (!Form_Unload())
        return;
    m_descargado = true;
    close();
}

void frmPrincipal::closeEvent(QCloseEvent *event)
{
    if (m_descargado) {
        event->accept();
        return;
    }
    // The transfer uses the text window and the port: end it before the
    // unload empties the one and the window goes with the other. A send
    // already stopped may still be handing its last bytes to the CNC.
    TerminaTransferencia();
    if (!Form_Unload()) {
        event->ignore();
        return;
    }
    m_descargado = true;
    event->accept();
}

void frmPrincipal::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (m_disposicion)
        Form_Resize();
}

void frmPrincipal::Form_Resize()
{
    const Disposicion::Ajuste ajuste
        = m_disposicion->Form_Resize(AltoTwips(), AnchoTwips(), isMinimized());
    aplicaDisposicion();
    if (ajuste.alto || ajuste.ancho) {
        const int alto
            = ajuste.alto ? Pixeles(*ajuste.alto - kMarcoAlto) + AltoBarraMenu(width()) : height();
        const int ancho = ajuste.ancho ? Pixeles(*ajuste.ancho - kMarcoAncho) : width();
        resize(ancho, alto);
    }
}

void frmPrincipal::aplicaDisposicion()
{
    for (int c = 0; c < Disposicion::NumControles; ++c)
        colocaControl(Disposicion::Control(c), m_disposicion->geometria(Disposicion::Control(c)));
}

void frmPrincipal::colocaControl(Disposicion::Control c, const Disposicion::Rect &r)
{
    QWidget *w = control(c);
    if (!w)
        return;
    int ancho = Pixeles(r.width);
    // The headings are never moved; they may take the room their text needs.
    if (c == Disposicion::lblTituloTexto || c == Disposicion::lblTituloEstado)
        ancho = qMax(ancho, w->sizeHint().width());
    w->setGeometry(Pixeles(r.left), Pixeles(r.top), ancho, Pixeles(r.height));
    if (c == Disposicion::lstTexto)
        colocaTrazado(w->geometry());
}
