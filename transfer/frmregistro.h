#pragma once

#include "transfer/registro.h"

#include <QDialog>
#include <QList>
#include <QString>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

// The transfer log: the records newest first, those that failed or did not
// end marked in colour, narrowed to one machine when the operator picks it.
// Read once, when the window opens.
class frmRegistro : public QDialog
{
    Q_OBJECT

public:
    explicit frmRegistro(const QString &ruta, QWidget *parent = nullptr);

    QLabel *lblMaquina = nullptr;
    QComboBox *cmbMaquina = nullptr;
    QTableWidget *grdRegistro = nullptr;
    // What could not be read; hidden when all could.
    QLabel *lblAviso = nullptr;
    QPushButton *cmdCerrar = nullptr;

    // Fills the table with the machine chosen (all for the first item).
    void cmbMaquina_Click();

private:
    QList<EntradaRegistro> m_entradas; // newest first
};
