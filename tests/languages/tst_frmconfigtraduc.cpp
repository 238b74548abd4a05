// The translation editor against a settings file of the test's own.

#include "comun/junta.h"
#include "settings/ayudadialogos.h"

#include "languages/catalogoclaves.h"
#include "languages/frmconfigtraduc.h"
#include "settings/frmconfig.h"
#include "settings/perfilini.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

using namespace VarsFuncsGlobales;
using namespace AyudaDialogos;

class TestFrmConfigTraduc : public QObject
{
    Q_OBJECT

    std::unique_ptr<Entorno> m_e;
    std::unique_ptr<frmConfig> m_config;

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
    // Current row, both value boxes, Grabar, Aceptar, the keys written, the
    // marks of the first four keys.
    static QString estado(const frmConfigTraduc &e)
    {
        QString marcas;
        for (int i = 0; i < 4; ++i)
            marcas += e.lstVars->item(i)->checkState() == Qt::Checked ? u'x' : u'-';
        return junta(e.lstVars->currentRow(), e.txtValorActual->toPlainText(),
            e.txtValorNuevo->toPlainText(), e.cmdGrabar->isEnabled(), e.cmdAceptar->isEnabled(),
            e.VarsGrabadas.join(u','), marcas);
    }
    static QStringList lista(const frmConfigTraduc &e)
    {
        QStringList claves;
        for (int i = 0; i < e.lstVars->count(); ++i)
            claves.append(e.lstVars->item(i)->text());
        return claves;
    }
    // The catalogue's keys that a section without them is offered after its own.
    static QStringList catalogo(const QStringList &menos = {})
    {
        QStringList claves;
        for (const ClaveIdioma &c : CatalogoClaves::todas()) {
            if (!menos.contains(c.nombre))
                claves.append(c.nombre);
        }
        return claves;
    }

private slots:
    void init()
    {
        m_e = std::make_unique<Entorno>();
        QVERIFY(escribe(ruta(),
            u"[General]\nIdioma=Español\nDirGuarda=C:\\\n"
            "[Español]\nClaveA=Uno\nClaveB=Dos\nClaveC=Tres\nClaveD=Cuatro\n"
            "[English]\nClaveA=One\nClaveB=Two\n"_s));
    }

    void cleanup()
    {
        m_config.reset();
        m_e.reset();
    }

    void altaAceptarSoloTrasLaUltimaClave()
    {
        const QString antes = lee(ruta());
        auto e = editor(true);
        // Escape triggers nothing: the editor stays open. Title and close button only.
        e->show();
        QVERIFY(QTest::qWaitForWindowExposed(e.get()));
        QTest::keyClick(e.get(), Qt::Key_Escape);
        const Qt::WindowFlags f = e->windowFlags();
        QCOMPARE(junta(e->isVisible(), e->cmdAceptar->isEnabled(),
                     f.testFlag(Qt::WindowMinimizeButtonHint)
                         || f.testFlag(Qt::WindowMaximizeButtonHint),
                     f.testFlag(Qt::WindowCloseButtonHint)),
            u"true|false|false|true"_s);

        QCOMPARE(saleDelNombre(*e, u"Deutsch"_s), u"Deutsch"_s);
        e->lstVars->setCurrentRow(0);
        // A Grabar that cannot write says so (with the path) and neither ticks nor counts.
        QVERIFY(bloquea(ruta()));
        graba(*e, u"Eins"_s);
        QVERIFY2(m_e->mensajes.size() == 1
                && m_e->mensajes.value(0).contains(QDir::toNativeSeparators(ruta())),
            qPrintable(m_e->mensajes.join(u'\n')));
        QCOMPARE(estado(*e), u"0|Uno|Eins|true|false||----"_s);
        QVERIFY(desbloquea(ruta()));
        e->cmdGrabar_Click();
        // The section now exists, but it is the one being written: the operator
        // may pass through the field, in any case, and go on.
        QCOMPARE(
            saleDelNombre(*e, u"deutsch"_s) + saleDelNombre(*e, u"Deutsch"_s), u"deutschDeutsch"_s);

        // The same key twice counts once; a key only looked at counts for nothing.
        e->lstVars->setCurrentRow(0);
        graba(*e, u"Eins!"_s);
        e->lstVars->setCurrentRow(2);
        e->lstVars->setCurrentRow(1);
        QCOMPARE(estado(*e), u"1|Dos||false|false|ClaveA|x---"_s);
        // Every key, the catalogue's too, must be written before Aceptar.
        for (int i = 1; i < e->lstVars->count(); ++i) {
            QVERIFY(!e->cmdAceptar->isEnabled());
            e->lstVars->setCurrentRow(i);
            graba(*e, u"de%1"_s.arg(i));
        }
        QVERIFY(e->cmdAceptar->isEnabled());
        QVERIFY(lee(ruta()).startsWith(
            antes + u"[Deutsch]\nClaveA=Eins!\nClaveB=de1\nClaveC=de2\nClaveD=de3\n"_s));
        QCOMPARE(PerfilIni::claves(ruta(), u"Deutsch"_s), lista(*e));
        e->cmdAceptar_Click();
        QCOMPARE(e->result(), int(QDialog::Accepted));
    }

