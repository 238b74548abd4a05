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

    void SetUp() override
    {
        ASSERT_TRUE(cnc.valido());
        puerto.setDispositivo(cnc.ruta());
        puerto.setSettings("115200,N,8,1");
    }

    // Starts a reception whose lines gather in `lineas`.
    void recibe(Recepcion &recepcion, bool iso = false)
    {
        QObject::connect(&recepcion, &Recepcion::lineasRecibidas,
            [this](const QList<QByteArray> &l) { lineas += l; });
        ASSERT_TRUE(recepcion.inicia(iso));
    }

    CncPty cnc;
    MSComm puerto;
    QList<QByteArray> lineas;
};

ResultadoTransferencia resultado(const QSignalSpy &spy)
{
    return spy.at(0).at(0).value<ResultadoTransferencia>();
}

MSComm::Fallo fallo(const QSignalSpy &spy)
{
    return spy.at(0).at(0).value<MSComm::Fallo>();
}

TEST_F(Puerto, SendArrivesByteExactThroughAHundredPauses)
{
    for (const bool iso : {false, true}) {
        CncPty cnc;
        puerto.setDispositivo(cnc.ruta());
        puerto.setSettings("2000000,N,8,2");
        const QList<QByteArray> lineas = programa(5000);
        const QByteArray esperado = CodificadorEnvio::codificaPrograma(lineas, iso);
        cnc.pausaCadaTrozo(iso, 100, 600, 3);
        Envio envio(puerto);
        QSignalSpy fin(&envio, &Envio::terminado);
        ASSERT_TRUE(envio.inicia(lineas, iso));
        ASSERT_TRUE(fin.wait(20000));
        EXPECT_EQ(resultado(fin).estado, Estado::Completa) << resultado(fin).error.toStdString();
        EXPECT_FALSE(puerto.PortOpen());
        ASSERT_TRUE(espera([&] { return cnc.recibido().size() >= esperado.size(); }, 2000));
        EXPECT_TRUE(cnc.recibido() == esperado) << "iso " << iso;
        EXPECT_EQ(cnc.pausas, 100);
        EXPECT_EQ(puerto.pausasCnc(), 100);
    }
}

// Whole lines, then "%" and DC4, as Stop leaves them on the line.
QByteArray paradoTras(const QList<QByteArray> &lineas, qsizetype llegado)
{
    QByteArray b(1, '\x12');
    for (qsizetype i = 0; i < lineas.size() && b.size() + lineas.at(i).size() + 4 <= llegado; ++i)
        CodificadorEnvio::codificaLinea(lineas.at(i), false, b);
    return b + "%\x14";
}

TEST_F(Puerto, StopFinishesTheLineAndSendsTheEndHoweverSlowTheLine)
{
    // At 110 bit/s the first line takes 2.6 s, the whole program 3.3 s.
    const QList<QByteArray> corto = {"N1 G01 X10.5 Y-3.25 F800", "N2 M30"};
    const std::tuple<const char *, QList<QByteArray>, qsizetype, Estado> casos[]
        = {{"110,N,8,2", corto, 1, Estado::Detenida}, {"110,N,8,2", corto, 28, Estado::Completa},
            {"115200,N,8,1", corto, 1, Estado::Detenida},
            {"115200,N,8,1", programa(400), 3000, Estado::Detenida}};
    for (const auto &[ajustes, lineas, parada, estado] : casos) {
        CncPty cnc;
        puerto.setDispositivo(cnc.ruta());
        puerto.setSettings(ajustes);
        Envio envio(puerto);
        QSignalSpy fin(&envio, &Envio::terminado);
        cnc.alRecibir = [&, parada = parada](const QByteArray &) {
            if (cnc.recibido().size() >= parada)
                envio.detiene();
        };
        ASSERT_TRUE(envio.inicia(lineas, false));
        ASSERT_TRUE(fin.wait(10000)) << ajustes;
        ASSERT_TRUE(espera([&] { return cnc.recibido().endsWith('\x14'); }, 1000));
        EXPECT_EQ(resultado(fin).estado, estado) << ajustes << " " << parada;
        EXPECT_EQ(cnc.recibido(),
            estado == Estado::Completa ? CodificadorEnvio::codificaPrograma(lineas, false)
                                       : paradoTras(lineas, cnc.recibido().size()))
            << ajustes << " " << parada;
    }
}

