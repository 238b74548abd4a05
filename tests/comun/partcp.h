#pragma once

#include "comun/ser2net.h"

#include <QString>

#include <poll.h>

// A peer written in the test at a machine's network address (raw TCP on
// 127.0.0.1): it takes the connections the program makes and says what the
// test wants, as a device server or a hostile one would.
class ParTcp
{
public:
    ParTcp()
    {
        sockaddr_in a;
        m_escucha = enlazaLocal(a);
        ::listen(m_escucha, 8);
        m_puerto = ntohs(a.sin_port);
    }
    ~ParTcp() { ::close(m_escucha); }

    QString direccion() const { return "tcp://127.0.0.1:" + QString::number(m_puerto); }

    // The next connection made within the time; -1 when none came.
    int acepta(int ms = 5000)
    {
        pollfd p {m_escucha, POLLIN, 0};
        return ::poll(&p, 1, ms) == 1 ? ::accept4(m_escucha, nullptr, nullptr, SOCK_CLOEXEC) : -1;
    }

    // All of it, however the program reads; false once it has gone.
    static bool envia(int conexion, QByteArrayView datos)
    {
        for (qsizetype hecho = 0; hecho < datos.size();) {
            const ssize_t n = ::send(
                conexion, datos.data() + hecho, size_t(datos.size() - hecho), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            hecho += n;
        }
        return true;
    }

private:
    int m_escucha = -1;
    quint16 m_puerto = 0;
};
