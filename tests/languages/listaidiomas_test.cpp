#include "languages/listaidiomas.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The header rule taken literally: a line that starts with "[" and holds "]"
// anywhere, but exactly "[General]", gives its text without the first and the
// last character.
TEST(ListaIdiomas, SectionsOtherThanGeneralInFileOrder)
{
    const std::pair<QByteArray, QStringList> casos[] = {
        {"[General]\r\nIdioma=English\r\n[Español]\r\nk=v\r\n[English]\r\n",
            {QStringLiteral("Español"), "English"}},
        {"[general]\n[GENERAL]\n[General]\n", {"general", "GENERAL"}},
        {"[Deutsch] ;x\n [Italiano]\n[Fran]cais\nk=[v]\n", {"Deutsch] ;", "Fran]cai"}},
    };
    QTemporaryDir dir;
    const QString ruta = dir.filePath("KELDAN.INI");
    EXPECT_TRUE(ListaIdiomas::lee(ruta).isEmpty()); // no file
    for (const auto &[datos, idiomas] : casos) {
        QFile f(ruta);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(datos);
        f.close();
        EXPECT_EQ(ListaIdiomas::lee(ruta), idiomas) << datos.toStdString();
    }
}

} // namespace
