#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <pty.h>
#include <termios.h>
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
    bool valido() const { return m_maestro >= 0; }
    const QByteArray &recibido() const { return m_recibido; }

    // Called with every chunk read, after it was added to recibido().
    std::function<void(const QByteArray &)> alRecibir;

    void escribe(const QByteArray &datos)
    {
        qsizetype hecho = 0;
        while (hecho < datos.size()) {
            const ssize_t n = ::write(m_maestro, datos.constData() + hecho, datos.size() - hecho);
            if (n > 0)
                hecho += n;
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                return;
        }
    }

    // The CNC and its cable vanish.
    void cierra()
    {
        delete m_notificador;
        m_notificador = nullptr;
        if (m_maestro >= 0)
            ::close(m_maestro);
        if (m_esclavo >= 0)
            ::close(m_esclavo);
        m_maestro = m_esclavo = -1;
    }

signals:
    void llegaron();

private:
    void lee()
    {
        char buf[65536];
        for (;;) {
            const ssize_t n = ::read(m_maestro, buf, sizeof buf);
            if (n <= 0)
                break;
            const QByteArray trozo(buf, n);
            m_recibido += trozo;
            if (alRecibir)
                alRecibir(trozo);
        }
        emit llegaron();
    }

    int m_maestro = -1;
    // Kept open so that what the program wrote stays readable after it closes.
    int m_esclavo = -1;
    QString m_ruta;
    QSocketNotifier *m_notificador = nullptr;
    QByteArray m_recibido;
};

inline void aseguraAplicacion()
{
    static int argc = 1;
    static char nombre[] = "transfer_puerto_test";
    static char *argv[] = {nombre, nullptr};
    static QCoreApplication *app = QCoreApplication::instance() ? QCoreApplication::instance()
                                                                : new QCoreApplication(argc, argv);
    (void)app;
}
