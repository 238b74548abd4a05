#pragma once

#include "line/controlflujo.h"
#include "port/transporte.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The thread that drives one open link. It waits on the link and on its own
// wake-up descriptor, reads as soon as bytes come (a DC3 then stops the
// output within microseconds, not after the window's next turn of its event
// loop), and writes paced by a model of the line. What it sees reaches the
// owner as events, in order, taken with eventos().
class MotorPuerto
{
public:
    struct Evento
    {
        // Abierto: a link opened on the engine's thread is made.
        enum class Tipo { Datos, SalidaVacia, Vaciado, Fallo, Abierto };
        Tipo tipo;
        QByteArray datos;
        FalloTransporte fallo;
    };
    struct Ritmo
    {
        bool acompasado = true;
        qint64 nsPorCaracter = 1000000;
        qint64 ventana = 4;
        qint64 marcaBaja = 2;
        bool flujoEnPrograma = true;
        // The owner hears that output runs low while this many bytes still
        // wait, so that it can queue more before the line goes idle.
        qint64 aviso = 0;
    };

    // The time in ns the line is modelled on: the steady clock unless a
    // test drives it.
    using RelojNs = std::function<qint64()>;

    // `aviso` runs on any thread when events wait where none waited before.
    MotorPuerto(std::unique_ptr<Transporte> transporte, const AjustesLinea &ajustes,
        const Ritmo &ritmo, std::function<void()> aviso, RelojNs reloj = {});
    ~MotorPuerto();
    MotorPuerto(const MotorPuerto &) = delete;
    MotorPuerto &operator=(const MotorPuerto &) = delete;

    // For links that open at once, on the caller's thread, before arranca().
    bool abreAhora(FalloTransporte &fallo);
    // Starts the thread; a link not open yet is opened there.
    void arranca();
    // Stops the thread and closes the link, dropping what it still holds when asked.
    void detiene(bool descartar);

    void encola(const QByteArray &datos);
    // Drops what is queued past the first of these ends (counted in bytes
    // queued since the link opened) that has not been handed on yet and
    // queues `tras` there, in one step; returns that end, or -1 (nothing
    // done) when none is left to cut at.
    qint64 recorta(const std::vector<qint64> &fines, const QByteArray &tras);
    bool abierto() const;
    // See Transporte::activaXonXoff().
    bool activaXonXoff();
    qint64 pendientes() const;
    qint64 enviados() const;
    qint64 msParaVaciar() const;
    // Once everything queued has left the link, a Vaciado event comes.
    void cierraTrasVaciar();
    // The same wait, but the link stays open and goes on reading: once it is
    // over, tomaVaciado() turns true (once) and the owner is told, whatever
    // data still waits for it.
    void avisaTrasVaciar();
    bool tomaVaciado();
    // Reads now what the link holds and hands over the data that waits.
    QByteArray recoge();
    std::vector<Evento> eventos();

private:
    void bucle();
    qint64 bombea(qint64 ahora, bool &esperaEscritura);
    void esperaVaciado(bool mantener);
    bool lee();
    bool leyendo() const;
    void tomada(qint64 bytes);
    qint64 escribe(const char *datos, qint64 n);
    qint64 caracteresEnCola(qint64 ahora) const;
    qint64 esperaCierre(qint64 ahora);
    void publica(Evento evento);
    void pierde(int codigo);
    void despierta();

    std::unique_ptr<Transporte> m_transporte;
    const AjustesLinea m_ajustes;
    const Ritmo m_ritmo;
    std::function<void()> m_aviso;
    const RelojNs m_reloj;
    int m_despertador = -1;
    std::thread m_hilo;

    // Everything below is shared with the owner's thread, under m_mutex.
    mutable std::mutex m_mutex;
    QByteArray m_salida;
    qsizetype m_posicion = 0;
    // Coded bytes of data already counted as sent, waiting for room on the link.
    QByteArray m_codificado;
    QByteArray m_respuesta;
    qint64 m_enviados = 0;
    qint64 m_libreNs = 0; // when the modelled line queue is empty
    ControlFlujo m_flujo;
    std::vector<Evento> m_eventos;
    bool m_abierto = false;
    bool m_fin = false;
    bool m_terminado = false; // lost, or emptied for closing: nothing more to do
    bool m_cerrando = false;
    // Closing's wait serves a link that stays open.
    bool m_mantener = false;
    bool m_vaciado = false;
    bool m_salidaPendiente = false;
    // Received bytes the owner has not taken yet; past a limit the link is
    // not read until it takes them.
    qint64 m_entradaEnCola = 0;
    // Closing over the network: the unacknowledged bytes last seen, when
    // they must have been acknowledged, and until when the link stays open.
    qint64 m_colaCierre = -1;
    qint64 m_plazoCierreNs = 0;
    qint64 m_retencionNs = 0;
};