TEST_F(Puerto, Dc3StopsTheLineWithinTenCharactersAndAHeldStopEndsWithoutTheEnd)
{
    // The CNC holds the line from the 1000th byte and never lets go.
    qint64 trasDc3 = -1;
    cnc.alRecibir = [&](const QByteArray &trozo) {
        if (trasDc3 >= 0) {
            trasDc3 += trozo.size();
        } else if (cnc.recibido().size() >= 1000) {
            cnc.escribe("\x13");
            trasDc3 = 0;
        }
    };
    Envio envio(puerto);
    QSignalSpy fin(&envio, &Envio::terminado);
    QSignalSpy retenido(&envio, &Envio::pausaCnc);
    ASSERT_TRUE(envio.inicia(programa(1000), false));
    ASSERT_TRUE(espera([&] { return puerto.detenidoPorCnc(); }, 3000));
    // Gives what was still on its way 100 ms to come.
    espera([&] { return trasDc3 > 10; }, 100);
    EXPECT_GE(trasDc3, 0);
    EXPECT_LE(trasDc3, 10);
    EXPECT_TRUE(
        CodificadorEnvio::codificaPrograma(programa(1000), false).startsWith(cnc.recibido()));
    envio.detiene();
    ASSERT_TRUE(fin.wait(2500));
    EXPECT_EQ(resultado(fin).estado, Estado::SinFin);
    EXPECT_TRUE(resultado(fin).error.contains(cnc.ruta()));
    EXPECT_FALSE(puerto.PortOpen());
    EXPECT_EQ(retenido.size(), 1);
}

TEST_F(Puerto, WhatWaitsInTheDriverGoesOutOnACloseButNotAfterAHeldStop)
{
    // A deaf CNC leaves the bytes in the pty, which stands for the driver's
    // queue; a flush drops all but the 4 KB its line discipline already holds.
    puerto.setSettings("2000000,N,8,1");
    puerto.setAcompasado(false);
    for (const bool retiene : {false, true}) {
        CncPty cnc;
        puerto.setDispositivo(cnc.ruta());
        cnc.sordo(true);
        const QList<QByteArray> lineas = programa(retiene ? 5000 : 300);
        const QByteArray todo = CodificadorEnvio::codificaPrograma(lineas, false);
        Envio envio(puerto);
        QSignalSpy fin(&envio, &Envio::terminado);
        ASSERT_TRUE(envio.inicia(lineas, false));
        if (retiene) {
            ASSERT_TRUE(espera([&] { return puerto.bytesEnviados() > 8000; }));
            cnc.escribe("\x13");
            ASSERT_TRUE(espera([&] { return puerto.detenidoPorCnc(); }));
            envio.detiene();
        }
        ASSERT_TRUE(fin.wait(5000));
        EXPECT_EQ(resultado(fin).estado, retiene ? Estado::SinFin : Estado::Completa);
        cnc.sordo(false);
        EXPECT_TRUE(todo.startsWith(cnc.recibido()));
        if (retiene)
            EXPECT_LE(cnc.recibido().size(), 4096);
        else
            EXPECT_EQ(cnc.recibido().size(), todo.size());
    }
}

TEST_F(Puerto, CloseWaitsForTheLastByteAndWhatCameDuringTheSendIsDropped)
{
    // 300 characters at 9600 bit/s take over 300 ms on the line.
    puerto.setSettings("9600,N,8,1");
    Envio envio(puerto);
    QSignalSpy fin(&envio, &Envio::terminado);
    QElapsedTimer reloj;
    reloj.start();
    ASSERT_TRUE(envio.inicia({QByteArray(298, 'X')}, false));
    // Nothing the CNC says during a send is data, not even an end mark.
    cnc.escribe("O99\n\x14\xa5G1 X");
    ASSERT_TRUE(fin.wait(5000));
    EXPECT_GE(reloj.elapsed(), 300);
    EXPECT_EQ(resultado(fin).estado, Estado::Completa);
    ASSERT_TRUE(espera([&] { return cnc.recibido().size() >= 301; }, 1000));
    EXPECT_EQ(cnc.recibido(), "\x12" + QByteArray(298, 'X') + "\r\n\x14");

    // Stop with bytes the device holds but has not reported: they are decoded.
    Recepcion recepcion(puerto);
    QSignalSpy finRecepcion(&recepcion, &Recepcion::terminado);
    recibe(recepcion);
    cnc.escribe("Y2\nG1 X");
    ASSERT_TRUE(cnc.llegado());
    recepcion.detiene();
    ASSERT_EQ(finRecepcion.size(), 1);
    EXPECT_EQ(lineas, (QList<QByteArray> {"Y2", "G1 X"}));
}

