#pragma once

#include <QByteArray>
#include <QDialog>
#include <QList>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
namespace Trazado {
struct BloqueReinicio;
}

// The question before a send from a line: what the CNC gets first, and the
// start block that gives the control back the program's tool, offsets,
// spindle, coolant and modes at that line, to go after the header. The
// operator may edit the block or leave it out; only Yes sends.
class frmEnvioDesde : public QDialog
{
    Q_OBJECT

public:
    frmEnvioDesde(const QString &pregunta, const Trazado::BloqueReinicio &bloque, qsizetype linea,
        QWidget *parent = nullptr);

    QLabel *lblPregunta = nullptr;
    QCheckBox *chkInicio = nullptr;
    QPlainTextEdit *txtInicio = nullptr;
    QLabel *lblNota = nullptr;
    QPushButton *cmdSi = nullptr;
    QPushButton *cmdNo = nullptr;

    // The block as the operator left it, one line a block; empty when left out.
    QList<QByteArray> bloqueInicio() const;

    // Yes: only with a block every character of which a program line carries.
    void accept() override;
};
