#include "transfer/temporizadorfino.h"

#include <QSocketNotifier>

#include <sys/timerfd.h>
#include <unistd.h>

TemporizadorFino::TemporizadorFino(QObject *parent) : QObject(parent)
{
    m_fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd >= 0) {
        m_notificador = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_notificador, &QSocketNotifier::activated, this, &TemporizadorFino::alVencer);
    }
}

TemporizadorFino::~TemporizadorFino()
{
    delete m_notificador;
    if (m_fd >= 0)
        ::close(m_fd);
}

void TemporizadorFino::arma(qint64 nanosegundos)
{
    if (m_fd < 0)
        return;
    if (nanosegundos < 1000)
        nanosegundos = 1000;
    itimerspec t {};
    t.it_value.tv_sec = nanosegundos / 1000000000;
    t.it_value.tv_nsec = nanosegundos % 1000000000;
    timerfd_settime(m_fd, 0, &t, nullptr);
    m_armado = true;
}

void TemporizadorFino::desarma()
{
    if (m_fd < 0)
        return;
    itimerspec t {};
    timerfd_settime(m_fd, 0, &t, nullptr);
    m_armado = false;
}

void TemporizadorFino::alVencer()
{
    quint64 veces = 0;
    if (::read(m_fd, &veces, sizeof veces) != sizeof veces)
        return;
    m_armado = false;
    emit vencido();
}
