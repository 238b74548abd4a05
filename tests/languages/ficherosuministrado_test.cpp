#include "languages/catalogoclaves.h"
#include "languages/listaidiomas.h"
#include "settings/perfilini.h"
#include "settings/varsfuncsglobales.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <gtest/gtest.h>

namespace {

const QString kIni = QStringLiteral(KELDAN_INI_SUMINISTRADO);

TEST(FicheroSuministrado, EveryLanguageHasEveryKeyWithAText)
{
    const QStringList idiomas = ListaIdiomas::lee(kIni);
    ASSERT_EQ(idiomas, (QStringList{QStringLiteral("Español"), "English"}));
    for (const QString &idioma : idiomas) {
        QStringList esperadas;
        for (const ClaveIdioma &c : CatalogoClaves::todas())
            esperadas << c.nombre;
        EXPECT_EQ(PerfilIni::claves(kIni, idioma), esperadas) << idioma.toStdString();
        for (const QString &clave : esperadas) {
            const QString texto = PerfilIni::lee(kIni, idioma, clave, QString());
            EXPECT_FALSE(texto.isEmpty()) << idioma.toStdString() << " " << clave.toStdString();
            // Longer texts would come back cut.
            EXPECT_LE(texto.size(), 126) << clave.toStdString();
        }
    }
}

TEST(FicheroSuministrado, StatusTextsTellTheStatesApart)
{
    // The status line doubles as state: two equal texts would mistake one for the other.
    const char *const estados[] = {"PrinmsgEsperandoEntrada", "PrinmsgEntrando", "PrinmsgSaliendo",
                                   "PrinmsgLimpia",           "PrinmsgAbierto",  "PrinmsgGuardado",
                                   "PrinmsgSinGuardar"};
    for (const QString &idioma : ListaIdiomas::lee(kIni)) {
        QSet<QString> textos;
        for (const char *clave : estados)
            textos.insert(PerfilIni::lee(kIni, idioma, QLatin1String(clave), QString()));
        EXPECT_EQ(textos.size(), 7) << idioma.toStdString();
    }
}

TEST(FicheroSuministrado, DefaultsAndManualsAreThere)
{
    EXPECT_EQ(PerfilIni::lee(kIni, "General", "Idioma", ""), QStringLiteral("Español"));
    EXPECT_EQ(PerfilIni::lee(kIni, "General", "Vt", ""), "4800");
    for (const QString &idioma : ListaIdiomas::lee(kIni)) {
        const QString manual = PerfilIni::lee(kIni, idioma, "NombreManual", "");
        EXPECT_TRUE(QFileInfo::exists(QFileInfo(kIni).dir().filePath(manual)))
            << manual.toStdString();
    }
}

} // namespace
