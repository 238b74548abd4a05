#include "base/perfilini.h"
#include "settings/ubicacionajustes.h"
#include "settings/varsfuncsglobales.h"

#include "comun/sinprivilegios.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray contenido(const QString &ruta)
{
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
}

bool pon(const QString &ruta, const QByteArray &datos)
{
    QFile f(ruta);
    return f.open(QIODevice::WriteOnly) && f.write(datos) == datos.size();
}

// A program directory as an installation leaves it, owned by root, and a home
// the unprivileged user can write.
class Ubicacion : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        QFile::setPermissions(tmp.path(), QFile::Permissions(0x7777));
        ASSERT_TRUE(QDir().mkpath(programa) && QDir().mkpath(casa));
        ASSERT_TRUE(pon(programa + "/KELDAN.INI", "[General]\nVt=4800\n"));
        QFile::setPermissions(casa, QFile::Permissions(0x7777));
    }
    void soloLectura(QFile::Permissions ini)
    {
        QFile::setPermissions(programa + "/KELDAN.INI", ini);
        QFile::setPermissions(programa, QFile::Permissions(0x5555));
    }

    QTemporaryDir tmp;
    QString programa = tmp.path() + "/programa";
    QString casa = tmp.path() + "/casa";
    QString usuario = casa + "/.config/keldan";
};

TEST_F(Ubicacion, AWritableProgramDirectoryKeepsTheSettingsBesideTheProgram)
{
    QFile::setPermissions(programa, QFile::Permissions(0x7777));
    EXPECT_TRUE(
        SinPrivilegios([this] { return UbicacionAjustes::elige(programa, usuario) == programa; }));
    // A read-only folder whose KELDAN.INI the user may write is still used in place.
    soloLectura(QFile::Permissions(0x6666));
    EXPECT_TRUE(
        SinPrivilegios([this] { return UbicacionAjustes::elige(programa, usuario) == programa; }));
    EXPECT_FALSE(QFileInfo::exists(usuario));
}

TEST_F(Ubicacion, AReadOnlyInstallationFillsTheUsersDirectoryOnceAndNeverOverwritesIt)
{
    soloLectura(QFile::Permissions(0x4444));
    EXPECT_TRUE(SinPrivilegios([this] {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(casa + "/.config"));
        VarsFuncsGlobales::EstableceDirectorioPrograma(programa);
        return VarsFuncsGlobales::RutaIni() == usuario + "/KELDAN.INI"
            && VarsFuncsGlobales::ErrorDirectorioAjustes().isEmpty()
            && contenido(usuario + "/KELDAN.INI") == "[General]\nVt=4800\n"
            && pon(usuario + "/KELDAN.INI", "[General]\nVt=9600\n")
            && UbicacionAjustes::elige(programa, usuario) == usuario;
    }));
    EXPECT_EQ(contenido(usuario + "/KELDAN.INI"), "[General]\nVt=9600\n");
    EXPECT_EQ(contenido(programa + "/KELDAN.INI"), "[General]\nVt=4800\n");
    EXPECT_FALSE(QFileInfo::exists(usuario + "/MAQUINAS.INI"));
}

