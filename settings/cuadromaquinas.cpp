#include "settings/cuadromaquinas.h"

#include "settings/listaeleccion.h"
#include "settings/varsfuncsglobales.h"
#include "shell/herramientas.h"

#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using VarsFuncsGlobales::RutaIni;
using VarsFuncsGlobales::Texto;

CuadroMaquinas::CuadroMaquinas(QWidget *parent) : QGroupBox(parent)
{
    auto lista = [this](const char *nombre) {
        auto *cmb = new ListaEleccion(this);
        cmb->setObjectName(QLatin1String(nombre));
        // Room for a name of some length, whatever the list holds now.
        cmb->setMinimumContentsLength(24);
        return cmb;
    };
    auto boton = [this](const char *nombre) {
        auto *cmd = new QPushButton(this);
        cmd->setObjectName(QLatin1String(nombre));
        cmd->setAutoDefault(false);
        return cmd;
    };
    cmbMaquina = lista("cmbMaquina");
    cmdMaqActualiza = boton("cmdMaqActualiza");
    cmdMaqBorra = boton("cmdMaqBorra");
    cmbPredefinida = lista("cmbPredefinida");
    txtNombreMaquina = new QLineEdit(this);
    txtNombreMaquina->setObjectName(QStringLiteral("txtNombreMaquina"));
    // Longer names would come back cut from the settings reads.
    txtNombreMaquina->setMaxLength(126);
    cmdMaqNueva = boton("cmdMaqNueva");
    cmdMaqRenombra = boton("cmdMaqRenombra");
    lblMaquina = new QLabel(this);
    lblPredefinida = new QLabel(this);
    lblNombreMaquina = new QLabel(this);
    // The file is the service's too: a machine stored is stored for all at
    // once, which Cancel could not take back.
    lblMaqInmediato = new QLabel(this);
    lblMaqInmediato->setWordWrap(true);

    // The buttons that act on the chosen machine sit beside its list, those
    // that use the typed name beside the name.
    auto *rejilla = new QGridLayout(this);
    rejilla->addWidget(lblMaquina, 0, 0);
    rejilla->addWidget(cmbMaquina, 0, 1);
    rejilla->addWidget(cmdMaqActualiza, 0, 2);
    rejilla->addWidget(cmdMaqBorra, 0, 3);
    rejilla->addWidget(lblPredefinida, 1, 0);
    rejilla->addWidget(cmbPredefinida, 1, 1);
    rejilla->addWidget(lblNombreMaquina, 2, 0);
    rejilla->addWidget(txtNombreMaquina, 2, 1);
    rejilla->addWidget(cmdMaqNueva, 2, 2);
    rejilla->addWidget(cmdMaqRenombra, 2, 3);
    rejilla->addWidget(lblMaqInmediato, 3, 0, 1, 4);
    rejilla->setColumnStretch(1, 1);

    for (Maquinas::Predefinida p : Maquinas::predefinidas())
        cmbPredefinida->addItem(Maquinas::nombrePredefinida(p));
    // No preset is shown until the operator chooses one.
    cmbPredefinida->setCurrentIndex(-1);

    const std::pair<QLabel *, QWidget *> companeros[] = {{lblMaquina, cmbMaquina},
        {lblPredefinida, cmbPredefinida}, {lblNombreMaquina, txtNombreMaquina}};
    for (const auto &[lbl, control] : companeros)
        lbl->setBuddy(control);

    connect(cmbMaquina, &QComboBox::activated, this, &CuadroMaquinas::cmbMaquina_Click);
    connect(cmbPredefinida, &QComboBox::activated, this, &CuadroMaquinas::cmbPredefinida_Click);
    connect(cmdMaqNueva, &QPushButton::clicked, this, &CuadroMaquinas::cmdMaqNueva_Click);
    connect(cmdMaqRenombra, &QPushButton::clicked, this, &CuadroMaquinas::cmdMaqRenombra_Click);
    connect(cmdMaqActualiza, &QPushButton::clicked, this, &CuadroMaquinas::cmdMaqActualiza_Click);
    connect(cmdMaqBorra, &QPushButton::clicked, this, &CuadroMaquinas::cmdMaqBorra_Click);
}

void CuadroMaquinas::CargaTextos()
{
    setTitle(Texto(QStringLiteral("ConfigfraMaquinas")));
    // A control with a label is named by it for screen readers.
    const std::pair<QLabel *, const char *> etiquetas[] = {
        {lblMaquina, "ConfiglblMaquina"},
        {lblPredefinida, "ConfiglblPredefinida"},
        {lblNombreMaquina, "ConfiglblNombreMaquina"},
    };
    lblMaqInmediato->setText(Texto(QStringLiteral("ConfiglblMaqInmediato")));
    for (const auto &[lbl, clave] : etiquetas) {
        const QString texto = Texto(QLatin1String(clave));
        lbl->setText(texto);
        lbl->buddy()->setAccessibleName(QString(texto).remove(QLatin1Char('&')));
    }
    const std::pair<QPushButton *, const char *> botones[] = {
        {cmdMaqNueva, "ConfigcmdMaqNueva"},
        {cmdMaqRenombra, "ConfigcmdMaqRenombra"},
        {cmdMaqActualiza, "ConfigcmdMaqActualiza"},
        {cmdMaqBorra, "ConfigcmdMaqBorra"},
    };
    for (const auto &[cmd, clave] : botones)
        cmd->setText(Texto(QLatin1String(clave)));
    const std::pair<QWidget *, const char *> consejos[] = {
        {cmbMaquina, "ConfigcmbMaquina"},
        {cmbPredefinida, "ConfigcmbPredefinida"},
        {txtNombreMaquina, "ConfigtxtNombreMaquina"},
        {cmdMaqNueva, "ConfigcmdMaqNuevaTip"},
        {cmdMaqRenombra, "ConfigcmdMaqRenombraTip"},
        {cmdMaqActualiza, "ConfigcmdMaqActualizaTip"},
        {cmdMaqBorra, "ConfigcmdMaqBorraTip"},
    };
    for (const auto &[control, clave] : consejos)
        control->setToolTip(Texto(QLatin1String(clave)));
}

