#include "languages/frmconfigtraduc.h"

#include "base/perfilini.h"
#include "languages/catalogoclaves.h"
#include "languages/valoridioma.h"
#include "settings/frmconfig.h"
#include "settings/varsfuncsglobales.h"
#include "shell/herramientas.h"

#include <QDir>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

using namespace VarsFuncsGlobales;

namespace { } // namespace

frmConfigTraduc::frmConfigTraduc(frmConfig &config, QWidget *parent)
    : QDialog(parent), m_config(config)
{
    Herramientas::FuenteDiseno(this);
    creaControles();
    Form_Load();
}

frmConfigTraduc::~frmConfigTraduc() = default;

void frmConfigTraduc::creaControles()
{
    setModal(true);
    // A fixed-size dialog: title and close button only.
    setWindowFlags(
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Traducción de la Aplicación al Idioma elegido"));
    setFixedSize(Herramientas::RectTwips(0, 0, 7872, 6432).size());

    auto etiqueta = [this](const char *texto, int l, int t, int w) {
        auto *lbl = new QLabel(QString::fromUtf8(texto), this);
        lbl->setGeometry(Herramientas::RectTwips(l, t, w, 255));
        return lbl;
    };
    auto boton = [this](const char *nombre, const char *texto, int t) {
        auto *cmd = new QPushButton(QString::fromUtf8(texto), this);
        cmd->setObjectName(QLatin1String(nombre));
        cmd->setGeometry(Herramientas::RectTwips(6600, t, 1215, 375));
        // Enter triggers no button here.
        cmd->setAutoDefault(false);
        cmd->setDefault(false);
        return cmd;
    };

    lblNuevoIdioma = etiqueta("Nuevo Idioma:", 0, 120, 2900);
    txtNuevoIdioma = new QLineEdit(this);
    txtNuevoIdioma->setObjectName(QStringLiteral("txtNuevoIdioma"));
    txtNuevoIdioma->setGeometry(Herramientas::RectTwips(3000, 120, 3495, 285));
    lblVars = etiqueta("Variables:", 0, 480, 2900);
    lstVars = new QListWidget(this);
    lstVars->setObjectName(QStringLiteral("lstVars"));
    lstVars->setGeometry(Herramientas::RectTwips(0, 720, 3015, 5664));
    lblTituloValorActual = etiqueta("Valor en el Idioma actual:", 3120, 840, 4695);
    txtValorActual = new QPlainTextEdit(this);
    txtValorActual->setObjectName(QStringLiteral("txtValorActual"));
    txtValorActual->setGeometry(Herramientas::RectTwips(3120, 1080, 4695, 735));
    txtValorActual->setReadOnly(true);
    txtValorActual->setTabChangesFocus(true);
    lblTituloValorNuevo = etiqueta("Valor en el Nuevo Idioma:", 3120, 2040, 4695);
    txtValorNuevo = new QPlainTextEdit(this);
    txtValorNuevo->setObjectName(QStringLiteral("txtValorNuevo"));
    txtValorNuevo->setGeometry(Herramientas::RectTwips(3120, 2280, 4695, 765));
    txtValorNuevo->setTabChangesFocus(true);
    cmdAceptar = boton("cmdAceptar", "&Aceptar", 120);
    cmdCancelar = boton("cmdCancelar", "&Cancelar", 600);
    cmdGrabar = boton("cmdGrabar", "&Grabar Valor", 3120);

    cmdAceptar->setEnabled(false);
    cmdGrabar->setEnabled(false);

    lblNuevoIdioma->setBuddy(txtNuevoIdioma);
    lblVars->setBuddy(lstVars);
    lblTituloValorActual->setBuddy(txtValorActual);
    lblTituloValorNuevo->setBuddy(txtValorNuevo);

    QWidget *orden[] = {
        txtNuevoIdioma, cmdAceptar, cmdCancelar, lstVars, txtValorNuevo, txtValorActual, cmdGrabar};
    for (size_t i = 1; i < std::size(orden); ++i)
        setTabOrder(orden[i - 1], orden[i]);

    txtNuevoIdioma->installEventFilter(this);
    txtValorNuevo->installEventFilter(this);

    connect(txtNuevoIdioma, &QLineEdit::textChanged, this, &frmConfigTraduc::txtNuevoIdioma_Change);
    connect(
        txtValorNuevo, &QPlainTextEdit::textChanged, this, &frmConfigTraduc::txtValorNuevo_Change);
    connect(lstVars, &QListWidget::currentRowChanged, this, [this](int fila) {
        if (fila >= 0)
            lstVars_Click();
    });
    connect(cmdGrabar, &QPushButton::clicked, this, &frmConfigTraduc::cmdGrabar_Click);
    connect(cmdAceptar, &QPushButton::clicked, this, &frmConfigTraduc::cmdAceptar_Click);
    connect(cmdCancelar, &QPushButton::clicked, this, &frmConfigTraduc::cmdCancelar_Click);
}

void frmConfigTraduc::Form_Load()
{
    if (!m_config.ModoAlta) {
        txtNuevoIdioma->setText(m_config.cmbIdioma->currentText());
        txtNuevoIdioma->setReadOnly(true);
        cmdAceptar->setEnabled(true);
        cmdCancelar->setEnabled(false);
    }
    CargaTextos();
    CargaVariables();
    VarsGrabadas.clear();
}

void frmConfigTraduc::CargaTextos()
{
    setWindowTitle(Texto(QStringLiteral("ConTraName")));
    lblNuevoIdioma->setText(Texto(QStringLiteral("ConTralblNuevoIdioma")));
    lblVars->setText(Texto(QStringLiteral("ConTralblVars")));
    lblTituloValorActual->setText(Texto(QStringLiteral("ConTralblTituloValorActual")));
    lblTituloValorNuevo->setText(Texto(QStringLiteral("ConTralblTituloValorNuevo")));
    cmdAceptar->setText(Texto(QStringLiteral("ConTracmdAceptar")));
    cmdCancelar->setText(Texto(QStringLiteral("ConTracmdCancelar")));
    cmdGrabar->setText(Texto(QStringLiteral("ConTracmdGrabar")));
    Herramientas::AjustaEtiquetas(this);
}

void frmConfigTraduc::CargaVariables()
{
    QStringList claves;
    QString resto = LeeIniLargo(IdiomaActual, QString(), RutaIni());
    while (!resto.isEmpty()) {
        const qsizetype nul = resto.indexOf(QChar(0));
        claves.append(nul < 0 ? resto : resto.left(nul));
        resto = nul < 0 ? QString() : resto.mid(nul + 1);
    }
    // A language section from before a key was added lacks it: the catalogue's
    // keys follow, so every text the program shows can be translated.
    for (const ClaveIdioma &c : CatalogoClaves::todas()) {
        if (!claves.contains(c.nombre, Qt::CaseInsensitive))
            claves.append(c.nombre);
    }
    for (const QString &clave : std::as_const(claves)) {
        auto *elemento = new QListWidgetItem(clave, lstVars);
        // The mark tells only what was saved here: the operator cannot set it.
        elemento->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        elemento->setCheckState(Qt::Unchecked);
    }
}

bool frmConfigTraduc::EstaGrabada(const QString &clave) const
{
    return VarsGrabadas.contains(clave, Qt::CaseSensitive);
}

void frmConfigTraduc::lstVars_Click()
{
    QListWidgetItem *elemento = lstVars->currentItem();
    if (!elemento)
        return;
    const QString clave = elemento->text();
    elemento->setCheckState(EstaGrabada(clave) ? Qt::Checked : Qt::Unchecked);
    const QString ruta = RutaIni();
    txtValorActual->setPlainText(LeeIni(IdiomaActual, clave, QString(), ruta));
    txtValorNuevo->setPlainText(LeeIni(txtNuevoIdioma->text(), clave, QString(), ruta));
    txtValorNuevo->moveCursor(QTextCursor::End);
    txtValorNuevo->setFocus();
}

void frmConfigTraduc::txtNuevoIdioma_Change()
{
    ActivaGrabar();
}

void frmConfigTraduc::txtValorNuevo_Change()
{
    if (m_ajustando)
        return;
    // One value of the settings file is one line of at most 126 characters:
    // what the box holds is what will be read back.
    const QString texto = txtValorNuevo->toPlainText();
    int cursor = txtValorNuevo->textCursor().position();
    const QString ajustado = ValorIdioma::ajusta(texto, &cursor);
    if (ajustado != texto) {
        m_ajustando = true;
        txtValorNuevo->setPlainText(ajustado);
        QTextCursor c = txtValorNuevo->textCursor();
        c.setPosition(cursor);
        txtValorNuevo->setTextCursor(c);
        m_ajustando = false;
    }
    ActivaGrabar();
}

void frmConfigTraduc::ActivaGrabar()
{
    // Without a key selected there is nothing to save the value under.
    cmdGrabar->setEnabled(!txtNuevoIdioma->text().isEmpty()
        && !txtValorNuevo->toPlainText().isEmpty() && lstVars->currentItem());
}

void frmConfigTraduc::ActivaAceptar()
{
    bool todas = lstVars->count() > 0;
    for (int i = 0; todas && i < lstVars->count(); ++i)
        todas = EstaGrabada(lstVars->item(i)->text());
    cmdAceptar->setEnabled(todas);
}

bool frmConfigTraduc::EsPropia(const QString &nombre) const
{
    for (const QString &p : m_propias) {
        if (QString::compare(p.trimmed(), nombre.trimmed(), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool frmConfigTraduc::NombreOcupado(const QString &nombre, const QString &ruta) const
{
    if (EsPropia(nombre))
        return false;
    // The settings file matches section names in any letter case, so a name
    // that differs from an existing language only in case would write into it.
    return !ValorIdioma::nombreValido(nombre) || PerfilIni::existeSeccion(ruta, nombre);
}

void frmConfigTraduc::RechazaNombre()
{
    txtNuevoIdioma->clear();
    // Taken back after the focus change that is under way has finished.
    QMetaObject::invokeMethod(
        txtNuevoIdioma, [this] { txtNuevoIdioma->setFocus(); }, Qt::QueuedConnection);
}

void frmConfigTraduc::txtNuevoIdioma_LostFocus()
{
    if (!m_config.ModoAlta)
        return;
    const QString nombre = txtNuevoIdioma->text();
    if (nombre.isEmpty())
        return;
    if (NombreOcupado(nombre, RutaIni()))
        RechazaNombre();
}

void frmConfigTraduc::cmdGrabar_Click()
{
    QListWidgetItem *elemento = lstVars->currentItem();
    const QString nombre = txtNuevoIdioma->text();
    if (!elemento || nombre.isEmpty())
        return;
    const QString clave = elemento->text();
    const QString ruta = RutaIni();
    const bool alta = m_config.ModoAlta;
    // A shortcut can reach here without the name field losing the focus.
    if (alta && NombreOcupado(nombre, ruta)) {
        RechazaNombre();
        return;
    }

    QString error;
    if (!EscribeIni(nombre, clave, txtValorNuevo->toPlainText(), ruta, &error)) {
        Herramientas::MsgBox(
            Texto(QStringLiteral("ConTraErrorGraba")).arg(QDir::toNativeSeparators(ruta), error),
            Herramientas::vbCritical, Texto(QStringLiteral("PrinTitulo")), this);
        return;
    }
    if (alta && !EsPropia(nombre))
        m_propias.append(nombre);

    if (!EstaGrabada(clave)) {
        VarsGrabadas.append(clave);
        elemento->setCheckState(Qt::Checked);
    }
    const int fila = lstVars->row(elemento);
    if (fila < lstVars->count() - 1)
        lstVars->setCurrentRow(fila + 1);
    if (m_config.ModoAlta)
        ActivaAceptar();
}

void frmConfigTraduc::cmdAceptar_Click()
{
    accept();
}

void frmConfigTraduc::cmdCancelar_Click()
{
    const QString nombre = txtNuevoIdioma->text();
    // Only a language this editor began may be taken back: never one that
    // was in the file before.
    if (!nombre.isEmpty() && m_config.ModoAlta && EsPropia(nombre)) {
        QString error;
        const QString ruta = RutaIni();
        if (!BorraSeccionIni(nombre, ruta, &error)) {
            Herramientas::MsgBox(Texto(QStringLiteral("ConTraErrorGraba"))
                                     .arg(QDir::toNativeSeparators(ruta), error),
                Herramientas::vbCritical, Texto(QStringLiteral("PrinTitulo")), this);
        }
    }
    reject();
}

bool frmConfigTraduc::eventFilter(QObject *objeto, QEvent *evento)
{
    if (objeto == txtNuevoIdioma && evento->type() == QEvent::FocusOut) {
        // Switching to another window is not leaving the field.
        const Qt::FocusReason motivo = static_cast<QFocusEvent *>(evento)->reason();
        if (motivo != Qt::ActiveWindowFocusReason && motivo != Qt::PopupFocusReason)
            txtNuevoIdioma_LostFocus();
    } else if (objeto == txtValorNuevo && evento->type() == QEvent::KeyPress) {
        const int tecla = static_cast<QKeyEvent *>(evento)->key();
        // A value is one line.
        if (tecla == Qt::Key_Return || tecla == Qt::Key_Enter)
            return true;
    }
    return QDialog::eventFilter(objeto, evento);
}

void frmConfigTraduc::keyPressEvent(QKeyEvent *evento)
{
    // Escape triggers no button and does not close the editor, so a half
    // written language is neither lost nor left behind by accident.
    if (evento->key() == Qt::Key_Escape) {
        evento->accept();
        return;
    }
    QDialog::keyPressEvent(evento);
}
