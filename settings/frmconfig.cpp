#include "settings/frmconfig.h"

#include "languages/frmconfigtraduc.h"
#include "languages/listaidiomas.h"
#include "line/direccionred.h"
#include "line/direccionremota.h"
#include "line/parametroslinea.h"
#include "port/frmcomprobacion.h"
#include "settings/cuadromaquinas.h"
#include "settings/listapuertos.h"
#include "settings/varsfuncsglobales.h"
#include "shell/frmprincipal.h"
#include "shell/herramientas.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QCompleter>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSpinBox>

using namespace VarsFuncsGlobales;

namespace {

// The key of each parity item's text, in the order of ValoresLinea::kParidades.
const char *const kClavesParidad[] = {"ConfigcmbParNo", "ConfigcmbParImpar", "ConfigcmbParPar",
    "ConfigcmbParMarca", "ConfigcmbParEspacio"};
static_assert(std::size(kClavesParidad) == std::size(ValoresLinea::kParidades));

// Where XON/XOFF is done, in list order: the key of the item's text and
// whether it is the port.
const std::pair<const char *, bool> kXonXoff[] = {
    {"ConfigcmbXonXoffPrograma", false},
    {"ConfigcmbXonXoffPuerto", true},
};

// The messages the status line can show, in the order they are looked for.
const char *const kClavesEstado[] = {"PrinmsgEsperandoEntrada", "PrinmsgEntrando",
    "PrinmsgSaliendo", "PrinmsgLimpia", "PrinmsgAbierto", "PrinmsgGuardado", "PrinmsgSinGuardar"};

constexpr int kPuertosCom = 10;

// End-of-block items in the order of FormatoLinea::FinBloque.
const char *const kFinesBloque[] = {"CR LF", "LF", "CR"};

const QString kGeneral = QStringLiteral("General");

// Showing a value from code chooses the item with exactly that text, or none.
void eligeTexto(QComboBox *lista, const QString &texto)
{
    lista->setCurrentIndex(lista->findText(texto, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void eligeDato(QComboBox *lista, const QString &dato)
{
    lista->setCurrentIndex(lista->findData(dato));
}

// The record as it stood before Aceptar, put back when it cannot be saved.
struct Registro
{
    QString idioma, modo, dispositivo, paridad, nego;
    bool xonXoffEnPuerto = false;
    int puerto = 0, bitsDatos = 0;
    qint32 velocidad = 0;
    double bitsStop = 0;
    FormatoLinea formato;
    QString dirRecepcion;

    static Registro actual()
    {
        return {IdiomaActual, ModoTransmision, PuertoDispositivo, Paridad, Nego, XonXoffEnPuerto,
            PuertoCom, BitsDatos, Velocidad, BitsStop, Formato, DirRecepcion};
    }
    void restaura() const
    {
        IdiomaActual = idioma;
        ModoTransmision = modo;
        PuertoDispositivo = dispositivo;
        Paridad = paridad;
        Nego = nego;
        XonXoffEnPuerto = xonXoffEnPuerto;
        PuertoCom = puerto;
        BitsDatos = bitsDatos;
        Velocidad = velocidad;
        BitsStop = bitsStop;
        Formato = formato;
        DirRecepcion = dirRecepcion;
    }
};

} // namespace

frmConfig::frmConfig(frmPrincipal &principal, QWidget *parent)
    : QDialog(parent), m_principal(principal)
{
    Herramientas::FuenteDiseno(this);
    creaControles();
    Form_Load();
}

frmConfig::~frmConfig() = default;

namespace {

ListaEleccion *lista(const char *nombre, QWidget *padre)
{
    auto *cmb = new ListaEleccion(padre);
    cmb->setObjectName(QLatin1String(nombre));
    return cmb;
}

QPushButton *boton(const char *nombre, QWidget *padre)
{
    auto *cmd = new QPushButton(padre);
    cmd->setObjectName(QLatin1String(nombre));
    cmd->setAutoDefault(false);
    return cmd;
}

// A label named for the control it stands beside (Alt and its letter go there).
QLabel *etiqueta(QWidget *control)
{
    auto *lbl = new QLabel(control->parentWidget());
    lbl->setBuddy(control);
    return lbl;
}

// Label and control side by side, two pairs a row from the given row on,
// in columns 0-1 and 3-4 with a gap between.
template<size_t N>
void colocaPares(QGridLayout *rejilla, int fila, const std::pair<QLabel *, QWidget *> (&pares)[N])
{
    for (size_t i = 0; i < N; ++i) {
        const int f = fila + int(i / 2);
        const int c = int(i % 2) * 3;
        rejilla->addWidget(pares[i].first, f, c);
        rejilla->addWidget(pares[i].second, f, c + 1);
    }
    rejilla->setColumnMinimumWidth(2, Herramientas::Pixeles(240));
}

// The widest address the port box must show whole.
const QString kPuertoMasLargo = QStringLiteral("rfc2217://192.168.100.200:65535");

} // namespace

void frmConfig::creaControles()
{
    setModal(true);
    // A fixed-size dialog: title and close button only.
    setWindowFlags(
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    // As an operator reads it: the machine, its line, how programs are
    // framed on it, where continuous receive saves; then the language and
    // the buttons. Each box is laid out from its texts, so a longer
    // translation widens the dialog instead of cutting them.
    fraMaquinas = new CuadroMaquinas(this);
    cmbMaquina = fraMaquinas->cmbMaquina;
    cmbPredefinida = fraMaquinas->cmbPredefinida;
    txtNombreMaquina = fraMaquinas->txtNombreMaquina;
    cmdMaqNueva = fraMaquinas->cmdMaqNueva;
    cmdMaqRenombra = fraMaquinas->cmdMaqRenombra;
    cmdMaqActualiza = fraMaquinas->cmdMaqActualiza;
    cmdMaqBorra = fraMaquinas->cmdMaqBorra;
    fraMaquinas->valoresMostrados = [this] { return ValoresMostrados(); };
    fraMaquinas->valoresAceptables = [this] { return valoresAceptables(); };
    fraLinea = creaLinea();
    fraRemota = creaRemota();
    fraFormato = creaFormato();
    fraRecepcion = new QGroupBox(this);
    txtDirRecepcion = new QLineEdit(fraRecepcion);
    txtDirRecepcion->setObjectName(QStringLiteral("txtDirRecepcion"));
    (new QHBoxLayout(fraRecepcion))->addWidget(txtDirRecepcion);

    cmbIdioma = lista("cmbIdioma", this);
    cmbIdioma->setMinimumContentsLength(16);
    lblIdioma = etiqueta(cmbIdioma);
    cmdAltaIdioma = boton("cmdAltaIdioma", this);
    cmdModifIdioma = boton("cmdModifIdioma", this);
    cmdAceptar = boton("cmdAceptar", this);
    cmdCancelar = boton("cmdCancelar", this);
    lblFichero = new QLabel(this);
    lblFichero->setWordWrap(true);
    lblFichero->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *idioma = new QHBoxLayout;
    for (QWidget *w :
        std::initializer_list<QWidget *> {lblIdioma, cmbIdioma, cmdAltaIdioma, cmdModifIdioma})
        idioma->addWidget(w);
    idioma->addStretch(1);
    idioma->addSpacing(Herramientas::Pixeles(240));
    idioma->addWidget(cmdAceptar);
    idioma->addWidget(cmdCancelar);
    auto *todo = new QVBoxLayout(this);
    for (QWidget *caja : std::initializer_list<QWidget *> {
             fraMaquinas, fraLinea, fraRemota, fraFormato, fraRecepcion})
        todo->addWidget(caja);
    todo->addLayout(idioma);
    todo->addWidget(lblFichero);
    // The size its texts ask for, and no other: nothing to stretch.
    todo->setSizeConstraint(QLayout::SetFixedSize);

    cmdAceptar->setEnabled(false);
    cmdAceptar->setDefault(true);
    cmdModifIdioma->setEnabled(false);

    QWidget *orden[] = {cmbMaquina, cmdMaqActualiza, cmdMaqBorra, cmbPredefinida, txtNombreMaquina,
        cmdMaqNueva, cmdMaqRenombra, cmbPuerto, cmdComprueba, cmbVT, cmbParidad, cmbBitsDatos,
        cmbBitsStop, cmbNego, cmbXonXoff, chkFtpActivo, chkNombreO, chkVerificar, spnSondeo,
        cmbModo, cmbFinBloque, spnNulosInicio, spnNulosFin, spnRetardo, spnSilencio, chkMarco,
        chkEsperaDc1, txtDirRecepcion, cmbIdioma, cmdAltaIdioma, cmdModifIdioma, cmdAceptar,
        cmdCancelar};
    for (size_t i = 1; i < std::size(orden); ++i)
        setTabOrder(orden[i - 1], orden[i]);

    connect(cmbPuerto, &QComboBox::activated, this, &frmConfig::cmbPuerto_Click);
    connect(cmbPuerto, &QComboBox::editTextChanged, this, &frmConfig::cmbPuerto_Click);
    connect(cmbVT, &QComboBox::activated, this, &frmConfig::cmbVT_Click);
    connect(cmbParidad, &QComboBox::activated, this, &frmConfig::cmbParidad_Click);
    connect(cmbBitsDatos, &QComboBox::activated, this, &frmConfig::cmbBitsDatos_Click);
    connect(cmbBitsStop, &QComboBox::activated, this, &frmConfig::cmbBitsStop_Click);
    connect(cmbModo, &QComboBox::activated, this, &frmConfig::cmbModo_Click);
    connect(cmbNego, &QComboBox::activated, this, &frmConfig::cmbNego_Click);
    connect(cmbXonXoff, &QComboBox::activated, this, &frmConfig::CompruebaCombos);
    connect(cmbFinBloque, &QComboBox::activated, this, &frmConfig::CompruebaCombos);
    connect(cmdComprueba, &QPushButton::clicked, this, &frmConfig::cmdComprueba_Click);
    connect(cmbIdioma, &QComboBox::activated, this, &frmConfig::cmbIdioma_Click);
    connect(cmdAceptar, &QPushButton::clicked, this, &frmConfig::cmdAceptar_Click);
    connect(cmdCancelar, &QPushButton::clicked, this, &frmConfig::cmdCancelar_Click);
    connect(cmdAltaIdioma, &QPushButton::clicked, this, &frmConfig::cmdAltaIdioma_Click);
    connect(cmdModifIdioma, &QPushButton::clicked, this, &frmConfig::cmdModifIdioma_Click);
    connect(fraMaquinas, &CuadroMaquinas::muestra, this, &frmConfig::MuestraValores);
    connect(fraMaquinas, &CuadroMaquinas::cambiado, this, &frmConfig::CompruebaCombos);
    connect(fraMaquinas, &CuadroMaquinas::actualCambiada, this, &frmConfig::sigueMaquinaActual);
}

QGroupBox *frmConfig::creaLinea()
{
    auto *caja = new QGroupBox(this);
    cmbPuerto = lista("cmbPuerto", caja);
    cmdComprueba = boton("cmdComprueba", caja);
    cmbVT = lista("cmbVT", caja);
    cmbParidad = lista("cmbParidad", caja);
    cmbBitsDatos = lista("cmbBitsDatos", caja);
    cmbBitsStop = lista("cmbBitsStop", caja);
    cmbNego = lista("cmbNego", caja);
    cmbXonXoff = lista("cmbXonXoff", caja);
    lblPuerto = etiqueta(cmbPuerto);
    lblVT = etiqueta(cmbVT);
    lblParidad = etiqueta(cmbParidad);
    lblBitsDatos = etiqueta(cmbBitsDatos);
    lblBitsStop = etiqueta(cmbBitsStop);
    lblNego = etiqueta(cmbNego);
    lblXonXoff = etiqueta(cmbXonXoff);

    for (int n = 1; n <= kPuertosCom; ++n)
        cmbPuerto->addItem(QStringLiteral("COM") + QString::number(n));
    // Any device can be typed in (a pseudo-terminal, say); it is checked
    // when the port opens, where a missing one is reported.
    cmbPuerto->setEditable(true);
    cmbPuerto->setInsertPolicy(QComboBox::NoInsert);
    // Suggestions only: completing inline turned a typed "tcp://host" into
    // an item "tcp://host:4001", another port than the one typed.
    cmbPuerto->completer()->setCompletionMode(QCompleter::PopupCompletion);
    cmbPuerto->alDesplegar = [this] { ActualizaPuertos(); };
    // A network address is seen whole, not its last characters.
    cmbPuerto->setMinimumWidth(cmbPuerto->fontMetrics().horizontalAdvance(kPuertoMasLargo)
        + cmbPuerto->fontMetrics().height() * 3);
    // Exactly the values a machine may hold: what the lists cannot show is
    // refused when a machine is read.
    for (const qint32 v : ValoresLinea::kVelocidades)
        cmbVT->addItem(QString::number(v));
    for (const int b : ValoresLinea::kBitsDatos)
        cmbBitsDatos->addItem(QString::number(b));
    for (const double b : ValoresLinea::kBitsStop)
        cmbBitsStop->addItem(TextoBitsStop(b));

    auto *rejilla = new QGridLayout(caja);
    rejilla->addWidget(lblPuerto, 0, 0);
    rejilla->addWidget(cmbPuerto, 0, 1, 1, 3);
    rejilla->addWidget(cmdComprueba, 0, 4);
    const std::pair<QLabel *, QWidget *> pares[]
        = {{lblVT, cmbVT}, {lblParidad, cmbParidad}, {lblBitsDatos, cmbBitsDatos},
            {lblBitsStop, cmbBitsStop}, {lblNego, cmbNego}, {lblXonXoff, cmbXonXoff}};
    colocaPares(rejilla, 1, pares);
    return caja;
}

QGroupBox *frmConfig::creaRemota()
{
    auto *caja = new QGroupBox(this);
    auto casilla = [caja](const char *nombre) {
        auto *chk = new QCheckBox(caja);
        chk->setObjectName(QLatin1String(nombre));
        return chk;
    };
    chkFtpActivo = casilla("chkFtpActivo");
    chkNombreO = casilla("chkNombreO");
    chkVerificar = casilla("chkVerificar");
    spnSondeo = new QSpinBox(caja);
    spnSondeo->setObjectName(QStringLiteral("spnSondeo"));
    // The values a machine's Sondeo may hold.
    spnSondeo->setRange(1, 86400);
    lblSondeo = etiqueta(spnSondeo);

    auto *rejilla = new QGridLayout(caja);
    rejilla->addWidget(chkFtpActivo, 0, 0, 1, 2);
    rejilla->addWidget(chkNombreO, 0, 3, 1, 2);
    rejilla->addWidget(chkVerificar, 1, 0, 1, 2);
    rejilla->addWidget(lblSondeo, 1, 3);
    rejilla->addWidget(spnSondeo, 1, 4);
    rejilla->setColumnMinimumWidth(2, Herramientas::Pixeles(240));
    return caja;
}

QGroupBox *frmConfig::creaFormato()
{
    auto *caja = new QGroupBox(this);
    auto numero = [caja](const char *nombre, int maximo) {
        auto *spn = new QSpinBox(caja);
        spn->setObjectName(QLatin1String(nombre));
        spn->setRange(0, maximo);
        return spn;
    };
    auto casilla = [caja](const char *nombre) {
        auto *chk = new QCheckBox(caja);
        chk->setObjectName(QLatin1String(nombre));
        return chk;
    };
    cmbModo = lista("cmbModo", caja);
    cmbFinBloque = lista("cmbFinBloque", caja);
    spnNulosInicio = numero("spnNulosInicio", FormatoLinea::kMaxNulos);
    spnNulosFin = numero("spnNulosFin", FormatoLinea::kMaxNulos);
    spnRetardo = numero("spnRetardo", FormatoLinea::kMaxRetardoMs);
    spnSilencio = numero("spnSilencio", FormatoLinea::kMaxSilencioS);
    chkMarco = casilla("chkMarco");
    chkEsperaDc1 = casilla("chkEsperaDc1");
    lblModo = etiqueta(cmbModo);
    lblFinBloque = etiqueta(cmbFinBloque);
    lblNulosInicio = etiqueta(spnNulosInicio);
    lblNulosFin = etiqueta(spnNulosFin);
    lblRetardo = etiqueta(spnRetardo);
    lblSilencio = etiqueta(spnSilencio);

    for (const char *m : ValoresLinea::kModos)
        cmbModo->addItem(QLatin1String(m));
    for (const char *fin : kFinesBloque)
        cmbFinBloque->addItem(QLatin1String(fin));

    auto *rejilla = new QGridLayout(caja);
    const std::pair<QLabel *, QWidget *> pares[]
        = {{lblModo, cmbModo}, {lblFinBloque, cmbFinBloque}, {lblNulosInicio, spnNulosInicio},
            {lblNulosFin, spnNulosFin}, {lblRetardo, spnRetardo}, {lblSilencio, spnSilencio}};
    colocaPares(rejilla, 0, pares);
    rejilla->addWidget(chkMarco, 3, 0, 1, 2);
    rejilla->addWidget(chkEsperaDc1, 3, 3, 1, 2);
    return caja;
}

void frmConfig::Form_Load()
{
    CargaTextos();
    CargaListaIdiomas();
    ActualizaPuertos();
    MuestraConfig();
    fraMaquinas->CargaListaMaquinas(VarsFuncsGlobales::Maquina, true);
}

void frmConfig::CargaTextos()
{
    setWindowTitle(Texto(QStringLiteral("ConfigName")));
    const std::pair<QLabel *, const char *> etiquetas[] = {
        {lblPuerto, "ConfiglblPuerto"},
        {lblVT, "ConfiglblVT"},
        {lblParidad, "ConfiglblParidad"},
        {lblBitsDatos, "ConfiglblBitsDatos"},
        {lblBitsStop, "ConfiglblBitsStop"},
        {lblModo, "ConfiglblModo"},
        {lblIdioma, "ConfiglblIdioma"},
        {lblNego, "ConfiglblNego"},
        {lblXonXoff, "ConfiglblXonXoff"},
    };
    for (const auto &[lbl, clave] : etiquetas)
        lbl->setText(Texto(QLatin1String(clave)));

    for (size_t i = 0; i < std::size(kClavesParidad); ++i) {
        // Without the language's texts the items would all be empty and
        // Aceptar could never be enabled: the letter stands in for its text.
        const QString letra(QLatin1Char(ValoresLinea::kParidades[i]));
        const QString texto = Texto(QLatin1String(kClavesParidad[i]));
        cmbParidad->addItem(texto.isEmpty() ? letra : texto, letra);
    }
    for (const char *valor : ValoresLinea::kNegos)
        cmbNego->addItem(
            Texto(QStringLiteral("ConfigcmbNego") + QLatin1String(valor)), QLatin1String(valor));
    for (const auto &[clave, enPuerto] : kXonXoff)
        cmbXonXoff->addItem(Texto(QLatin1String(clave)), enPuerto);

    cmdAceptar->setText(Texto(QStringLiteral("ConfigcmdAceptar")));
    cmdCancelar->setText(Texto(QStringLiteral("ConfigcmdCancelar")));
    cmdAltaIdioma->setText(Texto(QStringLiteral("ConfigcmdAltaIdioma")));
    cmdModifIdioma->setText(Texto(QStringLiteral("ConfigcmdModifIdioma")));
    cmdComprueba->setText(Texto(QStringLiteral("ConfigcmdComprueba")));

    fraMaquinas->CargaTextos();
    const std::pair<QGroupBox *, const char *> cajas[] = {
        {fraLinea, "ConfigfraLinea"},
        {fraFormato, "ConfigfraFormato"},
        {fraRemota, "ConfigfraRemota"},
        {fraRecepcion, "ConfigfraRecepcion"},
    };
    for (const auto &[caja, clave] : cajas)
        caja->setTitle(Texto(QLatin1String(clave)));
    txtDirRecepcion->setAccessibleName(fraRecepcion->title());
    // Captions of the format controls; a control with a label is named by
    // it for screen readers.
    const std::pair<QWidget *, const char *> textos[] = {
        {lblFinBloque, "ConfiglblFinBloque"},
        {lblNulosInicio, "ConfiglblNulosInicio"},
        {lblNulosFin, "ConfiglblNulosFin"},
        {lblRetardo, "ConfiglblRetardo"},
        {lblSilencio, "ConfiglblSilencio"},
        {chkMarco, "ConfigchkMarco"},
        {chkEsperaDc1, "ConfigchkEsperaDc1"},
        {lblSondeo, "ConfiglblSondeo"},
        {chkFtpActivo, "ConfigchkFtpActivo"},
        {chkNombreO, "ConfigchkNombreO"},
        {chkVerificar, "ConfigchkVerificar"},
    };
    for (const auto &[control, clave] : textos) {
        const QString texto = Texto(QLatin1String(clave));
        if (auto *lbl = qobject_cast<QLabel *>(control)) {
            lbl->setText(texto);
            if (lbl->buddy())
                lbl->buddy()->setAccessibleName(QString(texto).remove(QLatin1Char('&')));
        } else
            static_cast<QAbstractButton *>(control)->setText(texto);
    }
    const std::pair<QWidget *, const char *> consejos[] = {
        {spnSilencio, "ConfigSilencioTip"},
        {txtDirRecepcion, "ConfigDirRecepcionTip"},
        {cmbXonXoff, "ConfigXonXoffTip"},
        {cmdComprueba, "ConfigcmdCompruebaTip"},
        {fraRemota, "ConfigRemotaTip"},
        {chkFtpActivo, "ConfigFtpActivoTip"},
        {chkVerificar, "ConfigVerificarTip"},
        {spnSondeo, "ConfigSondeoTip"},
    };
    for (const auto &[control, clave] : consejos)
        control->setToolTip(Texto(QLatin1String(clave)));
    lblFichero->setText(
        Texto(QStringLiteral("ConfiglblFichero")).arg(QDir::toNativeSeparators(RutaIni())));
}

void frmConfig::CargaListaIdiomas()
{
    cmbIdioma->clear();
    cmbIdioma->addItems(ListaIdiomas::lee(RutaIni()));
}

void frmConfig::ActualizaPuertos()
{
    const int elegido = cmbPuerto->currentIndex();
    const QString datoElegido = cmbPuerto->currentData().toString();
    const QString textoElegido = cmbPuerto->currentText();
    // A device typed in is no item: it stays as typed.
    const bool tecleado
        = elegido < 0 ? !textoElegido.isEmpty() : cmbPuerto->itemText(elegido) != textoElegido;

    QList<DispositivoSerie> dispositivos = ListaPuertos::dispositivos();
    auto presente = [&dispositivos](const QString &ruta) {
        for (const DispositivoSerie &d : dispositivos) {
            if (d.ruta == ruta)
                return true;
        }
        return false;
    };
    // A device that is unplugged now stays on offer, or its setting would be lost.
    if (!PuertoDispositivo.isEmpty() && !presente(PuertoDispositivo))
        dispositivos.append({PuertoDispositivo, QString()});
    if (!datoElegido.isEmpty() && !presente(datoElegido))
        dispositivos.append({datoElegido, QString()});

    const QSignalBlocker bloqueo(cmbPuerto);
    while (cmbPuerto->count() > kPuertosCom)
        cmbPuerto->removeItem(kPuertosCom);
    for (const DispositivoSerie &d : dispositivos)
        cmbPuerto->addItem(ListaPuertos::textoElemento(d), d.ruta);

    if (elegido < 0 || tecleado) {
        cmbPuerto->setCurrentIndex(-1);
        cmbPuerto->setEditText(textoElegido);
    } else if (!datoElegido.isEmpty())
        eligeDato(cmbPuerto, datoElegido);
    else
        eligeTexto(cmbPuerto, textoElegido);
    cmbPuerto->setToolTip(cmbPuerto->currentText());
}

void frmConfig::MuestraConfig()
{
    ::Maquina registro;
    registro.com = PuertoDispositivo.isEmpty() ? QString::number(PuertoCom) : PuertoDispositivo;
    registro.velocidad = Velocidad;
    registro.paridad = Paridad;
    registro.bitsDatos = BitsDatos;
    registro.bitsStop = BitsStop;
    registro.modo = ModoTransmision;
    registro.nego = Nego;
    registro.xonXoffEnPuerto = XonXoffEnPuerto;
    registro.formato = Formato;
    registro.dirRecepcion = DirRecepcion;
    registro.recorrido = RecorridoMaquina::lee(RutaIni(), QStringLiteral("General"));
    // The keys of a remote machine have no place in the record: as General holds them.
    const ::Maquina general = ::Maquina::lee(RutaIni(), QStringLiteral("General"));
    registro.ftpActivo = general.ftpActivo;
    registro.nombreO = general.nombreO;
    registro.verificar = general.verificar;
    registro.sondeoS = general.sondeoS;
    MuestraValores(registro, true);
    eligeTexto(cmbIdioma, IdiomaActual);
    cmbIdioma_Click();

    // A value of General that no list offers leaves its list empty and OK
    // off: the operator is told which, so as to choose it again.
    const std::pair<const char *, QString> valores[] = {
        {"Vt", QString::number(Velocidad)},
        {"Par", Paridad},
        {"Bd", QString::number(BitsDatos)},
        {"Bs", TextoBitsStop(BitsStop)},
        {"Modo", ModoTransmision},
        {"Nego", Nego},
    };
    QStringList lineas;
    for (const auto &[clave, valor] : valores) {
        // A remote machine's line keys are not looked at; only its mode is.
        if (remotaMostrada() && qstrcmp(clave, "Modo") != 0)
            continue;
        if (listaDeClave(QLatin1String(clave))->currentIndex() < 0)
            lineas.append(Texto(QStringLiteral("ConfigAvisoClave")).arg(clave, valor));
    }
    if (!lineas.isEmpty()) {
        lineas.prepend(
            Texto(QStringLiteral("ConfigAvisoGeneral")).arg(QDir::toNativeSeparators(RutaIni())));
        Herramientas::MsgBox(lineas.join(QLatin1Char('\n')), Herramientas::vbExclamation,
            Texto(QStringLiteral("PrinTitulo")), this);
    }
}

QComboBox *frmConfig::listaDeClave(const QString &clave) const
{
    const std::pair<const char *, QComboBox *> listas[] = {{"Vt", cmbVT}, {"Par", cmbParidad},
        {"Bd", cmbBitsDatos}, {"Bs", cmbBitsStop}, {"Modo", cmbModo}, {"Nego", cmbNego},
        {"XonXoffEn", cmbXonXoff}, {"FinBloque", cmbFinBloque}};
    for (const auto &[c, lista] : listas) {
        if (clave == QLatin1String(c))
            return lista;
    }
    return nullptr;
}

void frmConfig::MuestraValores(const ::Maquina &m, bool puerto)
{
    if (puerto) {
        bool numerico = false;
        const int numero = m.com.toInt(&numerico);
        if (numerico)
            eligeTexto(cmbPuerto, QStringLiteral("COM") + QString::number(numero));
        else {
            // A machine's device that is not plugged in now is offered all the same.
            if (cmbPuerto->findData(m.com) < 0)
                cmbPuerto->addItem(ListaPuertos::textoElemento({m.com, QString()}), m.com);
            eligeDato(cmbPuerto, m.com);
        }
        cmbPuerto_Click();
    }
    eligeTexto(cmbVT, QString::number(m.velocidad));
    eligeDato(cmbParidad, m.paridad);
    eligeTexto(cmbBitsDatos, QString::number(m.bitsDatos));
    eligeTexto(cmbBitsStop, TextoBitsStop(m.bitsStop));
    eligeTexto(cmbModo, m.modo);
    eligeDato(cmbNego, m.nego);
    cmbXonXoff->setCurrentIndex(cmbXonXoff->findData(m.xonXoffEnPuerto));

    cmbFinBloque->setCurrentIndex(int(m.formato.finBloque));
    chkMarco->setChecked(m.formato.marco);
    spnNulosInicio->setValue(m.formato.nulosInicio);
    chkEsperaDc1->setChecked(m.formato.esperaDc1);
    spnNulosFin->setValue(m.formato.nulosFin);
    spnRetardo->setValue(m.formato.retardoLineaMs);
    spnSilencio->setValue(m.formato.silencioS);
    m_maxProgramaMiB = m.formato.maxProgramaMiB;
    chkFtpActivo->setChecked(m.ftpActivo);
    chkNombreO->setChecked(m.nombreO);
    chkVerificar->setChecked(m.verificar);
    spnSondeo->setValue(m.sondeoS);
    txtDirRecepcion->setText(m.dirRecepcion);
    // A refused value is shown as no choice (the port as written), never as
    // the default that stands in for it; the operator chooses it again.
    for (const AvisoIni &r : m.rechazos) {
        if (r.clave == QLatin1String("Com") && puerto) {
            cmbPuerto->setCurrentIndex(-1);
            cmbPuerto->setEditText(r.valor);
        } else if (QComboBox *lista = listaDeClave(r.clave))
            lista->setCurrentIndex(-1);
    }
    m_recorrido = m.recorrido;
    m_mostrada = m;
    CompruebaCombos();
}

void frmConfig::puertoMostrado(int &numero, QString &dispositivo) const
{
    // An item gives its COM number or its device; typed text names a COM
    // number, a network port as written, or a device, a bare name one under /dev.
    const QString puerto = cmbPuerto->currentText().trimmed();
    const int elemento = cmbPuerto->findText(puerto, Qt::MatchExactly | Qt::MatchCaseSensitive);
    dispositivo = elemento >= 0 ? cmbPuerto->itemData(elemento).toString() : puerto;
    if (DireccionRed::esDeRed(dispositivo) || DireccionRemota::esRemota(dispositivo)) {
        numero = 0;
        return;
    }
    static const QRegularExpression kCom(
        QStringLiteral("^COM([0-9]{1,3})$"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch com = kCom.match(dispositivo);
    // Numbers the settings can hold; any other text is a device's name.
    numero = com.hasMatch() ? com.captured(1).toInt() : 0;
    if (dispositivo.isEmpty() || (numero >= 1 && numero <= 255)) {
        dispositivo.clear();
        if (numero <= 0)
            numero = puerto.mid(3).toInt();
    } else {
        if (!dispositivo.startsWith(QLatin1Char('/')))
            dispositivo.prepend(QStringLiteral("/dev/"));
        numero = 0;
    }
}

::Maquina frmConfig::ValoresMostrados() const
{
    ::Maquina m;
    int numero = 0;
    QString dispositivo;
    puertoMostrado(numero, dispositivo);
    m.com = dispositivo.isEmpty() ? QString::number(numero) : dispositivo;
    m.velocidad = cmbVT->currentText().toInt();
    // The letter goes with the item, so two parity texts that a translation
    // made equal still give the letter of the item chosen.
    m.paridad = cmbParidad->currentIndex() >= 0 ? cmbParidad->currentData().toString() : Paridad;
    m.bitsDatos = cmbBitsDatos->currentText().toInt();
    m.bitsStop = QLocale::c().toDouble(cmbBitsStop->currentText());
    m.modo = cmbModo->currentText();
    m.nego = cmbNego->currentData().toString();
    m.xonXoffEnPuerto = cmbXonXoff->currentData().toBool();
    m.formato.finBloque = FormatoLinea::FinBloque(qMax(0, cmbFinBloque->currentIndex()));
    m.formato.marco = chkMarco->isChecked();
    m.formato.nulosInicio = spnNulosInicio->value();
    m.formato.esperaDc1 = chkEsperaDc1->isChecked();
    m.formato.nulosFin = spnNulosFin->value();
    m.formato.retardoLineaMs = spnRetardo->value();
    m.formato.silencioS = spnSilencio->value();
    m.formato.maxProgramaMiB = m_maxProgramaMiB;
    // Refused before it is stored (valoresAceptables); "~" stands for the home folder.
    m.dirRecepcion = Maquinas::dirRecepcionDeTexto(txtDirRecepcion->text()).value_or(QString());
    m.recorrido = m_recorrido;
    m.ftpActivo = chkFtpActivo->isChecked();
    m.nombreO = chkNombreO->isChecked();
    m.verificar = chkVerificar->isChecked();
    m.sondeoS = spnSondeo->value();
    // The line's settings do not apply to a remote machine: a list its file
    // left without a choice gives back what the machine held.
    if (DireccionRemota::esRemota(m.com)) {
        if (cmbVT->currentIndex() < 0)
            m.velocidad = m_mostrada.velocidad;
        if (cmbParidad->currentIndex() < 0)
            m.paridad = m_mostrada.paridad;
        if (cmbBitsDatos->currentIndex() < 0)
            m.bitsDatos = m_mostrada.bitsDatos;
        if (cmbBitsStop->currentIndex() < 0)
            m.bitsStop = m_mostrada.bitsStop;
        if (cmbNego->currentIndex() < 0)
            m.nego = m_mostrada.nego;
        if (cmbXonXoff->currentIndex() < 0)
            m.xonXoffEnPuerto = m_mostrada.xonXoffEnPuerto;
    }
    return m;
}

QString frmConfig::PuertoMostrado() const
{
    const QString texto = cmbPuerto->currentText().trimmed();
    if (DireccionRed::esDeRed(texto) || DireccionRemota::esRemota(texto))
        return texto;
    int numero = 0;
    QString dispositivo;
    puertoMostrado(numero, dispositivo);
    return dispositivo.isEmpty() ? QString::number(numero) : dispositivo;
}

void frmConfig::cmdComprueba_Click()
{
    // The port and settings shown, before they are accepted.
    ::Maquina m = ValoresMostrados();
    m.com = PuertoMostrado();
    frmComprobacion::Muestra(m, this);
}

bool frmConfig::remotaMostrada() const
{
    int numero = 0;
    QString dispositivo;
    puertoMostrado(numero, dispositivo);
    return DireccionRemota::esRemota(dispositivo);
}

void frmConfig::CompruebaCombos()
{
    // A machine reached over FTP or a folder has no line: speed, parity,
    // bits, handshake and the framing mean nothing to it, and stay as they
    // were. The mode stays open while it shows anything but ASCII, which
    // such a machine refuses, so that ASCII can be chosen.
    const bool remota = remotaMostrada();
    const bool ascii = cmbModo->currentText() == QLatin1String("Ascii");
    const ListaEleccion *serie[]
        = {cmbVT, cmbParidad, cmbBitsDatos, cmbBitsStop, cmbNego, cmbXonXoff};
    const ListaEleccion *siempre[] = {cmbPuerto, cmbModo, cmbFinBloque, cmbIdioma};
    bool completas = true;
    for (const ListaEleccion *l : siempre) {
        if (l->currentText().isEmpty())
            completas = false;
    }
    for (const ListaEleccion *l : serie) {
        if (!remota && l->currentText().isEmpty())
            completas = false;
    }
    cmdAceptar->setEnabled(completas);
    const std::pair<QLabel *, QWidget *> linea[]
        = {{lblVT, cmbVT}, {lblParidad, cmbParidad}, {lblBitsDatos, cmbBitsDatos},
            {lblBitsStop, cmbBitsStop}, {lblNego, cmbNego}, {lblNulosInicio, spnNulosInicio},
            {lblNulosFin, spnNulosFin}, {lblRetardo, spnRetardo}, {lblSilencio, spnSilencio},
            {nullptr, chkMarco}, {nullptr, chkEsperaDc1}, {lblModo, cmbModo}};
    for (const auto &[lbl, control] : linea) {
        const bool activo = !remota || (control == cmbModo && !ascii);
        if (lbl)
            lbl->setEnabled(activo);
        control->setEnabled(activo);
    }
    // The choice is kept with other handshakes, but means nothing there.
    const bool xon = !remota && cmbNego->currentData().toString() == QLatin1String("XonXoff");
    lblXonXoff->setEnabled(xon);
    cmbXonXoff->setEnabled(xon);
    // Active mode is FTP's alone; a folder has no server.
    fraRemota->setEnabled(remota);
    const std::optional<DireccionRemota> direccion = DireccionRemota::interpreta(PuertoMostrado());
    chkFtpActivo->setEnabled(!direccion || direccion->tipo != DireccionRemota::Tipo::Carpeta);
    cmdComprueba->setEnabled(!cmbPuerto->currentText().trimmed().isEmpty());
    fraMaquinas->Habilita(completas);
}

void frmConfig::cmbPuerto_Click()
{
    cmbPuerto->setToolTip(cmbPuerto->currentText());
    CompruebaCombos();
}

void frmConfig::cmbVT_Click()
{
    CompruebaCombos();
}

void frmConfig::cmbParidad_Click()
{
    CompruebaCombos();
}

void frmConfig::cmbBitsDatos_Click()
{
    CompruebaCombos();
}

void frmConfig::cmbBitsStop_Click()
{
    CompruebaCombos();
}

void frmConfig::cmbModo_Click()
{
    CompruebaCombos();
}

void frmConfig::cmbNego_Click()
{
    CompruebaCombos();
}

void frmConfig::cmbIdioma_Click()
{
    CompruebaCombos();
    cmdModifIdioma->setEnabled(!cmbIdioma->currentText().isEmpty());
}

QString frmConfig::ClaveEstado() const
{
    const QString estado = m_principal.lblEstado->text();
    for (const char *clave : kClavesEstado) {
        if (estado == Texto(QLatin1String(clave)))
            return QLatin1String(clave);
    }
    return {};
}

void frmConfig::TraduceEstado(const QString &clave)
{
    // A status line that shows none of the messages keeps its text.
    if (clave.isEmpty())
        return;
    m_principal.lblEstado->setText(LeeIni(IdiomaActual, clave, QString(), RutaIni()));
}

bool frmConfig::valoresAceptables()
{
    int numero = 0;
    QString dispositivo;
    puertoMostrado(numero, dispositivo);
    if (DireccionRed::esDeRed(dispositivo) && !DireccionRed::interpreta(dispositivo)) {
        Herramientas::MsgBox(Texto(QStringLiteral("PrinErrorDireccionRed")).arg(dispositivo),
            Herramientas::vbExclamation, Texto(QStringLiteral("PrinTitulo")), this);
        cmbPuerto->setFocus();
        return false;
    }
    if (DireccionRemota::esRemota(dispositivo)) {
        // A password is not shown back: it belongs in ~/.netrc alone.
        if (!DireccionRemota::interpreta(dispositivo)) {
            Herramientas::MsgBox(Texto(QStringLiteral("ConfigErrorDireccionRemota"))
                                     .arg(DireccionRemota::sinContrasena(dispositivo)),
                Herramientas::vbExclamation, Texto(QStringLiteral("PrinTitulo")), this);
            cmbPuerto->setFocus();
            return false;
        }
        // A program stored in ISO code is no file the control could read.
        if (cmbModo->currentText() != QLatin1String("Ascii")) {
            Herramientas::MsgBox(Texto(QStringLiteral("ConfigErrorIsoRemota")),
                Herramientas::vbExclamation, Texto(QStringLiteral("PrinTitulo")), this);
            cmbModo->setFocus();
            return false;
        }
    }
    // A relative folder would depend on where the program was started.
    const QString dir = txtDirRecepcion->text().trimmed();
    if (!Maquinas::dirRecepcionDeTexto(dir)) {
        Herramientas::MsgBox(Texto(QStringLiteral("ConfigErrorDirRecepcion")).arg(dir),
            Herramientas::vbExclamation, Texto(QStringLiteral("PrinTitulo")), this);
        txtDirRecepcion->setFocus();
        return false;
    }
    return true;
}

void frmConfig::cmdAceptar_Click()
{
    if (!valoresAceptables())
        return;
    const Registro anterior = Registro::actual();

    const ::Maquina mostrada = ValoresMostrados();
    puertoMostrado(PuertoCom, PuertoDispositivo);
    Velocidad = mostrada.velocidad;
    Paridad = mostrada.paridad;
    BitsDatos = mostrada.bitsDatos;
    BitsStop = mostrada.bitsStop;
    ModoTransmision = mostrada.modo;
    Nego = mostrada.nego;
    XonXoffEnPuerto = mostrada.xonXoffEnPuerto;
    Formato = mostrada.formato;
    DirRecepcion = mostrada.dirRecepcion;
    IdiomaActual = cmbIdioma->currentText();

    // Taken while the texts of the old language are still loaded.
    const QString clave = ClaveEstado();

    // Nothing may change on the main window until the settings are safe in
    // the file: on failure the record goes back and the dialog stays open
    // with the operator's choices.
    QString error;
    if (!GrabaConfig(&error)) {
        anterior.restaura();
        Herramientas::MsgBox(Texto(QStringLiteral("PrinErrorGrabaIni"))
                                 .arg(QDir::toNativeSeparators(RutaIni()), error),
            Herramientas::vbCritical, Texto(QStringLiteral("PrinTitulo")), this);
        return;
    }

    // The keys of a remote machine, which the record does not hold; the
    // others are those just saved, and go unchanged.
    ::Maquina remotas = ::Maquina::lee(RutaIni(), kGeneral);
    remotas.ftpActivo = mostrada.ftpActivo;
    remotas.nombreO = mostrada.nombreO;
    remotas.verificar = mostrada.verificar;
    remotas.sondeoS = mostrada.sondeoS;
    bool nombrada = remotas.escribe(RutaIni(), kGeneral, &error);

    // The settings are in General; now the machine they are said to come
    // from. Settings changed after choosing a machine keep its name (the
    // main window marks it modified), so Update can still store them there.
    const QString ruta = RutaIni();
    const QString elegida = cmbMaquina->currentText();
    const std::optional<::Maquina> guardada = Maquinas::lee(ruta, elegida);
    if (!nombrada) {
        // Told below; the machine is not named for settings half written.
    } else if (guardada) {
        ::Maquina comparada = mostrada;
        comparada.nombre = guardada->nombre;
        if (comparada == *guardada)
            nombrada = Maquinas::elige(ruta, elegida, &error) == Maquinas::Resultado::Hecho;
        else if (Maquinas::actual(ruta) != guardada->nombre)
            nombrada
                = EscribeIni(kGeneral, QStringLiteral("Maquina"), guardada->nombre, ruta, &error);
    } else if (!Maquinas::actual(ruta).isEmpty()) {
        // No machine chosen (or it has gone): General no longer names one.
        nombrada = EscribeIni(kGeneral, QStringLiteral("Maquina"), QString(), ruta, &error);
    }
    // The settings themselves are saved: the transfer can go on with them.
    if (!nombrada)
        Herramientas::MsgBox(
            Texto(QStringLiteral("PrinErrorGrabaIni")).arg(QDir::toNativeSeparators(ruta), error),
            Herramientas::vbCritical, Texto(QStringLiteral("PrinTitulo")), this);

    m_principal.chkModo->setChecked(ModoTransmision != QLatin1String("Ascii"));
    CargaConfig();
    TraduceEstado(clave);
    m_principal.CargaIdioma();
    m_principal.ConfigActual();
    m_principal.MuestraMaquina();
    accept();
}

void frmConfig::cmdCancelar_Click()
{
    reject();
}

void frmConfig::cmdAltaIdioma_Click()
{
    ModoAlta = true;
    {
        frmConfigTraduc editor(*this, this);
        editor.exec();
    }
    CargaListaIdiomas();
    eligeTexto(cmbIdioma, IdiomaActual);
    cmbIdioma_Click();
}

void frmConfig::cmdModifIdioma_Click()
{
    ModoAlta = false;
    frmConfigTraduc editor(*this, this);
    editor.exec();
}

void frmConfig::cmdMaqNueva_Click()
{
    fraMaquinas->cmdMaqNueva_Click();
}

void frmConfig::sigueMaquinaActual()
{
    VarsFuncsGlobales::Maquina = Maquinas::actual(RutaIni());
    m_principal.MuestraMaquina();
}
