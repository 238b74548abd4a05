#pragma once

#include "comun/espera.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

// A CNC at the far end of a pseudo-terminal: the program opens the slave
// device as its serial port, the test reads and writes the master side.
class CncPty : public QObject
{
    Q_OBJECT

public:
    CncPty()
    {
        termios t {};
        cfmakeraw(&t);
        if (openpty(&m_maestro, &m_esclavo, nullptr, &t, nullptr) != 0)
            return;
        m_ruta = QString::fromLocal8Bit(ttyname(m_esclavo));
        fcntl(m_maestro, F_SETFL, fcntl(m_maestro, F_GETFL) | O_NONBLOCK);
        m_notificador = new QSocketNotifier(m_maestro, QSocketNotifier::Read, this);
        connect(m_notificador, &QSocketNotifier::activated, this, &CncPty::lee);
    }
    ~CncPty() override { cierra(); }

    QString ruta() const { return m_ruta; }
    // The line as the program's side set it: the master reads the slave's settings.
    termios ajustes() const
    {
        termios t {};
        tcgetattr(m_maestro, &t);
        return t;
    }
    const QByteArray &recibido() const { return m_recibido; }

    // Called with every chunk read, after it was added to recibido().
    std::function<void(const QByteArray &)> alRecibir;
    int pausas = 0;

    // From byte `desde` on, holds the line for `ms` with DC3 whenever bytes
    // come after it let go, `maximo` times. Pausing on any chunk keeps the
    // count reachable however a loaded machine batches the bytes. ISO
    // controls send DC3 and DC1 with the parity bit.
    void pausaCadaTrozo(bool iso, int maximo, qint64 desde, int ms)
    {
        alRecibir = [=, this](const QByteArray &) {
            if (m_parado || m_recibido.size() < desde || pausas >= maximo)
                return;
            escribe(iso ? "\x93" : "\x13");
            m_parado = ++pausas;
            QTimer::singleShot(
                ms, this, [=, this] { escribe(iso ? "\x91" : "\x11"), m_parado = false; });
        };
    }

    void escribe(const QByteArray &datos)
    {
        for (qsizetype hecho = 0; hecho < datos.size();) {
            const ssize_t n = ::write(m_maestro, datos.constData() + hecho, datos.size() - hecho);
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                return;
            hecho += qMax<ssize_t>(n, 0);
        }
    }

    // A deaf CNC reads nothing: what the program writes waits in the pty,
    // as in a driver's queue; hearing again reads it all.
    void sordo(bool sordo)
    {
        m_notificador->setEnabled(!sordo);
        if (!sordo)
            lee();
    }

    // Waits until the program's port has taken what the CNC wrote off the
    // line: its engine reads at once, without the event loop's turn.
    bool llegado()
    {
        QElapsedTimer reloj;
        reloj.start();
        for (int n = 1; reloj.elapsed() < 2000; usleep(5000))
            if (reloj.elapsed() >= 20 && ::ioctl(m_esclavo, FIONREAD, &n) == 0 && n == 0)
                return true;
        return false;
    }

    // The CNC and its cable vanish.
    void cierra()
    {
        delete std::exchange(m_notificador, nullptr);
        ::close(std::exchange(m_maestro, -1));
        ::close(std::exchange(m_esclavo, -1));
    }

private:
    void lee()
    {
        char buf[65536];
        for (ssize_t n; (n = ::read(m_maestro, buf, sizeof buf)) > 0;) {
            m_recibido += QByteArray(buf, n);
            if (alRecibir)
                alRecibir(QByteArray(buf, n));
        }
    }

    // The slave stays open so that what the program wrote stays readable after it closes.
    int m_maestro = -1, m_esclavo = -1;
    QString m_ruta;
    QSocketNotifier *m_notificador = nullptr;
    QByteArray m_recibido;
    bool m_parado = false;
};

inline QList<QByteArray> programa(int lineas)
{
    QList<QByteArray> l;
    for (int i = 0; i < lineas; ++i)
        l.append(QStringLiteral("N%1 G01 X%2.125 Y-3.5 F1200").arg(i).arg(i * 7 % 1000).toLatin1());
    return l;
}