    void modificarLlenaAmbasCajasYGrabarPasaALaSiguiente()
    {
        auto e = editor(false, u"English"_s);
        // Modify mode does not check the name.
        e->txtNuevoIdioma_LostFocus();
        QCOMPARE(junta(e->txtNuevoIdioma->text(), e->txtNuevoIdioma->isReadOnly(),
                     e->cmdCancelar->isEnabled(), estado(*e)),
            u"English|true|false|-1|||false|true||----"_s);
        e->lstVars->setCurrentRow(1);
        QCOMPARE(estado(*e), u"1|Dos|Two|true|true||----"_s);
        // A key the language lacks shows an empty value box.
        e->lstVars->setCurrentRow(2);
        QCOMPARE(estado(*e), u"2|Tres||false|true||----"_s);
        graba(*e, u"Three"_s);
        QCOMPARE(estado(*e), u"3|Cuatro||false|true|ClaveC|--x-"_s);
        QCOMPARE(e->focusWidget(), e->txtValorNuevo);
        QCOMPARE(LeeIni(u"English"_s, u"ClaveC"_s, QString(), ruta()), u"Three"_s);
    }

    void cancelarBorraSoloLaSeccionDelNombreActual()
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
        e->cmdCancelar_Click();
        QCOMPARE(junta(e->result(), lee(ruta())),
            junta(int(QDialog::Rejected), antes + u"[Deutsch]\nClaveA=Eins\n"_s));
    }

    void nombreOcupadoSeRechazaYNadaSeEscribe()
    {
        const QString antes = lee(ruta());
        auto e = editor(true);
        e->lstVars->setCurrentRow(0);
        for (const QString &nombre :
            {u"español"_s, u"ESPAÑOL"_s, u" English "_s, u"general"_s, u"Neu]"_s, u"   "_s}) {
            e->setFocus();
            QCOMPARE(saleDelNombre(*e, nombre), QString());
            QCOMPARE(e->focusWidget(), e->txtNuevoIdioma);
        }
        QCOMPARE(saleDelNombre(*e, u"Español2"_s), u"Español2"_s);
        // Typed, and Grabar reached by its shortcut while the field keeps the focus.
        e->txtNuevoIdioma->setText(u"english"_s);
        graba(*e, u"Overwritten"_s);
        QCOMPARE(junta(e->txtNuevoIdioma->text(), e->VarsGrabadas.size(), m_e->mensajes.size()),
            u"|0|0"_s);
        e->txtNuevoIdioma->setText(u"ENGLISH"_s);
        e->cmdCancelar_Click();
        QCOMPARE(lee(ruta()), antes);
    }

    void valorSinSaltosYDeComoMucho126()
    {
        auto e = editor(false);
        e->lstVars->setCurrentRow(0);
        QPlainTextEdit *valor = e->txtValorNuevo;
        valor->clear();
        valor->insertPlainText(u"a\nb\r\nc\rd"_s);
        QTest::keyClick(valor, Qt::Key_Return);
        QCOMPARE(valor->toPlainText(), u"a b c d"_s);
        // Typing into a full box drops what is typed, not the end of the text.
        const QString largo = QString(120, u'x') + u"123456"_s;
        valor->setPlainText(largo);
        QTextCursor c = valor->textCursor();
        c.setPosition(10);
        valor->setTextCursor(c);
        valor->insertPlainText(u"YZ"_s);
        QCOMPARE(junta(valor->toPlainText(), valor->textCursor().position()), largo + u"|10"_s);
        graba(*e, QString(200, u'q'));
        QCOMPARE(LeeIni(u"Español"_s, u"ClaveA"_s, QString(), ruta()), QString(126, u'q'));
    }

    void listaLasClavesDelIdiomaYLasQueLeFaltanDelCatalogo()
    {
        QString texto = u"[General]\n[Español]\n"_s;
        QStringList claves;
        for (int i = 0; i < 100; ++i) {
            claves.append(i == 50 ? u"PrinName"_s : u"ClaveDePruebaMuyLarga_%1"_s.arg(i));
            texto += claves.last() + u"=v\n"_s;
        }
        QVERIFY(escribe(ruta(), texto));
        QCOMPARE(lista(*editor(false)), claves + catalogo({u"PrinName"_s}));
    }

    void sinFicheroNadaFalla()
    {
        QVERIFY(QFile::remove(ruta()));
        auto e = editor(true);
        // The configuration dialog has no language to offer and stays usable.
        QCOMPARE(junta(m_config->cmbIdioma->count(), m_config->cmdAceptar->isEnabled(),
                     m_config->cmdModifIdioma->isEnabled(), m_config->cmbPuerto->currentText(),
                     elementos(m_config->cmbParidad), lista(*e) == catalogo()),
            u"0|false|false|COM1|N/O/E/M/S|true"_s);
        QCOMPARE(saleDelNombre(*e, u"Deutsch"_s), u"Deutsch"_s);
        e->txtValorNuevo->setPlainText(u"Eins"_s);
        e->cmdGrabar_Click();
        QVERIFY(!e->cmdGrabar->isEnabled() && !e->cmdAceptar->isEnabled());
        e->cmdCancelar_Click();
        m_config->cmdCancelar_Click();
        QVERIFY(!QFile::exists(ruta()));
    }
};

QTEST_MAIN(TestFrmConfigTraduc)
#include "tst_frmconfigtraduc.moc"
