#pragma once

#include <QString>

// Holds a serial device the way Linux serial programs do, so that Keldan's
// window, keldan-dnc, minicom and the rest never share a line: a lock file
// LCK..<device> in /run/lock (else /var/lock) whose first line is the holder's
// PID as ten ASCII characters. The program name and host follow on their own
// lines, which Qt's serial library reads as its own lock format. A lock of
// a process that has gone is stale and removed. Network ports take no lock.
class BloqueoPuerto
{
public:
    BloqueoPuerto() = default;
    ~BloqueoPuerto() { suelta(); }
    BloqueoPuerto(const BloqueoPuerto &) = delete;
    BloqueoPuerto &operator=(const BloqueoPuerto &) = delete;

    // Before opening: false when a live process (this one included) holds
    // the device; titular() then names it. Stale locks are removed here.
    bool libre(const QString &dispositivo);
    // Once the device is open: the lock is made ours in the common format,
    // created unless this process made one already.
    void toma(const QString &dispositivo);
    // On closing: removes a lock this object created.
    void suelta();

    // "program, PID n" of the holder met by libre().
    QString titular() const { return m_titular; }

    // The lock file of a device; empty for one that takes none.
    static QString rutaBloqueo(const QString &dispositivo);

private:
    QString m_titular;
    QString m_propio; // a lock file this object created
    int m_fd = -1; // held open and locked while it is ours
};
