#pragma once

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A TCP socket bound to a free port of 127.0.0.1, its address in `a`.
inline int enlazaLocal(sockaddr_in &a)
{
    a = {AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t largo = sizeof a;
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a);
    getsockname(s, reinterpret_cast<sockaddr *>(&a), &largo);
    return s;
}

// Debian's ser2net serving a pseudo-terminal whose other end the test holds
// as the CNC, on 127.0.0.1 only: raw TCP, or Telnet with RFC 2217.
class Ser2net
{
public:
    Ser2net(const QString &pty, bool rfc2217) : m_esquema(rfc2217 ? "rfc2217" : "tcp")
    {
        // A port found free may be taken again before ser2net binds it.
        for (int intento = 0; intento < 3 && !m_escucha; ++intento) {
            sockaddr_in a;
            ::close(enlazaLocal(a));
            m_puerto = ntohs(a.sin_port);
            QFile config(m_dir.filePath("ser2net.yaml"));
            config.open(QIODevice::WriteOnly);
            config.write(QStringLiteral("connection: &cnc\n  accepter: %1tcp,127.0.0.1,%2\n"
                                        "  connector: serialdev,%3,9600n81,local\n"
                                        "  options:\n    chardelay: false\n")
                             .arg(rfc2217 ? "telnet(rfc2217)," : "")
                             .arg(m_puerto)
                             .arg(pty)
                             .toUtf8());
            config.close();
            m_proceso.setStandardOutputFile(m_dir.filePath("ser2net.log"));
            m_proceso.start("ser2net", {"-n", "-d", "-c", config.fileName()});
            for (int i = 0; i < 250 && !(m_escucha = escuchando()); ++i) {
                if (m_proceso.waitForFinished(20))
                    break;
            }
            if (!m_escucha)
                mata();
        }
    }
    ~Ser2net() { mata(); }

    bool escucha() const { return m_escucha; }
    quint16 puerto() const { return m_puerto; }
    QString direccion() const { return m_esquema + "://127.0.0.1:" + QString::number(m_puerto); }

    // Gone at once, as a device server switched off.
    void mata()
    {
        m_escucha = false;
        m_proceso.kill();
        m_proceso.waitForFinished(2000);
    }

    // ser2net serves one client and turns a new one away while it still
    // closes the last: reconnecting waits for this.
    bool libre() const { return !tabla().contains(entrada() + " 0100007F:"); }

private:
    // Seen in the kernel's table, not by connecting: a connection would open
    // the device and take the one client allowed.
    bool escuchando() const { return tabla().contains(entrada() + " 00000000:0000 0A"); }
    QByteArray entrada() const
    {
        return "0100007F:" + QByteArray::number(m_puerto, 16).toUpper().rightJustified(4, '0');
    }
    static QByteArray tabla()
    {
        QFile f("/proc/net/tcp");
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QString m_esquema;
    quint16 m_puerto = 0;
    bool m_escucha = false;
    QTemporaryDir m_dir;
    QProcess m_proceso;
};
