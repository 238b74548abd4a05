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
    // The settings record loaded from the file, as one text.
    static std::string registro(const QByteArray &datos, Config *t)
    {
        t->ini(datos);
        CargaConfig();
        return registroActual();
    }
    static std::string registroActual()
    {
        return QStringList {IdiomaActual, ModoTransmision, QString::number(PuertoCom),
            PuertoDispositivo, QString::number(Velocidad), Paridad, QString::number(BitsDatos),
            QString::number(BitsStop), Nego}
            .join(QLatin1Char('|'))
            .toStdString();
    }
};

TEST_F(Config, PathIsProgramDirectoryWithOneSlash)
{
    EstableceDirectorioPrograma("/");
    EXPECT_EQ(RutaIni(), "/KELDAN.INI");
    EstableceDirectorioPrograma("/opt/cnc");
    EXPECT_EQ(RutaIni(), "/opt/cnc/KELDAN.INI");
}

TEST_F(Config, RecordAsStoredDefaultsWhereAbsentOrInvalid)
{
    CargaConfig(); // no file at all
    EXPECT_EQ(registroActual(), "Español|Ascii|1||4800|N|8|2|XonXoff");
    // Present but empty is empty, not the default; speeds need more than 16 bits.
    EXPECT_EQ(
        registro(
            "[General]\nIdioma=English\nModo=Iso\nCom=3\nVt=115200\nPar=\nBd=7\nBs=1.5\n", this),
        "English|Iso|3||115200||7|1.5|XonXoff");
    // Text that is no valid number loads the key's default; 7.5 rounds half to even.
    EXPECT_EQ(registro("[General]\nCom=abc\nVt=96OO\nBd=99999\nBs=x\n", this),
        "Español|Ascii|1||4800|N|8|2|XonXoff");
    EXPECT_EQ(registro("[General]\nCom=\nVt=-5\nBd=7.5\nBs=0\n", this),
        "Español|Ascii|1||4800|N|8|2|XonXoff");
    EXPECT_EQ(registro("[General]\nCom=/dev/ttyUSB0\n", this),
        "Español|Ascii|0|/dev/ttyUSB0|4800|N|8|2|XonXoff");
    ASSERT_TRUE(GrabaConfig());
    EXPECT_EQ(registro(leeIni(), this), "Español|Ascii|0|/dev/ttyUSB0|4800|N|8|2|XonXoff");
}

TEST_F(Config, TextsOfTheLanguageWithFallbackOnlyForNewKeys)
{
    QByteArray datos = "[General]\nIdioma=Deutsch\n[Deutsch]\n";
    for (const ClaveIdioma &c : CatalogoClaves::todas())
        datos += c.nombre.toLatin1() + "=de-" + c.nombre.toLatin1() + "\n";
    ini(datos);
    CargaConfig();
    for (const ClaveIdioma &c : CatalogoClaves::todas())
        EXPECT_EQ(Texto(c.nombre), "de-" + c.nombre) << c.nombre.toStdString();
    EXPECT_EQ(CatalogoClaves::originales().size(), 67);

    // A missing section: the original texts are empty, newer message keys
    // fall back to their built-in English text; a key present but empty stays empty.
    ini("[General]\nIdioma=Klingon\n[Klingon]\nPrinErrorAbre=\n");
    CargaConfig();
    EXPECT_EQ(Texto("PrinmsgLimpia"), "");
    EXPECT_FALSE(Texto("PrinErrorGrabaIni").isEmpty());
    EXPECT_EQ(Texto("PrinErrorAbre"), "");
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

} // namespace
