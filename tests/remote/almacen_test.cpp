#include "comun/ficheros.h"
#include "comun/servidorftp.h"
#include "remote/almacencarpeta.h"
#include "remote/almacenftp.h"
#include "remote/comprobacionremota.h"
#include "remote/netrc.h"
#include "settings/varsfuncsglobales.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimeZone>

void PrintTo(const AlmacenRemoto::Entrada &e, std::ostream *os)
{
    *os << e.nombre.toStdString() << "|" << e.tamano << "|"
        << e.fecha.toString(Qt::ISODate).toStdString();
}

namespace {

using Entrada = AlmacenRemoto::Entrada;
using VarsFuncsGlobales::Texto;

QStringList nombres(const QList<Entrada> &entradas)
{
    QStringList n;
    for (const Entrada &e : entradas)
        n.append(e.nombre);
    n.sort();
    return n;
}

// What the control's side holds: every file, temporary ones too.
QStringList enDisco(const QString &carpeta)
{
    return QDir(carpeta).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

struct Caso
{
    const char *nombre;
    ServidorFtp::Opciones servidor;
    bool activo = false;
    bool carpeta = false;
};

class Almacen : public ::testing::TestWithParam<Caso>
{
protected:
    void SetUp() override
    {
        if (GetParam().carpeta) {
            raiz = dir.filePath(QStringLiteral("cnc"));
            QDir().mkpath(raiz + QStringLiteral("/PRG"));
            almacen = std::make_unique<AlmacenCarpeta>(raiz + QStringLiteral("/PRG/"));
            return;
        }
        servidor = std::make_unique<ServidorFtp>(GetParam().servidor);
        ASSERT_TRUE(servidor->arrancado()) << servidor->salida().toStdString();
        raiz = servidor->carpeta();
        QDir().mkpath(raiz + QStringLiteral("/PRG"));
        almacen = servidor->almacen(QStringLiteral("/PRG/"), GetParam().activo);
    }
    QTemporaryDir dir;
    QString raiz;
    std::unique_ptr<ServidorFtp> servidor;
    std::unique_ptr<AlmacenRemoto> almacen;
};

// Send, replace, list, fetch, size and delete, the same on every kind of
// remote machine; nothing of an upload is left behind under another name.
TEST_P(Almacen, ProgramsGoUpAreReplacedListedFetchedAndDeleted)
{
    QString error;
    ASSERT_TRUE(almacen->conecta(&error)) << error.toStdString();
    QList<Entrada> entradas;
    ASSERT_TRUE(almacen->lista(&entradas, &error)) << error.toStdString();
    EXPECT_TRUE(entradas.isEmpty());

    QByteArray grande(3 * 1024 * 1024 + 7, '\0');
    for (qsizetype i = 0; i < grande.size(); ++i)
        grande[i] = char(i * 7 + i / 251); // every byte value, no run the server could shrink
    ASSERT_TRUE(almacen->sube(QStringLiteral("O1000"), "%\r\nO1000\r\nM30\r\n%\r\n", &error))
        << error.toStdString();
    ASSERT_TRUE(almacen->sube(QStringLiteral("pieza 2.nc"), grande, &error)) << error.toStdString();
    const QString prg = raiz + QStringLiteral("/PRG/");
    EXPECT_EQ(enDisco(prg), QStringList({"O1000", "pieza 2.nc"}));
    EXPECT_EQ(leeBytes(prg + "pieza 2.nc"), grande);

    // A name already there is replaced whole.
    ASSERT_TRUE(almacen->sube(QStringLiteral("O1000"), "%\nO1000\nM2\n%\n", &error));
    EXPECT_EQ(leeBytes(prg + "O1000"), "%\nO1000\nM2\n%\n");
    EXPECT_EQ(enDisco(prg), QStringList({"O1000", "pieza 2.nc"}));

    ASSERT_TRUE(almacen->lista(&entradas, &error)) << error.toStdString();
    EXPECT_EQ(nombres(entradas), QStringList({"O1000", "pieza 2.nc"}));
    for (const Entrada &e : entradas) {
        EXPECT_EQ(e.tamano, QFileInfo(prg + e.nombre).size()) << e.nombre.toStdString();
        EXPECT_LE(std::abs(e.fecha.secsTo(QDateTime::currentDateTimeUtc())), 120);
    }
    bool hay = false;
    ASSERT_TRUE(almacen->existe(QStringLiteral("o1000"), &hay, &error));
    EXPECT_TRUE(hay);
    ASSERT_TRUE(almacen->existe(QStringLiteral("O1001"), &hay, &error));
    EXPECT_FALSE(hay);
    qint64 bytes = 0;
    ASSERT_TRUE(almacen->tamano(QStringLiteral("pieza 2.nc"), &bytes, &error));
    EXPECT_EQ(bytes, grande.size());

    QByteArray traido;
    ASSERT_TRUE(almacen->baja(QStringLiteral("pieza 2.nc"), &traido, &error, grande.size()));
    EXPECT_TRUE(traido == grande);
    // One byte over the limit: refused, nothing kept.
    EXPECT_FALSE(almacen->baja(QStringLiteral("pieza 2.nc"), &traido, &error, grande.size() - 1));
    EXPECT_TRUE(traido.isEmpty());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(almacen->baja(QStringLiteral("O7777"), &traido, &error, 1000));
    EXPECT_FALSE(error.isEmpty());

    ASSERT_TRUE(almacen->borra(QStringLiteral("O1000"), &error)) << error.toStdString();
    EXPECT_EQ(enDisco(prg), QStringList({"pieza 2.nc"}));
    EXPECT_FALSE(almacen->borra(QStringLiteral("O1000"), &error));
    EXPECT_FALSE(error.isEmpty());

    // The port check: every step in words, the probe gone again.
    const auto pasos = ComprobacionRemota::comprueba(*almacen, DireccionRemota());
    ASSERT_EQ(pasos.size(), 4);
    for (const auto &p : pasos)
        EXPECT_TRUE(p.ok) << p.paso.toStdString() << ": " << p.texto.toStdString();
    EXPECT_EQ(pasos[1].texto, Texto(QStringLiteral("CompruebaRemotaListados")).arg(1));
    EXPECT_EQ(enDisco(prg), QStringList({"pieza 2.nc"}));
}

INSTANTIATE_TEST_SUITE_P(Remotas, Almacen,
    ::testing::Values(Caso {"ftp_pasivo", {}}, Caso {"ftp_activo", {}, true},
        Caso {"ftps", {.tls = true}}, Caso {"solo_list", {.sinMlsd = true}},
        Caso {"carpeta", {}, false, true}),
    [](const auto &info) { return std::string(info.param.nombre); });

// A server that dies mid-upload (a control switched off): the send fails
// with the reason, the program under the name stays as it was.
TEST(AlmacenFtp_, ServerDyingMidUploadLeavesTheOldProgramUnderItsName)
{
    ServidorFtp servidor(OpcionesServidorFtp {.muereTras = 300 * 1024});
    ASSERT_TRUE(servidor.arrancado());
    ASSERT_TRUE(escribeBytes(servidor.carpeta() + "/O1000", "viejo\n"));
    const auto almacen = servidor.almacen();
    QString error;
    const QByteArray datos(2 * 1024 * 1024, 'G');
    EXPECT_FALSE(almacen->sube(QStringLiteral("O1000"), datos, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(almacen->sube(QStringLiteral("O2000"), datos, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(servidor.terminado());
    EXPECT_EQ(leeBytes(servidor.carpeta() + "/O1000"), "viejo\n");
    EXPECT_FALSE(QFile::exists(servidor.carpeta() + "/O2000"));
    // The server is gone: the next call says so, quickly.
    EXPECT_FALSE(almacen->conecta(&error));
    EXPECT_TRUE(error.contains("onnect")) << error.toStdString();
}

// The password lives in the .netrc alone, and only in one no one else can read.
TEST(AlmacenFtp_, NetrcAndPasswordFailuresSayWhatIsWrong)
{
    ServidorFtp servidor;
    ASSERT_TRUE(servidor.arrancado());
    const auto almacen = servidor.almacen();
    QString error;
    ASSERT_TRUE(almacen->conecta(&error)) << error.toStdString();

    QFile(servidor.netrc()).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    EXPECT_FALSE(servidor.almacen()->conecta(&error));
    EXPECT_TRUE(error.contains(servidor.netrc()) && error.contains("0604")) << error.toStdString();

    servidor.escribeNetrc(QStringLiteral("otra"));
    EXPECT_FALSE(servidor.almacen()->conecta(&error));
    EXPECT_TRUE(error.contains("530")) << error.toStdString();

    QFile::remove(servidor.netrc());
    EXPECT_FALSE(servidor.almacen()->conecta(&error));
    EXPECT_TRUE(error.contains(servidor.netrc()) && error.contains("127.0.0.1"))
        << error.toStdString();

    // Entries as FTP clients read them: another host, another user, a default.
    const std::pair<QByteArray, bool> casos[] = {
        {"machine otro login cnc password x\n", false},
        {"machine 127.0.0.1 login op password x\n", false},
        {"machine 127.0.0.1\n  login cnc\n  password x\n", true},
        {"default login cnc password x\n", true},
    };
    for (const auto &[texto, bien] : casos) {
        escribeBytes(servidor.netrc(), texto);
        QFile(servidor.netrc()).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        EXPECT_EQ(Netrc::comprueba(servidor.netrc(), "127.0.0.1", "cnc", &error), bien)
            << texto.toStdString();
    }
}

// FTPS: the control's certificate is verified; trusted only through the CA file given.
TEST(AlmacenFtp_, FtpsRefusesACertificateNotTrusted)
{
    ServidorFtp servidor(OpcionesServidorFtp {.tls = true});
    ASSERT_TRUE(servidor.arrancado());
    OpcionesRemotas o = servidor.opciones();
    o.ficheroCa.clear();
    QString error;
    EXPECT_FALSE(AlmacenRemoto::crea(servidor.direccion(), o)->conecta(&error));
    EXPECT_TRUE(error.contains("certificate", Qt::CaseInsensitive)) << error.toStdString();
    // Plain FTP to a server that demands TLS is turned away, not sent in clear.
    DireccionRemota claro = servidor.direccion();
    claro.tipo = DireccionRemota::Tipo::Ftp;
    EXPECT_FALSE(AlmacenRemoto::crea(claro, servidor.opciones())->conecta(&error));
    EXPECT_FALSE(error.isEmpty());
}

// A peer that takes the connection and then says nothing: given up in time,
// with the reason.
TEST(AlmacenFtp_, AServerThatSaysNothingIsGivenUpInTime)
{
    QTcpServer mudo; // the kernel accepts; nothing ever answers
    ASSERT_TRUE(mudo.listen(QHostAddress::LocalHost));
    ServidorFtp servidor;
    OpcionesRemotas o = servidor.opciones();
    o.conexionS = 1;
    o.sinDatosS = 1;
    DireccionRemota d = servidor.direccion();
    d.puerto = mudo.serverPort();
    QElapsedTimer reloj;
    reloj.start();
    QString error;
    EXPECT_FALSE(AlmacenRemoto::crea(d, o)->conecta(&error));
    EXPECT_LT(reloj.elapsed(), 5000);
    EXPECT_TRUE(error.contains("timeout", Qt::CaseInsensitive)
        || error.contains("timed out", Qt::CaseInsensitive))
        << error.toStdString();
}

TEST(AlmacenFtp_, ListingsOfEveryStyleAreReadAndBounded)
{
    QList<Entrada> e;
    QString error;
    ASSERT_TRUE(AlmacenFtp::interpretaMlsd("type=cdir;modify=20260101000000; .\r\n"
                                           "type=dir;modify=20260101000000; SUB\r\n"
                                           "Type=File;Size=12;Modify=20261207183000.123; O1 2\r\n"
                                           "type=file;size=3; .keldan-0000abcd.tmp\r\n"
                                           "type=file;modify=2026; sin tamano\r\n",
        &e, &error));
    const QList<Entrada> mlsd
        = {{"O1 2", 12, QDateTime(QDate(2026, 12, 7), QTime(18, 30), QTimeZone::utc())},
            {"sin tamano", -1, QDateTime()}};
    EXPECT_EQ(e, mlsd);

    const QDateTime ahora(QDate(2026, 3, 10), QTime(12, 0), QTimeZone::utc());
    ASSERT_TRUE(AlmacenFtp::interpretaList("total 12\r\n"
                                           "drwxr-xr-x 2 cnc cnc 4096 Mar 01 10:00 PRG\r\n"
                                           "-rw-r--r-- 1 cnc cnc 120 Mar 09 08:05 O1000\r\n"
                                           "-rw-r--r-- 1 cnc cnc 7 Dec 24 23:59 O  2\r\n"
                                           "-rw-r--r-- 1 cnc 99 Jun 5 2019 sin grupo\r\n"
                                           "lrwxrwxrwx 1 cnc cnc 5 Mar 01 10:00 e -> O1000\r\n"
                                           "03-09-26  08:05PM       <DIR>          DOS\r\n"
                                           "03-09-26  08:05PM                 1234 O3000.NC\r\n",
        &e, &error, ahora))
        << error.toStdString();
    const auto utc = [](int a, int m, int d, int h, int mi) {
        return QDateTime(QDate(a, m, d), QTime(h, mi), QTimeZone::utc());
    };
    const QList<Entrada> list
        = {{"O1000", 120, utc(2026, 3, 9, 8, 5)}, {"O  2", 7, utc(2025, 12, 24, 23, 59)},
            {"sin grupo", 99, utc(2019, 6, 5, 0, 0)}, {"O3000.NC", 1234, utc(2026, 3, 9, 20, 5)}};
    EXPECT_EQ(e, list);

    // A line not understood or too long fails the listing: no program is
    // silently left out.
    EXPECT_FALSE(AlmacenFtp::interpretaList("O1000 1234\r\n", &e, &error));
    EXPECT_TRUE(error.contains("O1000 1234"));
    EXPECT_FALSE(AlmacenFtp::interpretaMlsd(
        "type=file;size=1;" + QByteArray(5000, 'x') + " a\r\n", &e, &error));
    QByteArray muchos;
    for (int i = 0; i <= AlmacenRemoto::kMaxEntradas; ++i)
        muchos += "type=file;size=1; O" + QByteArray::number(i) + "\n";
    EXPECT_FALSE(AlmacenFtp::interpretaMlsd(muchos, &e, &error));
    EXPECT_TRUE(error.contains("more than")) << error.toStdString();
}

TEST(AlmacenCarpeta_, AFolderNotThereOrNoFolderIsSaidInWords)
{
    QTemporaryDir dir;
    QString error;
    EXPECT_FALSE(AlmacenCarpeta(dir.filePath("no")).conecta(&error));
    EXPECT_TRUE(error.contains(dir.filePath("no"))) << error.toStdString();
    escribeBytes(dir.filePath("f"), "x");
    EXPECT_FALSE(AlmacenCarpeta(dir.filePath("f")).conecta(&error));
    // A folder that cannot be written: the upload fails, nothing is left.
    QDir().mkpath(dir.filePath("solo"));
    QFile(dir.filePath("solo")).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    if (::geteuid() != 0) {
        EXPECT_FALSE(AlmacenCarpeta(dir.filePath("solo")).sube("O1", "x", &error));
        EXPECT_TRUE(enDisco(dir.filePath("solo")).isEmpty());
    }
    EXPECT_FALSE(AlmacenCarpeta(dir.path()).sube("../O1", "x", &error));
    EXPECT_FALSE(QFile::exists(dir.filePath("../O1")));
}

} // namespace
