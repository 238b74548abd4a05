#include "base/perfilini.h"
#include "settings/varsfuncsglobales.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "comun/sinprivilegios.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

class Perfil : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString ruta = dir.filePath(QStringLiteral("KELDAN.INI"));

    void escribeFichero(const QByteArray &datos)
    {
        QFile f(ruta);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(datos) == datos.size());
    }
    QByteArray leeFichero()
    {
        QFile f(ruta);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : "(none)";
    }
};

TEST_F(Perfil, NamesIgnoreCaseAndBlanksAndDefaultsOnlyWhereAbsent)
{
    EXPECT_EQ(PerfilIni::lee(ruta, "General", "Par", "N"), "N"); // no file
    escribeFichero("[general]\r\n  Vt  =  9600  \r\nPar=\r\n[ Español ]\r\nPrinName=Título\r\n"
                   "[B]\r\nj=2\r\n");
    // Present but empty; key, section absent; a key of another section.
    const char *const casos[][4]
        = {{"GENERAL", "VT", "4800", "9600"}, {"español", "prinname", "", "Título"},
            {"General", "Par", "N", ""}, {"General", "Bd", "8", "8"},
            {"Otra", "Modo", "Ascii", "Ascii"}, {"Español", "j", "x", "x"}};
    for (const auto &[seccion, clave, porDefecto, valor] : casos)
        EXPECT_EQ(PerfilIni::lee(ruta, QString::fromUtf8(seccion), clave, porDefecto),
            QString::fromUtf8(valor));
}

TEST_F(Perfil, WritesAndRemovalsChangeOnlyTheirLinesByteForByte)
{
    // Comments, blank lines, mixed ends, a stray CR and a last line without an end stay.
    escribeFichero("; Keldan\r\n[General]\r\n# c\r\nVt = 4800\r\ny=2\r\r\n\r\n[B]\nz=3");
    ASSERT_TRUE(PerfilIni::escribe(ruta, "general", "VT", "9600"));
    ASSERT_TRUE(PerfilIni::escribe(ruta, "General", "Bd", "7"));
    ASSERT_TRUE(PerfilIni::escribe(ruta, "B", "w", "4"));
    ASSERT_TRUE(PerfilIni::escribe(ruta, "C", "k", "v"));
    EXPECT_EQ(leeFichero(),
        "; Keldan\r\n[General]\r\n# c\r\nVt=9600\r\ny=2\r\r\nBd=7\r\n\r\n[B]\nz=3\r\nw=4\r\n"
        "[C]\r\nk=v\r\n");
    QString error;
    EXPECT_FALSE(PerfilIni::escribe(ruta, "B", "z", "a\nb", &error));
    EXPECT_FALSE(error.isEmpty());
    // Every section of the name goes, even one right after another.
    ASSERT_TRUE(PerfilIni::borraSeccion(ruta, "Nunca")); // nothing to remove is no failure
    escribeFichero("[General]\nIdioma=English\n[Deutsch]\n[deutsch]\nk=1\n[Zulu]\nk=v\n"
                   "[DEUTSCH]\nj=2\n");
    ASSERT_TRUE(PerfilIni::borraSeccion(ruta, "Deutsch"));
    EXPECT_EQ(leeFichero(), "[General]\nIdioma=English\n[Zulu]\nk=v\n");
}

TEST_F(Perfil, KeyListsAreWholeAndOnlyLanguageTextsAreCut)
{
    QByteArray datos = "[General]\nDirGuarda=/" + QByteArray(200, 'd') + "/\n[Idioma]\n";
    QString esperadas;
    for (int i = 0; i < 120; ++i) {
        esperadas += QStringLiteral("ClaveMuyLargaDeTraduccion%1").arg(i) + QChar(0);
        datos += "ClaveMuyLargaDeTraduccion" + QByteArray::number(i) + "=" + QByteArray(200, 't')
            + "\n";
    }
    escribeFichero(datos);
    using namespace VarsFuncsGlobales;
    EXPECT_EQ(
        LeeIniLargo("idioma", "", ruta) + "|" + LeeIniLargo("Nada", "", ruta), esperadas + "|");
    EXPECT_EQ(LeeIni("Idioma", "ClaveMuyLargaDeTraduccion7", "", ruta), QString(126, 't'));
    EXPECT_EQ(LeeIni("General", "DirGuarda", "", ruta), "/" + QString(200, 'd') + "/");
}

