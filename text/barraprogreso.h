#pragma once

#include <QElapsedTimer>
#include <QPointer>

class QProgressDialog;
class QWidget;

// A progress bar for a long file or text operation: it appears only once the
// operation has taken a second, so short ones just show the hourglass.
class BarraProgreso
{
public:
    explicit BarraProgreso(QWidget *padre);
    ~BarraProgreso();

    void avanza(qint64 hecho, qint64 total);

private:
    QWidget *m_padre;
    QElapsedTimer m_reloj;
    QPointer<QProgressDialog> m_dialogo;
};
