#pragma once

#include "port/comprobacionpuerto.h"

#include <QDialog>
#include <QString>

struct Maquina;
class QPushButton;
class QTextBrowser;

// The port check's window: "checking..." while it runs, then each finding
// with its state and what to do, in text the operator can select and copy
// (the commands are meant to be pasted into a terminal).
class frmComprobacion : public QDialog
{
    Q_OBJECT

public:
    frmComprobacion(
        const QString &puerto, const EntornoComprobacion &entorno, QWidget *parent = nullptr);

    // Checks the port of the settings and shows the window until closed.
    static void Muestra(const Maquina &ajustes, QWidget *parent);
    // The same for the settings in use.
    static void MuestraEnUso(QWidget *parent);

    QTextBrowser *txtHallazgos = nullptr;
    QPushButton *cmdCerrar = nullptr;
    ComprobacionPuerto &comprobacion() { return m_comprobacion; }
    void done(int resultado) override;

private:
    void muestraHallazgos();

    QString m_puerto;
    ComprobacionPuerto m_comprobacion;
};
