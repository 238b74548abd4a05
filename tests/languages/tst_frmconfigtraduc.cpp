// The translation editor against a settings file of the test's own.

#include "settings/ayudadialogos.h"

#include "languages/frmconfigtraduc.h"
#include "settings/frmconfig.h"
#include "settings/varsfuncsglobales.h"
#include "shell/frmprincipal.h"
#include "shell/herramientas.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace VarsFuncsGlobales;
using namespace AyudaDialogos;

class TestFrmConfigTraduc : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void altaAceptarSoloTrasLaUltimaClave();
    void grabarPasaALaSiguienteYSeQuedaEnLaUltima();
    void cancelarBorraSoloLaSeccionDelNombreActual();
    void nombreOcupadoSeRechaza_data();
    void nombreOcupadoSeRechaza();
    void altaNuncaEscribeNiBorraUnIdiomaExistente();
    void nombreRecienGrabadoSigueSiendoPropio();
    void modificarLlenaAmbasCajas();
    void valorSinSaltosYDeComoMucho126();
    void grabarFallidoSeInformaYNoCuenta();
    void listaDeClavesNoSeCorta();
    void sinFicheroNadaFalla();
    void escapeNoCierra();

private:
    QString ruta() const { return m_dir->filePath(QStringLiteral("KELDAN.INI")); }
    static QString fichero()
    {
        return QStringLiteral("[General]\nIdioma=Español\nDirGuarda=C:\\\n"
                              "[Español]\nClaveA=Uno\nClaveB=Dos\nClaveC=Tres\nClaveD=Cuatro\n"
                              "[English]\nClaveA=One\nClaveB=Two\n");
    }
    // The configuration dialog over a main window loaded from the present
    // file, with its language list showing the given language.
    frmConfig &config(bool alta, const QString &idioma = QStringLiteral("Español"));
    std::unique_ptr<frmConfigTraduc> editor(bool alta);
    // Leaving the name field as the operator does, and what it holds afterwards.
    static QString saleDelNombre(frmConfigTraduc &e, const QString &nombre);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<frmPrincipal> m_principal;
    std::unique_ptr<frmConfig> m_config;
    QStringList m_mensajes;
};

void TestFrmConfigTraduc::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    EstableceDirectorioPrograma(m_dir->path());
    m_mensajes.clear();
    Herramientas::EstableceRespuestaMsgBox([this](const QString &prompt, int, const QString &) {
        m_mensajes.append(prompt);
        return int(Herramientas::vbOK);
    });
}

void TestFrmConfigTraduc::cleanup()
{
    m_config.reset();
    m_principal.reset();
    Herramientas::EstableceRespuestaMsgBox({});
    EstableceDirectorioPrograma(QString());
    m_dir.reset();
}

frmConfig &TestFrmConfigTraduc::config(bool alta, const QString &idioma)
{
    m_config.reset();
    m_principal = std::make_unique<frmPrincipal>();
    m_principal->Form_Load();
    m_config = std::make_unique<frmConfig>(*m_principal);
    elige(m_config->cmbIdioma, idioma);
    m_config->ModoAlta = alta;
    return *m_config;
}

std::unique_ptr<frmConfigTraduc> TestFrmConfigTraduc::editor(bool alta)
{
    return std::make_unique<frmConfigTraduc>(config(alta));
}

QString TestFrmConfigTraduc::saleDelNombre(frmConfigTraduc &e, const QString &nombre)
{
    e.txtNuevoIdioma->setText(nombre);
    e.txtNuevoIdioma_LostFocus();
    QCoreApplication::processEvents();
    return e.txtNuevoIdioma->text();
}

