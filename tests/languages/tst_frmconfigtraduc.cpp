// The translation editor against a settings file of the test's own.

#include "comun/junta.h"
#include "settings/ayudadialogos.h"

#include "base/perfilini.h"
#include "languages/catalogoclaves.h"
#include "languages/frmconfigtraduc.h"
#include "settings/frmconfig.h"

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
    const QString m_inicial = u"[General]\nIdioma=Español\n[Español]\nClaveA=Uno\nClaveB=Dos\n"
                              "ClaveC=Tres\n[English]\nClaveA=One\n"_s;

    QString ruta() const { return m_e->ruta(); }
    // The editor over a configuration dialog showing that language.
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
    // Row, both value boxes, Grabar, Aceptar, the keys written, marks of the first three.
    static QString estado(const frmConfigTraduc &e)
    {
        QString marcas;
        for (int i = 0; i < 3; ++i)
            marcas += e.lstVars->item(i)->checkState() == Qt::Checked ? u'x' : u'-';
        return junta(e.lstVars->currentRow(), e.txtValorActual->toPlainText(),
            e.txtValorNuevo->toPlainText(), e.cmdGrabar->isEnabled(), e.cmdAceptar->isEnabled(),
            e.VarsGrabadas.join(u','), marcas);
    }
    // The keys listed; what a section holding `propias` is offered: its own,
    // then the catalogue's it lacks.
    static QStringList lista(const frmConfigTraduc &e)
    {
        QStringList claves;
        for (int i = 0; i < e.lstVars->count(); ++i)
            claves.append(e.lstVars->item(i)->text());
        return claves;
    }
    static QStringList esperada(QStringList propias)
    {
        for (const ClaveIdioma &c : CatalogoClaves::todas()) {
            if (!propias.contains(c.nombre))
                propias.append(c.nombre);
        }
        return propias;
    }

