#include "shell/argumentos.h"

#include <gtest/gtest.h>

namespace {

using Orden = ArgumentosKeldan::Orden;

struct Caso
{
    QStringList argumentos;
    Orden orden;
    bool sinSplash;
    QString fichero;
};

} // namespace

TEST(ArgumentosKeldanTest, FileNoSplashHelpAndVersionAndWhatIsWrong)
{
    const Caso casos[] = {
        {{}, Orden::Arranca, false, ""},
        {{"O1234.NC"}, Orden::Arranca, false, "O1234.NC"},
        {{"--no-splash", "/p/a b.nc"}, Orden::Arranca, true, "/p/a b.nc"},
        {{"/p/a.nc", "--no-splash"}, Orden::Arranca, true, "/p/a.nc"},
        // After "--" a name that looks like an option is a file.
        {{"--", "--help"}, Orden::Arranca, false, "--help"},
        {{"-"}, Orden::Arranca, false, "-"},
        {{"--help"}, Orden::Ayuda, false, ""},
        {{"-h", "--version"}, Orden::Ayuda, false, ""},
        {{"--version"}, Orden::Version, false, ""},
        // Help is given however wrong the rest of the line.
        {{"--bad", "a", "b", "--help"}, Orden::Ayuda, false, "a"},
        {{"--bad"}, Orden::Error, false, ""},
        {{"-x", "a.nc"}, Orden::Error, false, "a.nc"},
        {{"a.nc", "b.nc"}, Orden::Error, false, "a.nc"},
    };
    for (const Caso &c : casos) {
        const ArgumentosKeldan a = ArgumentosKeldan::lee(c.argumentos);
        const std::string linea = c.argumentos.join(' ').toStdString();
        EXPECT_EQ(a.orden, c.orden) << linea;
        EXPECT_EQ(a.sinSplash, c.sinSplash) << linea;
        EXPECT_EQ(a.fichero, c.fichero) << linea;
        EXPECT_EQ(a.error.isEmpty(), c.orden != Orden::Error && !linea.starts_with("--bad"))
            << linea;
    }
}