void TestFrmConfigTraduc::altaAceptarSoloTrasLaUltimaClave()
{
    QVERIFY(escribe(ruta(), fichero()));
    auto e = editor(true);
    QVERIFY(e->txtNuevoIdioma->text().isEmpty());
    QVERIFY(!e->txtNuevoIdioma->isReadOnly());
    QVERIFY(!e->cmdAceptar->isEnabled());
    QVERIFY(e->cmdCancelar->isEnabled());
    QVERIFY(!e->cmdGrabar->isEnabled());
    QCOMPARE(e->lstVars->count(), 4);

    QCOMPARE(saleDelNombre(*e, QStringLiteral("Deutsch")), QStringLiteral("Deutsch"));
    e->lstVars->setCurrentRow(0);
    QCOMPARE(e->txtValorActual->toPlainText(), QStringLiteral("Uno"));
    QVERIFY(e->txtValorNuevo->toPlainText().isEmpty());
    QVERIFY(!e->cmdGrabar->isEnabled());
    e->txtValorNuevo->setPlainText(QStringLiteral("Eins"));
    QVERIFY(e->cmdGrabar->isEnabled());
    e->cmdGrabar_Click();
    QCOMPARE(e->VarsGrabadas, QStringList({"ClaveA"}));
    QCOMPARE(e->lstVars->item(0)->checkState(), Qt::Checked);

    // The same key twice counts once; a key only looked at counts for nothing.
    e->lstVars->setCurrentRow(0);
    QCOMPARE(e->txtValorNuevo->toPlainText(), QStringLiteral("Eins"));
    e->txtValorNuevo->setPlainText(QStringLiteral("Eins!"));
    e->cmdGrabar_Click();
    QCOMPARE(e->VarsGrabadas, QStringList({"ClaveA"}));
    e->lstVars->setCurrentRow(2);
    e->lstVars->setCurrentRow(1);
    QCOMPARE(e->lstVars->item(2)->checkState(), Qt::Unchecked);
    QVERIFY(!e->cmdAceptar->isEnabled());

    for (const char *valor : {"Zwei", "Drei"}) {
        e->txtValorNuevo->setPlainText(QLatin1String(valor));
        e->cmdGrabar_Click();
        QVERIFY(!e->cmdAceptar->isEnabled());
    }
    QCOMPARE(e->lstVars->currentRow(), 3);
    e->txtValorNuevo->setPlainText(QStringLiteral("Vier"));
    e->cmdGrabar_Click();
    QVERIFY(e->cmdAceptar->isEnabled());
    QCOMPARE(e->VarsGrabadas, QStringList({"ClaveA", "ClaveB", "ClaveC", "ClaveD"}));
    QCOMPARE(seccion(lee(ruta()), QStringLiteral("Deutsch")),
        QStringList({"ClaveA=Eins!", "ClaveB=Zwei", "ClaveC=Drei", "ClaveD=Vier"}));
    e->cmdAceptar_Click();
    QCOMPARE(e->result(), int(QDialog::Accepted));
}

void TestFrmConfigTraduc::grabarPasaALaSiguienteYSeQuedaEnLaUltima()
{
    QVERIFY(escribe(ruta(), fichero()));
    auto e = editor(false);
    e->lstVars->setCurrentRow(2);
    e->txtValorNuevo->setPlainText(QStringLiteral("Tres bis"));
    e->cmdGrabar_Click();
    QCOMPARE(e->lstVars->currentRow(), 3);
    QCOMPARE(e->txtValorActual->toPlainText(), QStringLiteral("Cuatro"));
    QCOMPARE(e->txtValorNuevo->toPlainText(), QStringLiteral("Cuatro"));
    QCOMPARE(e->focusWidget(), e->txtValorNuevo);

    e->txtValorNuevo->setPlainText(QStringLiteral("Cuatro bis"));
    e->cmdGrabar_Click();
    QCOMPARE(e->lstVars->currentRow(), 3);
    QCOMPARE(e->lstVars->item(3)->checkState(), Qt::Checked);
    QCOMPARE(e->txtValorNuevo->toPlainText(), QStringLiteral("Cuatro bis"));
    QCOMPARE(LeeIni(QStringLiteral("Español"), QStringLiteral("ClaveD"), QString(), ruta()),
        QStringLiteral("Cuatro bis"));
}

