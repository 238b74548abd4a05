#include "cncpty.h"
#include "transfer/codificadorenvio.h"
#include "transfer/envio.h"
#include "transfer/mscomm.h"
#include "transfer/recepcion.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>

#include <sys/stat.h>

namespace {

class Puerto : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { aseguraAplicacion(); }

    void SetUp() override
    {
        ASSERT_TRUE(cnc.valido());
        puerto.setDispositivo(cnc.ruta());
        puerto.setSettings("115200,N,8,1");
    }

    // Waits on the event loop until the condition holds or the time is up.
    static bool espera(const std::function<bool()> &condicion, int ms)
    {
        QElapsedTimer reloj;
        reloj.start();
        while (!condicion()) {
            if (reloj.elapsed() > ms)
                return false;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        }
        return true;
    }

    CncPty cnc;
    MSComm puerto;
};

QList<QByteArray> programa(int lineas)
{
    QList<QByteArray> l;
    for (int i = 0; i < lineas; ++i)
        l.append("N" + QByteArray::number(i) + " G01 X" + QByteArray::number(i * 7 % 1000)
            + ".125 Y-3.5 F1200");
    return l;
}

ResultadoTransferencia resultado(const QSignalSpy &spy)
{
    return spy.at(0).at(0).value<ResultadoTransferencia>();
}

TEST_F(Puerto, SendArrivesByteExactThroughAHundredPauses)
{
    for (const bool iso : {false, true}) {
        CncPty cnc;
        puerto.setDispositivo(cnc.ruta());
        puerto.setSettings("2000000,N,8,2");
        // Long enough for a hundred pauses even when a loaded machine hands
        // the CNC its bytes in large chunks (one pause a chunk at most).
        const QList<QByteArray> lineas = programa(5000);
        const QByteArray esperado = CodificadorEnvio::codificaPrograma(lineas, iso);

        // The CNC holds the line for 3 ms whenever bytes come after it let go; ISO controls send
        // DC3 and DC1 with the parity bit.
        int pausas = 0;
        bool parado = false;
        qint64 marca = 600;
        cnc.alRecibir = [&](const QByteArray &) {
            if (!parado && cnc.recibido().size() >= marca && pausas < 100) {
                cnc.escribe(QByteArray(1, iso ? char(0x93) : char(0x13)));
                parado = true;
                ++pausas;
                QTimer::singleShot(3, &cnc, [&] {
                    parado = false;
                    marca = cnc.recibido().size() + 1;
                    cnc.escribe(QByteArray(1, iso ? char(0x91) : char(0x11)));
                });
            }
        };
        Envio envio(puerto);
        QSignalSpy fin(&envio, &Envio::terminado);
        ASSERT_TRUE(envio.inicia(lineas, iso));
        ASSERT_TRUE(fin.wait(20000));
        EXPECT_EQ(resultado(fin).estado, ResultadoTransferencia::Estado::Completa)
            << resultado(fin).error.toStdString();
        EXPECT_FALSE(puerto.PortOpen());
        ASSERT_TRUE(espera([&] { return cnc.recibido().size() >= esperado.size(); }, 2000));
        EXPECT_TRUE(cnc.recibido() == esperado) << "iso " << iso;
        EXPECT_EQ(pausas, 100);
        EXPECT_EQ(puerto.pausasCnc(), 100);
    }
}

TEST_F(Puerto, Dc3StopsTheLineWithinTenCharactersAt115200)
{
    const QList<QByteArray> lineas = programa(200);
    qint64 trasDc3 = -1;
    bool parado = false;
    cnc.alRecibir = [&](const QByteArray &trozo) {
        if (parado) {
            trasDc3 += trozo.size();
            return;
        }
        if (trasDc3 < 0 && cnc.recibido().size() >= 1000) {
            cnc.escribe("\x13");
            parado = true;
            trasDc3 = 0;
            QTimer::singleShot(100, &cnc, [&] {
                parado = false;
                cnc.escribe("\x11");
            });
        }
    };
    Envio envio(puerto);
    QSignalSpy pausa(&envio, &Envio::pausaCnc);
    QSignalSpy fin(&envio, &Envio::terminado);
    ASSERT_TRUE(envio.inicia(lineas, false));
    ASSERT_TRUE(fin.wait(10000));
    EXPECT_GE(trasDc3, 0);
    EXPECT_LE(trasDc3, 10);
    EXPECT_EQ(pausa.size(), 2);
    EXPECT_TRUE(cnc.recibido() == CodificadorEnvio::codificaPrograma(lineas, false));
}

