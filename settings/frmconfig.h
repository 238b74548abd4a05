#pragma once

#include "settings/maquinas.h"

#include <QComboBox>
#include <QDialog>
#include <QString>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class frmPrincipal;

// A pick list: the operator chooses one of its items and types nothing (the
// port list alone takes a typed device). Dropping it down runs the refresh
// first, so a list of devices is current.
class ListaEleccion : public QComboBox
{
public:
    explicit ListaEleccion(QWidget *parent = nullptr);
    std::function<void()> alDesplegar;
    void showPopup() override;
};

// The configuration dialog: port, speed, parity, data bits, stop bits,
// handshake, mode, language and line format, and the machines that keep
// sets of them. Loaded afresh for every showing; nothing reaches the
// settings record or General before Aceptar, but for the machine buttons:
// they write MAQUINAS.INI at once, as the translation editor writes its
// languages, and the name of the current machine when it is renamed or
// deleted.
class frmConfig : public QDialog
{
    Q_OBJECT

public:
    explicit frmConfig(frmPrincipal &principal, QWidget *parent = nullptr);
    ~frmConfig() override;

    // True while the translation editor adds a language, false while it
    // modifies the one shown in cmbIdioma.
    bool ModoAlta = false;

    QLabel *lblPuerto = nullptr;
    ListaEleccion *cmbPuerto = nullptr;
    QLabel *lblVT = nullptr;
    ListaEleccion *cmbVT = nullptr;
    QLabel *lblParidad = nullptr;
    ListaEleccion *cmbParidad = nullptr;
    QLabel *lblBitsDatos = nullptr;
    ListaEleccion *cmbBitsDatos = nullptr;
    QLabel *lblBitsStop = nullptr;
    ListaEleccion *cmbBitsStop = nullptr;
    QLabel *lblIdioma = nullptr;
    ListaEleccion *cmbIdioma = nullptr;
    QPushButton *cmdAceptar = nullptr;
    QPushButton *cmdCancelar = nullptr;
    QPushButton *cmdAltaIdioma = nullptr;
    QLabel *lblModo = nullptr;
    ListaEleccion *cmbModo = nullptr;
    QLabel *lblNego = nullptr;
    ListaEleccion *cmbNego = nullptr;
    QPushButton *cmdModifIdioma = nullptr;
    // Where XON/XOFF is done: in the program or in the port; offered only
    // with the XON/XOFF handshake.
    QLabel *lblXonXoff = nullptr;
    ListaEleccion *cmbXonXoff = nullptr;
    // Checks the port shown and tells what is wrong with it.
    QPushButton *cmdComprueba = nullptr;

    // Machines: the one whose settings are shown (an empty item for none),
    // the presets, and the name that Save as new and Rename give.
    QLabel *lblMaquina = nullptr;
    ListaEleccion *cmbMaquina = nullptr;
    QLabel *lblPredefinida = nullptr;
    ListaEleccion *cmbPredefinida = nullptr;
    QLabel *lblNombreMaquina = nullptr;
    QLineEdit *txtNombreMaquina = nullptr;
    QPushButton *cmdMaqNueva = nullptr;
    QPushButton *cmdMaqRenombra = nullptr;
    QPushButton *cmdMaqActualiza = nullptr;
    QPushButton *cmdMaqBorra = nullptr;

    // Line format.
    QLabel *lblFormato = nullptr;
    QLabel *lblFinBloque = nullptr;
    ListaEleccion *cmbFinBloque = nullptr;
    QCheckBox *chkMarco = nullptr;
    QLabel *lblNulosInicio = nullptr;
    QSpinBox *spnNulosInicio = nullptr;
    QCheckBox *chkEsperaDc1 = nullptr;
    QLabel *lblNulosFin = nullptr;
    QSpinBox *spnNulosFin = nullptr;
    QLabel *lblRetardo = nullptr;
    QSpinBox *spnRetardo = nullptr;
    QLabel *lblSilencio = nullptr;
    QSpinBox *spnSilencio = nullptr;

    // The settings file in use.
    QLabel *lblDirRecepcion = nullptr;
    QLineEdit *txtDirRecepcion = nullptr;
    QLabel *lblFichero = nullptr;

    void Form_Load();
    void CargaTextos();
    void CargaListaIdiomas();
    void MuestraConfig();
    // Fills cmbMaquina from MAQUINAS.INI and shows the machine of that name
    // (none for an empty one); avisar shows what the file holds amiss.
    void CargaListaMaquinas(const QString &elegida, bool avisar);
    // Shows a machine's settings in the controls; the port only with puerto.
    void MuestraValores(const Maquina &m, bool puerto);
    // The settings the controls show, as a machine without a name.
    Maquina ValoresMostrados() const;
    // The port the controls show as a device path or a network address.
    QString PuertoMostrado() const;
    void CompruebaCombos();
    // The key of the status message the main window shows; empty for none.
    QString ClaveEstado() const;
    void TraduceEstado(const QString &clave);

    void cmbPuerto_Click();
    void cmbVT_Click();
    void cmbParidad_Click();
    void cmbBitsDatos_Click();
    void cmbBitsStop_Click();
    void cmbModo_Click();
    void cmbNego_Click();
    void cmdComprueba_Click();
    void cmbIdioma_Click();
    void cmdAceptar_Click();
    void cmdCancelar_Click();
    void cmdAltaIdioma_Click();
    void cmdModifIdioma_Click();
    void cmbMaquina_Click();
    void cmbPredefinida_Click();
    void cmdMaqNueva_Click();
    void cmdMaqRenombra_Click();
    void cmdMaqActualiza_Click();
    void cmdMaqBorra_Click();

    // Rebuilds the port list from the devices present now, keeping the
    // chosen item and the stored device even when it is unplugged.
    void ActualizaPuertos();

private:
    void creaControles();
    void creaControlesMaquina();
    // The port the list shows: a COM number, or a device with number 0.
    void puertoMostrado(int &numero, QString &dispositivo) const;
    // A network port typed amiss is refused with a message before it is
    // stored; false then.
    bool puertoAceptable();
    void muestraAvisos(const AvisosIni &avisos);
    // Tells the operator why a machine operation failed; true when done.
    bool informa(Maquinas::Resultado r, const QString &nombre, const QString &error);
    // The file now names another machine (renamed, deleted): the record and
    // the main window follow it.
    void sigueMaquinaActual();

    frmPrincipal &m_principal;
    // The travel, rapid rate and time factor of the machine shown: the
    // dialog does not show them, so they go along with the rest unchanged.
    RecorridoMaquina m_recorrido;
};
