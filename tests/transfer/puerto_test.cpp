#include "cncpty.h"
#include "settings/varsfuncsglobales.h"
#include "transfer/codificadorenvio.h"
#include "transfer/envio.h"
#include "transfer/mscomm.h"
#include "transfer/recepcion.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include <cstring>
#include <sys/stat.h>

namespace {

using Estado = ResultadoTransferencia::Estado;

ResultadoTransferencia resultado(const QSignalSpy &spy)
{
    return spy.at(0).at(0).value<ResultadoTransferencia>();
}

class Puerto : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char nombre[] = "transfer_puerto_test";
        static char *argv[] = {nombre, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
    }

    void SetUp() override { nuevoCnc("115200,N,8,1"); }

    void nuevoCnc(const char *ajustes)
    {
        cnc = std::make_unique<CncPty>();
        ASSERT_FALSE(cnc->ruta().isEmpty());
        puerto.setDispositivo(cnc->ruta());
        puerto.setSettings(ajustes);
    }

    // Sends and waits for the end (and for what is on its way to the CNC);
    // `durante` runs once the send has begun.
    ResultadoTransferencia envia(const QList<QByteArray> &lineas, bool iso = false,
        const std::function<void(Envio &)> &durante = {})
    {
        Envio envio(puerto);
        QSignalSpy fin(&envio, &Envio::terminado);
        if (envio.inicia(lineas, iso) && durante)
            durante(envio);
        EXPECT_TRUE(!fin.isEmpty() || fin.wait(20000));
        cnc->alRecibir = nullptr;
        espera([this] { return cnc->recibido().endsWith('\x14'); }, 500);
        return fin.isEmpty() ? ResultadoTransferencia {} : resultado(fin);
    }

    // Starts a reception whose lines gather in `lineas`.
    void recibe(Recepcion &recepcion)
    {
        QObject::connect(&recepcion, &Recepcion::lineasRecibidas,
            [this](const QList<QByteArray> &l) { lineas += l; });
        ASSERT_TRUE(recepcion.inicia(false));
    }

    std::unique_ptr<CncPty> cnc;
    MSComm puerto;
    QList<QByteArray> lineas;
};

TEST_F(Puerto, SendArrivesByteExactThroughAHundredPauses)
{
    for (const bool iso : {false, true}) {
        nuevoCnc("2000000,N,8,2");
        cnc->pausaCadaTrozo(iso, 100, 600, 3);
        EXPECT_EQ(envia(programa(5000), iso).estado, Estado::Completa);
        EXPECT_FALSE(puerto.PortOpen());
        EXPECT_TRUE(cnc->recibido() == CodificadorEnvio::codificaPrograma(programa(5000), iso));
        EXPECT_EQ(std::pair(cnc->pausas, puerto.pausasCnc()), std::pair(100, qint64(100)));
    }
}

