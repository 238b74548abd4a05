// Each line format against keldan-cnc on its own pseudo-terminal: what the
// CNC stores when the program sends, what the program keeps when it receives.
#include "comun/espera.h"
#include "comun/ser2net.h"
#include "line/codificadorenvio.h"
#include "port/mscomm.h"
#include "transfer/envio.h"
#include "transfer/recepcion.h"
#include "transfer/recepcioncontinua.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Estado = ResultadoTransferencia::Estado;
using Fin = FormatoLinea::FinBloque;

int argc = 1;
char nombre[] = "cnc_formato_test";
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

TEST(FormatoCnc, Dc3At115200HoldsTheLineUntilDc1AndTheProgramArrivesWhole)
{
    // A buffer emptied at half the line speed holds the line every few
    // lines; from byte 2000 the CNC holds it until the test lets go, and
    // nothing leaves once the port has read that DC3. How many characters
    // a loaded machine lets through after a DC3 before is no fault of the
    // sender: bench_transfer measures it.
    QList<QByteArray> programa;
    for (int i = 0; i < 500; ++i)
        programa.append("N" + QByteArray::number(i) + " G01 X" + QByteArray::number(i * 7) + ".5");
    for (const bool iso : {false, true}) {
        SCOPED_TRACE(iso ? "ISO" : "ASCII");
        QTemporaryDir dir;
        Cnc cnc(QStringList {"--receive", dir.filePath(QStringLiteral("r")), "--buffer", "256",
                    "--consume", "5760", "--overrun", "0", "--hold-at", "2000"}
            + (iso ? QStringList {"--iso", "--dc3-iso"} : QStringList {}));
        Envio envio(cnc.puerto);
        QSignalSpy terminado(&envio, &Envio::terminado);
        envio.inicia(programa, iso);
        QByteArray informe;
        const QRegularExpression retenida(QStringLiteral("holding .* DC3 (\\d+)\n"));
        ASSERT_TRUE(espera(
            [&] {
                informe += cnc.proceso.readAllStandardOutput();
                const QRegularExpressionMatch m = retenida.match(QString::fromLatin1(informe));
                return m.hasMatch() && cnc.puerto.pausasCnc() == m.captured(1).toInt()
                    && cnc.puerto.detenidoPorCnc();
            },
            20000))
            << informe.constData();
        const qint64 enviados = cnc.puerto.bytesEnviados();
        espera([] { return false; }, 300);
        EXPECT_EQ(cnc.puerto.bytesEnviados(), enviados);
        cnc.proceso.write("\n");
        const ResultadoTransferencia r = fin(terminado);
        ASSERT_TRUE(cnc.proceso.waitForFinished(20000));
        informe += cnc.proceso.readAll();
        // keldan-cnc's own clock may read a late burst past its buffer
        // (exit 3): that is no fault of the sender.
        const int salida = cnc.proceso.exitCode();
        EXPECT_TRUE(r.estado == Estado::Completa && (salida == 0 || salida == 3))
            << informe.constData();
        QFile f(dir.filePath(QStringLiteral("r")));
        QByteArray esperado = CodificadorEnvio::codificaPrograma(programa, iso);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly) && f.readAll() == esperado.mid(1).chopped(1));
    }
}

TEST(FormatoCnc, EachFormatIsReceivedLineForLine)
{
    // DC4 after the last end of block adds no line.
    const std::tuple<const char *, QStringList, bool, FormatoLinea, QList<QByteArray>> casos[] = {
        {"cr lf", {"--eol", "crlf"}, false, {}, kPrograma},
        {"cr", {"--eol", "cr"}, false, {.finBloque = Fin::Cr}, kPrograma},
        {"leader 5, trailer 3", {"--leader", "5", "--trailer", "3"}, false, {}, kPrograma},
        // A pause shorter than the silence time does not end the program.
        {"no DC4, 1 s of silence", {"--no-dc4", "--pause-every", "2", "--pause-ms", "500"}, false,
            {.silencioS = 1}, kPrograma},
        // Without framing the closing "%" ends the program, its line end with it.
        {"no framing", {"--no-frame", "--iso"}, true, {.marco = false}, kPrograma},
        {"no framing, ascii", {"--no-frame"}, false, {.marco = false}, kPrograma},
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
        EXPECT_EQ(lineas, esperadas);
        // keldan-cnc holds the line until the port closes, then ends.
        EXPECT_TRUE(cnc.proceso.waitForFinished(20000));
        EXPECT_EQ(cnc.proceso.exitCode(), 0);
    }
}

