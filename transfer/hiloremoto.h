#pragma once

#include <QMetaObject>
#include <QObject>

#include <functional>
#include <thread>

// The blocking calls of a job to a remote machine, on a thread of their own,
// one piece of work at a time. What the work hands back (devuelve) runs on
// the job's thread, unless the job dropped the work since (abandona): a
// stopped job hears nothing more of it.
class HiloRemoto
{
public:
    using Devuelve = std::function<void(std::function<void()>)>;

    explicit HiloRemoto(QObject *contexto) : m_contexto(contexto) { }
    ~HiloRemoto() { espera(); }
    HiloRemoto(const HiloRemoto &) = delete;
    HiloRemoto &operator=(const HiloRemoto &) = delete;

    bool ocupado() const { return m_ocupado; }

    void lanza(std::function<void(const Devuelve &)> trabajo)
    {
        espera();
        m_ocupado = true;
        const int generacion = ++m_generacion;
        const Devuelve devuelve = [this, generacion](std::function<void()> f) {
            QMetaObject::invokeMethod(
                m_contexto,
                [this, generacion, f] {
                    if (generacion == m_generacion)
                        f();
                },
                Qt::QueuedConnection);
        };
        m_hilo = std::thread([this, trabajo, devuelve] {
            trabajo(devuelve);
            devuelve([this] {
                m_ocupado = false;
                espera();
            });
        });
    }

    // Nothing the work in progress hands back from now on is run; the caller
    // cancels the calls it makes, then waits for it.
    void abandona()
    {
        ++m_generacion;
        m_ocupado = false;
    }
    void espera()
    {
        if (m_hilo.joinable() && m_hilo.get_id() != std::this_thread::get_id())
            m_hilo.join();
    }

private:
    QObject *m_contexto;
    std::thread m_hilo;
    int m_generacion = 0;
    bool m_ocupado = false;
};
