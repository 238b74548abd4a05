#include "browser/frmexaminar.h"

#include "base/razonsistema.h"
#include "browser/pasamayusculas.h"
#include "settings/varsfuncsglobales.h"
#include "shell/herramientas.h"
#include "text/textoprograma.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <cerrno>

using namespace VarsFuncsGlobales;
using LogicaExaminar::Fallo;

namespace {

const QString kGeneral = QStringLiteral("General");
const QString kDirGuarda = QStringLiteral("DirGuarda");

// The path as the directory list keeps it: clean, no "/" at the end but at the root.
QString limpia(const QString &ruta)
{
    return QDir::cleanPath(QDir::fromNativeSeparators(ruta));
}

// The directory list: its entries are indented to show the tree, so the
// type-ahead looks past the indentation. A letter goes to the next entry that
// starts with it; letters typed quickly one after another spell a prefix.
class ListaDirectorios : public QListWidget
{
public:
    using QListWidget::QListWidget;

    void keyboardSearch(const QString &texto) override
    {
        if (texto.isEmpty())
            return;
        if (!m_reloj.isValid() || m_reloj.elapsed() > QApplication::keyboardInputInterval())
            m_buscado.clear();
        m_reloj.start();
        m_buscado += texto;
        // The same letter again steps on, as one letter does.
        const bool repetida = m_buscado.count(m_buscado.front()) == m_buscado.size();
        const QString buscado = repetida ? m_buscado.left(1) : m_buscado;
        const int desde = currentRow() + (repetida ? 1 : 0);
        for (int i = 0; i < count(); ++i) {
            const int fila = (qMax(desde, 0) + i) % count();
            if (item(fila)->text().trimmed().startsWith(buscado, Qt::CaseInsensitive)) {
                setCurrentRow(fila);
                return;
            }
        }
    }

private:
    QString m_buscado;
    QElapsedTimer m_reloj;
};

} // namespace

frmExaminar::frmExaminar(const TextoPrograma *texto, QWidget *parent)
    : QDialog(parent), m_texto(texto)
{
    Herramientas::FuenteDiseno(this);
    creaControles();
}