TEST_F(Puerto, StopFinishesTheLineAndSendsTheEndHoweverSlowTheLine)
{
    // At 110 bit/s the first line takes 2.6 s, the whole program 3.3 s. The
    // CNC has got `parada` bytes when Stop comes; the end is queued at 28.
    const QList<QByteArray> corto = {"N1 G01 X10.5 Y-3.25 F800", "N2 M30"};
    const std::tuple<const char *, QList<QByteArray>, qsizetype, Estado> casos[]
        = {{"110,N,8,2", corto, 1, Estado::Detenida}, {"110,N,8,2", corto, 28, Estado::Completa},
            {"115200,N,8,1", corto, 1, Estado::Detenida},
            {"115200,N,8,1", programa(400), 3000, Estado::Detenida}};
    for (const auto &[ajustes, lineas, parada, estado] : casos) {
        nuevoCnc(ajustes);
        const ResultadoTransferencia r = envia(lineas, false, [&, parada = parada](Envio &envio) {
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
            << ajustes << " " << parada;
    }
}

TEST_F(Puerto, Dc3StopsTheLineWithinTenCharacters)
{
    // The CNC holds the line from the 1000th byte and never lets go.
    qint64 trasDc3 = -1;
    cnc->alRecibir = [&](const QByteArray &trozo) {
        if (trasDc3 >= 0) {
            trasDc3 += trozo.size();
        } else if (cnc->recibido().size() >= 1000) {
            cnc->escribe("\x13");
            trasDc3 = 0;
        }
    };
    envia(programa(1000), false, [&](Envio &envio) {
        ASSERT_TRUE(espera([&] { return puerto.detenidoPorCnc(); }, 3000));
        // Gives what was still on its way 100 ms to come.
        espera([&] { return trasDc3 > 10; }, 100);
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
            if (!retiene)
                return;
            ASSERT_TRUE(espera([&] { return puerto.bytesEnviados() > 8000; }));
            cnc->escribe("\x13");
            ASSERT_TRUE(espera([&] { return puerto.detenidoPorCnc(); }));
            envio.detiene();
        });
        cnc->sordo(false);
        const QByteArray todo = CodificadorEnvio::codificaPrograma(lineas, false);
        EXPECT_TRUE(todo.startsWith(cnc->recibido()));
        if (retiene) {
            EXPECT_LE(cnc->recibido().size(), 4096);
            EXPECT_EQ(std::pair(r.estado, r.error),
                std::pair(Estado::SinFin,
                    VarsFuncsGlobales::Texto("PrinErrorFinNoEnviado").arg(cnc->ruta())));
        } else {
            EXPECT_EQ(std::pair(r.estado, cnc->recibido().size()),
                std::pair(Estado::Completa, todo.size()));
        }
    }
}

TEST_F(Puerto, CloseWaitsForTheLastByteAndWhatCameDuringTheSendIsDropped)
{
    // 300 characters at 9600 bit/s take over 300 ms on the line.
    nuevoCnc("9600,N,8,1");
    QElapsedTimer reloj;
    reloj.start();
    // Nothing the CNC says during a send is data, not even an end mark.
    EXPECT_EQ(
        envia({QByteArray(298, 'X')}, false, [this](Envio &) { cnc->escribe("O99\n\x14\xa5G1 X"); })
            .estado,
        Estado::Completa);
    EXPECT_GE(reloj.elapsed(), 300);
    EXPECT_EQ(cnc->recibido(), "\x12" + QByteArray(298, 'X') + "\r\n\x14");

    // Stop with bytes the device holds but has not reported: they are decoded.
    Recepcion recepcion(puerto);
    recibe(recepcion);
    cnc->escribe("Y2\nG1 X");
    ASSERT_TRUE(cnc->llegado());
    recepcion.detiene();
    EXPECT_EQ(lineas, (QList<QByteArray> {"Y2", "G1 X"}));
}

TEST_F(Puerto, OpenFailuresNameTheDevice)
{
    // Missing: the send ends at once, failed.
    puerto.setDispositivo("/dev/ttyKeldanNoHay");
    const ResultadoTransferencia r = envia({"G0"});
    EXPECT_TRUE(r.estado == Estado::Fallida && r.error.contains("/dev/ttyKeldanNoHay"));
    const auto falla = [&](MSComm::Fallo esperado, const QString &dicho) {
        EXPECT_FALSE(puerto.setPortOpen(true)) << dicho.toStdString();
        EXPECT_EQ(puerto.ultimoFallo(), esperado) << dicho.toStdString();
        EXPECT_TRUE(puerto.ultimoError().contains(dicho)) << puerto.ultimoError().toStdString();
    };
    falla(MSComm::Fallo::NoExiste, "/dev/ttyKeldanNoHay");
    // No port number and no device: nothing to open.
    puerto.setDispositivo({});
    puerto.setCommPort(0);
    falla(MSComm::Fallo::NoExiste, {});

    // Busy: held by another program until it lets go.
    puerto.setDispositivo(cnc->ruta());
    MSComm otro;
    otro.setDispositivo(cnc->ruta());
    ASSERT_TRUE(otro.setPortOpen(true));
    falla(MSComm::Fallo::Ocupado, cnc->ruta());
    otro.setPortOpen(false);
    // Settings no port takes, and some it does.
    for (const char *malo : {"4800,N,4,2", "4800,N,8,1.5", "4800,Q,8,1"}) {
        puerto.setSettings(malo);
        falla(MSComm::Fallo::ParametrosRechazados, malo);
    }
    for (const char *bueno : {"110,M,8,1", "38400,O,8,1", "250000,N,8,1"}) {
        puerto.setSettings(bueno);
        EXPECT_TRUE(puerto.setPortOpen(true)) << bueno << " " << puerto.ultimoError().toStdString();
        puerto.setPortOpen(false);
    }

    if (geteuid() == 0)
        GTEST_SKIP() << "root may open any device";
    ASSERT_EQ(::chmod(cnc->ruta().toLocal8Bit().constData(), 0), 0);
    falla(MSComm::Fallo::SinPermiso, cnc->ruta());
}

TEST_F(Puerto, PeerVanishingEndsTheTransferAndKeepsWhatArrived)
{
    Recepcion recepcion(puerto);
    QSignalSpy fin(&recepcion, &Recepcion::terminado);
    recibe(recepcion);
    cnc->escribe("O1\nG1 X");
    ASSERT_TRUE(espera([&] { return recepcion.lineas() == 1; }, 2000));
    cnc->cierra();
    ASSERT_TRUE(fin.wait(2000));
    // The reason is the device's own now, not a stale one from an earlier call.
    EXPECT_EQ(std::pair(resultado(fin).estado, resultado(fin).error),
        std::pair(Estado::Fallida,
            VarsFuncsGlobales::Texto("PrinErrorPuertoPerdido")
                .arg(cnc->ruta(), std::strerror(EIO))));
    EXPECT_EQ(lineas, (QList<QByteArray> {"O1", "G1 X"}));
    EXPECT_EQ(puerto.ultimoFallo(), MSComm::Fallo::Perdido);

    // Mid-send, from a new CNC: the CNC holds a program without its end.
    nuevoCnc("115200,N,8,1");
    const ResultadoTransferencia r = envia(programa(2000), false, [this](Envio &) {
        cnc->alRecibir = [this](const QByteArray &) {
            if (cnc->recibido().size() >= 300)
                QTimer::singleShot(0, cnc.get(), [this] { cnc->cierra(); });
        };
    });
    EXPECT_TRUE(r.estado == Estado::Fallida
        && r.error.endsWith(VarsFuncsGlobales::Texto("PrinErrorFinNoEnviado").arg(cnc->ruta())))
        << r.error.toStdString();
    EXPECT_FALSE(puerto.PortOpen());
}

} // namespace