TEST_F(Puerto, CloseWaitsUntilTheLastByteHasLeft)
{
    // 300 characters at 9600 bit/s take over 300 ms on the line.
    puerto.setSettings("9600,N,8,1");
    Envio envio(puerto);
    QSignalSpy fin(&envio, &Envio::terminado);
    QElapsedTimer reloj;
    reloj.start();
    ASSERT_TRUE(envio.inicia({QByteArray(298, 'X')}, false));
    ASSERT_TRUE(fin.wait(5000));
    EXPECT_GE(reloj.elapsed(), 300);
    EXPECT_EQ(resultado(fin).estado, ResultadoTransferencia::Estado::Completa);
    ASSERT_TRUE(espera([&] { return cnc.recibido().size() >= 301; }, 1000));
    EXPECT_EQ(cnc.recibido().right(3), QByteArray("\r\n\x14"));
}

TEST_F(Puerto, StopFinishesTheCurrentLineThenSendsPercentAndDc4)
{
    for (const bool iso : {false, true}) {
        CncPty cnc;
        puerto.setDispositivo(cnc.ruta());
        puerto.setSettings("9600,N,8,1");
        const QList<QByteArray> lineas = programa(100);
        const QByteArray completo = CodificadorEnvio::codificaPrograma(lineas, iso);
        Envio envio(puerto);
        QSignalSpy fin(&envio, &Envio::terminado);
        ASSERT_TRUE(envio.inicia(lineas, iso));
        ASSERT_TRUE(espera([&] { return cnc.recibido().size() >= 50; }, 3000));
        envio.detiene();
        ASSERT_TRUE(fin.wait(3000));
        EXPECT_EQ(resultado(fin).estado, ResultadoTransferencia::Estado::Detenida);
        ASSERT_TRUE(espera([&] { return cnc.recibido().endsWith('\x14'); }, 1000));
        const QByteArray r = cnc.recibido();
        const QByteArray cola = QByteArray(1, CodificadorEnvio::porCiento(iso)) + '\x14';
        ASSERT_TRUE(r.endsWith(cola));
        const QByteArray cuerpo = r.chopped(2);
        // Whole lines only, and only those the line had reached.
        EXPECT_TRUE(completo.startsWith(cuerpo));
        EXPECT_TRUE(cuerpo.endsWith('\n'));
        EXPECT_LT(cuerpo.size(), 50 + 2 * 40);
    }
}

TEST_F(Puerto, StopEndsTheSendWithinTwoSecondsWhileTheCncHoldsTheLine)
{
    cnc.alRecibir = [&](const QByteArray &) {
        if (cnc.recibido().size() >= 200)
            cnc.escribe("\x13");
    };
    Envio envio(puerto);
    QSignalSpy fin(&envio, &Envio::terminado);
    ASSERT_TRUE(envio.inicia(programa(1000), false));
    ASSERT_TRUE(espera([&] { return puerto.detenidoPorCnc(); }, 3000));
    QElapsedTimer reloj;
    reloj.start();
    envio.detiene();
    ASSERT_TRUE(fin.wait(2500));
    EXPECT_LT(reloj.elapsed(), 2000);
    EXPECT_EQ(resultado(fin).estado, ResultadoTransferencia::Estado::Detenida);
    EXPECT_FALSE(puerto.PortOpen());
}

