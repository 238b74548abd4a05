#pragma once

#include "remote/almacenremoto.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

// A real FTP server (Debian's python3-pyftpdlib, tests/remote/servidorftp.py)
// on 127.0.0.1 on a free port, serving a temporary folder to user "cnc",
// with a .netrc of mode 0600 that holds its password. With tls it demands
// explicit TLS, on a certificate made for 127.0.0.1 that only ca() trusts.
struct OpcionesServidorFtp
{
    bool tls = false;
    bool corrompe = false; // downloads come with their first byte changed
    qint64 muereTras = -1; // the server dies once an upload reached this many bytes
    bool sinMlsd = false; // LIST only, as older controls
};

class ServidorFtp
{
public:
    using Opciones = OpcionesServidorFtp;

    explicit ServidorFtp(const Opciones &o = {}) : m_opciones(o)
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("servida"));
        escribeNetrc(QStringLiteral("s3creto"));
        arranca();
    }
    ~ServidorFtp() { para(); }

    bool arrancado() const { return m_puerto != 0; }
    quint16 puerto() const { return m_puerto; }
    QString carpeta() const { return m_dir.filePath(QStringLiteral("servida")); }
    QString netrc() const { return m_dir.filePath(QStringLiteral("netrc")); }
    QString ca() const { return m_dir.filePath(QStringLiteral("cert.pem")); }
    QString salida() { return QString::fromUtf8(m_proceso.readAllStandardError()); }

    // The .netrc with another password (a wrong one, say).
    void escribeNetrc(const QString &clave)
    {
        QFile f(netrc());
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write("machine 127.0.0.1 login cnc password " + clave.toUtf8() + "\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }

    DireccionRemota direccion(const QString &subcarpeta = QStringLiteral("/")) const
    {
        return {m_opciones.tls ? DireccionRemota::Tipo::Ftps : DireccionRemota::Tipo::Ftp,
            QStringLiteral("cnc"), QStringLiteral("127.0.0.1"), m_puerto, subcarpeta};
    }
    QString com(const QString &subcarpeta = QStringLiteral("/")) const
    {
        return direccion(subcarpeta).texto();
    }
    OpcionesRemotas opciones(bool activo = false) const
    {
        OpcionesRemotas o;
        o.ftpActivo = activo;
        o.netrc = netrc();
        o.ficheroCa = m_opciones.tls ? ca() : QString();
        o.conexionS = 5;
        o.sinDatosS = 5;
        return o;
    }
    std::unique_ptr<AlmacenRemoto> almacen(
        const QString &subcarpeta = QStringLiteral("/"), bool activo = false) const
    {
        return AlmacenRemoto::crea(direccion(subcarpeta), opciones(activo));
    }

    // Kills the server at once, as a control switched off.
    void para()
    {
        if (m_proceso.state() != QProcess::NotRunning) {
            m_proceso.kill();
            m_proceso.waitForFinished(5000);
        }
    }
    // Waits for the server to end by itself (it dies mid-upload when asked).
    bool terminado(int ms = 10000)
    {
        return m_proceso.state() == QProcess::NotRunning || m_proceso.waitForFinished(ms);
    }

private:
    void arranca()
    {
        QStringList args = {QStringLiteral(KELDAN_SERVIDOR_FTP), QStringLiteral("--carpeta"),
            carpeta(), QStringLiteral("--usuario"), QStringLiteral("cnc"),
            QStringLiteral("--clave"), QStringLiteral("s3creto")};
        if (m_opciones.tls) {
            const QString clave = m_dir.filePath(QStringLiteral("key.pem"));
            // A certificate of its own, for 127.0.0.1 only.
            const int r = QProcess::execute(QStringLiteral("openssl"),
                {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                    QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                    QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                    QStringLiteral("-keyout"), clave, QStringLiteral("-out"), ca(),
                    QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                    QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                    QStringLiteral("subjectAltName=IP:127.0.0.1")});
            if (r != 0)
                return;
            args << QStringLiteral("--tls") << ca() << clave;
        }
        if (m_opciones.corrompe)
            args << QStringLiteral("--corrompe");
        if (m_opciones.muereTras >= 0)
            args << QStringLiteral("--muere-tras") << QString::number(m_opciones.muereTras);
        if (m_opciones.sinMlsd)
            args << QStringLiteral("--sin-mlsd");
        m_proceso.start(QStringLiteral("/usr/bin/python3"), args);
        if (!m_proceso.waitForStarted(10000))
            return;
        while (!m_proceso.canReadLine() && m_proceso.waitForReadyRead(10000)) { }
        const QByteArray linea = m_proceso.readLine().trimmed();
        if (linea.startsWith("PUERTO "))
            m_puerto = quint16(linea.mid(7).toUInt());
    }

    Opciones m_opciones;
    QTemporaryDir m_dir;
    QProcess m_proceso;
    quint16 m_puerto = 0;
};
