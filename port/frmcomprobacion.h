#pragma once

#include "port/comprobacionpuerto.h"
#include "remote/comprobacionremota.h"

#include <QDialog>
#include <QString>

struct Maquina;
class QPushButton;
class QTextBrowser;

// The port check's window: "checking..." while it runs, then each finding
// with its state and what to do, in text the operator can select and copy
// (the commands are meant to be pasted into a terminal). For a machine
// reached over FTP or a folder the findings are the steps of a transfer:
// log in, list, write a probe file, delete it.
class frmComprobacion : public QDialog
{
    Q_OBJECT

public:
    frmComprobacion(
        const QString &puerto, const EntornoComprobacion &entorno, QWidget *parent = nullptr);
    // A remote machine's address, reached as the options say.
    frmComprobacion(
        const QString &direccion, const OpcionesRemotas &opciones, QWidget *parent = nullptr);

    // Checks the port of the settings and shows the window until closed.
    static void Muestra(const Maquina &ajustes, QWidget *parent);
    // The same for the settings in use.
    static void MuestraEnUso(QWidget *parent);

    QTextBrowser *txtHallazgos = nullptr;
    QPushButton *cmdCerrar = nullptr;
    ComprobacionPuerto &comprobacion() { return m_comprobacion; }
    ComprobacionRemota &comprobacionRemota() { return m_remota; }
    // Whether a check is still under way, of either kind.
    bool enCurso() const { return m_comprobacion.enCurso() || m_remota.enCurso(); }
    void done(int resultado) override;

private:
    void creaControles(const QString &puerto);
    void muestraHallazgos();
    void muestraPasos();

    QString m_puerto;
    ComprobacionPuerto m_comprobacion;
    ComprobacionRemota m_remota;
    std::optional<DireccionRemota> m_direccion;
};
