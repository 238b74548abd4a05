// The translation editor against a settings file of the test's own.

#include "settings/ayudadialogos.h"

#include "languages/frmconfigtraduc.h"
#include "settings/frmconfig.h"
#include "settings/varsfuncsglobales.h"
#include "shell/frmprincipal.h"

#include <QComboBox>
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
    void modificarLlenaAmbasCajasYGrabarPasaALaSiguiente();
    void cancelarBorraSoloLaSeccionDelNombreActual();
    void nombreOcupadoSeRechazaYNadaSeEscribe();
    void valorSinSaltosYDeComoMucho126();
    void listaDeClavesNoSeCorta();
    void sinFicheroNadaFalla();

private:
    QString ruta() const { return m_e->ruta(); }
    // The editor over a configuration dialog showing that language, over a
    // main window loaded from the present file.
    std::unique_ptr<frmConfigTraduc> editor(bool alta, const QString &idioma = u"Español"_s)
    {
        m_config.reset();
        m_config = std::make_unique<frmConfig>(m_e->carga());
        elige(m_config->cmbIdioma, idioma);
        m_config->ModoAlta = alta;
        return std::make_unique<frmConfigTraduc>(*m_config);
    }
    // Leaving the name field as the operator does, and what it holds afterwards.
    static QString saleDelNombre(frmConfigTraduc &e, const QString &nombre)
    {
        e.txtNuevoIdioma->setText(nombre);
        e.txtNuevoIdioma_LostFocus();
        QCoreApplication::processEvents();
        return e.txtNuevoIdioma->text();
    }
    static void graba(frmConfigTraduc &e, const QString &valor)
    {
        e.txtValorNuevo->setPlainText(valor);
        e.cmdGrabar_Click();
    }

    std::unique_ptr<Entorno> m_e;
    std::unique_ptr<frmConfig> m_config;
};

void TestFrmConfigTraduc::init()
{
    m_e = std::make_unique<Entorno>();
    QVERIFY(escribe(ruta(),
        u"[General]\nIdioma=Español\nDirGuarda=C:\\\n"
        "[Español]\nClaveA=Uno\nClaveB=Dos\nClaveC=Tres\nClaveD=Cuatro\n"
        "[English]\nClaveA=One\nClaveB=Two\n"_s));
}

void TestFrmConfigTraduc::cleanup()
{
    m_config.reset();
    m_e.reset();
}

void TestFrmConfigTraduc::altaAceptarSoloTrasLaUltimaClave()
{
    const QString antes = lee(ruta());
    auto e = editor(true);
    // Escape triggers nothing: the editor stays open.
    e->show();
    QVERIFY(QTest::qWaitForWindowExposed(e.get()));
    QTest::keyClick(e.get(), Qt::Key_Escape);
    QVERIFY(e->isVisible());
    QVERIFY(e->txtNuevoIdioma->text().isEmpty());
    QVERIFY(!e->txtNuevoIdioma->isReadOnly());
    QVERIFY(!e->cmdAceptar->isEnabled());
    QCOMPARE(e->lstVars->count(), 4);

    QCOMPARE(saleDelNombre(*e, u"Deutsch"_s), u"Deutsch"_s);
    e->lstVars->setCurrentRow(0);
    QCOMPARE(e->txtValorActual->toPlainText(), u"Uno"_s);
    QVERIFY(e->txtValorNuevo->toPlainText().isEmpty());
    QVERIFY(!e->cmdGrabar->isEnabled());
    // A Grabar that cannot write says so (with the path) and neither ticks nor counts.
    QVERIFY(bloquea(ruta()));
    graba(*e, u"Eins"_s);
    QCOMPARE(m_e->mensajes.size(), 1);
    QVERIFY2(m_e->mensajes.first().contains(QDir::toNativeSeparators(ruta())),
        qPrintable(m_e->mensajes.first()));
    QVERIFY(e->VarsGrabadas.isEmpty());
    QCOMPARE(e->lstVars->item(0)->checkState(), Qt::Unchecked);
    QCOMPARE(e->lstVars->currentRow(), 0);
    QCOMPARE(e->txtValorNuevo->toPlainText(), u"Eins"_s);
    QVERIFY(desbloquea(ruta()));
    e->cmdGrabar_Click();
    QCOMPARE(e->VarsGrabadas, QStringList({"ClaveA"}));
    QCOMPARE(e->lstVars->item(0)->checkState(), Qt::Checked);
    // The section now exists, but it is the one being written: the operator
    // may pass through the field, in any case, and go on.
    QCOMPARE(saleDelNombre(*e, u"deutsch"_s), u"deutsch"_s);
    QCOMPARE(saleDelNombre(*e, u"Deutsch"_s), u"Deutsch"_s);

    // The same key twice counts once; a key only looked at counts for nothing.
    e->lstVars->setCurrentRow(0);
    QCOMPARE(e->txtValorNuevo->toPlainText(), u"Eins"_s);
    graba(*e, u"Eins!"_s);
    QCOMPARE(e->VarsGrabadas, QStringList({"ClaveA"}));
    e->lstVars->setCurrentRow(2);
    e->lstVars->setCurrentRow(1);
    QCOMPARE(e->lstVars->item(2)->checkState(), Qt::Unchecked);
    for (const QString &valor : {u"Zwei"_s, u"Drei"_s}) {
        QVERIFY(!e->cmdAceptar->isEnabled());
        graba(*e, valor);
    }
    QVERIFY(!e->cmdAceptar->isEnabled());
    graba(*e, u"Vier"_s);
    QVERIFY(e->cmdAceptar->isEnabled());
    QCOMPARE(e->VarsGrabadas, QStringList({"ClaveA", "ClaveB", "ClaveC", "ClaveD"}));
    QCOMPARE(
        lee(ruta()), antes + u"[Deutsch]\nClaveA=Eins!\nClaveB=Zwei\nClaveC=Drei\nClaveD=Vier\n"_s);
    e->cmdAceptar_Click();
    QCOMPARE(e->result(), int(QDialog::Accepted));
}

