#include "base/perfilini.h"
#include "languages/catalogoclaves.h"
#include "languages/listaidiomas.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kIni = QStringLiteral(KELDAN_INI_SUMINISTRADO);

// Every language of the shipped file has every key of the catalogue, in its
// order, with a text that is read back whole; the status texts, which double
// as state, differ; the manual is there.
TEST(FicheroSuministrado, EveryLanguageIsComplete)
{
    QStringList catalogo;
    for (const ClaveIdioma &c : CatalogoClaves::todas())
        catalogo << c.nombre;
    const QStringList idiomas = ListaIdiomas::lee(kIni);
    ASSERT_EQ(idiomas, (QStringList {QStringLiteral("Español"), "English"}));
    for (const QString &idioma : idiomas) {
        EXPECT_EQ(PerfilIni::claves(kIni, idioma), catalogo) << idioma.toStdString();
        QSet<QString> estados;
        for (const QString &clave : catalogo) {
            const QString texto = PerfilIni::lee(kIni, idioma, clave, QString());
            EXPECT_TRUE(!texto.isEmpty() && texto.size() <= 126) << clave.toStdString();
            if (clave.startsWith("Prinmsg") && clave != "PrinmsgGrabaFinal"
                && clave != "PrinmsgRetenido")
                estados.insert(texto);
        }
        EXPECT_EQ(estados.size(), 7) << idioma.toStdString();
        const QString manual = PerfilIni::lee(kIni, idioma, "NombreManual", "");
        EXPECT_TRUE(QFileInfo::exists(QFileInfo(kIni).dir().filePath(manual)));
    }
    EXPECT_EQ(PerfilIni::lee(kIni, "General", "Idioma", ""), QStringLiteral("Español"));
}

// The header rule taken literally: a line that starts with "[" and holds "]"
// anywhere, but exactly "[General]", gives its text without the first and the
// last character; no file, no language.
TEST(ListaIdiomas, SectionsOtherThanGeneralInFileOrder)
{
    const std::pair<QByteArray, QStringList> casos[]
        = {{"[General]\r\nIdioma=English\r\n[Español]\r\nk=v\r\n[English]\r\n",
               {QStringLiteral("Español"), "English"}},
            {"[general]\n[GENERAL]\n[General]\n", {"general", "GENERAL"}},
            {"[Deutsch] ;x\n [Italiano]\n[Fran]cais\nk=[v]\n", {"Deutsch] ;", "Fran]cai"}}};
    QTemporaryDir dir;
    QFile f(dir.filePath("KELDAN.INI"));
    EXPECT_TRUE(ListaIdiomas::lee(f.fileName()).isEmpty());
    for (const auto &[datos, idiomas] : casos) {
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(datos) == datos.size());
        f.close();
        EXPECT_EQ(ListaIdiomas::lee(f.fileName()), idiomas) << datos.toStdString();
    }
}

} // namespace
