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
    std::string registro(const QByteArray &datos)
    {
        ini(datos);
        CargaConfig();
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
    const std::string porDefecto = "Español|Ascii|1||4800|N|8|2|XonXoff";
    const char *const casos[][2] = {
        {"", porDefecto.c_str()},
        // Present but empty is empty, not the default; speeds need more than 16 bits.
        {"[General]\nIdioma=English\nModo=Iso\nCom=3\nVt=115200\nPar=\nBd=7\nBs=1.5\n",
            "English|Iso|3||115200||7|1.5|XonXoff"},
        // Text that is no valid number loads the key's default; 7.5 rounds half to even.
        {"[General]\nCom=abc\nVt=96OO\nBd=99999\nBs=x\n", porDefecto.c_str()},
        {"[General]\nCom=\nVt=-5\nBd=7.5\nBs=0\n", porDefecto.c_str()},
        {"[General]\nCom=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3D4E5F6G7H8I9J0K1L2M3"
         "N4O5P6Q7R8S9T0U1V2W3X4Y5Z6A7B8C9D0E1F2G3H4I5J6K7L8M9N0-if00-port0\n",
            "Español|Ascii|0|/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3D4E5F6G7H8I9J0K1L2M3"
            "N4O5P6Q7R8S9T0U1V2W3X4Y5Z6A7B8C9D0E1F2G3H4I5J6K7L8M9N0-if00-port0|4800|N|8|2|XonXoff"},
    };
    for (const auto &[datos, esperado] : casos)
        EXPECT_EQ(registro(datos), esperado) << datos;
    // A device path of any length is written back and read again whole.
    const std::string antes = registro(casos[4][0]);
    ASSERT_TRUE(GrabaConfig());
    EXPECT_EQ(registro(leeIni()), antes);
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

    // A missing section: the original texts are empty, newer message keys
    // fall back to their built-in English text; a key present but empty stays empty.
    ini("[General]\nIdioma=Klingon\n[Klingon]\nPrinErrorAbre=\n");
    CargaConfig();
    EXPECT_EQ(Texto("PrinmsgLimpia") + "|" + Texto("PrinErrorAbre"), "|");
    EXPECT_FALSE(Texto("PrinErrorGrabaIni").isEmpty());
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