void TestFrmConfigTraduc::cancelarBorraSoloLaSeccionDelNombreActual()
{
    QVERIFY(escribe(ruta(), fichero()));
    const QString antes = lee(ruta());
    auto e = editor(true);
    saleDelNombre(*e, QStringLiteral("Deutsch"));
    e->lstVars->setCurrentRow(0);
    e->txtValorNuevo->setPlainText(QStringLiteral("Eins"));
    e->cmdGrabar_Click();
    QCOMPARE(
        saleDelNombre(*e, QStringLiteral("Schwiizertüütsch")), QStringLiteral("Schwiizertüütsch"));
    e->txtValorNuevo->setPlainText(QStringLiteral("Zwäi"));
    e->cmdGrabar_Click();
    QCOMPARE(e->VarsGrabadas, QStringList({"ClaveA", "ClaveB"}));

    e->cmdCancelar_Click();
    QCOMPARE(e->result(), int(QDialog::Rejected));
    const QString despues = lee(ruta());
    QCOMPARE(seccion(despues, QStringLiteral("Deutsch")), QStringList({"ClaveA=Eins"}));
    QVERIFY(!despues.contains(QStringLiteral("Schwiizertüütsch")));
    QCOMPARE(despues, antes + QStringLiteral("[Deutsch]\nClaveA=Eins\n"));

    // With the name field empty nothing goes.
    auto vacio = editor(true);
    vacio->cmdCancelar_Click();
    QCOMPARE(lee(ruta()), despues);
}

void TestFrmConfigTraduc::nombreOcupadoSeRechaza_data()
{
    QTest::addColumn<QString>("nombre");
    QTest::addColumn<bool>("libre");
    QTest::newRow("igual") << "Español" << false;
    QTest::newRow("minúsculas") << "español" << false;
    QTest::newRow("mayúsculas") << "ESPAÑOL" << false;
    QTest::newRow("con blancos") << " English " << false;
    QTest::newRow("General") << "General" << false;
    QTest::newRow("general") << "general" << false;
    QTest::newRow("corchete") << "Neu]" << false;
    QTest::newRow("solo blancos") << "   " << false;
    QTest::newRow("nuevo") << "Deutsch" << true;
    QTest::newRow("parecido") << "Español2" << true;
}

void TestFrmConfigTraduc::nombreOcupadoSeRechaza()
{
    QFETCH(QString, nombre);
    QFETCH(bool, libre);
    QVERIFY(escribe(ruta(), fichero()));
    auto e = editor(true);
    e->lstVars->setCurrentRow(0);
    QCOMPARE(saleDelNombre(*e, nombre), libre ? nombre : QString());
    if (!libre)
        QCOMPARE(e->focusWidget(), e->txtNuevoIdioma);
    QVERIFY(m_mensajes.isEmpty());
}

void TestFrmConfigTraduc::altaNuncaEscribeNiBorraUnIdiomaExistente()
{
    QVERIFY(escribe(ruta(), fichero()));
    const QString antes = lee(ruta());
    auto e = editor(true);
    e->lstVars->setCurrentRow(0);
    // Typed, and Grabar reached by its shortcut while the field keeps the focus.
    e->txtNuevoIdioma->setText(QStringLiteral("english"));
    e->txtValorNuevo->setPlainText(QStringLiteral("Overwritten"));
    e->cmdGrabar_Click();
    QCOMPARE(lee(ruta()), antes);
    QVERIFY(e->txtNuevoIdioma->text().isEmpty());
    QVERIFY(e->VarsGrabadas.isEmpty());

    e->txtNuevoIdioma->setText(QStringLiteral("ENGLISH"));
    e->cmdCancelar_Click();
    QCOMPARE(lee(ruta()), antes);
}

