#pragma once

#include <QProcess>
#include <QString>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

// A machine's serial line: a pseudo-terminal kept by the caller, whose slave
// the service opens as the port while keldan-cnc runs on the master, run
// after run. Both ends are closed on exec: only keldan-cnc gets the master,
// as its descriptor 3.
struct LineaCnc
{
    LineaCnc()
    {
        termios t {};
        cfmakeraw(&t);
        if (openpty(&maestro, &esclavo, nullptr, &t, nullptr) != 0)
            return;
        fcntl(maestro, F_SETFD, FD_CLOEXEC);
        fcntl(esclavo, F_SETFD, FD_CLOEXEC);
        ruta = QString::fromLocal8Bit(ttyname(esclavo));
    }
    ~LineaCnc() { cierra(); }

    // keldan-cnc with the arguments, on this line.
    QProcess *cnc(const QString &programa, QStringList args, int baudios = 9600)
    {
        auto *p = new QProcess;
        const int fd = maestro;
        p->setChildProcessModifier([fd] { ::dup2(fd, 3); });
        p->start(programa, QStringList {"--fd", "3", "--speed", QString::number(baudios)} + args);
        return p;
    }

    // The machine and its cable vanish.
    void cierra()
    {
        if (maestro >= 0)
            ::close(maestro), ::close(esclavo);
        maestro = esclavo = -1;
    }

    int maestro = -1, esclavo = -1;
    QString ruta;
};
