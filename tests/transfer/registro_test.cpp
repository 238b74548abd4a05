#include "transfer/registro.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using Estado = ResultadoTransferencia::Estado;

EntradaRegistro entrada(qint64 lineas, Estado estado = Estado::Completa, const QString &motivo = {})
{
    return {QDateTime(QDate(2026, 12, 7), QTime(1, 2, 3), Qt::OffsetFromUTC, -12600),
        EntradaRegistro::Sentido(lineas % 2), QStringLiteral("Fresa Ñ"),
        QStringLiteral("/dev/ttyUSB0"), QStringLiteral("/home/o/P1.NC"), lineas, 45, 1500, estado,
        motivo, 2, 7};
}

void escribe(const QString &ruta, const QByteArray &datos)
{
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(datos);
}

} // namespace

TEST(RegistroTransferenciasTest, EveryOutcomeIsWrittenUnderTheHeaderAndReadBackWhole)
{
    QTemporaryDir dir;
    const RegistroTransferencias registro(dir.filePath(QStringLiteral("KELDAN.LOG")));
    const QList<EntradaRegistro> entradas = {entrada(10), entrada(11, Estado::Detenida),
        entrada(3, Estado::Fallida, QStringLiteral("Port gone\tcable?\nCheck it")),
        entrada(0, Estado::SinFin, QStringLiteral("The CNC did not get the end"))};
    for (const EntradaRegistro &e : entradas)
        ASSERT_TRUE(registro.anade(e));
    QFile f(registro.ruta());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lineas = f.readAll().split('\n');
    ASSERT_EQ(lineas.size(), 6);
    EXPECT_EQ(lineas[0],
        "date\tdirection\tmachine\tport\tfile\tlines\tbytes\tduration_ms\tresult\t"
        "reason\tpauses\tunreadable");
    EXPECT_EQ(lineas[3],
        "2026-12-07T01:02:03-03:30\treceive\tFresa \xC3\x91\t/dev/ttyUSB0\t"
        "/home/o/P1.NC\t3\t45\t1500\tfailed\tPort gone cable? Check it\t2\t7");
    const RegistroTransferencias::Lectura leido = registro.lee();
    ASSERT_EQ(leido.entradas.size(), 4);
    EXPECT_EQ(leido.ilegibles, 0);
    for (qsizetype i = 0; i < 4; ++i)
        EXPECT_EQ(RegistroTransferencias::linea(leido.entradas[i]), lineas[i + 1] + '\n');
}

TEST(RegistroTransferenciasTest, PastTheLimitTheOldGenerationKeepsTheNewestRecords)
{
    QTemporaryDir dir;
    const qint64 limite = RegistroTransferencias::kCabecera.size() + 1
        + 3 * RegistroTransferencias::linea(entrada(0)).size();
    const RegistroTransferencias registro(dir.filePath(QStringLiteral("KELDAN.LOG")), limite);
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(registro.anade(entrada(i)));
    QList<qint64> lineas;
    for (const EntradaRegistro &e : registro.lee().entradas)
        lineas.append(e.lineas);
    EXPECT_EQ(lineas, QList<qint64>({6, 7, 8, 9}));
    EXPECT_LE(QFile(registro.rutaAnterior()).size(), limite);
}

TEST(RegistroTransferenciasTest, ACorruptLogGivesItsGoodRecordsAndCountsTheRest)
{
    QTemporaryDir dir;
    const RegistroTransferencias registro(dir.filePath(QStringLiteral("KELDAN.LOG")));
    const QByteArray bueno = RegistroTransferencias::linea(entrada(1));
    escribe(registro.ruta(),
        RegistroTransferencias::kCabecera + '\n' + bueno + QByteArray(bueno).replace("\t7\n", "\n")
            + QByteArray(bueno).replace("\t45\t", "\t4x\t")
            + QByteArray(bueno).replace("\t45\t", "\t-45\t")
            + QByteArray(bueno).replace("complete", "done")
            + QByteArray(bueno).replace("2026-12-07", "2026-13-07")
            + QByteArray(bueno).replace("Fresa \xC3\x91", "Fresa \xC3(")
            + "\x7F"
              "ELF\x02\x01\n"
            + RegistroTransferencias::linea(entrada(2)) + bueno.left(bueno.size() - 2));
    const RegistroTransferencias::Lectura leido = registro.lee();
    ASSERT_EQ(leido.entradas.size(), 2);
    EXPECT_EQ(leido.entradas[1].lineas, 2);
    EXPECT_EQ(leido.ilegibles, 8);
}

TEST(RegistroTransferenciasTest, ALogThatCannotBeOpenedIsReported)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("KELDAN.LOG")));
    const RegistroTransferencias registro(dir.filePath(QStringLiteral("KELDAN.LOG")));
    QString error;
    EXPECT_FALSE(registro.anade(entrada(1), &error));
    EXPECT_FALSE(error.isEmpty());
    const RegistroTransferencias::Lectura leido = registro.lee();
    EXPECT_TRUE(leido.entradas.isEmpty());
    EXPECT_FALSE(leido.error.isEmpty());
}
