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

TEST(UbicacionUsuario, FollowsXdgConfigHomeWhenItIsAnAbsolutePath)
{
    qputenv("XDG_CONFIG_HOME", "/srv/conf");
    EXPECT_EQ(UbicacionAjustes::directorioUsuario(), "/srv/conf/keldan");
    qputenv("XDG_CONFIG_HOME", "relativo");
    EXPECT_EQ(UbicacionAjustes::directorioUsuario(), QDir::homePath() + "/.config/keldan");
    qunsetenv("XDG_CONFIG_HOME");
}

} // namespace
