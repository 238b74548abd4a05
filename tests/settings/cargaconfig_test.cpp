#include "comun/junta.h"
#include "languages/catalogoclaves.h"
#include "settings/varsfuncsglobales.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace VarsFuncsGlobales;

namespace {

class Config : public ::testing::Test
{
protected:
    QTemporaryDir dir;

    void SetUp() override { EstableceDirectorioPrograma(dir.path()); }
    void TearDown() override { EstableceDirectorioPrograma(QString()); }

    QByteArray leeIni()
    {
        QFile f(RutaIni());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : "(none)";
    }
    // The settings record loaded from the file, as one text.
    std::string registro(const QByteArray &datos)
    {
        QFile f(RutaIni());
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(datos) == datos.size());
        f.close();
        CargaConfig();
        QStringList rechazos;
        for (const AvisoIni &r : std::as_const(RechazosGeneral))
            rechazos << r.clave;
        return junta(IdiomaActual, ModoTransmision, PuertoCom, PuertoDispositivo, Velocidad,
            Paridad, BitsDatos, BitsStop, Nego, XonXoffEnPuerto, rechazos.join(' '))
            .toStdString();
    }
};

TEST_F(Config, RecordAsStoredDefaultsWhereAbsentOrInvalid)
{
    const std::string porDefecto = "Español|Ascii|1||4800|N|8|2|XonXoff|false|";
    // A device path is read whole, however deep.
    const QByteArray dispositivo = "/dev/serial/by-id/usb-" + QByteArray(150, 'F') + "-port0";
    const std::pair<QByteArray, std::string> casos[] = {{"", porDefecto},
        // Present but empty is empty, not the default; speeds need more than 16 bits.
        {"[General]\nIdioma=English\nModo=Iso\nCom=255\nVt=115200\nPar=\nBd=7\nBs=1.5\n"
         "XonXoffEn=puerto\n",
            "English|Iso|255||115200||7|1.5|XonXoff|true|Par"},
        // A value no port may take is refused, the port kept as written: the
        // defaults only fill the record, and no port opens (see frmPrincipal).
        {"[General]\nCom=abc\nVt=96OO\nBd=99999\nBs=x\nXonXoffEn=Chip\n",
            "Español|Ascii|0|abc|4800|N|8|2|XonXoff|false|Com Vt Bd Bs XonXoffEn"},
        {"[General]\nCom=\nVt=-5\nBd=7.5\nBs=0\n",
            "Español|Ascii|0||4800|N|8|2|XonXoff|false|Com Vt Bd Bs"},
        {"[General]\nCom=" + dispositivo,
            "Español|Ascii|0|" + dispositivo.toStdString() + "|4800|N|8|2|XonXoff|false|"}};
    for (const auto &[datos, esperado] : casos)
        EXPECT_EQ(registro(datos), esperado) << datos.toStdString();
    ASSERT_TRUE(GrabaConfig()); // written back and read again whole
    EXPECT_EQ(registro(leeIni()), casos[4].second);
}

TEST_F(Config, TextsOfTheLanguageWithFallbackOnlyForNewKeys)
{
    QByteArray datos = "[General]\nIdioma=Deutsch\n[Deutsch]\n";
    for (const ClaveIdioma &c : CatalogoClaves::todas())
        datos += c.nombre.toLatin1() + "=de-" + c.nombre.toLatin1() + "\n";
    registro(datos);
    for (const ClaveIdioma &c : CatalogoClaves::todas())
        EXPECT_EQ(Texto(c.nombre), "de-" + c.nombre);
    // A missing section: the original texts are empty, newer message keys
    // fall back to their built-in English text; a key present but empty stays empty.
    registro("[General]\nIdioma=Klingon\n[Klingon]\nPrinErrorAbre=\n");
    EXPECT_EQ(
        Texto("PrinmsgLimpia") + "|" + Texto("PrinErrorAbre") + "|" + Texto("PrinErrorGrabaIni"),
        "||" + CatalogoClaves::textoPorDefecto("PrinErrorGrabaIni"));
}

TEST_F(Config, SavingWritesTheSevenKeysAndNothingElse)
{
    registro("[General]\nDirGuarda=/home/cnc/\n[Español]\nPrinName=Programa\n");
    Velocidad = 9600;
    BitsStop = 1;
    ASSERT_TRUE(GrabaConfig());
    EXPECT_EQ(leeIni(),
        "[General]\nDirGuarda=/home/cnc/\nIdioma=Español\nModo=Ascii\nCom=1\n"
        "Vt=9600\nPar=N\nBd=8\nBs=1\n[Español]\nPrinName=Programa\n");
    // Where XON/XOFF is done is written once it differs from what the file means.
    XonXoffEnPuerto = true;
    ASSERT_TRUE(GrabaConfig());
    XonXoffEnPuerto = false;
    ASSERT_TRUE(GrabaConfig());
    EXPECT_TRUE(leeIni().contains("Bs=1\nXonXoffEn=Programa\n[Español]"));
    EstableceDirectorioPrograma("/");
    EXPECT_EQ(RutaIni(), "/KELDAN.INI"); // a root gives one slash
}

// Continuous receive never targets the root of the disk or a folder that
// depends on where the program started.
TEST_F(Config, ReceiveFoldersAreFullPathsWithTheHomeForATilde)
{
    const QString casa = QDir::homePath();
    registro("[General]\nDirGuarda=~/progs/\nDirRecepcion=~\n");
    EXPECT_EQ(CarpetaRecepcionPorDefecto(RutaIni()) + "|" + DirRecepcion, casa + "/progs/|" + casa);
    for (const char *nada : {"[General]\n", "[General]\nDirGuarda=progs\nDirRecepcion=cnc\n"}) {
        registro(nada);
        const QString carpeta = CarpetaRecepcionPorDefecto(RutaIni());
        EXPECT_TRUE(
            DirRecepcion.isEmpty() && carpeta.startsWith(casa) && QFileInfo(carpeta).isDir())
            << carpeta.toStdString();
    }
}

} // namespace