void frmExaminar::creaControles()
{
    setWindowTitle(QStringLiteral("Examinar"));
    setModal(true);
    // A fixed-size dialog: title and close button only.
    setWindowFlags(
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(Herramientas::Pixeles(7764), Herramientas::Pixeles(4656));

    auto etiqueta = [this](const char *texto, int left, int top) {
        auto *l = new QLabel(QString::fromUtf8(texto), this);
        l->move(Herramientas::Pixeles(left), Herramientas::Pixeles(top));
        l->adjustSize();
        return l;
    };
    lblTituloArbol = etiqueta("Árbol de Directorios:", 0, 0);
    lblTituloUnidad = etiqueta("Unidad de Disco:", 0, 3480);
    lblTituloDirectorio = etiqueta("Directorio de Ficheros:", 3360, 0);
    lblTituloTipoFichero = etiqueta("Tipo de Fichero a Listar:", 3360, 3480);
    lblTituloFichero = etiqueta("Nombre del Fichero:", 0, 4080);

    Dir1 = new ListaDirectorios(this);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    Dir1->setGeometry(Herramientas::RectTwips(0, 240, 3255, 3240));
    Drive1 = new QComboBox(this);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    Drive1->setGeometry(Herramientas::RectTwips(0, 3720, 3255, 315));
    File1 = new QListWidget(this);
    File1->setObjectName(QStringLiteral("File1"));
    File1->setGeometry(Herramientas::RectTwips(3360, 240, 3015, 3144));
    cmbTipo = new QComboBox(this);
    cmbTipo->setObjectName(QStringLiteral("cmbTipo"));
    cmbTipo->setGeometry(Herramientas::RectTwips(3360, 3720, 1815, 315));
    cmbTipo->addItems({QStringLiteral("*.dcn"), QStringLiteral("*.dgn"), QStringLiteral("*.txt"),
        QStringLiteral("*.*")});
    txtDirPlano = new QLineEdit(this);
    txtDirPlano->setObjectName(QStringLiteral("txtDirPlano"));
    txtDirPlano->setGeometry(Herramientas::RectTwips(0, 4320, 3255, 285));
    txtDirPlano->setReadOnly(true);
    txtPlano = new QLineEdit(this);
    txtPlano->setObjectName(QStringLiteral("txtPlano"));
    txtPlano->setGeometry(Herramientas::RectTwips(3360, 4320, 3015, 285));
    cmdAceptar = new QPushButton(QStringLiteral("&Aceptar"), this);
    cmdAceptar->setObjectName(QStringLiteral("cmdAceptar"));
    cmdAceptar->setGeometry(Herramientas::RectTwips(6480, 240, 1215, 375));
    cmdAceptar->setEnabled(false);
    cmdAceptar->setDefault(true);
    cmdCancelar = new QPushButton(QStringLiteral("&Cancelar"), this);
    cmdCancelar->setObjectName(QStringLiteral("cmdCancelar"));
    cmdCancelar->setGeometry(Herramientas::RectTwips(6480, 720, 1215, 375));
    cmdCancelar->setAutoDefault(false);

    QWidget *orden[]
        = {cmbTipo, txtPlano, cmdCancelar, cmdAceptar, File1, Dir1, Drive1, txtDirPlano};
    for (size_t i = 1; i < std::size(orden); ++i)
        setTabOrder(orden[i - 1], orden[i]);

    for (const QString &raiz : LogicaExaminar::Unidades())
        Drive1->addItem(raiz, raiz);
    m_drive = Drive1->itemData(0).toString();

    connect(Drive1, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (i < 0)
            return;
        m_drive = Drive1->itemData(i).toString();
        Drive1_Change();
    });
    connect(Dir1, &QListWidget::itemActivated, this,
        [this](QListWidgetItem *item) { Dir1_Activado(item->data(Qt::UserRole).toString()); });
    connect(File1, &QListWidget::currentRowChanged, this, [this](int fila) {
        if (fila >= 0)
            File1_Click();
    });
    connect(cmbTipo, &QComboBox::currentIndexChanged, this, [this] { cmbTipo_Click(); });
    connect(cmbTipo, &QComboBox::currentTextChanged, this, [this] { cmbTipo_Change(); });
    connect(txtDirPlano, &QLineEdit::textChanged, this, [this] { txtDirPlano_Change(); });
    connect(txtPlano, &QLineEdit::textChanged, this, [this] { txtPlano_Change(); });
    connect(cmdAceptar, &QPushButton::clicked, this, &frmExaminar::cmdAceptar_Click);
    connect(cmdCancelar, &QPushButton::clicked, this, &frmExaminar::cmdCancelar_Click);
}

bool frmExaminar::Muestra()
{
    Form_Load();
    return exec() == QDialog::Accepted;
}

void frmExaminar::mensaje(const QString &texto)
{
    Herramientas::MsgBox(texto, Herramientas::vbCritical + Herramientas::vbOKOnly,
        Texto(QStringLiteral("PrinTitulo")), this);
}

void frmExaminar::falloCarga(Fallo fallo)
{
    mensaje(Texto(fallo == Fallo::RutaNoEncontrada ? QStringLiteral("ExamErrorDir")
                                                   : QStringLiteral("ExamErrorDirGen")));
    EstableceDrive(LogicaExaminar::kRaiz);
    EstablecePath(LogicaExaminar::kRaiz);
}

void frmExaminar::Form_Load()
{
    const QString ruta = RutaIni();
    const QString dirGuarda = LeeIni(kGeneral, kDirGuarda, LogicaExaminar::kRaiz, ruta);

    // A stored directory that is not an absolute path (one written on
    // another system, say) has no volume to stand on.
    const Fallo falloDrive = QDir::isAbsolutePath(dirGuarda)
        ? EstableceDrive(LogicaExaminar::UnidadDe(dirGuarda))
        : Fallo::DispositivoNoDisponible;
    if (falloDrive != Fallo::Ninguno)
        falloCarga(falloDrive);
    const Fallo falloDir
        = QDir::isAbsolutePath(dirGuarda) ? EstablecePath(dirGuarda) : Fallo::RutaNoEncontrada;
    if (falloDir != Fallo::Ninguno)
        falloCarga(falloDir);

    Dir1_Change();
    cmbTipo->setCurrentText(QStringLiteral("*.txt"));
    EstablecePattern(QStringLiteral("*.txt"));
    if (!ModoAbrir) {
        const auto linea = [this](qsizetype i) {
            return m_texto && i < m_texto->count() ? m_texto->linea(i) : QByteArray();
        };
        const QString propuesta = LogicaExaminar::PropuestaNombre(linea(0), linea(1), linea(2));
        if (!propuesta.isEmpty())
            txtPlano->setText(propuesta);
    }
    CargaTextos();
}

