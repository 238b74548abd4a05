#include "comun/cncpty.h"
#include "port/hilopuntual.h"
#include "port/motorpuerto.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sys/resource.h>
#include <thread>

namespace {

int argc = 1;
char nombre[] = "port_motor_test";
char *argv[] = {nombre, nullptr};
QCoreApplication aplicacion(argc, argv);

// The engine on a clock the test moves, a character a millisecond and a
// window of 4: at any time it has handed on what the line has carried plus
// the window, never more, however the time moves. A Stop at a line end the
// line has just reached cuts there.
TEST(MotorPuerto, KeepsTheWindowAheadOfTheLineExactlyAndCutsAtALineEndJustReached)
{
    CncPty cnc;
    std::atomic<qint64> ahora = 0;
    AjustesLinea ajustes;
    ajustes.dispositivo = cnc.ruta();
    ajustes.parametros = *ParametrosLinea::interpreta("115200,N,8,1");
    MotorPuerto::Ritmo ritmo;
    ritmo.flujoEnPrograma = false;
    MotorPuerto motor(
        Transporte::crea(cnc.ruta()), ajustes, ritmo, [] {}, [&] { return ahora.load(); });
    FalloTransporte fallo;
    ASSERT_TRUE(motor.abreAhora(fallo));
    motor.arranca();
    const QByteArray linea = "G1 X1\n";
    motor.encola(linea.repeated(5));
    const qint64 ms = ritmo.nsPorCaracter;
    for (const qint64 t : {qint64(0), ms / 2, ms, 3 * ms - 1, 5 * ms, 8 * ms}) {
        ahora = t;
        motor.encola({}); // looks at the clock again
        const qint64 esperado = t / ms + ritmo.ventana;
        espera([&] { return motor.enviados() >= esperado; });
        EXPECT_EQ(motor.enviados(), esperado) << t;
    }
    // The second line's end is exactly what has gone: nothing more of the program.
    EXPECT_EQ(motor.recorta({6, 12, 18, 24, 30}, "%\x14"), 12);
    ahora = 100 * ms;
    motor.encola({});
    EXPECT_TRUE(espera([&] { return cnc.recibido().size() >= 14; }));
    EXPECT_EQ(cnc.recibido(), linea + linea + "%\x14");
}

TEST(HiloPuntual, AThreadKeepsItsNiceValue)
{
    // What the thread gets, and its nice value after, when started at `nice`.
    const auto aplica = [](int nice) {
        std::pair<bool, int> r;
        std::thread([&] {
            const id_t hilo = id_t(::gettid());
            ::setpriority(PRIO_PROCESS, hilo, nice);
            r.first = HiloPuntual::aplica();
            r.second = ::getpriority(PRIO_PROCESS, hilo);
        }).join();
        return r;
    };
    const int propio = ::getpriority(PRIO_PROCESS, 0);
    const bool tomado = aplica(propio).first;
    EXPECT_EQ(aplica(qMin(propio + 5, 19)), std::pair(tomado, qMin(propio + 5, 19)));
}

} // namespace
