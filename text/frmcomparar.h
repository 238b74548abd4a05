#pragma once

#include "text/comparacion.h"

#include <QDialog>

class QLabel;
class QTableView;

// The differences between the text window and a file, side by side: for each
// stretch the window's lines and the file's with their line numbers, removed,
// added and changed lines in their own colours. Read-only; Escape closes.
class frmComparar : public QDialog
{
    Q_OBJECT

public:
    frmComparar(
        Comparacion::Resultado resultado, const QString &fichero, QWidget *parent = nullptr);

    QLabel *lblDiferencias = nullptr;
    // Columns: window line, window text, file line, file text.
    QTableView *grdDiferencias = nullptr;
};
