#pragma once

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// Debian's ser2net serving a pseudo-terminal whose other end the test holds
// as the CNC, on 127.0.0.1 only: raw TCP, or Telnet with RFC 2217.
class Ser2net
{
public:
    enum class Modo { Tcp, Rfc2217 };

    Ser2net(const QString &pty, Modo modo) : m_modo(modo)
    {
        // A free port found by binding may be taken again before ser2net binds it.
        for (int intento = 0; intento < 3 && !m_escucha; ++intento)
            arranca(pty);
    }
    ~Ser2net() { mata(); }

    bool escucha() const { return m_escucha; }
    quint16 puerto() const { return m_puerto; }
    QString direccion() const
    {
        return QLatin1String(m_modo == Modo::Tcp ? "tcp" : "rfc2217")
            + QStringLiteral("://127.0.0.1:") + QString::number(m_puerto);
    }

    // The server dies at once, as a device server switched off.
    void mata()
    {
        m_escucha = false;
        if (m_proceso.state() != QProcess::NotRunning) {
            m_proceso.kill();
            m_proceso.waitForFinished(2000);
        }
    }

private:
    static quint16 puertoLibre()
    {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t largo = sizeof a;
        bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a);
        getsockname(s, reinterpret_cast<sockaddr *>(&a), &largo);
        ::close(s);
        return ntohs(a.sin_port);
    }

    // Listening is seen in the kernel's table, not by connecting: a
    // connection would open the device and take the one client allowed.
    bool escuchando() const
    {
        QFile tabla(QStringLiteral("/proc/net/tcp"));
        return tabla.open(QIODevice::ReadOnly)
            && tabla.readAll().contains(QStringLiteral("0100007F:%1 00000000:0000 0A")
                                            .arg(m_puerto, 4, 16, QChar(u'0'))
                                            .toUpper()
                                            .toLatin1());
    }

    void arranca(const QString &pty)
    {
        m_puerto = puertoLibre();
        const QString config = m_dir.filePath(QStringLiteral("ser2net.yaml"));
        QFile f(config);
        if (!f.open(QIODevice::WriteOnly))
            return;
        f.write(QStringLiteral("connection: &cnc\n  accepter: %1tcp,127.0.0.1,%2\n"
                               "  connector: serialdev,%3,9600n81,local\n")
                    .arg(QLatin1String(m_modo == Modo::Tcp ? "" : "telnet(rfc2217),"))
                    .arg(m_puerto)
                    .arg(pty)
                    .toUtf8());
        f.close();
        m_proceso.setProcessChannelMode(QProcess::MergedChannels);
        m_proceso.setStandardOutputFile(m_dir.filePath(QStringLiteral("ser2net.log")));
        m_proceso.start(QStringLiteral("ser2net"), {"-n", "-d", "-c", config});
        for (int i = 0; i < 250 && !escuchando(); ++i) {
            if (m_proceso.waitForFinished(20))
                break;
        }
        m_escucha = escuchando();
        if (!m_escucha)
            mata();
    }

    Modo m_modo;
    quint16 m_puerto = 0;
    bool m_escucha = false;
    QTemporaryDir m_dir;
    QProcess m_proceso;
};
