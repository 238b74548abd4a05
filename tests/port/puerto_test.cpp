#include "comun/cncpty.h"
#include "comun/sinprivilegios.h"
#include "line/codificadorenvio.h"
#include "line/formatolinea.h"
#include "port/mscomm.h"
#include "settings/varsfuncsglobales.h"
#include "transfer/envio.h"
#include "transfer/recepcion.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include <cstring>
#include <sys/stat.h>

namespace {

using Estado = ResultadoTransferencia::Estado;
using VarsFuncsGlobales::Texto;

int argc = 1;
char nombre[] = "port_puerto_test";
char *argv[] = {nombre, nullptr};
QCoreApplication aplicacion(argc, argv);

class Puerto : public ::testing::Test
{
protected:
    void SetUp() override { nuevoCnc("115200,N,8,1"); }

    void nuevoCnc(const char *ajustes)
    {
        cnc = std::make_unique<CncPty>();
        puerto.setDispositivo(cnc->ruta());
        puerto.setSettings(ajustes);
    }

    // Sends and waits for the end and for what is on its way to the CNC;
    // `durante` runs once the send has begun.
    ResultadoTransferencia envia(const QList<QByteArray> &lineas, bool iso = false,
        const std::function<void(Envio &)> &durante = {}, const FormatoLinea &formato = {})
    {
        Envio envio(puerto);
        QSignalSpy fin(&envio, &Envio::terminado);
        if (envio.inicia(lineas, iso, formato) && durante)
            durante(envio);
        EXPECT_TRUE(!fin.isEmpty() || fin.wait(20000));
        cnc->alRecibir = nullptr;
        espera([this] { return cnc->recibido().size() >= puerto.bytesEnviados(); }, 500);
        return fin.isEmpty() ? ResultadoTransferencia {}
                             : fin.at(0).at(0).value<ResultadoTransferencia>();
    }

