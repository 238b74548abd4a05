#pragma once

#include "settings/maquinas.h"

#include <QGroupBox>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class ListaEleccion;

// The machines of the settings dialog: the list of MAQUINAS.INI (an empty
// item for none), the presets, the name that Save as new and Rename give, and
// the buttons that act on the file. Choosing a machine or a preset asks the
// dialog to show its settings; the buttons store the settings the dialog
// shows. They write MAQUINAS.INI at once, as the translation editor writes
// its languages, and the name of the current machine when it is renamed or
// deleted.
class CuadroMaquinas : public QGroupBox
{
    Q_OBJECT

public:
    explicit CuadroMaquinas(QWidget *parent = nullptr);

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
    // Says that the buttons write at once and Cancel does not undo them.
    QLabel *lblMaqInmediato = nullptr;

    // What the dialog lends: the settings it shows as a machine without a
    // name, and whether they may be stored (false once it told why).
    std::function<Maquina()> valoresMostrados;
    std::function<bool()> valoresAceptables;

    void CargaTextos();
    // Fills cmbMaquina from MAQUINAS.INI and chooses the machine of that name
    // (none for an empty one); avisar shows what the file holds amiss.
    void CargaListaMaquinas(const QString &elegida, bool avisar);
    // A machine is saved only with every setting shown.
    void Habilita(bool completas);

    void cmbMaquina_Click();
    void cmbPredefinida_Click();
    void cmdMaqNueva_Click();
    void cmdMaqRenombra_Click();
    void cmdMaqActualiza_Click();
    void cmdMaqBorra_Click();

signals:
    // A machine or a preset was chosen: the dialog shows its settings, the
    // port only with puerto.
    void muestra(const Maquina &m, bool puerto);
    // The list or the name changed: the dialog enables its buttons again.
    void cambiado();
    // The file may now name another current machine (renamed, deleted) or
    // hold other settings for it: the record and the main window follow.
    void actualCambiada();

private:
    // What the file holds amiss, with why the machine chosen is refused.
    void muestraAvisos(const AvisosIni &avisos, const Maquina *elegida = nullptr);
    // Tells the operator why a machine operation failed; true when done.
    bool informa(Maquinas::Resultado r, const QString &nombre, const QString &error);
};
