#pragma once

#include <QWidget>

class QFrame;
class QLabel;
class QProgressBar;
struct ProgresoTransferencia;

// The running transfer's figures: for a send line n of N, a bar, the bytes
// sent, the speed and the time left; for a reception the lines, the bytes and
// the speed. They sit at the right end of their parent (the status line),
// whose text keeps clear of them while they show.
class ProgresoEstado : public QWidget
{
    Q_OBJECT

public:
    explicit ProgresoEstado(QFrame *linea);

    void muestra(bool visible);

    void empiezaEnvio();
    void empiezaRecepcion();
    void actualiza(const ProgresoTransferencia &progreso);

    // Seconds as "m:ss" or "h:mm:ss"; "--:--" when not known.
    static QString tiempo(double segundos);
    QString textoLinea() const;
    QString textoCifras() const;

protected:
    bool eventFilter(QObject *objeto, QEvent *evento) override;

private:
    void coloca();

    QFrame *m_lineaEstado;
    bool m_envio = false;
    QLabel *m_linea;
    QProgressBar *m_barra;
    QLabel *m_cifras;
};
