#include "settings/frmconfig.h"

#include "languages/frmconfigtraduc.h"
#include "languages/listaidiomas.h"
#include "settings/listapuertos.h"
#include "settings/varsfuncsglobales.h"
#include "shell/frmprincipal.h"
#include "shell/herramientas.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>

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

// The messages the status line can show, in the order they are looked for.
const char *const kClavesEstado[] = {"PrinmsgEsperandoEntrada", "PrinmsgEntrando",
    "PrinmsgSaliendo", "PrinmsgLimpia", "PrinmsgAbierto", "PrinmsgGuardado", "PrinmsgSinGuardar"};

constexpr int kPuertosCom = 10;

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
    int puerto = 0, bitsDatos = 0;
    qint32 velocidad = 0;
    double bitsStop = 0;

    static Registro actual()
    {
        return {IdiomaActual, ModoTransmision, PuertoDispositivo, Paridad, Nego, PuertoCom,
            BitsDatos, Velocidad, BitsStop};
    }
    void restaura() const
    {
        IdiomaActual = idioma;
        ModoTransmision = modo;
        PuertoDispositivo = dispositivo;
        Paridad = paridad;
        Nego = nego;
        PuertoCom = puerto;
        BitsDatos = bitsDatos;
        Velocidad = velocidad;
        BitsStop = bitsStop;
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
    // The handshake row sits below the design's last row.
    setFixedSize(Herramientas::RectTwips(0, 0, 7200, 3192).size());

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
        {lblIdioma, cmbIdioma}, {lblModo, cmbModo}, {lblNego, cmbNego}};
    for (const auto &[lbl, control] : companeros)
        lbl->setBuddy(control);

    QWidget *orden[] = {cmbPuerto, cmbVT, cmbParidad, cmbBitsDatos, cmbBitsStop, cmbIdioma,
        cmdAceptar, cmdCancelar, cmdAltaIdioma, cmbModo, cmbNego, cmdModifIdioma};
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
    connect(cmbIdioma, &QComboBox::activated, this, &frmConfig::cmbIdioma_Click);
    connect(cmdAceptar, &QPushButton::clicked, this, &frmConfig::cmdAceptar_Click);
    connect(cmdCancelar, &QPushButton::clicked, this, &frmConfig::cmdCancelar_Click);
    connect(cmdAltaIdioma, &QPushButton::clicked, this, &frmConfig::cmdAltaIdioma_Click);
    connect(cmdModifIdioma, &QPushButton::clicked, this, &frmConfig::cmdModifIdioma_Click);
}

void frmConfig::Form_Load()
{
    CargaTextos();
    CargaListaIdiomas();
    ActualizaPuertos();
    MuestraConfig();
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

    cmdAceptar->setText(Texto(QStringLiteral("ConfigcmdAceptar")));
    cmdCancelar->setText(Texto(QStringLiteral("ConfigcmdCancelar")));
    cmdAltaIdioma->setText(Texto(QStringLiteral("ConfigcmdAltaIdioma")));
    cmdModifIdioma->setText(Texto(QStringLiteral("ConfigcmdModifIdioma")));
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
    if (PuertoDispositivo.isEmpty())
        eligeTexto(cmbPuerto, QStringLiteral("COM") + QString::number(PuertoCom));
    else
        eligeDato(cmbPuerto, PuertoDispositivo);
    cmbPuerto_Click();
    eligeTexto(cmbVT, QString::number(Velocidad));
    cmbVT_Click();
    eligeDato(cmbParidad, Paridad);
    cmbParidad_Click();
    eligeTexto(cmbBitsDatos, QString::number(BitsDatos));
    cmbBitsDatos_Click();
    eligeTexto(cmbBitsStop, TextoBitsStop(BitsStop));
    cmbBitsStop_Click();
    eligeTexto(cmbModo, ModoTransmision);
    cmbModo_Click();
    eligeDato(cmbNego, Nego);
    cmbNego_Click();
    eligeTexto(cmbIdioma, IdiomaActual);
    cmbIdioma_Click();
}

void frmConfig::CompruebaCombos()
{
    const ListaEleccion *listas[]
        = {cmbPuerto, cmbVT, cmbParidad, cmbBitsDatos, cmbBitsStop, cmbModo, cmbNego, cmbIdioma};
    bool completas = true;
    for (const ListaEleccion *l : listas) {
        if (l->currentText().isEmpty())
            completas = false;
    }
    cmdAceptar->setEnabled(completas);
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

void frmConfig::cmdAceptar_Click()
{
    const Registro anterior = Registro::actual();

    // An item gives its COM number or its device; typed text names a COM
    // number or a device, a bare name one under /dev.
    const QString puerto = cmbPuerto->currentText().trimmed();
    const int elemento = cmbPuerto->findText(puerto, Qt::MatchExactly | Qt::MatchCaseSensitive);
    QString dispositivo = elemento >= 0 ? cmbPuerto->itemData(elemento).toString() : puerto;
    static const QRegularExpression kCom(
        QStringLiteral("^COM([0-9]{1,3})$"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch com = kCom.match(dispositivo);
    // Numbers the settings can hold; any other text is a device's name.
    const int numero = com.hasMatch() ? com.captured(1).toInt() : 0;
    if (dispositivo.isEmpty() || (numero >= 1 && numero <= 255)) {
        PuertoDispositivo.clear();
        PuertoCom = numero > 0 ? numero : puerto.mid(3).toInt();
    } else {
        if (!dispositivo.startsWith(QLatin1Char('/')))
            dispositivo.prepend(QStringLiteral("/dev/"));
        PuertoDispositivo = dispositivo;
        PuertoCom = 0;
    }
    Velocidad = cmbVT->currentText().toInt();
    // The letter goes with the item, so two parity texts that a translation
    // made equal still give the letter of the item chosen.
    if (cmbParidad->currentIndex() >= 0)
        Paridad = cmbParidad->currentData().toString();
    BitsDatos = cmbBitsDatos->currentText().toInt();
    BitsStop = QLocale::c().toDouble(cmbBitsStop->currentText());
    ModoTransmision = cmbModo->currentText();
    Nego = cmbNego->currentData().toString();
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

    m_principal.chkModo->setChecked(ModoTransmision != QLatin1String("Ascii"));
    CargaConfig();
    TraduceEstado(clave);
    m_principal.CargaIdioma();
    m_principal.ConfigActual();
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
