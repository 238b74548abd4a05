#pragma once

#include <QComboBox>
#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QPushButton;
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
// handshake, mode and language. Loaded afresh for every showing; nothing
// reaches the settings record or the file before Aceptar.
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

    void Form_Load();
    void CargaTextos();
    void CargaListaIdiomas();
    void MuestraConfig();
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
    void cmbIdioma_Click();
    void cmdAceptar_Click();
    void cmdCancelar_Click();
    void cmdAltaIdioma_Click();
    void cmdModifIdioma_Click();

    // Rebuilds the port list from the devices present now, keeping the
    // chosen item and the stored device even when it is unplugged.
    void ActualizaPuertos();

private:
    void creaControles();

    frmPrincipal &m_principal;
};