void CuadroMaquinas::CargaListaMaquinas(const QString &elegida, bool avisar)
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
    emit cambiado();
}

void CuadroMaquinas::Habilita(bool completas)
{
    const bool maquina = !cmbMaquina->currentText().isEmpty();
    cmdMaqNueva->setEnabled(completas);
    cmdMaqActualiza->setEnabled(completas && maquina);
    cmdMaqRenombra->setEnabled(maquina);
    cmdMaqBorra->setEnabled(maquina);
}

void CuadroMaquinas::muestraAvisos(const AvisosIni &avisos, const Maquina *elegida)
{
    QStringList lineas;
    // A refused machine first: its values are what the operator must put right.
    if (elegida && elegida->rechazada()) {
        lineas.append(Texto(QStringLiteral("ConfigMaquinaRechazada")).arg(elegida->nombre));
        for (const AvisoIni &r : elegida->rechazos)
            lineas.append(
                Texto(QStringLiteral("ConfigAvisoMaquina")).arg(r.seccion, r.clave, r.valor));
    }
    if (!avisos.isEmpty())
        lineas.append(Texto(QStringLiteral("ConfigAvisoMaquinas"))
                          .arg(QDir::toNativeSeparators(Maquinas::rutaMaquinas(RutaIni()))));
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
    if (lineas.isEmpty())
        return;
    Herramientas::MsgBox(lineas.join(QLatin1Char('\n')), Herramientas::vbExclamation,
        Texto(QStringLiteral("PrinTitulo")), this);
}

void CuadroMaquinas::cmbMaquina_Click()
{
    const QString nombre = cmbMaquina->currentText();
    if (!nombre.isEmpty()) {
        AvisosIni avisos;
        const std::optional<Maquina> m = Maquinas::lee(RutaIni(), nombre, &avisos);
        if (!m) {
            informa(Maquinas::Resultado::NoExiste, nombre, QString());
            CargaListaMaquinas(QString(), false);
            return;
        }
        emit muestra(*m, true);
        txtNombreMaquina->setText(m->nombre);
        cmbPredefinida->setCurrentIndex(-1);
        muestraAvisos(avisos, &*m);
    }
    emit cambiado();
}

void CuadroMaquinas::cmbPredefinida_Click()
{
    const QList<Maquinas::Predefinida> predefinidas = Maquinas::predefinidas();
    const int i = cmbPredefinida->currentIndex();
    if (i < 0 || i >= predefinidas.size())
        return;
    // The port is where the cable is plugged, not part of the control's
    // settings: it stays as shown.
    const Maquina m = Maquinas::predefinida(predefinidas.at(i));
    emit muestra(m, false);
    txtNombreMaquina->setText(m.nombre);
    // The controls no longer show a stored machine.
    cmbMaquina->setCurrentIndex(0);
    emit cambiado();
}

bool CuadroMaquinas::informa(Maquinas::Resultado r, const QString &nombre, const QString &error)
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
    case R::Rechazada:
        mensaje = Texto(QStringLiteral("ConfigMaquinaRechazada")).arg(nombre);
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

void CuadroMaquinas::cmdMaqNueva_Click()
{
    if (!valoresAceptables())
        return;
    Maquina m = valoresMostrados();
    m.nombre = txtNombreMaquina->text();
    QString error;
    if (!informa(Maquinas::guarda(RutaIni(), m, false, &error), m.nombre, error))
        return;
    // Chosen at once: Aceptar makes it the current machine.
    CargaListaMaquinas(m.nombre, false);
}

void CuadroMaquinas::cmdMaqActualiza_Click()
{
    const QString nombre = cmbMaquina->currentText();
    if (!valoresAceptables())
        return;
    if (Herramientas::MsgBox(Texto(QStringLiteral("ConfigPreguntaActualiza")).arg(nombre),
            Herramientas::vbYesNo + Herramientas::vbQuestion, Texto(QStringLiteral("PrinTitulo")),
            this)
        != Herramientas::vbYes)
        return;
    Maquina m = valoresMostrados();
    m.nombre = nombre;
    QString error;
    // The current machine may now match the settings in use, or no longer.
    if (informa(Maquinas::guarda(RutaIni(), m, true, &error), nombre, error))
        emit actualCambiada();
}

void CuadroMaquinas::cmdMaqRenombra_Click()
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
    emit actualCambiada();
}

void CuadroMaquinas::cmdMaqBorra_Click()
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
        emit actualCambiada();
    }
}
