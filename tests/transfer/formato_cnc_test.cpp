// Each line format against keldan-cnc on its own pseudo-terminal: what the
// CNC stores when the program sends, what the program keeps when it receives.
#include "transfer/envio.h"
#include "transfer/mscomm.h"
#include "transfer/recepcion.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

using Estado = ResultadoTransferencia::Estado;
using Fin = FormatoLinea::FinBloque;

int argc = 1;
char nombre[] = "transfer_formato_cnc_test";
char *argv[] = {nombre, nullptr};
QCoreApplication aplicacion(argc, argv);

const QList<QByteArray> kPrograma = {"%", "N1 G0 X1", "N2 M30", "%"};

// keldan-cnc on a new pty with the port pointed at it; killed if still running.
struct Cnc
{
    explicit Cnc(const QStringList &args)
    {
        proceso.start(QStringLiteral(KELDAN_CNC), QStringList {"--speed", "115200"} + args);
        if (proceso.waitForReadyRead(10000))
            puerto.setDispositivo(QString::fromLocal8Bit(proceso.readLine()).trimmed());
        puerto.setSettings(QStringLiteral("115200,N,8,1"));
    }
    ~Cnc() { proceso.kill(), proceso.waitForFinished(5000); }
    QProcess proceso;
    MSComm puerto;
};

// Waits for the end of a send or reception; it may have failed within inicia().
ResultadoTransferencia fin(QSignalSpy &terminado)
{
    if (terminado.isEmpty() && !terminado.wait(20000))
        return {Estado::Fallida, QStringLiteral("no end within 20 s"), 0, {}};
    return terminado.at(0).at(0).value<ResultadoTransferencia>();
}

TEST(FormatoCnc, EachFormatSendsTheBytesTheCncExpects)
{
    // What the CNC stores, between DC2 and DC4 or between the "%" marks.
    const QByteArray crlf = "%\r\nN1 G0 X1\r\nN2 M30\r\n%\r\n";
    const std::tuple<const char *, QStringList, bool, FormatoLinea, QByteArray> casos[] = {
        {"defaults", {}, false, {}, crlf},
        {"lf", {"--eol", "lf"}, false, {.finBloque = Fin::Lf}, "%\nN1 G0 X1\nN2 M30\n%\n"},
        {"cr", {"--eol", "cr"}, false, {.finBloque = Fin::Cr}, "%\rN1 G0 X1\rN2 M30\r%\r"},
        // ISO codes with even parity; LF ends each line whatever the format says.
        {"iso", {"--iso"}, true, {.finBloque = Fin::Cr},
            QByteArray::fromHex("a50a4eb1a04730a0d8b10a4eb2a04d33300aa50a")},
        {"leader 5, trailer 3", {}, false, {.nulosInicio = 5, .nulosFin = 3}, crlf},
        {"no framing", {"--no-frame"}, false, {.marco = false}, crlf},
        {"waits for DC1", {"--request-dc1"}, false, {.esperaDc1 = true}, crlf},
        {"50 ms after each line", {}, false, {.retardoLineaMs = 50}, crlf},
    };
    QTemporaryDir dir;
    const QString fichero = dir.filePath(QStringLiteral("recibido.nc"));
    for (const auto &[caso, args, iso, formato, guardado] : casos) {
        SCOPED_TRACE(caso);
        QFile::remove(fichero);
        Cnc cnc(QStringList {"--receive", fichero} + args);
        Envio envio(cnc.puerto);
        QSignalSpy terminado(&envio, &Envio::terminado);
        QSignalSpy progreso(&envio, &Envio::progreso);
        // The pauses after the lines make the send last at least this long.
        const QDeadlineTimer minimo(kPrograma.size() * formato.retardoLineaMs, Qt::PreciseTimer);
        envio.inicia(kPrograma, iso, formato);
        const ResultadoTransferencia r = fin(terminado);
        ASSERT_EQ(r.estado, Estado::Completa) << r.error.toStdString();
        EXPECT_TRUE(minimo.hasExpired()) << minimo.remainingTime() << " ms early";
        // The progress counts down from what goes on the wire.
        ASSERT_FALSE(progreso.isEmpty());
        EXPECT_EQ(progreso.last().at(0).value<ProgresoTransferencia>().bytesTotales,
            guardado.size() + (formato.marco ? 2 : 0) + formato.nulosInicio + formato.nulosFin);
        // keldan-cnc ends once the line has been idle a moment after DC4 or "%".
        ASSERT_TRUE(cnc.proceso.waitForFinished(20000));
        const QByteArray informe = cnc.proceso.readAll();
        EXPECT_EQ(cnc.proceso.exitCode(), 0) << informe.constData();
        // The leader and trailer NULs it counted.
        const QByteArray nulos = "NUL: " + QByteArray::number(formato.nulosInicio)
            + " leader, 0 inside, " + QByteArray::number(formato.nulosFin) + " trailer";
        EXPECT_TRUE(informe.contains(nulos)) << informe.constData();
        QFile f(fichero);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll().toHex(' '), guardado.toHex(' '));
    }
}

TEST(FormatoCnc, EachFormatIsReceivedLineForLine)
{
    // DC4 completes the empty line after the last end of block.
    const QList<QByteArray> conDc4 = kPrograma + QList<QByteArray> {""};
    const std::tuple<const char *, QStringList, bool, FormatoLinea, QList<QByteArray>> casos[] = {
        {"cr lf", {"--eol", "crlf"}, false, {}, conDc4},
        {"cr", {"--eol", "cr"}, false, {.finBloque = Fin::Cr}, conDc4},
        {"leader 5, trailer 3", {"--leader", "5", "--trailer", "3"}, false, {}, conDc4},
        // A pause shorter than the silence time does not end the program.
        {"no DC4, 1 s of silence", {"--no-dc4", "--pause-every", "2", "--pause-ms", "500"}, false,
            {.silencioS = 1}, kPrograma},
        // Without framing the ISO "%" ends the program.
        {"no framing", {"--no-frame", "--iso"}, true, {.marco = false}, kPrograma},
    };
    QTemporaryDir dir;
    const QString fichero = dir.filePath(QStringLiteral("programa.nc"));
    QFile f(fichero);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(kPrograma.join('\n') + '\n') > 0);
    f.close();
    for (const auto &[caso, args, iso, formato, esperadas] : casos) {
        SCOPED_TRACE(caso);
        Cnc cnc(QStringList {"--send", fichero} + args);
        Recepcion recepcion(cnc.puerto);
        QSignalSpy terminado(&recepcion, &Recepcion::terminado);
        QList<QByteArray> lineas;
        QObject::connect(&recepcion, &Recepcion::lineasRecibidas,
            [&](const QList<QByteArray> &l) { lineas += l; });
        recepcion.inicia(iso, formato);
        const ResultadoTransferencia r = fin(terminado);
        EXPECT_EQ(r.estado, Estado::Completa) << r.error.toStdString();
        // The LF right after the ISO "%" may come in before the port closes
        // and then completes an empty line.
        if (iso && lineas.size() == esperadas.size() + 1 && lineas.last().isEmpty())
            lineas.removeLast();
        EXPECT_EQ(lineas, esperadas);
        // keldan-cnc holds the line until the port closes, then ends.
        EXPECT_TRUE(cnc.proceso.waitForFinished(20000));
        EXPECT_EQ(cnc.proceso.exitCode(), 0);
    }
}

} // namespace