TEST_F(Puerto, ReceiveEndsAtDc4WhateverTheChunks)
{
    Recepcion recepcion(puerto);
    QList<QByteArray> lineas;
    QObject::connect(
        &recepcion, &Recepcion::lineasRecibidas, [&](const QList<QByteArray> &l) { lineas += l; });
    QSignalSpy entrando(&recepcion, &Recepcion::entrando);
    QSignalSpy fin(&recepcion, &Recepcion::terminado);
    ASSERT_TRUE(recepcion.inicia(false));
    QByteArray flujo = "\x12%\n";
    for (int i = 0; i < 3000; ++i)
        flujo += "N" + QByteArray::number(i) + " X1.5\r\n";
    flujo += "%\n\x14";
    // Written in uneven pieces, with the event loop running in between.
    for (qsizetype i = 0; i < flujo.size();) {
        const qsizetype n = qMin<qsizetype>(1 + (i * 7919) % 4000, flujo.size() - i);
        cnc.escribe(flujo.mid(i, n));
        i += n;
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(fin.size() == 1 || fin.wait(5000));
    EXPECT_EQ(resultado(fin).estado, ResultadoTransferencia::Estado::Completa);
    EXPECT_EQ(entrando.size(), 1);
    ASSERT_EQ(lineas.size(), 3003);
    EXPECT_EQ(lineas.first(), "%");
    EXPECT_EQ(lineas.at(2001), "N2000 X1.5\r");
    EXPECT_EQ(lineas.at(3001), "%");
    EXPECT_EQ(lineas.last(), "");
    EXPECT_FALSE(puerto.PortOpen());
}

TEST_F(Puerto, ReceiveStopKeepsThePartialLineAndStartsAfreshNextTime)
{
    Recepcion recepcion(puerto);
    QList<QByteArray> lineas;
    QObject::connect(
        &recepcion, &Recepcion::lineasRecibidas, [&](const QList<QByteArray> &l) { lineas += l; });
    QSignalSpy fin(&recepcion, &Recepcion::terminado);
    ASSERT_TRUE(recepcion.inicia(false));
    cnc.escribe("O1000\nG01 X");
    ASSERT_TRUE(espera([&] { return recepcion.lineas() == 1; }, 2000));
    ASSERT_TRUE(espera([&] { return puerto.InBufferCount() == 0; }, 500));
    QCoreApplication::processEvents();
    recepcion.detiene();
    ASSERT_EQ(fin.size(), 1);
    EXPECT_EQ(resultado(fin).estado, ResultadoTransferencia::Estado::Detenida);
    EXPECT_EQ(lineas, (QList<QByteArray> {"O1000", "G01 X"}));

    lineas.clear();
    ASSERT_TRUE(recepcion.inicia(false));
    cnc.escribe("Y2\n\x14");
    ASSERT_TRUE(fin.wait(2000));
    EXPECT_EQ(lineas, (QList<QByteArray> {"Y2", ""}));
}

TEST_F(Puerto, ReceiveStoppedWhileWaitingGivesNoLines)
{
    Recepcion recepcion(puerto);
    QSignalSpy lineas(&recepcion, &Recepcion::lineasRecibidas);
    QSignalSpy fin(&recepcion, &Recepcion::terminado);
    ASSERT_TRUE(recepcion.inicia(true));
    QTimer::singleShot(50, &recepcion, &Recepcion::detiene);
    ASSERT_TRUE(fin.wait(2000));
    EXPECT_EQ(resultado(fin).estado, ResultadoTransferencia::Estado::Detenida);
    EXPECT_EQ(lineas.size(), 0);
    EXPECT_FALSE(puerto.PortOpen());
}

TEST_F(Puerto, MissingDeviceIsReportedWithItsPath)
{
    puerto.setDispositivo("/dev/ttyKeldanNoHay");
    QSignalSpy fallo(&puerto, &MSComm::fallo);
    Envio envio(puerto);
    QSignalSpy fin(&envio, &Envio::terminado);
    EXPECT_FALSE(envio.inicia({"G0"}, false));
    ASSERT_EQ(fallo.size(), 1);
    EXPECT_EQ(fallo.at(0).at(0).value<MSComm::Fallo>(), MSComm::Fallo::NoExiste);
    ASSERT_EQ(fin.size(), 1);
    EXPECT_EQ(resultado(fin).estado, ResultadoTransferencia::Estado::Fallida);
    EXPECT_TRUE(resultado(fin).error.contains("/dev/ttyKeldanNoHay"));
    EXPECT_FALSE(puerto.PortOpen());

    puerto.setDispositivo({});
    puerto.setCommPort(0);
    EXPECT_FALSE(puerto.setPortOpen(true));
    EXPECT_EQ(puerto.ultimoFallo(), MSComm::Fallo::NoExiste);
}

TEST_F(Puerto, BusyDeviceIsToldFromMissingPermission)
{
    MSComm otro;
    otro.setDispositivo(cnc.ruta());
    ASSERT_TRUE(otro.setPortOpen(true));
    QSignalSpy fallo(&puerto, &MSComm::fallo);
    Recepcion recepcion(puerto);
    QSignalSpy fin(&recepcion, &Recepcion::terminado);
    EXPECT_FALSE(recepcion.inicia(false));
    ASSERT_EQ(fallo.size(), 1);
    EXPECT_EQ(fallo.at(0).at(0).value<MSComm::Fallo>(), MSComm::Fallo::Ocupado);
    ASSERT_EQ(fin.size(), 1);
    EXPECT_TRUE(resultado(fin).error.contains(cnc.ruta()));
    otro.setPortOpen(false);
    EXPECT_TRUE(puerto.setPortOpen(true));
}

TEST_F(Puerto, DeviceWithoutPermissionNamesItsGroup)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root may open any device";
    ASSERT_EQ(::chmod(cnc.ruta().toLocal8Bit().constData(), 0), 0);
    EXPECT_FALSE(puerto.setPortOpen(true));
    EXPECT_EQ(puerto.ultimoFallo(), MSComm::Fallo::SinPermiso);
    EXPECT_TRUE(puerto.ultimoError().contains(cnc.ruta()));
}

