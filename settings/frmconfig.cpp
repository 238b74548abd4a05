#include "settings/frmconfig.h"

#include "languages/frmconfigtraduc.h"
#include "languages/listaidiomas.h"
#include "line/direccionred.h"
#include "port/frmcomprobacion.h"
#include "settings/listapuertos.h"
#include "settings/varsfuncsglobales.h"
#include "shell/frmprincipal.h"
#include "shell/herramientas.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSpinBox>

using namespace VarsFuncsGlobales;

namespace {

const char *const kVelocidades[] = {"110", "300", "600", "1200", "2400", "4800", "9600", "14400",
    "19200", "28800", "38400", "57600", "115200"};

// Parity items in list order: the key of the item's text and its letter.
const std::pair<const char *, const char *> kParidades[] = {
    {"ConfigcmbParNo", "N"},
    {"ConfigcmbParImpar", "O"},
    {"ConfigcmbParPar", "E"},
    {"ConfigcmbParMarca", "M"},
    {"ConfigcmbParEspacio", "S"},
};

// Handshake items in list order: the key of the item's text and the value of Nego.
const std::pair<const char *, const char *> kNegos[] = {
    {"ConfigcmbNegoXonXoff", "XonXoff"},
    {"ConfigcmbNegoRtsCts", "RtsCts"},
    {"ConfigcmbNegoNinguno", "Ninguno"},
};

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

ListaEleccion::ListaEleccion(QWidget *parent) : QComboBox(parent)
{
    setEditable(false);
}

void ListaEleccion::showPopup()
{
    if (alDesplegar)
        alDesplegar();
    // Device names are longer than the list is wide: let the drop-down show them whole.
    view()->setMinimumWidth(qMax(width(), view()->sizeHintForColumn(0) + 24));
    QComboBox::showPopup();
}

frmConfig::frmConfig(frmPrincipal &principal, QWidget *parent)
    : QDialog(parent), m_principal(principal)
{
    Herramientas::FuenteDiseno(this);
    creaControles();
    Form_Load();
}

frmConfig::~frmConfig() = default;

void frmConfig::creaControles()
{
    setModal(true);
    // A fixed-size dialog: title and close button only.
    setWindowFlags(
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Configuración de los Parámetros de Comunicación"));
    // The handshake row sits below the design's last row, the machines and
    // the line format below it.
    setFixedSize(Herramientas::RectTwips(0, 0, 7200, 8160).size());

    auto etiqueta = [this](const char *texto, int l, int t, int w, int h) {
        auto *lbl = new QLabel(QString::fromUtf8(texto), this);
        lbl->setGeometry(Herramientas::RectTwips(l, t, w, h + 60));
        return lbl;
    };
    auto lista = [this](const char *nombre, int l, int t, int w, int h) {
        auto *cmb = new ListaEleccion(this);
        cmb->setObjectName(QLatin1String(nombre));
        cmb->setGeometry(Herramientas::RectTwips(l, t, w, h));
        return cmb;
    };
    auto boton = [this](const char *nombre, const char *texto, int l, int t, int w, int h) {
        auto *cmd = new QPushButton(QString::fromUtf8(texto), this);
        cmd->setObjectName(QLatin1String(nombre));
        cmd->setGeometry(Herramientas::RectTwips(l, t, w, h));
        cmd->setAutoDefault(false);
        return cmd;
    };

    lblPuerto = etiqueta("Puerto de Comunicación:", 120, 120, 1785, 195);
    cmbPuerto = lista("cmbPuerto", 3000, 120, 1095, 315);
    lblVT = etiqueta("Velocidad de Transmisión (bps):", 120, 480, 2250, 195);
    cmbVT = lista("cmbVT", 3000, 480, 1095, 315);
    lblParidad = etiqueta("Paridad:", 120, 840, 585, 195);
    cmbParidad = lista("cmbParidad", 3000, 840, 1095, 315);
    lblBitsDatos = etiqueta("Bits de Datos:", 120, 1200, 990, 195);
    cmbBitsDatos = lista("cmbBitsDatos", 3000, 1200, 855, 315);
    lblBitsStop = etiqueta("Bits de Stop:", 120, 1560, 900, 195);
    cmbBitsStop = lista("cmbBitsStop", 3000, 1560, 855, 315);
    lblIdioma = etiqueta("Idioma:", 120, 2280, 510, 195);
    cmbIdioma = lista("cmbIdioma", 3000, 2280, 2775, 315);
    cmdAceptar = boton("cmdAceptar", "&Aceptar", 5880, 120, 1215, 375);
    cmdCancelar = boton("cmdCancelar", "&Cancelar", 5880, 600, 1215, 375);
    cmdAltaIdioma = boton("cmdAltaIdioma", "Añadir", 5880, 2160, 1215, 255);
    lblModo = etiqueta("Modo:", 120, 1920, 450, 195);
    cmbModo = lista("cmbModo", 3000, 1920, 1095, 315);
    lblNego = etiqueta("Protocolo:", 120, 2640, 1785, 195);
    cmbNego = lista("cmbNego", 3000, 2640, 1575, 315);
    cmdModifIdioma = boton("cmdModifIdioma", "&Modificar", 5880, 2520, 1215, 255);
    lblXonXoff = etiqueta("XON/XOFF:", 120, 3000, 1785, 195);
    cmbXonXoff = lista("cmbXonXoff", 3000, 3000, 2775, 315);
    cmdComprueba = boton("cmdComprueba", "Comprobar", 4200, 120, 1575, 315);

    for (int n = 1; n <= kPuertosCom; ++n)
        cmbPuerto->addItem(QStringLiteral("COM") + QString::number(n));
    // Any device can be typed in (a pseudo-terminal, say); it is checked
    // when the port opens, where a missing one is reported.
    cmbPuerto->setEditable(true);
    cmbPuerto->setInsertPolicy(QComboBox::NoInsert);
    cmbPuerto->alDesplegar = [this] { ActualizaPuertos(); };
    for (const char *v : kVelocidades)
        cmbVT->addItem(QLatin1String(v));
    for (const char *b : {"4", "5", "6", "7", "8"})
        cmbBitsDatos->addItem(QLatin1String(b));
    cmbBitsStop->addItems({QStringLiteral("1"), QStringLiteral("2")});
    cmbModo->addItems({QStringLiteral("Ascii"), QStringLiteral("Iso")});

    cmdAceptar->setEnabled(false);
    cmdAceptar->setDefault(true);
    cmdModifIdioma->setEnabled(false);

    const std::pair<QLabel *, QWidget *> companeros[] = {{lblPuerto, cmbPuerto}, {lblVT, cmbVT},
        {lblParidad, cmbParidad}, {lblBitsDatos, cmbBitsDatos}, {lblBitsStop, cmbBitsStop},
        {lblIdioma, cmbIdioma}, {lblModo, cmbModo}, {lblNego, cmbNego}, {lblXonXoff, cmbXonXoff}};
    for (const auto &[lbl, control] : companeros)
        lbl->setBuddy(control);

    creaControlesMaquina();

    QWidget *orden[] = {cmbPuerto, cmdComprueba, cmbVT, cmbParidad, cmbBitsDatos, cmbBitsStop,
        cmbIdioma, cmdAceptar, cmdCancelar, cmdAltaIdioma, cmbModo, cmbNego, cmbXonXoff,
        cmdModifIdioma, cmbMaquina, cmdMaqActualiza, cmdMaqBorra, cmbPredefinida, txtNombreMaquina,
        cmdMaqNueva, cmdMaqRenombra, cmbFinBloque, chkMarco, spnNulosInicio, chkEsperaDc1,
        spnNulosFin, spnRetardo, spnSilencio, txtDirRecepcion};
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
    connect(cmdComprueba, &QPushButton::clicked, this, &frmConfig::cmdComprueba_Click);
    connect(cmbIdioma, &QComboBox::activated, this, &frmConfig::cmbIdioma_Click);
    connect(cmdAceptar, &QPushButton::clicked, this, &frmConfig::cmdAceptar_Click);
    connect(cmdCancelar, &QPushButton::clicked, this, &frmConfig::cmdCancelar_Click);
    connect(cmdAltaIdioma, &QPushButton::clicked, this, &frmConfig::cmdAltaIdioma_Click);
    connect(cmdModifIdioma, &QPushButton::clicked, this, &frmConfig::cmdModifIdioma_Click);
    connect(cmbMaquina, &QComboBox::activated, this, &frmConfig::cmbMaquina_Click);
    connect(cmbPredefinida, &QComboBox::activated, this, &frmConfig::cmbPredefinida_Click);
    connect(cmdMaqNueva, &QPushButton::clicked, this, &frmConfig::cmdMaqNueva_Click);
    connect(cmdMaqRenombra, &QPushButton::clicked, this, &frmConfig::cmdMaqRenombra_Click);
    connect(cmdMaqActualiza, &QPushButton::clicked, this, &frmConfig::cmdMaqActualiza_Click);
    connect(cmdMaqBorra, &QPushButton::clicked, this, &frmConfig::cmdMaqBorra_Click);
}

void frmConfig::creaControlesMaquina()
{
    auto etiqueta = [this](int l, int t, int w) {
        auto *lbl = new QLabel(this);
        lbl->setGeometry(Herramientas::RectTwips(l, t, w, 255));
        return lbl;
    };
    auto lista = [this](const char *nombre, int l, int t, int w) {
        auto *cmb = new ListaEleccion(this);
        cmb->setObjectName(QLatin1String(nombre));
        cmb->setGeometry(Herramientas::RectTwips(l, t, w, 315));
        return cmb;
    };
    auto boton = [this](const char *nombre, int l, int t, int w) {
        auto *cmd = new QPushButton(this);
        cmd->setObjectName(QLatin1String(nombre));
        cmd->setGeometry(Herramientas::RectTwips(l, t, w, 315));
        cmd->setAutoDefault(false);
        return cmd;
    };
    auto numero = [this](const char *nombre, int t, int maximo) {
        auto *spn = new QSpinBox(this);
        spn->setObjectName(QLatin1String(nombre));
        spn->setGeometry(Herramientas::RectTwips(3000, t, 1095, 315));
        spn->setRange(0, maximo);
        return spn;
    };
    auto casilla = [this](const char *nombre, int t) {
        auto *chk = new QCheckBox(this);
        chk->setObjectName(QLatin1String(nombre));
        chk->setGeometry(Herramientas::RectTwips(4320, t, 2775, 315));
        return chk;
    };

    // The buttons that act on the chosen machine sit beside its list, those
    // that use the typed name below the name.
    lblMaquina = etiqueta(120, 3480, 1785);
    cmbMaquina = lista("cmbMaquina", 3000, 3480, 2775);
    cmdMaqActualiza = boton("cmdMaqActualiza", 5880, 3480, 1215);
    lblPredefinida = etiqueta(120, 3840, 1785);
    cmbPredefinida = lista("cmbPredefinida", 3000, 3840, 2775);
    cmdMaqBorra = boton("cmdMaqBorra", 5880, 3840, 1215);
    lblNombreMaquina = etiqueta(120, 4200, 1785);
    txtNombreMaquina = new QLineEdit(this);
    txtNombreMaquina->setObjectName(QStringLiteral("txtNombreMaquina"));
    txtNombreMaquina->setGeometry(Herramientas::RectTwips(3000, 4200, 2775, 315));
    // Longer names would come back cut from the settings reads.
    txtNombreMaquina->setMaxLength(126);
    cmdMaqNueva = boton("cmdMaqNueva", 3000, 4560, 1335);
    cmdMaqRenombra = boton("cmdMaqRenombra", 4440, 4560, 1335);

    lblFormato = etiqueta(120, 5040, 2775);
    lblFinBloque = etiqueta(120, 5400, 1785);
    cmbFinBloque = lista("cmbFinBloque", 3000, 5400, 1095);
    chkMarco = casilla("chkMarco", 5400);
    lblNulosInicio = etiqueta(120, 5760, 1785);
    spnNulosInicio = numero("spnNulosInicio", 5760, FormatoLinea::kMaxNulos);
    chkEsperaDc1 = casilla("chkEsperaDc1", 5760);
    lblNulosFin = etiqueta(120, 6120, 1785);
    spnNulosFin = numero("spnNulosFin", 6120, FormatoLinea::kMaxNulos);
    lblRetardo = etiqueta(120, 6480, 1785);
    spnRetardo = numero("spnRetardo", 6480, FormatoLinea::kMaxRetardoMs);
    lblSilencio = etiqueta(120, 6840, 1785);
    spnSilencio = numero("spnSilencio", 6840, FormatoLinea::kMaxSilencioS);
    lblDirRecepcion = etiqueta(120, 7200, 1785);
    txtDirRecepcion = new QLineEdit(this);
    txtDirRecepcion->setObjectName(QStringLiteral("txtDirRecepcion"));
    txtDirRecepcion->setGeometry(Herramientas::RectTwips(3000, 7200, 4095, 315));

    lblFichero = new QLabel(this);
    lblFichero->setGeometry(Herramientas::RectTwips(120, 7620, 6975, 435));
    lblFichero->setWordWrap(true);
    lblFichero->setTextInteractionFlags(Qt::TextSelectableByMouse);

    for (const char *fin : kFinesBloque)
        cmbFinBloque->addItem(QLatin1String(fin));
    for (Maquinas::Predefinida p : Maquinas::predefinidas())
        cmbPredefinida->addItem(Maquinas::nombrePredefinida(p));
    // No preset is shown until the operator chooses one.
    cmbPredefinida->setCurrentIndex(-1);

    const std::pair<QLabel *, QWidget *> companeros[] = {{lblMaquina, cmbMaquina},
        {lblPredefinida, cmbPredefinida}, {lblNombreMaquina, txtNombreMaquina},
        {lblFinBloque, cmbFinBloque}, {lblNulosInicio, spnNulosInicio}, {lblNulosFin, spnNulosFin},
        {lblRetardo, spnRetardo}, {lblSilencio, spnSilencio}, {lblDirRecepcion, txtDirRecepcion}};
    for (const auto &[lbl, control] : companeros)
        lbl->setBuddy(control);
}

void frmConfig::Form_Load()
{
    CargaTextos();
    CargaListaIdiomas();
    ActualizaPuertos();
    MuestraConfig();
    CargaListaMaquinas(VarsFuncsGlobales::Maquina, true);
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

    for (const auto &[clave, letra] : kParidades) {
        // Without the language's texts the items would all be empty and
        // Aceptar could never be enabled: the letter stands in for its text.
        const QString texto = Texto(QLatin1String(clave));
        cmbParidad->addItem(texto.isEmpty() ? QLatin1String(letra) : texto, QLatin1String(letra));
    }
    for (const auto &[clave, valor] : kNegos)
        cmbNego->addItem(Texto(QLatin1String(clave)), QLatin1String(valor));
    for (const auto &[clave, enPuerto] : kXonXoff)
        cmbXonXoff->addItem(Texto(QLatin1String(clave)), enPuerto);

    cmdAceptar->setText(Texto(QStringLiteral("ConfigcmdAceptar")));
    cmdCancelar->setText(Texto(QStringLiteral("ConfigcmdCancelar")));
    cmdAltaIdioma->setText(Texto(QStringLiteral("ConfigcmdAltaIdioma")));
    cmdModifIdioma->setText(Texto(QStringLiteral("ConfigcmdModifIdioma")));
    cmdComprueba->setText(Texto(QStringLiteral("ConfigcmdComprueba")));

    // Captions and tooltips of the machine and format controls; a control
    // with a label is named by it for screen readers.
    const std::pair<QWidget *, const char *> textos[] = {
        {lblMaquina, "ConfiglblMaquina"},
        {lblPredefinida, "ConfiglblPredefinida"},
        {lblNombreMaquina, "ConfiglblNombreMaquina"},
        {cmdMaqNueva, "ConfigcmdMaqNueva"},
        {cmdMaqRenombra, "ConfigcmdMaqRenombra"},
        {cmdMaqActualiza, "ConfigcmdMaqActualiza"},
        {cmdMaqBorra, "ConfigcmdMaqBorra"},
        {lblFormato, "ConfiglblFormato"},
        {lblFinBloque, "ConfiglblFinBloque"},
        {lblNulosInicio, "ConfiglblNulosInicio"},
        {lblNulosFin, "ConfiglblNulosFin"},
        {lblRetardo, "ConfiglblRetardo"},
        {lblSilencio, "ConfiglblSilencio"},
        {lblDirRecepcion, "ConfiglblDirRecepcion"},
        {chkMarco, "ConfigchkMarco"},
        {chkEsperaDc1, "ConfigchkEsperaDc1"},
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
        {cmbMaquina, "ConfigcmbMaquina"},
        {cmbPredefinida, "ConfigcmbPredefinida"},
        {txtNombreMaquina, "ConfigtxtNombreMaquina"},
        {cmdMaqNueva, "ConfigcmdMaqNuevaTip"},
        {cmdMaqRenombra, "ConfigcmdMaqRenombraTip"},
        {cmdMaqActualiza, "ConfigcmdMaqActualizaTip"},
        {cmdMaqBorra, "ConfigcmdMaqBorraTip"},
        {spnSilencio, "ConfigSilencioTip"},
        {txtDirRecepcion, "ConfigDirRecepcionTip"},
        {cmbXonXoff, "ConfigXonXoffTip"},
        {cmdComprueba, "ConfigcmdCompruebaTip"},
    };
    for (const auto &[control, clave] : consejos)
        control->setToolTip(Texto(QLatin1String(clave)));
    lblFichero->setText(
        Texto(QStringLiteral("ConfiglblFichero")).arg(QDir::toNativeSeparators(RutaIni())));
    Herramientas::AjustaEtiquetas(this);
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
    MuestraValores(registro, true);
    eligeTexto(cmbIdioma, IdiomaActual);
    cmbIdioma_Click();
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
    txtDirRecepcion->setText(m.dirRecepcion);
    m_recorrido = m.recorrido;
    CompruebaCombos();
}

void frmConfig::puertoMostrado(int &numero, QString &dispositivo) const
{
    // An item gives its COM number or its device; typed text names a COM
    // number, a network port as written, or a device, a bare name one under /dev.
    const QString puerto = cmbPuerto->currentText().trimmed();
    const int elemento = cmbPuerto->findText(puerto, Qt::MatchExactly | Qt::MatchCaseSensitive);
    dispositivo = elemento >= 0 ? cmbPuerto->itemData(elemento).toString() : puerto;
    if (DireccionRed::esDeRed(dispositivo)) {
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
    // A folder that is no absolute path would depend on where the program started.
    const QString dir = txtDirRecepcion->text().trimmed();
    m.dirRecepcion = dir.startsWith(QLatin1Char('/')) ? dir : QString();
    m.recorrido = m_recorrido;
    return m;
}

QString frmConfig::PuertoMostrado() const
{
    const QString texto = cmbPuerto->currentText().trimmed();
    if (DireccionRed::esDeRed(texto))
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

void frmConfig::CargaListaMaquinas(const QString &elegida, bool avisar)
{
    AvisosIni avisos;
    const QStringList nombres = Maquinas::lista(RutaIni(), &avisos);
    cmbMaquina->clear();
    cmbMaquina->addItem(QString());
    cmbMaquina->addItems(nombres);
    // Names match in any letter case and without the blanks around them.
    for (int i = 1; i < cmbMaquina->count(); ++i) {
        if (QString::compare(cmbMaquina->itemText(i), elegida.trimmed(), Qt::CaseInsensitive) == 0)
            cmbMaquina->setCurrentIndex(i);
    }
    if (avisar)
        muestraAvisos(avisos);
    CompruebaCombos();
}

void frmConfig::muestraAvisos(const AvisosIni &avisos)
{
    if (avisos.isEmpty())
        return;
    QStringList lineas {Texto(QStringLiteral("ConfigAvisoMaquinas"))
                            .arg(QDir::toNativeSeparators(Maquinas::rutaMaquinas(RutaIni())))};
    for (const AvisoIni &a : avisos) {
        if (!a.clave.isEmpty())
            lineas.append(
                Texto(QStringLiteral("ConfigAvisoMaquina")).arg(a.seccion, a.clave, a.valor));
        else if (!a.valor.isEmpty())
            lineas.append(
                Texto(QStringLiteral("ConfigAvisoMaquinaRepetida")).arg(a.seccion, a.valor));
        else
            lineas.append(Texto(QStringLiteral("ConfigAvisoMaquinaNombre")).arg(a.seccion));
    }
    Herramientas::MsgBox(lineas.join(QLatin1Char('\n')), Herramientas::vbExclamation,
        Texto(QStringLiteral("PrinTitulo")), this);
}

void frmConfig::CompruebaCombos()
{
    const ListaEleccion *listas[] = {cmbPuerto, cmbVT, cmbParidad, cmbBitsDatos, cmbBitsStop,
        cmbModo, cmbNego, cmbXonXoff, cmbIdioma};
    bool completas = true;
    for (const ListaEleccion *l : listas) {
        if (l->currentText().isEmpty())
            completas = false;
    }
    cmdAceptar->setEnabled(completas);
    // The choice is kept with other handshakes, but means nothing there.
    const bool xon = cmbNego->currentData().toString() == QLatin1String("XonXoff");
    lblXonXoff->setEnabled(xon);
    cmbXonXoff->setEnabled(xon);
    cmdComprueba->setEnabled(!cmbPuerto->currentText().trimmed().isEmpty());
    // A machine is saved only with every setting shown.
    const bool maquina = !cmbMaquina->currentText().isEmpty();
    cmdMaqNueva->setEnabled(completas);
    cmdMaqActualiza->setEnabled(completas && maquina);
    cmdMaqRenombra->setEnabled(maquina);
    cmdMaqBorra->setEnabled(maquina);
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

bool frmConfig::puertoAceptable()
{
    int numero = 0;
    QString dispositivo;
    puertoMostrado(numero, dispositivo);
    if (!DireccionRed::esDeRed(dispositivo) || DireccionRed::interpreta(dispositivo))
        return true;
    Herramientas::MsgBox(Texto(QStringLiteral("PrinErrorDireccionRed")).arg(dispositivo),
        Herramientas::vbExclamation, Texto(QStringLiteral("PrinTitulo")), this);
    cmbPuerto->setFocus();
    return false;
}

void frmConfig::cmdAceptar_Click()
{
    if (!puertoAceptable())
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

    // The settings are in General; now the machine they are said to come
    // from. Settings changed after choosing a machine keep its name (the
    // main window marks it modified), so Update can still store them there.
    const QString ruta = RutaIni();
    const QString elegida = cmbMaquina->currentText();
    const std::optional<::Maquina> guardada = Maquinas::lee(ruta, elegida);
    bool nombrada = true;
    if (guardada) {
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

void frmConfig::cmbMaquina_Click()
{
    const QString nombre = cmbMaquina->currentText();
    if (!nombre.isEmpty()) {
        AvisosIni avisos;
        const std::optional<::Maquina> m = Maquinas::lee(RutaIni(), nombre, &avisos);
        if (!m) {
            informa(Maquinas::Resultado::NoExiste, nombre, QString());
            CargaListaMaquinas(QString(), false);
            return;
        }
        MuestraValores(*m, true);
        txtNombreMaquina->setText(m->nombre);
        cmbPredefinida->setCurrentIndex(-1);
        muestraAvisos(avisos);
    }
    CompruebaCombos();
}

void frmConfig::cmbPredefinida_Click()
{
    const QList<Maquinas::Predefinida> predefinidas = Maquinas::predefinidas();
    const int i = cmbPredefinida->currentIndex();
    if (i < 0 || i >= predefinidas.size())
        return;
    // The port is where the cable is plugged, not part of the control's
    // settings: it stays as shown.
    const ::Maquina m = Maquinas::predefinida(predefinidas.at(i));
    MuestraValores(m, false);
    txtNombreMaquina->setText(m.nombre);
    // The controls no longer show a stored machine.
    cmbMaquina->setCurrentIndex(0);
    CompruebaCombos();
}

bool frmConfig::informa(Maquinas::Resultado r, const QString &nombre, const QString &error)
{
    using R = Maquinas::Resultado;
    QString mensaje;
    int icono = Herramientas::vbExclamation;
    switch (r) {
    case R::Hecho:
        return true;
    case R::NombreNoValido:
        mensaje = Texto(QStringLiteral("ConfigErrorNombreMaquina")).arg(nombre);
        break;
    case R::NombreOcupado:
        mensaje = Texto(QStringLiteral("ConfigErrorMaquinaOcupada")).arg(nombre.trimmed());
        break;
    case R::NoExiste:
        mensaje = Texto(QStringLiteral("ConfigErrorMaquinaNoExiste")).arg(nombre);
        break;
    case R::ErrorFichero:
        mensaje = Texto(QStringLiteral("ConfigErrorMaquinas"))
                      .arg(QDir::toNativeSeparators(Maquinas::rutaMaquinas(RutaIni())), error);
        icono = Herramientas::vbCritical;
        break;
    }
    Herramientas::MsgBox(mensaje, icono, Texto(QStringLiteral("PrinTitulo")), this);
    return false;
}

void frmConfig::cmdMaqNueva_Click()
{
    if (!puertoAceptable())
        return;
    ::Maquina m = ValoresMostrados();
    m.nombre = txtNombreMaquina->text();
    QString error;
    if (!informa(Maquinas::guarda(RutaIni(), m, false, &error), m.nombre, error))
        return;
    // Chosen at once: Aceptar makes it the current machine.
    CargaListaMaquinas(m.nombre, false);
}

void frmConfig::cmdMaqActualiza_Click()
{
    const QString nombre = cmbMaquina->currentText();
    if (!puertoAceptable())
        return;
    if (Herramientas::MsgBox(Texto(QStringLiteral("ConfigPreguntaActualiza")).arg(nombre),
            Herramientas::vbYesNo + Herramientas::vbQuestion, Texto(QStringLiteral("PrinTitulo")),
            this)
        != Herramientas::vbYes)
        return;
    ::Maquina m = ValoresMostrados();
    m.nombre = nombre;
    QString error;
    // The current machine may now match the settings in use, or no longer.
    if (informa(Maquinas::guarda(RutaIni(), m, true, &error), nombre, error))
        sigueMaquinaActual();
}

void frmConfig::cmdMaqRenombra_Click()
{
    const QString viejo = cmbMaquina->currentText();
    const QString nuevo = txtNombreMaquina->text();
    QString error;
    const Maquinas::Resultado r = Maquinas::renombra(RutaIni(), viejo, nuevo, &error);
    if (!informa(r, r == Maquinas::Resultado::NoExiste ? viejo : nuevo, error)) {
        if (r == Maquinas::Resultado::NoExiste)
            CargaListaMaquinas(QString(), false);
        return;
    }
    CargaListaMaquinas(nuevo, false);
    sigueMaquinaActual();
}

void frmConfig::cmdMaqBorra_Click()
{
    const QString nombre = cmbMaquina->currentText();
    if (Herramientas::MsgBox(Texto(QStringLiteral("ConfigPreguntaBorra")).arg(nombre),
            Herramientas::vbYesNo + Herramientas::vbQuestion, Texto(QStringLiteral("PrinTitulo")),
            this)
        != Herramientas::vbYes)
        return;
    QString error;
    const Maquinas::Resultado r = Maquinas::borra(RutaIni(), nombre, &error);
    if (informa(r, nombre, error) || r == Maquinas::Resultado::NoExiste) {
        CargaListaMaquinas(QString(), false);
        sigueMaquinaActual();
    }
}

void frmConfig::sigueMaquinaActual()
{
    VarsFuncsGlobales::Maquina = Maquinas::actual(RutaIni());
    m_principal.MuestraMaquina();
}
