#include "settings/perfilini.h"
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

TEST_F(Perfil, NamesIgnoreCaseAndBlanksAndDefaultsOnlyWhereAbsent)
{
    EXPECT_EQ(PerfilIni::lee(ruta, "General", "Par", "N"), "N"); // no file
    escribeFichero("[general]\r\n  Vt  =  9600  \r\nPar=\r\n[ Español ]\r\nPrinName=Título\r\n"
                   "[B]\r\nj=2\r\n");
    const char *const casos[][4] = {
        {"GENERAL", "VT", "4800", "9600"}, {"español", "prinname", "", "Título"},
        {"General", "Par", "N", ""}, // present but empty
        {"General", "Bd", "8", "8"}, // key absent
        {"Otra", "Modo", "Ascii", "Ascii"}, // section absent
        {"Español", "j", "x", "x"}, // a key of another section
    };
    for (const auto &c : casos) {
        EXPECT_EQ(
            PerfilIni::lee(ruta, QString::fromUtf8(c[0]), c[1], c[2]), QString::fromUtf8(c[3]))
            << c[0] << "/" << c[1];
    }
}

TEST_F(Perfil, WritesChangeOnlyTheirEntryByteForByte)
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
}

TEST_F(Perfil, RemovesEverySectionOfTheNameEvenRightAfterEachOther)
{
    ASSERT_TRUE(PerfilIni::borraSeccion(ruta, "Nunca")); // nothing to remove is no failure
    escribeFichero("[General]\nIdioma=English\n[Deutsch]\n[deutsch]\nk=1\n[Zulu]\nk=v\n"
                   "[DEUTSCH]\nj=2\n");
    ASSERT_TRUE(PerfilIni::borraSeccion(ruta, "Deutsch"));
    EXPECT_EQ(leeFichero(), "[General]\nIdioma=English\n[Zulu]\nk=v\n");
}

TEST_F(Perfil, KeyListsAreWholeAndOnlyLanguageTextsAreCut)
{
    QByteArray datos = "[General]\nDirGuarda=/" + QByteArray(200, 'd') + "/\n[Idioma]\n";
    QStringList esperadas;
    for (int i = 0; i < 120; ++i) {
        esperadas << QStringLiteral("ClaveMuyLargaDeTraduccion%1").arg(i);
        datos += esperadas.last().toLatin1() + "=" + QByteArray(200, 't') + "\n";
    }
    escribeFichero(datos);
    EXPECT_EQ(
        VarsFuncsGlobales::LeeIniLargo("idioma", "", ruta), esperadas.join(QChar(0)) + QChar(0));
    EXPECT_EQ(VarsFuncsGlobales::LeeIniLargo("Nada", "", ruta), "");
    EXPECT_EQ(VarsFuncsGlobales::LeeIni("Idioma", "ClaveMuyLargaDeTraduccion7", "", ruta),
        QString(126, 't'));
    EXPECT_EQ(
        VarsFuncsGlobales::LeeIni("General", "DirGuarda", "", ruta), "/" + QString(200, 'd') + "/");
}

// Each line keeps its own encoding; a changed line takes the file's.
TEST_F(Perfil, EncodingIsDecidedLineByLine)
{
    struct Caso
    {
        QByteArray antes;
        QString seccion, clave, valor;
        QByteArray despues;
        QString otra = {}, suValor = {}; // another entry, read after the write
    };
    const Caso casos[] = {
        // Wholly Latin-1, the last Latin-1 letter ÿ among them.
        {"[Espa\xF1ol]\r\nPrinName=Comunicaci\xF3n\r\n", "Español", "PrinTitulo", "Año ÿ",
            "[Espa\xF1ol]\r\nPrinName=Comunicaci\xF3n\r\nPrinTitulo=A\xF1o \xFF\r\n", "PrinName",
            "Comunicación"},
        {"[S]\nk=\xFF\n", "S", "k", "ÿy", "[S]\nk=\xFFy\n"},
        // UTF-8 with one stray Latin-1 byte: the rest is read right and stays UTF-8.
        {"[Español]\nPrinName=Comunicación\nPrinCom=N\xBA\n", "Español", "PrinTitulo", "Año",
            "[Español]\nPrinName=Comunicación\nPrinCom=N\xBA\nPrinTitulo=Año\n", "PrinCom", "Nº"},
        // A character Latin-1 has not goes in UTF-8 on its own line only.
        {"[Espa\xF1ol]\nk=Comunicaci\xF3n\n", "Español", "j", "€",
            "[Espa\xF1ol]\nk=Comunicaci\xF3n\nj=€\n", "k", "Comunicación"},
        // Latin-1 bytes that would spell UTF-8 are written as UTF-8.
        {"[Espa\xF1ol]\nk=\xF1\n", "Español", "k", "Ã±", "[Espa\xF1ol]\nk=Ã±\n"},
        // A byte-order mark stays, and the file is UTF-8.
        {"\xEF\xBB\xBFx=1\n[S]\nk=\xF1\n", "S", "k", "ñ", "\xEF\xBB\xBFx=1\n[S]\nk=ñ\n"},
    };
    for (const Caso &c : casos) {
        escribeFichero(c.antes);
        ASSERT_TRUE(PerfilIni::escribe(ruta, c.seccion, c.clave, c.valor));
        EXPECT_EQ(leeFichero(), c.despues) << c.antes.toStdString();
        EXPECT_EQ(PerfilIni::lee(ruta, c.seccion, c.clave, ""), c.valor);
        if (!c.otra.isEmpty()) {
            EXPECT_EQ(PerfilIni::lee(ruta, c.seccion, c.otra, ""), c.suValor);
        }
    }
}

// Folder and file modes, whether the write succeeds, and what the file holds then.
TEST_F(Perfil, WritesWhereverTheFileIsWritableAndSaysWhenItIsNot)
{
    const auto nativo = [](const QString &r) { return QFile::encodeName(r); };
    const struct
    {
        mode_t carpeta, fichero;
        bool escrito;
    } casos[] = {{0777, 0666, true}, {0555, 0666, true}, {0777, 0444, false}};
    for (const auto &c : casos) {
        escribeFichero("[General]\nVt=4800\n");
        ASSERT_EQ(chmod(nativo(ruta).constData(), c.fichero), 0);
        ASSERT_EQ(chmod(nativo(dir.path()).constData(), c.carpeta), 0);
        const bool escrito = SinPrivilegios([this] {
            QString error;
            return PerfilIni::escribe(ruta, "General", "Vt", "9600", &error) == error.isEmpty();
        });
        chmod(nativo(dir.path()).constData(), 0700);
        chmod(nativo(ruta).constData(), 0600);
        EXPECT_TRUE(escrito) << c.carpeta << " " << c.fichero;
        EXPECT_EQ(leeFichero(), c.escrito ? "[General]\nVt=9600\n" : "[General]\nVt=4800\n");
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList {"KELDAN.INI"});
    }
}

} // namespace