TEST_F(Ubicacion, AnInstalledProgramDirectoryIsNeverWrittenRootIncluded)
{
    // Writable for everyone, as every folder is for root: the marker decides.
    QFile::setPermissions(programa, QFile::Permissions(0x7777));
    ASSERT_TRUE(pon(programa + "/INSTALADO", ""));
    ASSERT_TRUE(pon(programa + "/MAQUINAS.INI", "[Torno]\nVt=9600\n"));
    const QString deRoot = tmp.path() + "/root/.config/keldan";
    auto usaSuCopia = [this](const QString &dir) {
        return UbicacionAjustes::elige(programa, dir) == dir
            && contenido(dir + "/KELDAN.INI") == "[General]\nVt=4800\n"
            && contenido(dir + "/MAQUINAS.INI") == "[Torno]\nVt=9600\n";
    };
    EXPECT_TRUE(usaSuCopia(deRoot)); // this process: root, as CI runs
    EXPECT_TRUE(SinPrivilegios([&] { return usaSuCopia(usuario); }));
    EXPECT_EQ(QDir(programa).entryList(QDir::Files),
        QStringList({"INSTALADO", "KELDAN.INI", "MAQUINAS.INI"}));
    // Whatever Keldan made for the user is the user's alone, ~/.config too.
    const auto grupoYOtros = QFileDevice::Permissions(0x0077);
    for (const QString &hecho : {deRoot, tmp.path() + "/root/.config", usuario, casa + "/.config",
             usuario + "/KELDAN.INI", usuario + "/MAQUINAS.INI"})
        EXPECT_FALSE(QFile::permissions(hecho) & grupoYOtros) << hecho.toStdString();
}

TEST_F(Ubicacion, TheFirstStartSpeaksTheUsersLanguageAndAnExistingFileIsNeverChanged)
{
    ASSERT_TRUE(pon(programa + "/KELDAN.INI",
        "[General]\nIdioma=Espa\xC3\xB1ol\n[Espa\xC3\xB1ol]\nPrinName=P\n[English]\nPrinName=P\n"));
    ASSERT_TRUE(pon(programa + "/INSTALADO", ""));
    qputenv("LC_ALL", "");
    qputenv("LANG", "de_DE.UTF-8");
    qputenv("LC_MESSAGES", "en_GB.UTF-8"); // messages follow LC_MESSAGES over LANG
    auto idioma = [this](const QString &dir) {
        UbicacionAjustes::elige(programa, dir);
        return PerfilIni::lee(dir + "/KELDAN.INI", "General", "Idioma", "(none)");
    };
    EXPECT_EQ(idioma(usuario), "English");
    qputenv("LC_MESSAGES", "es_ES.UTF-8");
    EXPECT_EQ(idioma(usuario), "English");
    // A language the file has no section for keeps the template's.
    qunsetenv("LC_MESSAGES");
    EXPECT_EQ(idioma(casa + "/otro"), QString::fromUtf8("Espa\xC3\xB1ol"));
    qunsetenv("LC_ALL");
    qunsetenv("LANG");
}

TEST(IdiomaDeLocale, TheSectionNamedForTheLocalesLanguageInAnyLetterCase)
{
    QTemporaryDir tmp;
    const QString ini = tmp.filePath("KELDAN.INI");
    ASSERT_TRUE(pon(ini, "[General]\n[Espa\xC3\xB1ol]\n[english]\n[Deutsch]\n"));
    const std::pair<const char *, const char *> casos[] = {
        {"es_ES.UTF-8", "Espa\xC3\xB1ol"},
        {"es_MX", "Espa\xC3\xB1ol"},
        {"en_US.UTF-8", "english"},
        {"en_GB.ISO-8859-1@euro", "english"},
        {"de_AT", "Deutsch"},
        {"fr_FR.UTF-8", ""},
        {"C.UTF-8", ""},
        {"POSIX", ""},
        {"", ""},
    };
    for (const auto &[locale, seccion] : casos)
        EXPECT_EQ(UbicacionAjustes::idiomaDeLocale(locale, ini), QString::fromUtf8(seccion))
            << locale;
}

TEST(UbicacionUsuario, FollowsXdgConfigHomeWhenItIsAnAbsolutePath)
{
    qputenv("XDG_CONFIG_HOME", "/srv/conf");
    EXPECT_EQ(UbicacionAjustes::directorioUsuario(), "/srv/conf/keldan");
    qputenv("XDG_CONFIG_HOME", "relativo");
    EXPECT_EQ(UbicacionAjustes::directorioUsuario(), QDir::homePath() + "/.config/keldan");
    qunsetenv("XDG_CONFIG_HOME");
}

} // namespace