// Each line keeps its own encoding; a changed line takes the file's: the
// file before, the value written to k of [S], the bytes after and their text.
TEST_F(Perfil, EncodingIsDecidedLineByLine)
{
    const char *const casos[][4] = {
        // Wholly Latin-1, the last Latin-1 letter ÿ among them.
        {"[S]\r\nj=Comunicaci\xF3n\r\n", "Año ÿ", "[S]\r\nj=Comunicaci\xF3n\r\nk=A\xF1o \xFF\r\n",
            "[S]\r\nj=Comunicación\r\nk=Año ÿ\r\n"},
        // UTF-8 with one stray Latin-1 byte: the rest is read right and stays UTF-8.
        {"[S]\nj=Comunicación\ni=N\xBA\n", "Año", "[S]\nj=Comunicación\ni=N\xBA\nk=Año\n",
            "[S]\nj=Comunicación\ni=Nº\nk=Año\n"},
        // A character Latin-1 has not goes in UTF-8 on its own line only.
        {"[S]\nj=\xF3\n", "€", "[S]\nj=\xF3\nk=€\n", "[S]\nj=ó\nk=€\n"},
        // Latin-1 bytes that would spell UTF-8 are written as UTF-8.
        {"[S]\nk=\xF1\n", "Ã±", "[S]\nk=Ã±\n", "[S]\nk=Ã±\n"},
        // A byte-order mark stays, and the file is UTF-8.
        {"\xEF\xBB\xBFx=1\n[S]\nk=\xF1\n", "ñ", "\xEF\xBB\xBFx=1\n[S]\nk=ñ\n", "x=1\n[S]\nk=ñ\n"},
    };
    for (const auto &[antes, valor, despues, texto] : casos) {
        escribeFichero(antes);
        ASSERT_TRUE(PerfilIni::escribe(ruta, "S", "k", QString::fromUtf8(valor)));
        const QByteArray escrito = leeFichero();
        EXPECT_EQ(escrito, despues) << antes;
        EXPECT_EQ(PerfilIni::decodifica(escrito), QString::fromUtf8(texto)) << antes;
    }
}

// Folder and file modes, whether the write succeeds, and what the file holds then.
TEST_F(Perfil, WritesWhereverTheFileIsWritableAndSaysWhenItIsNot)
{
    const QByteArray carpeta = QFile::encodeName(dir.path()), fichero = QFile::encodeName(ruta);
    const std::tuple<mode_t, mode_t, const char *> casos[]
        = {{0777, 0666, "Vt=9600"}, {0555, 0666, "Vt=9600"}, {0777, 0444, "Vt=4800"}};
    for (const auto &[modoCarpeta, modoFichero, vt] : casos) {
        escribeFichero("[General]\nVt=4800\n");
        ASSERT_TRUE(chmod(fichero, modoFichero) == 0 && chmod(carpeta, modoCarpeta) == 0);
        // Run unprivileged: true when the result and the reason agree.
        EXPECT_TRUE(SinPrivilegios([this] {
            QString error;
            return PerfilIni::escribe(ruta, "General", "Vt", "9600", &error) == error.isEmpty();
        }));
        chmod(carpeta, 0700);
        EXPECT_EQ(leeFichero(), "[General]\n" + QByteArray(vt) + "\n") << modoCarpeta;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList {"KELDAN.INI"});
    }
}

} // namespace
