#pragma once

#include "settings/listaeleccion.h"
#include "settings/maquinas.h"

#include <QDialog>
#include <QString>

class CuadroMaquinas;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class frmPrincipal;

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

    // The machines and their buttons; the controls callers reach are
    // forwarded from it.
    CuadroMaquinas *fraMaquinas = nullptr;
    ListaEleccion *cmbMaquina = nullptr;
    ListaEleccion *cmbPredefinida = nullptr;
    QLineEdit *txtNombreMaquina = nullptr;
    QPushButton *cmdMaqNueva = nullptr;
    QPushButton *cmdMaqRenombra = nullptr;
    QPushButton *cmdMaqActualiza = nullptr;
    QPushButton *cmdMaqBorra = nullptr;

    // The line: port, speed, parity, bits, handshake, where XON/XOFF is done.
    QGroupBox *fraLinea = nullptr;

    // Line format, with the mode (ASCII or ISO code).
    QGroupBox *fraFormato = nullptr;
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

    // A machine reached over FTP or through a folder: how it is reached, how
    // a program is named on it, whether a send is fetched back and compared,
    // how often continuous receive looks. Offered only for such a port,
    // where the line's own settings and the framing do not apply.
    QGroupBox *fraRemota = nullptr;
    QCheckBox *chkFtpActivo = nullptr;
    QCheckBox *chkNombreO = nullptr;
    QCheckBox *chkVerificar = nullptr;
    QLabel *lblSondeo = nullptr;
    QSpinBox *spnSondeo = nullptr;

    QGroupBox *fraRecepcion = nullptr;
    QLineEdit *txtDirRecepcion = nullptr;
    // The settings file in use.
    QLabel *lblFichero = nullptr;

    void Form_Load();
    void CargaTextos();
    void CargaListaIdiomas();
    void MuestraConfig();
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
    void cmdMaqNueva_Click();

    // Rebuilds the port list from the devices present now, keeping the
    // chosen item and the stored device even when it is unplugged.
    void ActualizaPuertos();

private:
    void creaControles();
    QGroupBox *creaLinea();
    QGroupBox *creaFormato();
    QGroupBox *creaRemota();
    // Whether the port shown is a machine reached over FTP or a folder.
    bool remotaMostrada() const;
    // The list that shows a key's value; none for other keys.
    QComboBox *listaDeClave(const QString &clave) const;
    // The port the list shows: a COM number, or a device with number 0.
    void puertoMostrado(int &numero, QString &dispositivo) const;
    // A network port typed amiss, or a receive folder that is no full path,
    // is refused with a message before it is stored; false then.
    bool valoresAceptables();
    // The file now names another machine (renamed, deleted): the record and
    // the main window follow it.
    void sigueMaquinaActual();

    frmPrincipal &m_principal;
    // The program size limit has no control of its own: the one of the
    // machine shown goes back with it unchanged.
    int m_maxProgramaMiB = FormatoLinea {}.maxProgramaMiB;
    // The travel, rapid rate and time factor of the machine shown: the
    // dialog does not show them, so they go along with the rest unchanged.
    RecorridoMaquina m_recorrido;
    // The machine last shown: a remote machine's serial settings have no
    // choice in the greyed lists when its file held values they lack, and
    // go back as the file meant them.
    ::Maquina m_mostrada;
};
