#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP as events of the event loop: the handler only
// writes the signal's number into a socket pair, and senal() comes from the
// loop, where anything may be done. One object per program.
class SenalesDnc : public QObject
{
    Q_OBJECT

public:
    explicit SenalesDnc(QObject *parent = nullptr);
    ~SenalesDnc() override;

signals:
    void senal(int numero);

private:
    QSocketNotifier *m_notificador = nullptr;
};