    std::unique_ptr<CncPty> cnc;
    MSComm puerto;
};

TEST_F(Puerto, SendArrivesByteExactThroughAHundredPauses)
{
    for (const bool iso : {false, true}) {
        nuevoCnc("2000000,N,8,2");
        cnc->pausaCadaTrozo(iso, 100, 600, 3);
        EXPECT_EQ(envia(programa(5000), iso).estado, Estado::Completa);
        EXPECT_TRUE(cnc->recibido() == CodificadorEnvio::codificaPrograma(programa(5000), iso));
        EXPECT_EQ(std::tuple(cnc->pausas, puerto.pausasCnc(), puerto.PortOpen()),
            std::tuple(100, 100, false));
    }
}

TEST_F(Puerto, StopFinishesTheLineAndSendsTheEndHoweverSlowTheLine)
{
    // At 110 bit/s the first line takes 2.6 s, the whole program 3.3 s. The
    // CNC has got `parada` bytes when Stop comes (2: the first line has
    // begun; DC2 alone may go before the lines are queued); the end is
    // queued at 28.
    // At 115200 bit/s the short program would be gone before Stop: the CNC
    // holds the line from the start, and lets go once Stop has come (0);
    // the long one lasts 10 s.
    const QList<QByteArray> corto = {"N1 G01 X10.5 Y-3.25 F800", "N2 M30"};
    const std::tuple<const char *, QList<QByteArray>, qsizetype, Estado> casos[]
        = {{"110,N,8,2", corto, 2, Estado::Detenida}, {"110,N,8,2", corto, 28, Estado::Completa},
            {"115200,N,8,1", corto, 0, Estado::Detenida},
            {"115200,N,8,1", programa(4000), 3000, Estado::Detenida}};
    for (const auto &[ajustes, lineas, parada, estado] : casos) {
        nuevoCnc(ajustes);
        if (parada == 0)
            cnc->escribe("\x13");
        const ResultadoTransferencia r = envia(lineas, false, [&, parada = parada](Envio &envio) {
            if (parada == 0) {
                EXPECT_TRUE(espera([&] { return puerto.detenidoPorCnc(); }));
                envio.detiene();
                return cnc->escribe("\x11");
            }
            cnc->alRecibir = [&](const QByteArray &) {
                if (cnc->recibido().size() >= parada)
                    envio.detiene();
            };
        });
        // Whole lines, then "%" and DC4; or the whole program.
        QByteArray esperado(1, '\x12');
        for (const QByteArray &l : lineas)
            if (estado == Estado::Completa
                || esperado.size() + l.size() + 4 <= cnc->recibido().size())
                CodificadorEnvio::codificaLinea(l, false, esperado);
        esperado += estado == Estado::Completa ? "\x14" : "%\x14";
        EXPECT_EQ(std::pair(r.estado, cnc->recibido()), std::pair(estado, esperado))
            << ajustes << parada;
    }
}

TEST_F(Puerto, EachLineFormatPutsItsBytesOnTheWireAndStopEndsItWhole)
{
    using Fin = FormatoLinea::FinBloque;
    // Stop: -1 never, 0 while waiting for DC1, n once the CNC has n bytes.
    // A line pause runs after each line, the last one too.
    struct Caso
    {
        FormatoLinea formato;
        bool iso;
        int parada;
        QByteArray esperado;
    };
    const Caso casos[] = {
        {{.finBloque = Fin::Lf}, false, -1, "\x12G1 X1\nM30\n\x14"},
        {{.finBloque = Fin::Cr}, false, -1, "\x12G1 X1\rM30\r\x14"},
        {{.finBloque = Fin::Cr}, true, -1,
            QByteArray::fromHex("12 47 B1 A0 D8 B1 0A 4D 33 30 0A 14")},
        {{.nulosInicio = 3, .nulosFin = 2}, false, -1,
            QByteArray("\0\0\0\x12G1 X1\r\nM30\r\n\x14\0\0", 19)},
        {{.marco = false}, false, -1, "G1 X1\r\nM30\r\n"},
        {{.retardoLineaMs = 300}, false, -1, "\x12G1 X1\r\nM30\r\n\x14"},
        {{.retardoLineaMs = 5000}, false, 8, "\x12G1 X1\r\n%\x14"},
        {{.marco = false, .retardoLineaMs = 5000}, false, 7, "G1 X1\r\n%"},
        {{.nulosFin = 1, .esperaDc1 = true}, true, -1,
            QByteArray::fromHex("12 47 B1 A0 D8 B1 0A 4D 33 30 0A 14 00")},
        {{.esperaDc1 = true}, false, 0, ""},
    };
    for (const auto &[formato, iso, parada, esperado] : casos) {
        nuevoCnc("115200,N,8,1");
        QElapsedTimer reloj;
        reloj.start();
        qint64 total = -1; // the bytes the progress says the send takes
        const ResultadoTransferencia r = envia(
            {"G1 X1", "M30"}, iso,
            [&](Envio &envio) {
                QObject::connect(&envio, &Envio::progreso,
                    [&](const ProgresoTransferencia &p) { total = p.bytesTotales; });
                if (formato.esperaDc1) {
                    // Nothing goes until the CNC asks, with or without parity.
                    EXPECT_FALSE(espera([&] { return !cnc->recibido().isEmpty(); }, 300));
                    if (parada == 0)
                        return envio.detiene();
                    cnc->escribe(iso ? "\x91" : "\x11");
                }
                cnc->alRecibir = [&](const QByteArray &) {
                    if (parada > 0 && cnc->recibido().size() >= parada)
                        envio.detiene();
                };
            },
            formato);
        EXPECT_EQ(std::tuple(r.estado, cnc->recibido(), puerto.PortOpen()),
            std::tuple(parada >= 0 ? Estado::Detenida : Estado::Completa, esperado, false))
            << esperado.toHex(' ').toStdString();
        EXPECT_TRUE(parada >= 0 || total == esperado.size()) << total;
        // The pauses are waited for, but not once Stop has come.
        EXPECT_TRUE(
            parada > 0 ? reloj.elapsed() < 5000 : reloj.elapsed() >= 2 * formato.retardoLineaMs);
    }
}

TEST_F(Puerto, EachLineFormatIsReceivedAndSilenceEndsAProgramWithoutDc4)
{
    using Fin = FormatoLinea::FinBloque;
    // With a silence time the bytes come after a longer wait: only a silence
    // once data has come ends the reception.
    const std::tuple<FormatoLinea, QByteArray, QList<QByteArray>> casos[] = {
        {{.finBloque = Fin::Cr}, "\x12G1 X1\rM30\r\nM2\r\x14", {"G1 X1", "M30", "M2"}},
        {{}, QByteArray("\0\0\x12G1\r\n\0\x14\0\0", 11), {"G1"}},
        {{.silencioS = 1}, "\x12G1\r\nM30\r\n", {"G1", "M30"}},
        {{.marco = false, .silencioS = 1}, "%\nG1\n%\n", {"%", "G1", "%"}},
    };
    for (const auto &[formato, bytes, esperado] : casos) {
        Recepcion recepcion(puerto);
        QSignalSpy fin(&recepcion, &Recepcion::terminado);
        QList<QByteArray> lineas;
        QObject::connect(
            &recepcion, &Recepcion::lineasRecibidas, [&](const auto &l) { lineas += l; });
        ASSERT_TRUE(recepcion.inicia(false, formato));
        EXPECT_FALSE(fin.wait(formato.silencioS * 1200));
        cnc->escribe(bytes);
        ASSERT_TRUE(fin.wait(10000));
        EXPECT_EQ(std::tuple(fin.at(0).at(0).value<ResultadoTransferencia>().estado, lineas),
            std::tuple(Estado::Completa, esperado));
    }
}

TEST_F(Puerto, Dc3StopsTheLineWithinTenCharacters)
{
    // The CNC holds the line from the 1000th byte and never lets go.
    qint64 trasDc3 = -1;
    cnc->alRecibir = [&](const QByteArray &trozo) {
        if (trasDc3 >= 0)
            trasDc3 += trozo.size();
        else if (cnc->recibido().size() >= 1000 && (trasDc3 = 0) == 0)
            cnc->escribe("\x13");
    };
    envia(programa(1000), false, [&](Envio &envio) {
        EXPECT_TRUE(espera([&] { return puerto.detenidoPorCnc(); }, 3000));
        espera([&] { return trasDc3 > 10; }, 100); // what was on its way
        envio.detiene();
    });
    EXPECT_TRUE(trasDc3 >= 0 && trasDc3 <= 10) << trasDc3;
    EXPECT_TRUE(
        CodificadorEnvio::codificaPrograma(programa(1000), false).startsWith(cnc->recibido()));
}

TEST_F(Puerto, WhatWaitsInTheDriverGoesOutOnACloseButNotAfterAHeldStop)
{
    // A deaf CNC leaves the bytes in the pty, which stands for the driver's
    // queue; a flush drops all but the 4 KB its line discipline already holds.
    for (const bool retiene : {false, true}) {
        nuevoCnc("2000000,N,8,1");
        puerto.setAcompasado(false);
        cnc->sordo(true);
        const QList<QByteArray> lineas = programa(retiene ? 5000 : 300);
        const ResultadoTransferencia r = envia(lineas, false, [&](Envio &envio) {
            if (retiene && espera([&] { return puerto.bytesEnviados() > 8000; })) {
                cnc->escribe("\x13");
                EXPECT_TRUE(espera([&] { return puerto.detenidoPorCnc(); }));
                envio.detiene();
            }
        });
        cnc->sordo(false);
        const QByteArray todo = CodificadorEnvio::codificaPrograma(lineas, false);
        EXPECT_TRUE(todo.startsWith(cnc->recibido()));
        EXPECT_EQ(std::tuple(r.estado, r.error, cnc->recibido().size() > 4096),
            retiene
                ? std::tuple(Estado::SinFin, Texto("PrinErrorFinNoEnviado").arg(cnc->ruta()), false)
                : std::tuple(Estado::Completa, QString(), todo.size() > 4096));
        EXPECT_TRUE(retiene || cnc->recibido().size() == todo.size());
    }
}

TEST_F(Puerto, CloseWaitsForTheLastByteAndStopKeepsWhatTheDeviceHolds)
{
    // 300 characters at 9600 bit/s take over 300 ms on the line. Nothing the
    // CNC says during a send is data, not even an end mark.
    nuevoCnc("9600,N,8,1");
    QElapsedTimer reloj;
    reloj.start();
    const ResultadoTransferencia r = envia(
        {QByteArray(298, 'X')}, false, [this](Envio &) { cnc->escribe("O99\n\x14\xa5G1 X"); });
    EXPECT_EQ(std::tuple(r.estado, reloj.elapsed() >= 300, cnc->recibido()),
        std::tuple(Estado::Completa, true, "\x12" + QByteArray(298, 'X') + "\r\n\x14"));

    // Stop with bytes the device holds but has not reported: they are decoded.
    Recepcion recepcion(puerto);
    QList<QByteArray> lineas;
    QObject::connect(
        &recepcion, &Recepcion::lineasRecibidas, [&](const QList<QByteArray> &l) { lineas += l; });
    ASSERT_TRUE(recepcion.inicia(false));
    cnc->escribe("Y2\nG1 X");
    ASSERT_TRUE(cnc->llegado());
    recepcion.detiene();
    EXPECT_EQ(lineas, (QList<QByteArray> {"Y2", "G1 X"}));
}

TEST_F(Puerto, XonXoffInThePortHoldsTheLineWithoutTheProgram)
{
    // The pty's line discipline does the flow control: after the CNC's DC3
    // (0x93 in ISO with 8 data bits) nothing more leaves until its DC1, and
    // the program never sees either code. A send that waits for the CNC's
    // DC1 (ISO here) gets it: the port takes up XON/XOFF only after it.
    for (const bool iso : {false, true}) {
        nuevoCnc("115200,N,8,1");
        puerto.setXonXoffEnPuerto(true);
        qsizetype alParar = -1, alSeguir = -1;
        const ResultadoTransferencia r = envia(programa(300), iso,
            [&](Envio &) {
                if (iso)
                    cnc->escribe("\x91");
                cnc->alRecibir = [&](const QByteArray &) {
                    if (alParar >= 0 || cnc->recibido().size() < 2000)
                        return;
                    cnc->escribe(iso ? "\x93" : "\x13");
                    alParar = cnc->recibido().size();
                    QTimer::singleShot(300, cnc.get(), [&] {
                        alSeguir = cnc->recibido().size();
                        cnc->escribe(iso ? "\x91" : "\x11");
                    });
                };
            },
            {.esperaDc1 = iso});
        EXPECT_EQ(r.estado, Estado::Completa);
        EXPECT_TRUE(cnc->recibido() == CodificadorEnvio::codificaPrograma(programa(300), iso));
        EXPECT_TRUE(alParar >= 0 && alSeguir - alParar <= 10) << alParar << " " << alSeguir;
        EXPECT_EQ(puerto.pausasCnc(), 0);
    }
}

TEST_F(Puerto, OpenFailuresNameTheDevice)
{
    // Held by another program; settings the device refuses; no rights.
    MSComm otro;
    otro.setDispositivo(cnc->ruta());
    ASSERT_TRUE(otro.setPortOpen(true));
    const std::tuple<const char *, MSComm::Fallo, QString> casos[]
        = {{"4800,N,8,1", MSComm::Fallo::Ocupado, cnc->ruta()},
            {"4800,N,8,1.5", MSComm::Fallo::ParametrosRechazados, "4800,N,8,1.5"},
            {"4800,N,8,1", MSComm::Fallo::SinPermiso, cnc->ruta()}};
    for (const auto &[ajustes, esperado, dicho] : casos) {
        otro.setPortOpen(esperado == MSComm::Fallo::Ocupado);
        puerto.setSettings(ajustes);
        const auto falla = [&, esperado = esperado, dicho = dicho] {
            return !puerto.setPortOpen(true) && puerto.ultimoFallo() == esperado
                && puerto.ultimoError().contains(dicho);
        };
        // Root opens any device: that row runs without its privileges.
        const bool sinPermiso = esperado == MSComm::Fallo::SinPermiso;
        ASSERT_TRUE(!sinPermiso || ::chmod(cnc->ruta().toLocal8Bit().constData(), 0) == 0);
        EXPECT_TRUE(sinPermiso ? SinPrivilegios(falla) : falla())
            << puerto.ultimoError().toStdString();
    }
}

TEST_F(Puerto, PeerVanishingEndsTheTransferAndKeepsWhatArrived)
{
    Recepcion recepcion(puerto);
    QSignalSpy fin(&recepcion, &Recepcion::terminado);
    QList<QByteArray> lineas;
    QObject::connect(&recepcion, &Recepcion::lineasRecibidas, [&](const auto &l) { lineas += l; });
    ASSERT_TRUE(recepcion.inicia(false));
    cnc->escribe("O1\nG1 X");
    ASSERT_TRUE(espera([&] { return recepcion.lineas() == 1; }, 2000));
    cnc->cierra();
    ASSERT_TRUE(fin.wait(2000));
    // The reason is the device's own now, not a stale one from an earlier call.
    EXPECT_EQ(std::tuple(fin.at(0).at(0).value<ResultadoTransferencia>().error, lineas),
        std::tuple(Texto("PrinErrorPuertoPerdido").arg(cnc->ruta(), std::strerror(EIO)),
            QList<QByteArray> {"O1", "G1 X"}));

    // Mid-send, from a new CNC: the CNC holds a program without its end,
    // and the loss is told once.
    nuevoCnc("115200,N,8,1");
    QSignalSpy fallos(&puerto, &MSComm::fallo);
    const ResultadoTransferencia r = envia(programa(2000), false, [this](Envio &) {
        cnc->alRecibir = [this](const QByteArray &) {
            if (cnc->recibido().size() >= 300)
                QTimer::singleShot(0, cnc.get(), [this] { cnc->cierra(); });
        };
    });
    EXPECT_TRUE(r.estado == Estado::Fallida
        && r.error.endsWith(Texto("PrinErrorFinNoEnviado").arg(cnc->ruta())));
    espera([] { return false; }, 200);
    EXPECT_EQ(fallos.size(), 1);
}

} // namespace