Fallo frmExaminar::EstableceDrive(const QString &raiz)
{
    const Fallo fallo = LogicaExaminar::CompruebaUnidad(raiz);
    if (fallo != Fallo::Ninguno)
        return fallo;
    int i = Drive1->findData(raiz);
    if (i < 0) {
        // A volume the list left out (a bind mount, say) still holds the directory.
        Drive1->addItem(raiz, raiz);
        i = Drive1->count() - 1;
    }
    // Setting the index runs Drive1_Change when it differs.
    Drive1->setCurrentIndex(i);
    return Fallo::Ninguno;
}

void frmExaminar::Drive1_Change()
{
    Fallo fallo = LogicaExaminar::CompruebaUnidad(m_drive);
    if (fallo == Fallo::Ninguno)
        fallo = EstablecePath(m_drive);
    if (fallo == Fallo::Ninguno)
        return;
    // The list keeps showing the chosen drive; directory and files stay put.
    mensaje(Texto(fallo == Fallo::DispositivoNoDisponible ? QStringLiteral("ExamErrorUnid")
                                                          : QStringLiteral("ExamErrorUnidGen")));
}

Fallo frmExaminar::EstablecePath(const QString &ruta)
{
    const QString resuelta = limpia(LogicaExaminar::ResuelveRuta(ruta));
    const Fallo fallo = LogicaExaminar::CompruebaDirectorio(resuelta);
    if (fallo != Fallo::Ninguno)
        return fallo;
    if (resuelta == m_path)
        return Fallo::Ninguno;
    m_path = resuelta;
    llenaDir1();
    Dir1_Change();
    return Fallo::Ninguno;
}

void frmExaminar::Dir1_Activado(const QString &ruta)
{
    if (EstablecePath(ruta) != Fallo::Ninguno)
        mensaje(Texto(QStringLiteral("ExamErrorLeeDir")).arg(ruta));
}

void frmExaminar::llenaDir1()
{
    Dir1->clear();
    // The path's parents from the root down, then its subdirectories.
    QStringList partes = m_path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString actual = LogicaExaminar::kRaiz;
    auto anade = [this](const QString &texto, const QString &ruta, int nivel) {
        auto *item = new QListWidgetItem(QString(nivel * 2, QLatin1Char(' ')) + texto, Dir1);
        item->setData(Qt::UserRole, ruta);
        return item;
    };
    QListWidgetItem *actualItem = anade(actual, actual, 0);
    for (int i = 0; i < partes.size(); ++i) {
        actual = LogicaExaminar::ConBarra(actual) + partes.at(i);
        actualItem = anade(partes.at(i), actual, i + 1);
    }
    for (const LogicaExaminar::Entrada &sub : LogicaExaminar::Subdirectorios(m_path)) {
        const QString ruta = LogicaExaminar::RutaEntrada(m_path, sub);
        if (!ruta.isEmpty())
            anade(sub.nombre, ruta, int(partes.size()) + 1);
    }
    Dir1->setCurrentItem(actualItem);
}

void frmExaminar::Dir1_Change()
{
    txtDirPlano->setText(LogicaExaminar::ConBarra(m_path));
    llenaFile1();
}

void frmExaminar::EstablecePattern(const QString &patron)
{
    m_patron = patron;
    llenaFile1();
}

void frmExaminar::llenaFile1()
{
    File1->clear();
    if (m_path.isEmpty())
        return;
    for (const LogicaExaminar::Entrada &e : LogicaExaminar::Ficheros(m_path, m_patron)) {
        auto *item = new QListWidgetItem(e.nombre, File1);
        item->setData(Qt::UserRole, e.nativo);
    }
}