// Continuous receive from keldan-cnc punching three programs, the cable pulled
// in the third: two files beside an older one of the same name, the third
// apart as incomplete.
TEST(FormatoCnc, ContinuousReceiveSavesEachProgramNeverOverAFileAndACutOneApart)
{
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("p.nc"))),
        previo(dir.filePath(QStringLiteral("O1234.TXT")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("%\nO1234\nG1 X1\n%\n") > 0);
    ASSERT_TRUE(previo.open(QIODevice::WriteOnly) && previo.write("old") == 3);
    f.close(), previo.close();
    // 18 bytes a program: DC2, the four lines, DC4; the third cut after "O1234" LF.
    Cnc cnc({"--send", f.fileName(), "--repeat", "3", "--cut-after", "45"});
    RecepcionContinua continua(cnc.puerto);
    QSignalSpy guardados(&continua, &RecepcionContinua::guardado);
    // Until the third program's "O1234" has come, after the second was saved.
    bool tercero = false;
    QObject::connect(
        &continua, &RecepcionContinua::lineasRecibidas, [&](const QList<QByteArray> &l) {
            tercero |= guardados.size() == 2 && l.contains("O1234");
        });
    ASSERT_TRUE(continua.inicia(dir.path(), false));
    ASSERT_TRUE(QTest::qWaitFor([&] { return tercero; }, 20000));
    continua.detiene();
    const std::pair<const char *, QByteArray> casos[]
        = {{"O1234-2.TXT", "%\r\nO1234\r\nG1 X1\r\n%\r\n"},
            {"O1234-3.TXT", "%\r\nO1234\r\nG1 X1\r\n%\r\n"},
            {"O1234-INCOMPLETO.TXT", "%\r\nO1234\r\n"}, {"O1234.TXT", "old"}};
    ASSERT_EQ(guardados.size(), 3);
    for (const auto &[nombre, bytes] : casos) {
        QFile g(dir.filePath(QString::fromLatin1(nombre)));
        EXPECT_TRUE(g.open(QIODevice::ReadOnly) && g.readAll() == bytes) << nombre;
    }
}

// Without the frame each program ends at its closing "%": three programs
// punched in a row, through ser2net, are three files.
TEST(FormatoCnc, ContinuousReceiveWithoutFrameEndsEachProgramAtItsClosingPercent)
{
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("p.nc")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("%\nO0301\nG1 X1\n%\n") > 0);
    f.close();
    Cnc cnc({"--send", f.fileName(), "--repeat", "3", "--no-frame"});
    Ser2net servidor(cnc.puerto.Dispositivo(), false);
    cnc.puerto.setDispositivo(servidor.direccion());
    RecepcionContinua continua(cnc.puerto);
    QSignalSpy guardados(&continua, &RecepcionContinua::guardado);
    ASSERT_TRUE(servidor.escucha() && continua.inicia(dir.path(), false, {.marco = false}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return guardados.size() == 3; }, 20000));
    continua.detiene();
    for (const char *nombre : {"O0301.TXT", "O0301-2.TXT", "O0301-3.TXT"}) {
        QFile g(dir.filePath(QString::fromLatin1(nombre)));
        EXPECT_TRUE(g.open(QIODevice::ReadOnly) && g.readAll() == "%\r\nO0301\r\nG1 X1\r\n%\r\n");
    }
}

} // namespace

// A number written amiss is a wrong command line, never a zero or a prefix
// taken silently: a CNC simulated with a buffer of 0 would alarm at once.
TEST(FormatoCnc, AnOptionWrittenAmissIsAWrongCommandLine)
{
    const QList<QStringList> malas {{"--receive", "f", "--buffer", "25x"},
        {"--receive", "f", "--speed", ""}, {"--receive", "f", "--fd", "99999999999"},
        {"--receive", "f", "--eol", "crcr"}, {"--receive", "f", "--unknown"},
        {"--receive", "f", "--send", "g"}, {"--receive", "f", "--overrun"}};
    for (const QStringList &args : malas) {
        QProcess p;
        p.start(QStringLiteral(KELDAN_CNC), args);
        ASSERT_TRUE(p.waitForFinished(10000)) << args.join(' ').toStdString();
        EXPECT_EQ(p.exitCode(), 2) << args.join(' ').toStdString();
    }
}