TEST_F(Puerto, OpenFailuresNameTheDevice)
{
    // Missing: the send ends at once, failed.
    puerto.setDispositivo("/dev/ttyKeldanNoHay");
    QSignalSpy fallos(&puerto, &MSComm::fallo);
    Envio envio(puerto);
    QSignalSpy fin(&envio, &Envio::terminado);
    EXPECT_FALSE(envio.inicia({"G0"}, false));
    ASSERT_EQ(fallos.size(), 1);
    EXPECT_EQ(fallo(fallos), MSComm::Fallo::NoExiste);
    ASSERT_EQ(fin.size(), 1);
    EXPECT_EQ(resultado(fin).estado, Estado::Fallida);
    EXPECT_TRUE(resultado(fin).error.contains("/dev/ttyKeldanNoHay"));
    EXPECT_FALSE(puerto.PortOpen());
    const auto falla = [&](MSComm::Fallo esperado, const QString &dicho) {
        EXPECT_FALSE(puerto.setPortOpen(true)) << dicho.toStdString();
        EXPECT_EQ(puerto.ultimoFallo(), esperado) << dicho.toStdString();
        EXPECT_TRUE(puerto.ultimoError().contains(dicho)) << puerto.ultimoError().toStdString();
    };
    // No port number and no device: nothing to open.
    puerto.setDispositivo({});
    puerto.setCommPort(0);
    falla(MSComm::Fallo::NoExiste, {});

    // Busy: held by another program until it lets go.
    puerto.setDispositivo(cnc.ruta());
    MSComm otro;
    otro.setDispositivo(cnc.ruta());
    ASSERT_TRUE(otro.setPortOpen(true));
    falla(MSComm::Fallo::Ocupado, cnc.ruta());
    otro.setPortOpen(false);
    EXPECT_TRUE(puerto.setPortOpen(true));
    puerto.setPortOpen(false);
    // Settings no port takes, and some it does.
    for (const char *malo : {"4800,N,4,2", "4800,N,8,1.5", "4800,Q,8,1"}) {
        puerto.setSettings(malo);
        falla(MSComm::Fallo::ParametrosRechazados, malo);
    }
    for (const char *bueno : {"110,M,8,1", "300,S,8,2", "38400,O,8,1", "250000,N,8,1"}) {
        puerto.setSettings(bueno);
        EXPECT_TRUE(puerto.setPortOpen(true)) << bueno << " " << puerto.ultimoError().toStdString();
        puerto.setPortOpen(false);
    }

    if (geteuid() == 0)
        GTEST_SKIP() << "root may open any device";
    ASSERT_EQ(::chmod(cnc.ruta().toLocal8Bit().constData(), 0), 0);
    falla(MSComm::Fallo::SinPermiso, cnc.ruta());
}

TEST_F(Puerto, PeerVanishingEndsTheTransferAndKeepsWhatArrived)
{
    Recepcion recepcion(puerto);
    QSignalSpy fin(&recepcion, &Recepcion::terminado);
    QSignalSpy fallos(&puerto, &MSComm::fallo);
    recibe(recepcion);
    cnc.escribe("O1\nG1 X");
    ASSERT_TRUE(espera([&] { return recepcion.lineas() == 1; }, 2000));
    cnc.cierra();
    ASSERT_TRUE(fin.wait(2000));
    EXPECT_EQ(resultado(fin).estado, Estado::Fallida);
    // The reason is the device's own now, not a stale one from an earlier call.
    EXPECT_TRUE(resultado(fin).error.endsWith(QString(": ") + std::strerror(EIO)))
        << resultado(fin).error.toStdString();
    EXPECT_EQ(lineas, (QList<QByteArray> {"O1", "G1 X"}));
    QCoreApplication::processEvents();
    ASSERT_EQ(fallos.size(), 1);
    EXPECT_EQ(fallo(fallos), MSComm::Fallo::Perdido);
    EXPECT_FALSE(puerto.PortOpen());

    // Mid-send, from a new CNC.
    CncPty otro;
    puerto.setDispositivo(otro.ruta());
    otro.alRecibir = [&](const QByteArray &) {
        if (otro.recibido().size() >= 300)
            QTimer::singleShot(0, &otro, [&] { otro.cierra(); });
    };
    Envio envio(puerto);
    QSignalSpy finEnvio(&envio, &Envio::terminado);
    ASSERT_TRUE(envio.inicia(programa(2000), false));
    ASSERT_TRUE(finEnvio.wait(3000));
    EXPECT_EQ(resultado(finEnvio).estado, Estado::Fallida);
    EXPECT_TRUE(resultado(finEnvio).error.contains(
        VarsFuncsGlobales::Texto("PrinErrorFinNoEnviado").arg(otro.ruta())));
    EXPECT_FALSE(puerto.PortOpen());
}

} // namespace