void frmExaminar::File1_Click()
{
    if (QListWidgetItem *item = File1->currentItem())
        txtPlano->setText(item->text());
    ActivaAceptar();
}

void frmExaminar::cmbTipo_Click()
{
    EstablecePattern(cmbTipo->currentText());
}

void frmExaminar::cmbTipo_Change()
{
    // "NO" lists nothing but a file of that very name.
    if (cmbTipo->currentText().isEmpty())
        EstablecePattern(QStringLiteral("NO"));
}

void frmExaminar::txtDirPlano_Change()
{
    PasaMayusculas(txtDirPlano);
    ActivaAceptar();
}

void frmExaminar::txtPlano_Change()
{
    PasaMayusculas(txtPlano);
    ActivaAceptar();
}

void frmExaminar::ActivaAceptar()
{
    cmdAceptar->setEnabled(!txtDirPlano->text().isEmpty() && !txtPlano->text().isEmpty()
        && (File1->currentRow() != -1 || !ModoAbrir));
}

void frmExaminar::cmdAceptar_Click()
{
    // The fields show upper case; the file is the one they name ignoring
    // case: the selected one when it is that, else any of the directory's.
    const QString nombre = txtPlano->text();
    const QListWidgetItem *item = File1->currentItem();
    if (item && item->text().toUpper() == nombre) {
        const LogicaExaminar::Entrada entrada {
            item->text(), item->data(Qt::UserRole).toByteArray()};
        // A name that is not UTF-8 is opened through a link of the program's
        // own; a file cannot be saved by such a name, and is said so.
        const QString ruta = ModoAbrir || LogicaExaminar::NombreFiel(entrada)
            ? LogicaExaminar::RutaEntrada(m_path, entrada)
            : QString();
        if (ruta.isEmpty()) {
            mensaje(
                Texto(
                    ModoAbrir ? QStringLiteral("PrinErrorAbre") : QStringLiteral("PrinErrorGuarda"))
                    .arg(LogicaExaminar::ConBarra(m_path) + entrada.nombre, RazonSistema(EILSEQ)));
            return;
        }
        NombreFichero = ruta;
    } else {
        NombreFichero
            = LogicaExaminar::ConBarra(m_path) + LogicaExaminar::ResuelveNombre(m_path, nombre);
    }
    GrabaDirectorio();
    accept();
}

bool frmExaminar::GrabaDirectorio()
{
    // A folder reached through a link of the program's own is gone at the
    // next start: the last real one stays remembered.
    if (LogicaExaminar::EsEnlacePropio(m_path))
        return true;
    const QString ruta = RutaIni();
    QString error;
    if (EscribeIni(kGeneral, kDirGuarda, LogicaExaminar::ConBarra(m_path), ruta, &error))
        return true;
    // The choice stands; only the next showing will not start here.
    mensaje(Texto(QStringLiteral("ExamErrorGrabaDir")).arg(ruta, error));
    return false;
}

void frmExaminar::cmdCancelar_Click()
{
    reject();
}

void frmExaminar::CargaTextos()
{
    setWindowTitle(Texto(QStringLiteral("ExamName")));
    const std::pair<QLabel *, const char *> etiquetas[] = {
        {lblTituloArbol, "ExamlblTituloArbol"},
        {lblTituloDirectorio, "ExamlblTituloDirectorio"},
        {lblTituloUnidad, "ExamlblTituloUnidad"},
        {lblTituloTipoFichero, "ExamlblTituloTipoFichero"},
        {lblTituloFichero, "ExamlblTituloFichero"},
    };
    for (const auto &[etiqueta, clave] : etiquetas) {
        etiqueta->setText(Texto(QLatin1String(clave)));
        etiqueta->adjustSize();
    }
    cmdAceptar->setText(Texto(QStringLiteral("ExamcmdAceptar")));
    cmdCancelar->setText(Texto(QStringLiteral("ExamcmdCancelar")));
    Herramientas::AjustaEtiquetas(this);
}
