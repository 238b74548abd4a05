#include "languages/catalogoclaves.h"
#include "settings/varsfuncsglobales.h"

#include <QFile>
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

    void ini(const QByteArray &datos)
    {
        QFile f(RutaIni());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(datos);
    }
    QByteArray leeIni()
    {
        QFile f(RutaIni());
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }
};

TEST_F(Config, PathIsProgramDirectoryWithOneSlash)
{
    EstableceDirectorioPrograma("/");
    EXPECT_EQ(RutaIni(), "/KELDAN.INI");
    EstableceDirectorioPrograma("/opt/cnc");
    EXPECT_EQ(RutaIni(), "/opt/cnc/KELDAN.INI");
}

TEST_F(Config, NoFileGivesDefaultsAndEmptyTexts)
{
    CargaConfig();
    EXPECT_EQ(IdiomaActual, QStringLiteral("Español"));
    EXPECT_EQ(ModoTransmision, "Ascii");
    EXPECT_EQ(PuertoCom, 1);
    EXPECT_TRUE(PuertoDispositivo.isEmpty());
    EXPECT_EQ(Velocidad, 4800);
    EXPECT_EQ(Paridad, "N");
    EXPECT_EQ(BitsDatos, 8);
    EXPECT_EQ(BitsStop, 2.0);
    EXPECT_EQ(Nego, "XonXoff");
    EXPECT_EQ(Texto("PrinmsgLimpia"), "");
    EXPECT_EQ(Texto("PrinName"), "");
    // Newer message keys fall back to their built-in English text.
    EXPECT_FALSE(Texto("PrinErrorGrabaIni").isEmpty());
}

TEST_F(Config, ValuesAsStoredEmptyValuesStayEmpty)
{
    ini("[General]\nIdioma=English\nModo=Iso\nCom=3\nVt=115200\nPar=\nBd=7\nBs=1.5\n"
        "[English]\nPrinmsgLimpia=Empty\nPrinErrorGrabaIni=\n");
    CargaConfig();
    EXPECT_EQ(IdiomaActual, "English");
    EXPECT_EQ(ModoTransmision, "Iso");
    EXPECT_EQ(PuertoCom, 3);
    EXPECT_EQ(Velocidad, 115200); // needs more than 16 bits
    EXPECT_EQ(Paridad, "");
    EXPECT_EQ(BitsDatos, 7);
    EXPECT_EQ(BitsStop, 1.5);
    EXPECT_EQ(Texto("PrinmsgLimpia"), "Empty");
    EXPECT_EQ(Texto("PrinErrorGrabaIni"), ""); // present, so not the fallback
}

TEST_F(Config, InvalidNumbersLoadTheDefaults)
{
    ini("[General]\nCom=abc\nVt=96OO\nBd=99999\nBs=x\n");
    CargaConfig();
    EXPECT_EQ(PuertoCom, 1);
    EXPECT_EQ(Velocidad, 4800);
    EXPECT_EQ(BitsDatos, 8);
    EXPECT_EQ(BitsStop, 2.0);

    ini("[General]\nCom=\nVt=-5\nBd=7.5\nBs=0\n");
    CargaConfig();
    EXPECT_EQ(PuertoCom, 1);
    EXPECT_EQ(Velocidad, 4800);
    EXPECT_EQ(BitsDatos, 8); // 7.5 rounds half to even
    EXPECT_EQ(BitsStop, 2.0);
}

TEST_F(Config, ComMayHoldADevicePath)
{
    ini("[General]\nCom=/dev/ttyUSB0\n");
    CargaConfig();
    EXPECT_EQ(PuertoDispositivo, "/dev/ttyUSB0");
    ASSERT_TRUE(GrabaConfig());
    CargaConfig();
    EXPECT_EQ(PuertoDispositivo, "/dev/ttyUSB0");
}

TEST_F(Config, SavingWritesTheSevenKeysAndNothingElse)
{
    ini("[General]\nDirGuarda=/home/cnc/\n[Español]\nPrinName=Programa\n");
    CargaConfig();
    Velocidad = 9600;
    BitsStop = 1;
    ASSERT_TRUE(GrabaConfig());
    EXPECT_EQ(leeIni(),
        "[General]\nDirGuarda=/home/cnc/\nIdioma=Español\nModo=Ascii\nCom=1\n"
        "Vt=9600\nPar=N\nBd=8\nBs=1\n[Español]\nPrinName=Programa\n");
}

TEST_F(Config, LoadsEveryCatalogueKeyOfTheLanguage)
{
    QByteArray datos = "[General]\nIdioma=Deutsch\n[Deutsch]\n";
    for (const ClaveIdioma &c : CatalogoClaves::todas())
        datos += c.nombre.toLatin1() + "=de-" + c.nombre.toLatin1() + "\n";
    ini(datos);
    CargaConfig();
    for (const ClaveIdioma &c : CatalogoClaves::todas())
        EXPECT_EQ(Texto(c.nombre), "de-" + c.nombre) << c.nombre.toStdString();
    EXPECT_EQ(CatalogoClaves::originales().size(), 67);
}

} // namespace