void TestFrmConfigTraduc::modificarLlenaAmbasCajasYGrabarPasaALaSiguiente()
{
    auto e = editor(false, u"English"_s);
    QCOMPARE(e->txtNuevoIdioma->text(), u"English"_s);
    QVERIFY(e->txtNuevoIdioma->isReadOnly());
    QVERIFY(e->cmdAceptar->isEnabled());
    QVERIFY(!e->cmdCancelar->isEnabled());
    QVERIFY(!e->cmdGrabar->isEnabled());
    // Modify mode does not check the name.
    e->txtNuevoIdioma_LostFocus();
    QCOMPARE(e->txtNuevoIdioma->text(), u"English"_s);
    e->lstVars->setCurrentRow(1);
    QCOMPARE(e->txtValorActual->toPlainText(), u"Dos"_s);
    QCOMPARE(e->txtValorNuevo->toPlainText(), u"Two"_s);
    QVERIFY(e->cmdGrabar->isEnabled());
    // A key the language lacks shows an empty value box.
    e->lstVars->setCurrentRow(2);
    QVERIFY(e->txtValorNuevo->toPlainText().isEmpty());
    QVERIFY(!e->cmdGrabar->isEnabled());

    graba(*e, u"Three"_s);
    QCOMPARE(e->lstVars->currentRow(), 3);
    QCOMPARE(e->txtValorActual->toPlainText(), u"Cuatro"_s);
    QCOMPARE(e->focusWidget(), e->txtValorNuevo);
    graba(*e, u"Four"_s);
    QCOMPARE(e->lstVars->currentRow(), 3);
    QCOMPARE(e->lstVars->item(3)->checkState(), Qt::Checked);
    QCOMPARE(e->txtValorNuevo->toPlainText(), u"Four"_s);
    QCOMPARE(LeeIni(u"English"_s, u"ClaveD"_s, QString(), ruta()), u"Four"_s);
    // Back on a key the language has, the box holds its value.
    e->lstVars->setCurrentRow(0);
    QCOMPARE(e->txtValorNuevo->toPlainText(), u"One"_s);
}

void TestFrmConfigTraduc::cancelarBorraSoloLaSeccionDelNombreActual()
{
    const QString antes = lee(ruta());
    // With the name field empty nothing goes.
    editor(true)->cmdCancelar_Click();
    QCOMPARE(lee(ruta()), antes);

    auto e = editor(true);
    saleDelNombre(*e, u"Deutsch"_s);
    e->lstVars->setCurrentRow(0);
    graba(*e, u"Eins"_s);
    QCOMPARE(saleDelNombre(*e, u"Schwiizertüütsch"_s), u"Schwiizertüütsch"_s);
    graba(*e, u"Zwäi"_s);
    QCOMPARE(e->VarsGrabadas, QStringList({"ClaveA", "ClaveB"}));
    e->cmdCancelar_Click();
    QCOMPARE(e->result(), int(QDialog::Rejected));
    QCOMPARE(lee(ruta()), antes + u"[Deutsch]\nClaveA=Eins\n"_s);
}

