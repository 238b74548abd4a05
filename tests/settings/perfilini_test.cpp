#include "settings/perfilini.h"
#include "settings/varsfuncsglobales.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "comun/sinprivilegios.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class Perfil : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString ruta = dir.filePath(QStringLiteral("KELDAN.INI"));

    void escribeFichero(const QByteArray &datos)
    {
        QFile f(ruta);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(datos);
    }
    QByteArray leeFichero()
    {
        QFile f(ruta);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }
};

TEST_F(Perfil, NamesMatchWithoutRegardToCaseAndBlanks)
{
    escribeFichero("[general]\r\n  Vt  =  9600  \r\n[ Español ]\r\nPrinName=Título\r\n");
    EXPECT_EQ(PerfilIni::lee(ruta, "General", "vt", "4800"), "9600");
    EXPECT_EQ(PerfilIni::lee(ruta, "GENERAL", "VT", "4800"), "9600");
    EXPECT_EQ(PerfilIni::lee(ruta, "español", "prinname", ""), "Título");
}

TEST_F(Perfil, DefaultOnlyWhenFileSectionOrKeyIsAbsent)
{
    EXPECT_EQ(PerfilIni::lee(ruta, "General", "Par", "N"), "N"); // no file
    escribeFichero("[General]\nPar=\nModo=Iso\n");
    EXPECT_EQ(PerfilIni::lee(ruta, "General", "Par", "N"), ""); // present but empty
    EXPECT_EQ(PerfilIni::lee(ruta, "General", "Bd", "8"), "8"); // key absent
    EXPECT_EQ(PerfilIni::lee(ruta, "Otra", "Modo", "Ascii"), "Ascii"); // section absent
    // A key of another section is not found in this one.
    escribeFichero("[A]\nk=1\n[B]\nj=2\n");
    EXPECT_EQ(PerfilIni::lee(ruta, "B", "k", "x"), "x");
}

TEST_F(Perfil, WritesKeepCommentsBlankLinesAndLineEnds)
{
    const QByteArray antes = "; Keldan\r\n[General]\r\n# comment\r\nVt = 4800\r\n\r\n[Español]\r\n"
                             "PrinName=Programa\r\n";
    escribeFichero(antes);
    ASSERT_TRUE(PerfilIni::escribe(ruta, "general", "VT", "9600"));
    ASSERT_TRUE(PerfilIni::escribe(ruta, "General", "Bd", "7"));
    EXPECT_EQ(leeFichero(),
        "; Keldan\r\n[General]\r\n# comment\r\nVt=9600\r\nBd=7\r\n\r\n"
        "[Español]\r\nPrinName=Programa\r\n");

    escribeFichero("[A]\nx=1\n");
    ASSERT_TRUE(PerfilIni::escribe(ruta, "B", "y", "2"));
    EXPECT_EQ(leeFichero(), "[A]\nx=1\n[B]\ny=2\n");
}

TEST_F(Perfil, CreatesFileAndRemovesWholeSections)
{
    ASSERT_TRUE(PerfilIni::escribe(ruta, "General", "Idioma", "English"));
    ASSERT_TRUE(PerfilIni::escribe(ruta, "Deutsch", "PrinName", "Programm"));
    ASSERT_TRUE(PerfilIni::escribe(ruta, "Deutsch", "PrinTitulo", "Keldan"));
    ASSERT_TRUE(PerfilIni::escribe(ruta, "Zulu", "k", "v"));
    ASSERT_TRUE(PerfilIni::borraSeccion(ruta, "DEUTSCH"));
    EXPECT_EQ(leeFichero(), "[General]\nIdioma=English\n[Zulu]\nk=v\n");
    EXPECT_TRUE(PerfilIni::claves(ruta, "Deutsch").isEmpty());
    EXPECT_TRUE(PerfilIni::borraSeccion(ruta, "Nunca")); // nothing to remove is no failure
}

TEST_F(Perfil, KeyListInFileOrderAndLongListsWhole)
{
    QByteArray datos = "[Idioma]\n";
    QStringList esperadas;
    for (int i = 0; i < 120; ++i) {
        const QString clave = QStringLiteral("ClaveMuyLargaDeTraduccion%1").arg(i);
        esperadas << clave;
        datos += clave.toLatin1() + "=texto\n";
    }
    escribeFichero(datos);
    EXPECT_EQ(PerfilIni::claves(ruta, "idioma"), esperadas);

    const QString lista = VarsFuncsGlobales::LeeIniLargo("Idioma", "", ruta);
    EXPECT_GT(lista.size(), 1047);
    EXPECT_EQ(lista, esperadas.join(QChar(0)) + QChar(0));
    EXPECT_EQ(VarsFuncsGlobales::LeeIniLargo("Nada", "", ruta), "");
}

TEST_F(Perfil, ReadsAreCutAt126Characters)
{
    const QString largo(200, QLatin1Char('x'));
    ASSERT_TRUE(PerfilIni::escribe(ruta, "S", "k", largo));
    EXPECT_EQ(PerfilIni::lee(ruta, "S", "k", ""), largo); // the file holds it whole
    EXPECT_EQ(VarsFuncsGlobales::LeeIni("S", "k", "", ruta), largo.left(126));
}

