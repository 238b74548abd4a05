#include "comun/cncpty.h"
#include "comun/ficheros.h"
#include "comun/partcp.h"
#include "port/mscomm.h"
#include "transfer/recepcioncontinua.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <thread>

namespace {

using Estado = ResultadoTransferencia::Estado;

int argc = 1;
char nombre[] = "transfer_continua_test";
char *argv[] = {nombre, nullptr};
QCoreApplication aplicacion(argc, argv);

struct Continua : ::testing::Test
{
    void SetUp() override
    {
        puerto.setDispositivo(cnc.ruta());
        puerto.setSettings("115200,N,8,1");
    }
    // The saved program i: its file's name, its outcome and reason.
    QString guardado(qsizetype i) const
    {
        const auto r = guardados.at(i).at(3).value<ResultadoTransferencia>();
        return QFileInfo(guardados.at(i).at(0).toString()).fileName() + "|"
            + QString::number(int(r.estado)) + "|" + r.error;
    }
    CncPty cnc;
    // A device server, or a peer that acts as one, at a network address.
    ParTcp par;
    MSComm puerto;
    QTemporaryDir dir;
    RecepcionContinua continua {puerto};
    QSignalSpy guardados {&continua, &RecepcionContinua::guardado};
    QSignalSpy fin {&continua, &RecepcionContinua::terminado};
};

TEST_F(Continua, EachProgramIsSavedByItselfNeverOverAFileAndStopSavesAnIncompleteOne)
{
    QFile previo(dir.filePath("O1002.TXT"));
    ASSERT_TRUE(previo.open(QIODevice::WriteOnly) && previo.write("old") == 3 && previo.flush());
    ASSERT_TRUE(continua.inicia(dir.path(), false));
    // The tail of a program whose start was lost; end marks and the next
    // start in one chunk; a trailing line end of the tape before the next
    // program. A name from the CNC's text never makes a path nor holds what
    // a file system may refuse; a number on the first line names it too.
    cnc.escribe("G1 X5\nM30\n%\n\x14"
                "\x12%\nO10/01\nG1\n\x14\n\x12%\nO1002 (TWO)\nM30\n\x14\x12%\nG0\n\x14"
                "\x12O0301\nG1\n\x14\x12%\nO1\x1b]0;PWNED\x07X\n\x14\x12%\nO12\x7f"
                "34 (A*?)\n\x14\x12%\nO1004\nG1 X");
    ASSERT_TRUE(espera([&] { return guardados.size() == 7; }));
    continua.detiene();
    const QString sinInicio = "|2|The program's start (DC2, or the leading %) never came: saved "
                              "apart as incomplete.";
    const std::tuple<QString, QByteArray> casos[] = {
        {"PROG-*-INCOMPLETO.TXT" + sinInicio, "G1 X5\r\nM30\r\n%\r\n"},
        {"O10_01.TXT|0|", "%\r\nO10/01\r\nG1\r\n"},
        {"O1002-2.TXT|0|", "%\r\nO1002 (TWO)\r\nM30\r\n"},
        {"PROG-*.TXT|0|", "%\r\nG0\r\n"},
        {"O0301.TXT|0|", "O0301\r\nG1\r\n"},
        {"O1__0_PWNED_X.TXT|0|", "%\r\nO1\x1b]0;PWNED\x07X\r\n"},
        {"O12_34.TXT|0|",
            "%\r\nO12\x7f"
            "34 (A*?)\r\n"},
        {"O1004-INCOMPLETO.TXT|1|", "%\r\nO1004\r\nG1 X\r\n"},
    };
    ASSERT_EQ(std::pair(fin.size(), guardados.size()), std::pair(qsizetype(1), qsizetype(8)));
    for (int i = 0; i < 8; ++i) {
        const auto &[nombre, bytes] = casos[i];
        EXPECT_TRUE(QRegularExpression(QRegularExpression::wildcardToRegularExpression(nombre))
                        .match(guardado(i))
                        .hasMatch())
            << guardado(i).toStdString();
        EXPECT_EQ(leeBytes(guardados.at(i).at(0).toString()), bytes) << i;
    }
    EXPECT_EQ(leeBytes(dir.filePath("O1002.TXT")), "old");
}

// Without framing the leading "%" is the start: a tail without it (a
// restart during a punch) is kept apart, never taken for a whole program.
TEST_F(Continua, WithoutFramingATailWithoutItsLeadingPercentIsSavedApart)
{
    ASSERT_TRUE(continua.inicia(dir.path(), false, {.marco = false}));
    cnc.escribe("188 G01 X5\nM30\n%\n%\nO0302\nG1\n%\n");
    ASSERT_TRUE(espera([&] { return guardados.size() == 2; }));
    continua.detiene();
    EXPECT_TRUE(guardado(0).startsWith("PROG-") && guardado(0).contains("-INCOMPLETO.TXT|2|"))
        << guardado(0).toStdString();
    EXPECT_EQ(leeBytes(guardados.at(0).at(0).toString()), "188 G01 X5\r\nM30\r\n%\r\n");
    EXPECT_EQ(guardado(1), "O0302.TXT|0|");
    EXPECT_EQ(leeBytes(dir.filePath("O0302.TXT")), "%\r\nO0302\r\nG1\r\n%\r\n");
}

TEST_F(Continua, IsoProgramsEndAtPercentEachWithItsOwnUnreadableCharacters)
{
    ASSERT_TRUE(continua.inicia(dir.path(), true));
    // DC2 "%" LF "O7" LF "G1" and an X with a wrong parity bit, LF "%" LF DC4.
    const QByteArray iso = "\x12\xA5\n\xCF\xB7\n\x47\xB1\x58\n\xA5\n\x14";
    cnc.escribe(iso + iso);
    ASSERT_TRUE(espera([&] { return guardados.size() == 2; }));
    EXPECT_EQ(leeBytes(dir.filePath("O7-2.TXT")), "%\r\nO7\r\nG1\r\n%\r\n");
    const auto r = guardados.at(1).at(3).value<ResultadoTransferencia>();
    EXPECT_EQ(std::tuple(r.ilegibles, r.lineasIlegibles), std::tuple(1, QList<qint64> {2}));
}

TEST_F(Continua, ASilenceOfTheSetSecondsEndsAProgramWithoutItsEndMark)
{
    ASSERT_TRUE(continua.inicia(dir.path(), false, {.silencioS = 2}));
    cnc.escribe("\x12%\nO5\nG1");
    espera([] { return false; }, 50); // a pause, far shorter than the silence
    QElapsedTimer reloj;
    reloj.start();
    cnc.escribe("\nM30\n");
    ASSERT_TRUE(espera([&] { return guardados.size() == 1; }));
    EXPECT_GE(reloj.elapsed(), 1900); // a coarse timer may be 5 % early
    EXPECT_EQ(guardado(0), "O5.TXT|0|");
    EXPECT_EQ(leeBytes(dir.filePath("O5.TXT")), "%\r\nO5\r\nG1\r\nM30\r\n");
}

TEST_F(Continua, AProgramPastTheLimitIsKeptUpToItAndTheRestOfItDroppedAndCounted)
{
    ASSERT_TRUE(continua.inicia(dir.path(), false, {.maxProgramaMiB = 1}));
    QByteArray largo = "\x12%\nO7\n";
    while (largo.size() < 1536 * 1024)
        largo += "N1 G01 X1.000 Y2.000\n";
    largo += "M30\n%\n\x14";
    // Written while the reception reads: it holds the line while it decodes.
    std::thread escritor([&] { cnc.escribe(largo + "\x12%\nO8\nM30\n\x14"); });
    const bool dos = espera([&] { return guardados.size() == 2; }, 20000);
    escritor.join();
    ASSERT_TRUE(dos);
    EXPECT_EQ(guardado(0) + "|" + QString::number(guardados.at(0).at(2).toLongLong()),
        QStringLiteral("O7-INCOMPLETO.TXT|2|Longer than 1 MiB (MaxPrograma): saved up to there "
                       "as incomplete. %1 bytes after that were dropped.|%2")
            .arg(largo.size() - 1024 * 1024)
            .arg(largo.size()));
    // The first MiB, its LF written as CR LF.
    EXPECT_NEAR(leeBytes(dir.filePath("O7-INCOMPLETO.TXT")).size(), 1024 * 1024 * 22 / 21, 100);
    EXPECT_EQ(leeBytes(dir.filePath("O8.TXT")), "%\r\nO8\r\nM30\r\n");
}

TEST_F(Continua, AProgramThatCannotBeSavedIsKeptApartFromWhatCameAfterItAndTheModeStops)
{
    // A file where the folder should be: not even root can write into it.
    QFile(dir.filePath("PROGS")).open(QIODevice::WriteOnly);
    QSignalSpy error(&continua, &RecepcionContinua::errorGuardado);
    puerto.setDispositivo(par.direccion());
    ASSERT_TRUE(continua.inicia(dir.filePath("PROGS"), false));
    const int cnc = par.acepta();
    ASSERT_TRUE(ParTcp::envia(cnc, "\x12O1\nG1\n\x14\x12O2\nG2\n\x14\x12O3\n"));
    ASSERT_TRUE(fin.wait(5000));
    // Each kept by itself, with its own record (its lines, the reason).
    QStringList sinGuardar;
    for (qsizetype i = 0; i < continua.sinGuardar().size(); ++i)
        sinGuardar.append(QString::fromLatin1(continua.sinGuardar().at(i).texto)
            + (continua.sinGuardar().at(i).incompleto ? "cut|" : "|")
            + error.value(i).value(2).toString() + (error.value(i).value(1) != "" ? "|why" : ""));
    EXPECT_EQ(sinGuardar, (QStringList {"O1\nG1\n|2|why", "O2\nG2\n|2|why", "O3\ncut|1|why"}));
    EXPECT_TRUE(error.size() == 3 && error.at(0).at(0) == dir.filePath("PROGS"));
    EXPECT_TRUE(guardados.isEmpty() && !puerto.PortOpen());
    ::close(cnc);
}

TEST_F(Continua, TextAServerSaysRightAfterConnectingIsItsAnswerNotAProgram)
{
    QSignalSpy respuestas(&continua, &RecepcionContinua::respuestaServidor);
    puerto.setDispositivo(par.direccion());
    // A device server that turns the connection away and hangs up.
    ASSERT_TRUE(continua.inicia(dir.path(), false));
    int servidor = par.acepta();
    ASSERT_TRUE(ParTcp::envia(servidor, "Port already in use\r\n"));
    ::close(servidor);
    ASSERT_TRUE(fin.wait(5000));
    const auto r = fin.at(0).at(0).value<ResultadoTransferencia>();
    EXPECT_EQ(r.estado, Estado::Fallida);
    EXPECT_TRUE(r.error.endsWith(" The server answered: Port already in use"))
        << r.error.toStdString();

    // One that serves at once; one that greets first: the greeting is
    // told, the programs saved. Later text without a start is the CNC's:
    // saved apart.
    QSignalSpy nuevos(&continua, &RecepcionContinua::programaNuevo);
    const QByteArray inicios[] = {"\x12%\nO4\n\x14", "Welcome\r\n\x12%\nO5\n\x14"};
    for (int i = 0; i < 2; ++i) {
        if (continua.activo())
            continua.detiene(), ::close(servidor);
        ASSERT_TRUE(continua.inicia(dir.path(), false));
        servidor = par.acepta();
        ASSERT_TRUE(ParTcp::envia(servidor, inicios[i]));
        ASSERT_TRUE(espera([&] { return guardados.size() == i + 1; }));
    }
    ASSERT_TRUE(ParTcp::envia(servidor, "N9 M30\n\x14"));
    ASSERT_TRUE(espera([&] { return guardados.size() == 3; }));
    continua.detiene();
    ::close(servidor);
    EXPECT_EQ(nuevos.size(), 3);
    EXPECT_EQ(respuestas.size(), 1);
    EXPECT_EQ(respuestas.value(0).value(0).toString(), "Welcome");
    EXPECT_EQ(leeBytes(dir.filePath("O5.TXT")), "%\r\nO5\r\n");
    EXPECT_EQ(QDir(dir.path()).entryList({"PROG-*-INCOMPLETO.TXT"}).size(), 1);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);
}

} // namespace
