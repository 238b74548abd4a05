#include "comun/cncpty.h"
#include "comun/ficheros.h"
#include "port/mscomm.h"
#include "transfer/recepcioncontinua.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>

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
    CncPty cnc;
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
    // The end mark and the next program's start in one chunk; a trailing
    // line end of the tape comes before the next program. A name from the
    // CNC's text never makes a path.
    cnc.escribe("\x12%\nO10/01\nG1\n\x14\n\x12%\nO1002 (TWO)\nM30\n\x14\x12%\nG0\n\x14"
                "\x12%\nO1004\nG1 X");
    ASSERT_TRUE(espera([&] { return guardados.size() == 3; }));
    continua.detiene();
    const QString fechado = QDir(dir.path()).entryList({"PROG-[0-9]*-[0-9]*.TXT"}).value(0);
    const std::tuple<QString, QByteArray, Estado> casos[] = {
        {"O10_01.TXT", "%\r\nO10/01\r\nG1\r\n\r\n", Estado::Completa},
        {"O1002-2.TXT", "%\r\nO1002 (TWO)\r\nM30\r\n\r\n", Estado::Completa},
        {fechado, "%\r\nG0\r\n\r\n", Estado::Completa},
        {"O1004-INCOMPLETO.TXT", "%\r\nO1004\r\nG1 X\r\n", Estado::Detenida},
    };
    ASSERT_EQ(std::pair(fin.size(), guardados.size()), std::pair(qsizetype(1), qsizetype(4)));
    for (int i = 0; i < 4; ++i) {
        const auto &[nombre, bytes, estado] = casos[i];
        EXPECT_EQ(guardados.at(i).at(0).toString(), dir.filePath(nombre));
        EXPECT_EQ(guardados.at(i).at(3).value<ResultadoTransferencia>().estado, estado) << i;
        EXPECT_EQ(leeBytes(dir.filePath(nombre)), bytes) << nombre.toStdString();
    }
    EXPECT_EQ(leeBytes(dir.filePath("O1002.TXT")), "old");
}

TEST_F(Continua, AFolderThatCannotBeWrittenEndsTheModeAndKeepsEverythingReceived)
{
    // A file where the folder should be: not even root can write into it.
    QFile(dir.filePath("PROGS")).open(QIODevice::WriteOnly);
    QSignalSpy error(&continua, &RecepcionContinua::errorGuardado);
    ASSERT_TRUE(continua.inicia(dir.filePath("PROGS"), false));
    cnc.escribe("\x12O1\nG1\n\x14\x12O2\nG2\n\x14");
    ASSERT_TRUE(fin.wait(5000));
    ASSERT_EQ(error.size(), 1);
    EXPECT_TRUE(error.at(0).at(0) == dir.filePath("PROGS") && error.at(0).at(1) != "");
    EXPECT_EQ(continua.lineasPendientes(), (QList<QByteArray> {"O1", "G1", "", "O2", "G2", ""}));
    EXPECT_TRUE(guardados.isEmpty() && !puerto.PortOpen());
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

} // namespace
