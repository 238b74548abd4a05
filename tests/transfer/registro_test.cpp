#include "transfer/registro.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using Registro = RegistroTransferencias;

// Outcome and direction follow the line count, so that neighbours differ.
EntradaRegistro entrada(qint64 lineas)
{
    return {QDateTime(QDate(2026, 12, 7), QTime(1, 2, 3), Qt::OffsetFromUTC, -12600),
        EntradaRegistro::Sentido(lineas % 2), QStringLiteral("Fresa Ñ"),
        QStringLiteral("/dev/ttyUSB0"), QStringLiteral("/home/o/P1.NC"), lineas, 45, 1500,
        ResultadoTransferencia::Estado(lineas % 4), QStringLiteral("Port gone\tcable?\nCheck it"),
        2, 7};
}

} // namespace

TEST(RegistroTransferenciasTest, EveryOutcomeIsReadBackAndPastTheLimitTheNewestAreKept)
{
    QTemporaryDir dir;
    // Room for three of the longest records (receive, incomplete): no four fit.
    const qint64 limite = Registro::kCabecera.size() + 1 + 3 * Registro::linea(entrada(7)).size();
    const Registro registro(dir.filePath(QStringLiteral("KELDAN.LOG")), limite);
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(registro.anade(entrada(i)));
    QFile f(registro.rutaAnterior());
    f.open(QIODevice::ReadOnly);
    const QList<QByteArray> lineas = f.readAll().split('\n');
    EXPECT_EQ(lineas.value(0),
        "date\tdirection\tmachine\tport\tfile\tlines\tbytes\tduration_ms\t"
        "result\treason\tpauses\tunreadable");
    EXPECT_EQ(lineas.value(1),
        "2026-12-07T01:02:03-03:30\tsend\tFresa \xC3\x91\t/dev/ttyUSB0\t"
        "/home/o/P1.NC\t6\t45\t1500\tfailed\tPort gone cable? Check it\t2\t7");
    const Registro::Lectura leido = registro.lee();
    ASSERT_EQ(leido.entradas.size(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Registro::linea(leido.entradas[i]), Registro::linea(entrada(6 + i)));
    // What was sent where is the user's alone, in both generations.
    const auto grupoYOtros = QFileDevice::Permissions(0x0077);
    EXPECT_FALSE(QFile::permissions(registro.ruta()) & grupoYOtros);
    EXPECT_FALSE(QFile::permissions(registro.rutaAnterior()) & grupoYOtros);
}

TEST(RegistroTransferenciasTest, ACorruptLogGivesItsGoodRecordsAndAnUnreadableOneIsReported)
{
    QTemporaryDir dir;
    const Registro registro(dir.filePath(QStringLiteral("KELDAN.LOG")));
    const QByteArray bueno = Registro::linea(entrada(1));
    QFile f(registro.ruta());
    f.open(QIODevice::WriteOnly);
    f.write(Registro::kCabecera + '\n' + bueno + QByteArray(bueno).replace("\t7\n", "\n")
        + QByteArray(bueno).replace("\t45\t", "\t4x\t") + QByteArray(bueno).replace("\t45", "\t-45")
        + QByteArray(bueno).replace("stopped", "done") + QByteArray(bueno).replace("-12", "-13")
        + QByteArray(bueno).replace("\xC3\x91", "\xC3(")
        + "\x7F"
          "ELF\x02\x01\n"
        + Registro::linea(entrada(2)) + bueno.chopped(2));
    f.close();
    // A record added after a last line cut short starts a line of its own.
    ASSERT_TRUE(registro.anade(entrada(3)));
    const Registro::Lectura leido = registro.lee();
    ASSERT_EQ(leido.entradas.size(), 3);
    EXPECT_EQ(Registro::linea(leido.entradas[1]), Registro::linea(entrada(2)));
    EXPECT_EQ(Registro::linea(leido.entradas[2]), Registro::linea(entrada(3)));
    EXPECT_EQ(leido.ilegibles, 8);
    // A last line without its end may have lost digits: it is no record.
    ASSERT_TRUE(f.open(QIODevice::Append) && f.write(bueno.chopped(1)) > 0);
    f.close();
    EXPECT_EQ(registro.lee().entradas.size(), 3);

    ASSERT_TRUE(f.remove() && QDir(dir.path()).mkdir(QStringLiteral("KELDAN.LOG")));
    QString error;
    EXPECT_FALSE(registro.anade(entrada(1), &error) || error.isEmpty());
    EXPECT_FALSE(registro.lee().error.isEmpty() || !registro.lee().entradas.isEmpty());
}

TEST(RegistroTransferenciasTest, ANameASpreadsheetWouldTakeForAFormulaIsWrittenAsText)
{
    QTemporaryDir dir;
    const Registro registro(dir.filePath(QStringLiteral("KELDAN.LOG")));
    EntradaRegistro e = entrada(1);
    e.maquina = QStringLiteral("=HYPERLINK(\"x\")");
    e.fichero = QStringLiteral("-1.NC");
    ASSERT_TRUE(registro.anade(e));
    EXPECT_TRUE(Registro::linea(e).contains("\t'=HYPERLINK(\"x\")\t/dev/ttyUSB0\t'-1.NC\t"));
    const Registro::Lectura leido = registro.lee();
    ASSERT_EQ(leido.entradas.size(), 1);
    EXPECT_EQ(leido.entradas[0].maquina + leido.entradas[0].fichero, e.maquina + e.fichero);
}