private slots:
    void init() { QVERIFY(escribe((m_e = std::make_unique<Entorno>())->ruta(), m_inicial)); }
    void cleanup() { m_config.reset(), m_e.reset(); }

    void altaAceptarSoloTrasLaUltimaClave()
    {
        auto e = editor(true);
        QCOMPARE(lista(*e), esperada({"ClaveA", "ClaveB", "ClaveC"}));
        // Escape triggers nothing: the editor stays open. Title and close button only.
        e->show();
        QVERIFY(QTest::qWaitForWindowExposed(e.get()));
        QTest::keyClick(e.get(), Qt::Key_Escape);
        QCOMPARE(junta(e->isVisible(), int(e->windowFlags() & kBotones)), junta(true, kSoloCerrar));
        QCOMPARE(saleDelNombre(*e, u"Deutsch"_s), u"Deutsch"_s);
        e->lstVars->setCurrentRow(0);
        // A Grabar that cannot write says so (with the path) and neither ticks nor counts.
        QVERIFY(bloquea(ruta()));
        graba(*e, u"Eins"_s);
        QVERIFY(bloquea(ruta(), false));
        QCOMPARE(junta(estado(*e), m_e->mensajes.size(), m_e->mensajes.value(0).contains(ruta())),
            u"0|Uno|Eins|true|false||---|1|true"_s);
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
        QCOMPARE(estado(*e), u"1|Dos||false|false|ClaveA|x--"_s);
        // Every key, the catalogue's too, must be written before Aceptar.
        for (int i = 1; i < e->lstVars->count(); ++i) {
            QVERIFY(!e->cmdAceptar->isEnabled());
            e->lstVars->setCurrentRow(i);
            graba(*e, u"de%1"_s.arg(i));
        }
        e->cmdAceptar_Click();
        QCOMPARE(
            junta(e->result(), PerfilIni::claves(ruta(), u"Deutsch"_s) == lista(*e)), u"1|true"_s);
        QVERIFY(lee(ruta()).startsWith(m_inicial + u"[Deutsch]\nClaveA=Eins!\nClaveB=de1\n"_s));
    }

    void modificarLlenaAmbasCajasYGrabarPasaALaSiguiente()
    {
        auto e = editor(false, u"English"_s);
        e->txtNuevoIdioma_LostFocus(); // modify mode does not check the name
        QCOMPARE(junta(e->txtNuevoIdioma->text(), e->txtNuevoIdioma->isReadOnly(),
                     e->cmdCancelar->isEnabled(), estado(*e)),
            u"English|true|false|-1|||false|true||---"_s);
        e->lstVars->setCurrentRow(0);
        QCOMPARE(estado(*e), u"0|Uno|One|true|true||---"_s);
        e->lstVars->setCurrentRow(1); // a key the language lacks: an empty box
        // A value is one line of at most 126 characters; Enter adds nothing.
        e->txtValorNuevo->setPlainText(u"a\nb\r\nc"_s + QString(200, u'q'));
        QTest::keyClick(e->txtValorNuevo, Qt::Key_Return);
        e->cmdGrabar_Click();
        QCOMPARE(estado(*e), u"2|Tres||false|true|ClaveB|-x-"_s);
        QCOMPARE(junta(e->focusWidget() == e->txtValorNuevo,
                     LeeIni(u"English"_s, u"ClaveB"_s, {}, ruta())),
            junta(true, (u"a b c"_s + QString(200, u'q')).left(126)));
        // The keys of the language in file order, not cut, then the catalogue's it lacks.
        QString texto = u"[Español]\n"_s;
        QStringList claves;
        for (int i = 0; i < 100; ++i) {
            claves.append(i == 50 ? u"PrinName"_s : u"ClaveDePruebaMuyLarga_%1"_s.arg(i));
            texto += claves.last() + u"=v\n"_s;
        }
        QVERIFY(escribe(ruta(), texto));
        QCOMPARE(lista(*editor(false)), esperada(claves));
        // Without a settings file the dialog has no language and stays usable.
        QVERIFY(QFile::remove(ruta()));
        e = editor(true);
        QCOMPARE(junta(m_config->cmbIdioma->count(), m_config->cmdAceptar->isEnabled(),
                     m_config->cmdModifIdioma->isEnabled(), m_config->cmbParidad->itemText(4),
                     lista(*e) == esperada({})),
            u"0|false|false|S|true"_s);
        e->cmdCancelar_Click();
        QVERIFY(!QFile::exists(ruta()));
    }

    void nombreOcupadoSeRechazaYCancelarBorraSoloLoPropio()
    {
        auto e = editor(true);
        e->lstVars->setCurrentRow(0);
        for (const QString &nombre :
            {u"ESPAÑOL"_s, u" English "_s, u"general"_s, u"Neu]"_s, u"   "_s}) {
            e->setFocus();
            QCOMPARE(saleDelNombre(*e, nombre), QString());
            QCOMPARE(e->focusWidget(), e->txtNuevoIdioma);
        }
        // Typed, and Grabar reached by its shortcut while the field keeps the focus.
        e->txtNuevoIdioma->setText(u"english"_s);
        graba(*e, u"Overwritten"_s);
        // Cancelling removes the languages begun here, and only those.
        saleDelNombre(*e, u"Deutsch"_s);
        e->lstVars->setCurrentRow(0);
        graba(*e, u"Eins"_s);
        QCOMPARE(saleDelNombre(*e, u"Schwiizertüütsch"_s), u"Schwiizertüütsch"_s);
        graba(*e, u"Zwäi"_s);
        e->cmdCancelar_Click();
        QCOMPARE(junta(e->result(), m_e->mensajes.size(), lee(ruta())),
            junta(int(QDialog::Rejected), 0, m_inicial + u"[Deutsch]\nClaveA=Eins\n"_s));
        editor(true)->cmdCancelar_Click(); // with the name field empty nothing goes
        QCOMPARE(lee(ruta()), m_inicial + u"[Deutsch]\nClaveA=Eins\n"_s);
    }
};

QTEST_MAIN(TestFrmConfigTraduc)
#include "tst_frmconfigtraduc.moc"