void TestFrmConfigTraduc::nombreRecienGrabadoSigueSiendoPropio()
{
    QVERIFY(escribe(ruta(), fichero()));
    auto e = editor(true);
    saleDelNombre(*e, QStringLiteral("Deutsch"));
    e->lstVars->setCurrentRow(0);
    e->txtValorNuevo->setPlainText(QStringLiteral("Eins"));
    e->cmdGrabar_Click();
    // The section exists now, but it is the one being written: the operator
    // may pass through the field and go on.
    QCOMPARE(saleDelNombre(*e, QStringLiteral("Deutsch")), QStringLiteral("Deutsch"));
    QCOMPARE(saleDelNombre(*e, QStringLiteral("deutsch")), QStringLiteral("deutsch"));
    e->txtValorNuevo->setPlainText(QStringLiteral("Zwei"));
    e->cmdGrabar_Click();
    QCOMPARE(seccion(lee(ruta()), QStringLiteral("Deutsch")),
        QStringList({"ClaveA=Eins", "ClaveB=Zwei"}));
}

void TestFrmConfigTraduc::modificarLlenaAmbasCajas()
{
    QVERIFY(escribe(ruta(), fichero()));
    {
        frmConfigTraduc e(config(false, QStringLiteral("English")));
        QCOMPARE(e.txtNuevoIdioma->text(), QStringLiteral("English"));
        QVERIFY(e.txtNuevoIdioma->isReadOnly());
        QVERIFY(e.cmdAceptar->isEnabled());
        QVERIFY(!e.cmdCancelar->isEnabled());
        QVERIFY(!e.cmdGrabar->isEnabled());
        e.lstVars->setCurrentRow(1);
        QCOMPARE(e.txtValorActual->toPlainText(), QStringLiteral("Dos"));
        QCOMPARE(e.txtValorNuevo->toPlainText(), QStringLiteral("Two"));
        QVERIFY(e.cmdGrabar->isEnabled());
        // A key the language lacks shows an empty value box.
        e.lstVars->setCurrentRow(2);
        QVERIFY(e.txtValorNuevo->toPlainText().isEmpty());
        QVERIFY(!e.cmdGrabar->isEnabled());
        // Modify mode does not check the name, whatever it is.
        e.txtNuevoIdioma_LostFocus();
        QCOMPARE(e.txtNuevoIdioma->text(), QStringLiteral("English"));
    }
    frmConfigTraduc mismo(config(false, QStringLiteral("Español")));
    mismo.lstVars->setCurrentRow(0);
    QCOMPARE(mismo.txtValorActual->toPlainText(), QStringLiteral("Uno"));
    QCOMPARE(mismo.txtValorNuevo->toPlainText(), QStringLiteral("Uno"));
}

void TestFrmConfigTraduc::valorSinSaltosYDeComoMucho126()
{
    QVERIFY(escribe(ruta(), fichero()));
    auto e = editor(false);
    e->lstVars->setCurrentRow(0);
    QPlainTextEdit *valor = e->txtValorNuevo;

    valor->clear();
    valor->insertPlainText(QStringLiteral("a\nb\r\nc\rd"));
    QCOMPARE(valor->toPlainText(), QStringLiteral("a b c d"));
    QCOMPARE(valor->textCursor().position(), 7);
    QTest::keyClick(valor, Qt::Key_Return);
    QTest::keyClick(valor, Qt::Key_Enter);
    QCOMPARE(valor->toPlainText(), QStringLiteral("a b c d"));

    const QString largo = QString(120, QLatin1Char('x')) + QStringLiteral("123456");
    valor->setPlainText(largo);
    QCOMPARE(valor->toPlainText(), largo);
    // Typing into a full box drops what is typed, not the end of the text.
    QTextCursor c = valor->textCursor();
    c.setPosition(10);
    valor->setTextCursor(c);
    valor->insertPlainText(QStringLiteral("YZ"));
    QCOMPARE(valor->toPlainText(), largo);
    QCOMPARE(valor->textCursor().position(), 10);
    valor->setPlainText(QString(200, QLatin1Char('q')));
    QCOMPARE(valor->toPlainText().size(), 126);

    valor->setPlainText(largo);
    e->cmdGrabar_Click();
    e->lstVars->setCurrentRow(0);
    QCOMPARE(valor->toPlainText(), largo);
}

