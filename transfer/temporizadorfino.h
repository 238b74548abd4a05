#pragma once

#include <QObject>

class QSocketNotifier;

// A single-shot timer with sub-millisecond resolution on the event loop
// (QTimer counts whole milliseconds, too coarse to pace a 115200 bit/s line
// a few characters ahead).
class TemporizadorFino : public QObject
{
    Q_OBJECT

public:
    explicit TemporizadorFino(QObject *parent = nullptr);
    ~TemporizadorFino() override;

    // Fires once after this many nanoseconds (at least one microsecond).
    void arma(qint64 nanosegundos);
    void desarma();
    bool armado() const { return m_armado; }

signals:
    void vencido();

private:
    void alVencer();

    int m_fd = -1;
    bool m_armado = false;
    QSocketNotifier *m_notificador = nullptr;
};
