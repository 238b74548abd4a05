// The configuration dialog against a settings file of the test's own.

#include "comun/junta.h"
#include "settings/ayudadialogos.h"

#include "settings/frmconfig.h"
#include "settings/listapuertos.h"

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

    QString ruta() const { return m_e->ruta(); }
    static QString fichero(const QString &general = QString())
    {
        return u"[General]\nDirGuarda=C:\\CNC\\\n"_s + general + seccionesIdiomas();
    }
    // The port in memory and as stored: "PuertoCom|PuertoDispositivo|Com".
    QString puerto() const
    {
        return junta(PuertoCom, PuertoDispositivo, LeeIni(u"General"_s, u"Com"_s, {}, ruta()));
    }
    // A main window loaded from a file with these [General] lines.
    frmPrincipal &carga(const QString &lineas = QString())
    {
        if (!escribe(ruta(), fichero(lineas)))
            qFatal("cannot write the settings file");
        return m_e->carga();
    }
    // Opens the dialog, chooses each (list, item) and accepts.
    static bool acepta(frmPrincipal &p, std::initializer_list<std::pair<const char *, QString>> c)
    {
        frmConfig d(p);
        for (const auto &[lista, texto] : c) {
            if (!elige(d.findChild<QComboBox *>(QLatin1String(lista)), texto))
                return false;
        }
        d.cmdAceptar_Click();
        return d.result() == QDialog::Accepted;
    }

