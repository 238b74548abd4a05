#include "languages/listaidiomas.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QStringList idiomas(const QByteArray &datos)
{
    QTemporaryDir dir;
    const QString ruta = dir.filePath("KELDAN.INI");
    QFile f(ruta);
    f.open(QIODevice::WriteOnly);
    f.write(datos);
    f.close();
    return ListaIdiomas::lee(ruta);
}

TEST(ListaIdiomas, SectionsOtherThanGeneralInFileOrder)
{
    EXPECT_EQ(idiomas("[General]\r\nIdioma=English\r\n[Español]\r\nk=v\r\n[English]\r\nk=v\r\n"),
        (QStringList {QStringLiteral("Español"), "English"}));
    // Only exactly "[General]" is left out.
    EXPECT_EQ(idiomas("[general]\n[GENERAL]\n[General]\n"), (QStringList {"general", "GENERAL"}));
}

TEST(ListaIdiomas, HeaderRuleIsTakenLiterally)
{
    // Trailing text after "]" keeps the bracket and loses the last character.
    EXPECT_EQ(idiomas("[Deutsch] ;x\n"), QStringList {"Deutsch] ;"});
    // A "]" anywhere makes a header; a leading blank does not.
    EXPECT_EQ(idiomas(" [Italiano]\n[Fran]cais\nk=[v]\n"), QStringList {"Fran]cai"});
}

TEST(ListaIdiomas, NoFileGivesNoLanguage)
{
    EXPECT_TRUE(ListaIdiomas::lee("/nonexistent/KELDAN.INI").isEmpty());
}

} // namespace