void TestFrmConfigTraduc::nombreOcupadoSeRechazaYNadaSeEscribe()
{
    const QString antes = lee(ruta());
    auto e = editor(true);
    e->lstVars->setCurrentRow(0);
    for (const QString &nombre : {u"Español"_s, u"español"_s, u"ESPAÑOL"_s, u" English "_s,
             u"General"_s, u"general"_s, u"Neu]"_s, u"   "_s}) {
        e->setFocus();
        QCOMPARE(saleDelNombre(*e, nombre), QString());
        QCOMPARE(e->focusWidget(), e->txtNuevoIdioma);
    }
    for (const QString &nombre : {u"Deutsch"_s, u"Español2"_s})
        QCOMPARE(saleDelNombre(*e, nombre), nombre);
    QVERIFY(m_e->mensajes.isEmpty());

    // Typed, and Grabar reached by its shortcut while the field keeps the focus.
    e->txtNuevoIdioma->setText(u"english"_s);
    graba(*e, u"Overwritten"_s);
    QVERIFY(e->txtNuevoIdioma->text().isEmpty());
    QVERIFY(e->VarsGrabadas.isEmpty());
    e->txtNuevoIdioma->setText(u"ENGLISH"_s);
    e->cmdCancelar_Click();
    QCOMPARE(lee(ruta()), antes);
}

void TestFrmConfigTraduc::valorSinSaltosYDeComoMucho126()
{
    auto e = editor(false);
    e->lstVars->setCurrentRow(0);
    QPlainTextEdit *valor = e->txtValorNuevo;
    valor->clear();
    valor->insertPlainText(u"a\nb\r\nc\rd"_s);
    QCOMPARE(valor->toPlainText(), u"a b c d"_s);
    QTest::keyClick(valor, Qt::Key_Return);
    QCOMPARE(valor->toPlainText(), u"a b c d"_s);

    const QString largo = QString(120, u'x') + u"123456"_s;
    valor->setPlainText(largo);
    QCOMPARE(valor->toPlainText(), largo);
    // Typing into a full box drops what is typed, not the end of the text.
    QTextCursor c = valor->textCursor();
    c.setPosition(10);
    valor->setTextCursor(c);
    valor->insertPlainText(u"YZ"_s);
    QCOMPARE(valor->toPlainText(), largo);
    QCOMPARE(valor->textCursor().position(), 10);
    valor->setPlainText(QString(200, u'q'));
    QCOMPARE(valor->toPlainText().size(), 126);

    graba(*e, largo);
    QCOMPARE(LeeIni(u"Español"_s, u"ClaveA"_s, QString(), ruta()), largo);
}

void TestFrmConfigTraduc::listaDeClavesNoSeCorta()
{
    QString texto = u"[General]\n[Español]\n"_s;
    QStringList claves;
    for (int i = 0; i < 100; ++i) {
        claves.append(u"ClaveDePruebaMuyLarga_%1"_s.arg(i, 3, 10, QLatin1Char('0')));
        texto += claves.last() + u"=v\n"_s;
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
    QVERIFY(QFile::remove(ruta()));
    auto e = editor(true);
    // The configuration dialog has no language to offer and stays usable.
    QCOMPARE(m_config->cmbIdioma->count(), 0);
    QVERIFY(!m_config->cmdAceptar->isEnabled());
    QVERIFY(!m_config->cmdModifIdioma->isEnabled());
    QCOMPARE(m_config->cmbPuerto->currentText(), u"COM1"_s);
    QCOMPARE(elementos(m_config->cmbParidad), QStringList({"N", "O", "E", "M", "S"}));
    QCOMPARE(m_config->cmbParidad->currentText(), u"N"_s);
    QCOMPARE(e->lstVars->count(), 0);
    QCOMPARE(saleDelNombre(*e, u"Deutsch"_s), u"Deutsch"_s);
    e->txtValorNuevo->setPlainText(u"Eins"_s);
    QVERIFY(!e->cmdGrabar->isEnabled());
    e->cmdGrabar_Click();
    e->ActivaAceptar();
    QVERIFY(!e->cmdAceptar->isEnabled());
    e->cmdCancelar_Click();
    m_config->cmdCancelar_Click();
    QVERIFY(!QFile::exists(ruta()));
}

QTEST_MAIN(TestFrmConfigTraduc)
#include "tst_frmconfigtraduc.moc"