TEST_F(Perfil, Latin1FilesStayLatin1AndUtf8StaysUtf8)
{
    escribeFichero("[Espa\xF1ol]\r\nPrinName=Comunicaci\xF3n\r\n");
    EXPECT_EQ(PerfilIni::lee(ruta, QStringLiteral("Español"), "PrinName", ""),
        QStringLiteral("Comunicación"));
    ASSERT_TRUE(PerfilIni::escribe(ruta, QStringLiteral("Español"), "PrinTitulo", "Año"));
    EXPECT_EQ(leeFichero(), "[Espa\xF1ol]\r\nPrinName=Comunicaci\xF3n\r\nPrinTitulo=A\xF1o\r\n");

    // A character Latin-1 cannot hold turns the file into UTF-8, losing nothing.
    ASSERT_TRUE(PerfilIni::escribe(ruta, QStringLiteral("Español"), "PrinCom", "€"));
    EXPECT_EQ(PerfilIni::lee(ruta, QStringLiteral("Español"), "PrinName", ""),
        QStringLiteral("Comunicación"));
    EXPECT_EQ(PerfilIni::lee(ruta, QStringLiteral("Español"), "PrinCom", ""), QStringLiteral("€"));

    escribeFichero("[Español]\nPrinName=Comunicación\n");
    ASSERT_TRUE(PerfilIni::escribe(ruta, QStringLiteral("Español"), "PrinTitulo", "Año"));
    EXPECT_EQ(leeFichero(), "[Español]\nPrinName=Comunicación\nPrinTitulo=Año\n");
}

TEST_F(Perfil, ValuesKeepTheirCharactersWhenAWriteChangesWhatTheFileLooksLike)
{
    // Latin-1 bytes that happen to spell UTF-8 once the only other accented
    // byte is overwritten must still read as the same characters.
    escribeFichero("[General]\nIdioma=Espa\xF1ol\nPrinName=\xC3\xB1\n");
    ASSERT_EQ(PerfilIni::lee(ruta, "General", "PrinName", ""), QStringLiteral("Ã±"));
    ASSERT_TRUE(PerfilIni::escribe(ruta, "General", "Idioma", "English"));
    EXPECT_EQ(PerfilIni::lee(ruta, "General", "PrinName", ""), QStringLiteral("Ã±"));

    // A Latin-1 file that begins with the bytes of a UTF-8 mark keeps them.
    escribeFichero("\xEF\xBB\xBFx=1\n[S]\nk=\xF1\n");
    ASSERT_TRUE(PerfilIni::escribe(ruta, "S", "k", "2"));
    EXPECT_TRUE(QString::fromUtf8(leeFichero()).startsWith(QStringLiteral("ï»¿x=1\n")));
    EXPECT_EQ(PerfilIni::lee(ruta, "S", "k", ""), "2");
}

TEST_F(Perfil, UntouchedLinesKeepTheirOwnLineEnds)
{
    // Mixed ends, a stray CR and a last line without an end: only the
    // written entry changes, every other byte stays.
    escribeFichero("[A]\r\nx=1\ny=2\r\r\n[B]\nz=3");
    ASSERT_TRUE(PerfilIni::escribe(ruta, "A", "x", "9"));
    EXPECT_EQ(leeFichero(), "[A]\r\nx=9\ny=2\r\r\n[B]\nz=3");
    ASSERT_TRUE(PerfilIni::escribe(ruta, "B", "w", "4"));
    EXPECT_EQ(leeFichero(), "[A]\r\nx=9\ny=2\r\r\n[B]\nz=3\r\nw=4\r\n");
}

TEST_F(Perfil, LineBreaksInValuesAreRefused)
{
    escribeFichero("[S]\nk=1\n");
    QString error;
    EXPECT_FALSE(PerfilIni::escribe(ruta, "S", "k", "a\nb", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(leeFichero(), "[S]\nk=1\n");
}

TEST_F(Perfil, FailedWriteLeavesOldFileWholeAndSaysSo)
{
    escribeFichero("[General]\nVt=4800\n");
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0555), 0);
    ASSERT_EQ(chmod(QFile::encodeName(ruta).constData(), 0666), 0);
    const bool fallo = SinPrivilegios([this] {
        QString error;
        return !PerfilIni::escribe(ruta, "General", "Vt", "9600", &error) && !error.isEmpty();
    });
    chmod(QFile::encodeName(dir.path()).constData(), 0755);
    EXPECT_TRUE(fallo);
    EXPECT_EQ(leeFichero(), "[General]\nVt=4800\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList {"KELDAN.INI"});
}

TEST_F(Perfil, ReadOnlyFileIsNotReplaced)
{
    escribeFichero("[General]\nVt=4800\n");
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
    ASSERT_EQ(chmod(QFile::encodeName(ruta).constData(), 0444), 0);
    EXPECT_TRUE(
        SinPrivilegios([this] { return !PerfilIni::escribe(ruta, "General", "Vt", "9600"); }));
    chmod(QFile::encodeName(dir.path()).constData(), 0700);
    EXPECT_EQ(leeFichero(), "[General]\nVt=4800\n");
}

} // namespace
