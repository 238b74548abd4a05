#pragma once

#include "comun/ser2net.h"

#include <QString>

#include <poll.h>

// A peer written in the test at a machine's network address (raw TCP on
// 127.0.0.1), as a device server or a hostile one would be.
struct ParTcp
{
    ParTcp() : escucha(enlazaLocal(a)) { ::listen(escucha, 8); }
    ~ParTcp() { ::close(escucha); }
    QString direccion() const { return "tcp://127.0.0.1:" + QString::number(ntohs(a.sin_port)); }
    // The next connection the program makes within the time; -1 when none.
    int acepta(int ms = 5000)
    {
        pollfd p {escucha, POLLIN, 0};
        return ::poll(&p, 1, ms) == 1 ? ::accept4(escucha, nullptr, nullptr, SOCK_CLOEXEC) : -1;
    }
    // All of it, however slowly the program reads; false once it has gone.
    static bool envia(int conexion, QByteArrayView datos)
    {
        for (ssize_t n = 0; !datos.isEmpty(); datos = datos.sliced(n))
            if ((n = ::send(conexion, datos.data(), size_t(datos.size()), MSG_NOSIGNAL)) <= 0)
                return false;
        return true;
    }
    sockaddr_in a;
    int escucha;
};
