// The configuration dialog against a settings file of the test's own.

#include "comun/junta.h"
#include "settings/ayudadialogos.h"

#include "settings/frmconfig.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace VarsFuncsGlobales;
using namespace AyudaDialogos;

class TestFrmConfig : public QObject
{
    Q_OBJECT

    std::unique_ptr<Entorno> m_e;

    static QString fichero(const QString &g = {})
    {
        return u"[General]\nDirGuarda=C:\\CNC\\\n"_s + g + seccionesIdiomas();
    }
    // A main window loaded from a file with these [General] lines.
    frmPrincipal &carga(const QString &lineas = QString())
    {
        if (!escribe(m_e->ruta(), fichero(lineas)))
            qFatal("cannot write the settings file");
        return m_e->carga();
    }
    // Opens the dialog, chooses each (list, item) and accepts; the port as
    // "PuertoCom|PuertoDispositivo|Com" after it, or nothing if not accepted.
    QString acepta(frmPrincipal &p, std::initializer_list<std::pair<const char *, QString>> c)
    {
        frmConfig d(p);
        for (const auto &[lista, texto] : c)
            elige(d.findChild<QComboBox *>(QLatin1String(lista)), texto);
        d.cmdAceptar_Click();
        return d.result() != QDialog::Accepted
            ? QString()
            : junta(PuertoCom, PuertoDispositivo, LeeIni(u"General"_s, u"Com"_s, {}, m_e->ruta()));
    }

private slots:
    void init() { m_e = std::make_unique<Entorno>(); }
    void cleanup() { m_e.reset(); }

    void aceptarSinCambiosMuestraYEscribeLasSieteClaves()
    {
        frmConfig d(carga());
        QString mostrado;
        for (const QComboBox *c : d.findChildren<QComboBox *>())
            mostrado += c->currentText() + u'|';
        QCOMPARE(junta(mostrado, d.windowTitle(), d.cmdAceptar->isEnabled(),
                     d.cmdModifIdioma->isEnabled(), int(d.windowFlags() & kBotones)),
            u"COM1|4800|Ninguna|8|2|Español|Ascii|XON/XOFF|||CR LF||Configuración|true|true|"_s
                + QString::number(kSoloCerrar));
        d.cmdAceptar_Click();
        // DirGuarda and the languages stay as they were; Nego is not written unchanged.
        QCOMPARE(junta(d.result(), lee(m_e->ruta()), m_e->mensajes.size()),
            junta(int(QDialog::Accepted),
                fichero(u"Idioma=Español\nModo=Ascii\nCom=1\nVt=4800\nPar=N\nBd=8\nBs=2\n"_s), 0));
    }

    void guardaYMuestraElPuerto()
    {
        // A stored device that is not plugged in is shown and kept; COM10 is 10.
        const QString desenchufado = u"/dev/ttyKeldanNoEnchufado7"_s;
        frmPrincipal &p = carga(u"Com="_s + desenchufado + u'\n');
        QCOMPARE(acepta(p, {}), junta(0, desenchufado, desenchufado));
        QCOMPARE(acepta(p, {{"cmbPuerto", u"COM10"_s}}), u"10||10"_s);
        QVERIFY(p.Panel(1).endsWith(u" COM10"_s));
        // A device typed in (a CNC simulator's pseudo-terminal) is taken as
        // typed, a bare name under /dev; the dialog does not check it exists,
        // and a refresh of the list keeps it.
        const std::pair<QString, QString> casos[]
            = {{u"/dev/pts/77"_s, u"0|/dev/pts/77|/dev/pts/77"_s},
                {u"ttyS9"_s, u"0|/dev/ttyS9|/dev/ttyS9"_s}, {u"com3"_s, u"3||3"_s}};
        for (const auto &[tecleado, guardado] : casos) {
            frmConfig d(p);
            d.cmbPuerto->lineEdit()->selectAll();
            QTest::keyClicks(d.cmbPuerto->lineEdit(), tecleado);
            d.cmbPuerto->showPopup();
            d.cmbPuerto->hidePopup();
            d.cmdAceptar_Click();
            QCOMPARE(junta(d.result(), PuertoCom, PuertoDispositivo),
                u"1|"_s + guardado.section(u'|', 0, 1));
            QCOMPARE(LeeIni(u"General"_s, u"Com"_s, {}, m_e->ruta()), guardado.section(u'|', 2));
        }
        QCOMPARE(frmConfig(p).cmbPuerto->currentText(), u"COM3"_s);
    }

    void isoYNegoDesdeElBotonConfig()
    {
        frmPrincipal &p = carga();
        bool modal = false;
        QTimer::singleShot(0, this, [&] {
            auto *d = qobject_cast<frmConfig *>(QApplication::activeModalWidget());
            QVERIFY(d && elige(d->cmbModo, u"Iso"_s) && elige(d->cmbNego, u"RTS/CTS"_s)
                && elige(d->cmbVT, u"57600"_s) && elige(d->cmbIdioma, u"English"_s));
            modal = d->isModal();
            d->cmdAceptar_Click();
        });
        p.cmdConfig_Click();
        // The status line and the window carry over into the new language.
        QCOMPARE(junta(modal, p.findChildren<frmConfig *>().size(), p.chkModo->isChecked(),
                     p.Panel(6), p.Panel(2).endsWith(u" 57600"_s), p.lblEstado->text(),
                     p.windowTitle(), lee(m_e->ruta())),
            junta(true, 0, true, u"Mode Iso"_s, true, u"Empty"_s, u"Serial Port Communication"_s,
                fichero(u"Idioma=English\nModo=Iso\nCom=1\nVt=57600\nPar=N\nBd=8\nBs=2\n"
                        "Nego=RtsCts\n"_s)));
    }

    void fallarAlGrabarOCancelarNoCambiaNada()
    {
        frmPrincipal &p = carga();
        const QString antes = lee(m_e->ruta());
        const auto estado = [&] {
            return junta(PuertoCom, ModoTransmision, IdiomaActual, p.chkModo->isChecked(),
                p.lblEstado->text(), p.Panel(1), p.Panel(6), lee(m_e->ruta()) == antes);
        };
        const QString inicial = estado();
        frmConfig d(p);
        d.show();
        QVERIFY(elige(d.cmbPuerto, u"COM4"_s) && elige(d.cmbModo, u"Iso"_s)
            && elige(d.cmbIdioma, u"English"_s));
        // The settings file cannot be written: said with its path, and the
        // dialog stays open with the operator's choices.
        QVERIFY(bloquea(m_e->ruta()));
        d.cmdAceptar_Click();
        QVERIFY(bloquea(m_e->ruta(), false));
        QCOMPARE(junta(d.isVisible(), d.cmbPuerto->currentText(), estado(),
                     m_e->mensajes.join(u'\n').contains(m_e->ruta())),
            junta(true, u"COM4"_s, inicial, true));
        d.cmdCancelar_Click();
        QCOMPARE(junta(d.result(), estado()), junta(int(QDialog::Rejected), inicial));
    }
};

QTEST_MAIN(TestFrmConfig)
#include "tst_frmconfig.moc"
