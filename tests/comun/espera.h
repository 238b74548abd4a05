#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>

// Runs the event loop until the condition holds or the time is up. QTRY
// would sleep 10 ms between its looks, which starves a paced sender; and
// processEvents with a time limit does not wait for events, so it would
// spin a core. What changes without an event is looked at on each beat.
inline bool espera(const std::function<bool()> &condicion, int ms = 5000, int latidoMs = 10)
{
    QElapsedTimer reloj;
    reloj.start();
    QTimer latido;
    latido.start(latidoMs);
    while (!condicion()) {
        if (reloj.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}