TEST_F(Puerto, RefusedSettingsAreReportedAtOpen)
{
    for (const char *malo : {"4800,N,4,2", "4800,N,8,1.5", "4800,Q,8,1"}) {
        puerto.setSettings(malo);
        EXPECT_FALSE(puerto.setPortOpen(true)) << malo;
        EXPECT_EQ(puerto.ultimoFallo(), MSComm::Fallo::ParametrosRechazados) << malo;
        EXPECT_TRUE(puerto.ultimoError().contains(malo));
    }
    for (const char *bueno :
        {"110,M,8,1", "300,S,8,2", "38400,O,8,1", "115200,N,8,2", "250000,N,8,1"}) {
        puerto.setSettings(bueno);
        EXPECT_TRUE(puerto.setPortOpen(true)) << bueno << " " << puerto.ultimoError().toStdString();
        puerto.setPortOpen(false);
    }
}

TEST_F(Puerto, PeerVanishingMidReceptionKeepsWhatArrived)
{
    Recepcion recepcion(puerto);
    QList<QByteArray> lineas;
    QObject::connect(
        &recepcion, &Recepcion::lineasRecibidas, [&](const QList<QByteArray> &l) { lineas += l; });
    QSignalSpy fin(&recepcion, &Recepcion::terminado);
    QSignalSpy fallo(&puerto, &MSComm::fallo);
    ASSERT_TRUE(recepcion.inicia(false));
    cnc.escribe("O1\nG1 X");
    ASSERT_TRUE(espera([&] { return recepcion.lineas() == 1; }, 2000));
    cnc.cierra();
    ASSERT_TRUE(fin.wait(2000));
    EXPECT_EQ(resultado(fin).estado, ResultadoTransferencia::Estado::Fallida);
    EXPECT_FALSE(resultado(fin).error.isEmpty());
    EXPECT_EQ(lineas, (QList<QByteArray> {"O1", "G1 X"}));
    QCoreApplication::processEvents();
    EXPECT_EQ(fallo.size(), 1);
    EXPECT_EQ(fallo.at(0).at(0).value<MSComm::Fallo>(), MSComm::Fallo::Perdido);
    EXPECT_FALSE(puerto.PortOpen());
}

TEST_F(Puerto, PeerVanishingMidSendEndsTheSend)
{
    cnc.alRecibir = [&](const QByteArray &) {
        if (cnc.recibido().size() >= 300)
            QTimer::singleShot(0, &cnc, [&] { cnc.cierra(); });
    };
    Envio envio(puerto);
    QSignalSpy fin(&envio, &Envio::terminado);
    ASSERT_TRUE(envio.inicia(programa(2000), false));
    ASSERT_TRUE(fin.wait(3000));
    EXPECT_EQ(resultado(fin).estado, ResultadoTransferencia::Estado::Fallida);
    EXPECT_FALSE(puerto.PortOpen());
}

} // namespace