void TestFrmConfigTraduc::grabarFallidoSeInformaYNoCuenta()
{
    QVERIFY(escribe(ruta(), fichero()));
    auto e = editor(true);
    saleDelNombre(*e, QStringLiteral("Deutsch"));
    e->lstVars->setCurrentRow(0);
    e->txtValorNuevo->setPlainText(QStringLiteral("Eins"));

    // A directory where the file should be cannot be written, even by root.
    QVERIFY(QFile::rename(ruta(), ruta() + QStringLiteral(".aparte")));
    QVERIFY(QDir().mkdir(ruta()));
    e->cmdGrabar_Click();
    QCOMPARE(m_mensajes.size(), 1);
    QVERIFY2(m_mensajes.first().contains(QDir::toNativeSeparators(ruta())),
        qPrintable(m_mensajes.first()));
    QVERIFY(e->VarsGrabadas.isEmpty());
    QCOMPARE(e->lstVars->item(0)->checkState(), Qt::Unchecked);
    QCOMPARE(e->lstVars->currentRow(), 0);
    QCOMPARE(e->txtValorNuevo->toPlainText(), QStringLiteral("Eins"));

    QVERIFY(QDir().rmdir(ruta()));
    QVERIFY(QFile::rename(ruta() + QStringLiteral(".aparte"), ruta()));
    e->cmdGrabar_Click();
    QCOMPARE(e->VarsGrabadas, QStringList({"ClaveA"}));
    QCOMPARE(e->lstVars->currentRow(), 1);
}

void TestFrmConfigTraduc::listaDeClavesNoSeCorta()
{
    QString texto = QStringLiteral("[General]\n[Español]\n");
    QStringList claves;
    for (int i = 0; i < 100; ++i) {
        claves.append(QStringLiteral("ClaveDePruebaMuyLarga_%1").arg(i, 3, 10, QLatin1Char('0')));
        texto += claves.last() + QStringLiteral("=v\n");
    }
    QVERIFY(escribe(ruta(), texto));
    auto e = editor(false);
    QStringList lista;
    for (int i = 0; i < e->lstVars->count(); ++i)
        lista.append(e->lstVars->item(i)->text());
    QCOMPARE(lista, claves);
}

void TestFrmConfigTraduc::sinFicheroNadaFalla()
{
    auto e = editor(true);
    QCOMPARE(e->lstVars->count(), 0);
    QCOMPARE(saleDelNombre(*e, QStringLiteral("Deutsch")), QStringLiteral("Deutsch"));
    e->txtValorNuevo->setPlainText(QStringLiteral("Eins"));
    QVERIFY(!e->cmdGrabar->isEnabled());
    e->cmdGrabar_Click();
    e->ActivaAceptar();
    QVERIFY(!e->cmdAceptar->isEnabled());
    e->cmdCancelar_Click();
    QVERIFY(!QFile::exists(ruta()));
}

void TestFrmConfigTraduc::escapeNoCierra()
{
    QVERIFY(escribe(ruta(), fichero()));
    auto e = editor(true);
    e->show();
    QVERIFY(QTest::qWaitForWindowExposed(e.get()));
    QTest::keyClick(e.get(), Qt::Key_Escape);
    QVERIFY(e->isVisible());
    QCOMPARE(e->result(), 0);
}

QTEST_MAIN(TestFrmConfigTraduc)
#include "tst_frmconfigtraduc.moc"
