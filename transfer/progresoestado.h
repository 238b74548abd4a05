#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
struct ProgresoTransferencia;

// The running transfer's figures, shown in the status bar beside the port
// parameters: for a send line n of N, a bar, the bytes sent, the speed and
// the time left; for a reception the lines, the bytes and the speed.
class ProgresoEstado : public QWidget
{
    Q_OBJECT

public:
    explicit ProgresoEstado(QWidget *parent = nullptr);

    void empiezaEnvio();
    void empiezaRecepcion();
    void actualiza(const ProgresoTransferencia &progreso);

    // Seconds as "m:ss" or "h:mm:ss"; "--:--" when not known.
    static QString tiempo(double segundos);
    QString textoLinea() const;
    QString textoCifras() const;

private:
    bool m_envio = false;
    QLabel *m_linea;
    QProgressBar *m_barra;
    QLabel *m_cifras;
};