private slots:
    void init()
    {
        m_e = std::make_unique<Entorno>();
        ListaPuertos::EstableceDirectorioPorId(m_e->dir.filePath(u"por-id"_s));
    }

    void cleanup()
    {
        m_e.reset();
        ListaPuertos::EstableceDirectorioPorId(QString());
    }

    void aceptarSinCambiosMuestraYEscribeLasSieteClaves()
    {
        frmConfig d(carga());
        const Qt::WindowFlags f = d.windowFlags();
        QCOMPARE(junta(d.cmbPuerto->currentText(), d.cmbVT->currentText(),
                     d.cmbParidad->currentText(), d.cmbBitsDatos->currentText(),
                     d.cmbBitsStop->currentText(), d.cmbModo->currentText(),
                     d.cmbNego->currentText(), d.cmbIdioma->currentText(), elementos(d.cmbIdioma),
                     d.windowTitle(), d.cmdAceptar->isEnabled(), d.cmdModifIdioma->isEnabled(),
                     f.testFlag(Qt::WindowMinimizeButtonHint)
                         || f.testFlag(Qt::WindowMaximizeButtonHint)),
            u"COM1|4800|Ninguna|8|2|Ascii|XON/XOFF|Español|Español/English|Configuración|true|true|false"_s);
        d.cmdAceptar_Click();
        // DirGuarda and the languages stay as they were; Nego is not written unchanged.
        QCOMPARE(junta(d.result(), lee(ruta()), m_e->mensajes.size()),
            junta(int(QDialog::Accepted),
                fichero(u"Idioma=Español\nModo=Ascii\nCom=1\nVt=4800\nPar=N\nBd=8\nBs=2\n"_s), 0));
    }

    void guardaYMuestraElPuerto()
    {
        const QString desenchufado = u"/dev/ttyKeldanNoEnchufado7"_s;
        const QString porId = m_e->dir.filePath(u"por-id"_s);
        const QString destino = m_e->dir.filePath(u"ttyUSB0"_s);
        const QString enlace = porId + u"/usb-FTDI_FT232R_USB_UART_A1-if00-port0"_s;
        QVERIFY(
            QDir().mkpath(porId) && escribe(destino, QString()) && QFile::link(destino, enlace));

        // A stored device that is not plugged in is shown and kept.
        frmPrincipal &p = carga(u"Com="_s + desenchufado + u'\n');
        QVERIFY(acepta(p, {}));
        QCOMPARE(puerto(), u"0|"_s + desenchufado + u'|' + desenchufado);
        QVERIFY(acepta(p, {{"cmbPuerto", u"COM10"_s}}));
        QCOMPARE(junta(puerto(), p.Panel(1).endsWith(u" COM10"_s)), u"10||10|true"_s);
        {
            frmConfig d(p);
            // The stable by-id names are offered after the COM numbers and
            // survive the adapter being swapped before the list drops down.
            const int i = d.cmbPuerto->findData(enlace);
            QVERIFY2(i >= 10, qPrintable(elementos(d.cmbPuerto)));
            d.cmbPuerto->setCurrentIndex(i);
            emit d.cmbPuerto->activated(i);
            const QString otro = porId + u"/usb-Prolific_PL2303-if00-port0"_s;
            QVERIFY(QFile::remove(enlace) && QFile::link(destino, otro));
            d.cmbPuerto->showPopup();
            d.cmbPuerto->hidePopup();
            QVERIFY(d.cmbPuerto->findData(otro) >= 10);
            d.cmdAceptar_Click();
        }
        QCOMPARE(junta(puerto(), frmConfig(p).cmbPuerto->currentData()),
            junta(0, enlace, enlace, enlace));

        // A device typed in (a pseudo-terminal of a CNC simulator) is taken as
        // typed, a bare name under /dev; the dialog does not check it exists.
        for (const auto &[tecleado, guardado] : {std::pair {u"/dev/pts/77"_s, u"/dev/pts/77"_s},
                 {u"ttyS9"_s, u"/dev/ttyS9"_s}, {u"com3"_s, QString()}}) {
            frmConfig d(p);
            d.cmbPuerto->lineEdit()->selectAll();
            QTest::keyClicks(d.cmbPuerto->lineEdit(), tecleado);
            d.cmbPuerto->showPopup(); // the refresh keeps what was typed
            d.cmbPuerto->hidePopup();
            QVERIFY(d.cmdAceptar->isEnabled());
            d.cmdAceptar_Click();
            QCOMPARE(junta(d.result(), PuertoDispositivo), junta(1, guardado));
        }
        QCOMPARE(puerto(), u"3||3"_s);
    }

    void valorSinElementoDejaAceptarDeshabilitado()
    {
        // The [General] line, the list that cannot show it and a valid choice.
        const char *const casos[][3] = {{"Com=11", "cmbPuerto", "COM2"},
            {"Vt=1234", "cmbVT", "9600"}, {"Par=X", "cmbParidad", "Par"},
            {"Bs=1.5", "cmbBitsStop", "1"}, {"Modo=ISO", "cmbModo", "Iso"},
            {"Nego=Otro", "cmbNego", "RTS/CTS"}, {"Idioma=Deutsch", "cmbIdioma", "English"}};
        for (const auto &[linea, lista, eleccion] : casos) {
            frmPrincipal &p = carga(QLatin1String(linea) + u'\n');
            CargaConfig(); // the record as the file holds it, whatever the window settled
            frmConfig d(p);
            auto *cmb = d.findChild<QComboBox *>(QLatin1String(lista));
            const auto estado = [&] {
                return junta(
                    cmb->currentText(), d.cmdAceptar->isEnabled(), d.cmdModifIdioma->isEnabled());
            };
            QCOMPARE(estado(), junta(QString(), false, cmb != d.cmbIdioma));
            QVERIFY(elige(cmb, QLatin1String(eleccion)));
            QCOMPARE(estado(), junta(QString::fromLatin1(eleccion), true, true));
        }
    }

    void isoYNegoDesdeElBotonConfig()
    {
        frmPrincipal &p = carga();
        bool modal = false;
        QTimer::singleShot(0, this, [&] {
            auto *d = qobject_cast<frmConfig *>(QApplication::activeModalWidget());
            QVERIFY(d && elige(d->cmbModo, u"Iso"_s) && elige(d->cmbNego, u"RTS/CTS"_s)
                && elige(d->cmbVT, u"57600"_s));
            modal = d->isModal();
            d->cmdAceptar_Click();
        });
        p.cmdConfig_Click();
        QCOMPARE(junta(modal, p.findChildren<frmConfig *>().size(), p.chkModo->isChecked(),
                     p.Panel(6), Nego, p.Panel(2).endsWith(u" 57600"_s)),
            u"true|0|true|Modo Iso|RtsCts|true"_s);
        QCOMPARE(lee(ruta()),
            fichero(
                u"Idioma=Español\nModo=Iso\nCom=1\nVt=57600\nPar=N\nBd=8\nBs=2\nNego=RtsCts\n"_s));
    }

    void cambioDeIdiomaTraduceLaLineaDeEstado()
    {
        frmPrincipal &p = carga();
        QVERIFY(acepta(p, {{"cmbIdioma", u"English"_s}}));
        QCOMPARE(junta(IdiomaActual, p.lblEstado->text(), p.windowTitle()),
            u"English|Empty|Serial Port Communication"_s);
        // "Hecho" stands for both Abierto and Guardado in Español: the first wins.
        QVERIFY(acepta(p, {{"cmbIdioma", u"Español"_s}}));
        p.lblEstado->setText(u"Hecho"_s);
        QVERIFY(acepta(p, {{"cmbIdioma", u"English"_s}}));
        QCOMPARE(p.lblEstado->text(), u"Opened"_s);
    }

    void fallarAlGrabarOCancelarNoCambiaNada()
    {
        frmPrincipal &p = carga();
        const QString antes = lee(ruta());
        const auto estado = [&] {
            return junta(PuertoCom, Velocidad, ModoTransmision, IdiomaActual,
                p.chkModo->isChecked(), p.lblEstado->text(), p.Panel(1), p.Panel(6));
        };
        const QString inicial = estado();
        frmConfig d(p);
        d.show();
        QVERIFY(elige(d.cmbPuerto, u"COM4"_s) && elige(d.cmbModo, u"Iso"_s)
            && elige(d.cmbIdioma, u"English"_s));
        // The settings file cannot be written: said with its path, and the
        // dialog stays open with the operator's choices.
        QVERIFY(bloquea(ruta()));
        d.cmdAceptar_Click();
        QVERIFY(desbloquea(ruta()));
        QVERIFY2(m_e->mensajes.size() == 1
                && m_e->mensajes.first().contains(QDir::toNativeSeparators(ruta())),
            qPrintable(m_e->mensajes.join(u'\n')));
        QCOMPARE(junta(d.isVisible(), d.result(), d.cmbPuerto->currentText(), estado()),
            junta(true, 0, u"COM4"_s, inicial));
        d.cmdCancelar_Click();
        QCOMPARE(junta(d.result(), lee(ruta()), estado()),
            junta(int(QDialog::Rejected), antes, inicial));
    }
};

QTEST_MAIN(TestFrmConfig)
#include "tst_frmconfig.moc"
