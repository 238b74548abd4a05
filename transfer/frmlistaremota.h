#pragma once

#include "remote/almacenremoto.h"

#include <QDialog>
#include <QList>
#include <QStringList>

class QLabel;
class QPushButton;
class QTableWidget;

// The programs in a remote machine's folder, newest first, to choose what
// to fetch: one goes into the text window, several into the receive folder.
class frmListaRemota : public QDialog
{
    Q_OBJECT

public:
    // The entries in the order given; `maquina` names the address in the
    // title, `carpeta` the receive folder several programs go into.
    frmListaRemota(const QList<AlmacenRemoto::Entrada> &entradas, const QString &maquina,
        const QString &carpeta, QWidget *parent = nullptr);

    QLabel *lblAyuda = nullptr;
    QTableWidget *grdProgramas = nullptr;
    QPushButton *cmdAceptar = nullptr;
    QPushButton *cmdCancelar = nullptr;

    // The names chosen, in list order.
    QStringList elegidos() const;

    void grdProgramas_Click();
    void grdProgramas_DblClick();
    void cmdAceptar_Click();
    void cmdCancelar_Click();
};
