// The configuration dialog against a settings file of the test's own.

#include "comun/junta.h"
#include "settings/ayudadialogos.h"

#include "settings/frmconfig.h"
#include "settings/listapuertos.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
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
    QString general(const QString &clave) const
    {
        return LeeIni(u"General"_s, clave, u"(ninguno)"_s, ruta());
    }
    // The port in memory and as stored: "PuertoCom|PuertoDispositivo|Com".
    QString puerto() const { return junta(PuertoCom, PuertoDispositivo, general(u"Com"_s)); }
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
        const QStringList mostrado = {d.cmbPuerto->currentText(), d.cmbVT->currentText(),
            d.cmbParidad->currentText(), d.cmbBitsDatos->currentText(),
            d.cmbBitsStop->currentText(), d.cmbModo->currentText(), d.cmbNego->currentText(),
            d.cmbIdioma->currentText(), elementos(d.cmbIdioma).join(u'/'), d.windowTitle(),
            QString::number(d.cmdAceptar->isEnabled() + 2 * d.cmdModifIdioma->isEnabled())};
        QCOMPARE(mostrado,
            QStringList({"COM1", "4800", "Ninguna", "8", "2", "Ascii", "XON/XOFF", "Español",
                "Español/English", "Configuración", "3"}));

        d.cmdAceptar_Click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        // DirGuarda and the languages stay as they were; Nego is not written unchanged.
        QCOMPARE(lee(ruta()),
            fichero(u"Idioma=Español\nModo=Ascii\nCom=1\nVt=4800\nPar=N\nBd=8\nBs=2\n"_s));
        QVERIFY(m_e->mensajes.isEmpty());
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
        QCOMPARE(PuertoDispositivo, desenchufado);
        {
            frmConfig d(p);
            QCOMPARE(junta(d.cmbPuerto->currentText(), d.cmbPuerto->currentData(),
                         d.cmdAceptar->isEnabled()),
                junta(desenchufado, desenchufado, true));
            d.cmdAceptar_Click();
        }
        QCOMPARE(puerto(), u"0|"_s + desenchufado + u'|' + desenchufado);

        QVERIFY(acepta(p, {{"cmbPuerto", u"COM10"_s}}));
        QCOMPARE(puerto(), u"10||10"_s);
        QVERIFY(p.Panel(1).endsWith(u" COM10"_s));
        {
            frmConfig d(p);
            QCOMPARE(d.cmbPuerto->currentText(), u"COM10"_s);
            // The stable by-id names are offered after the COM numbers.
            const int i = d.cmbPuerto->findData(enlace);
            QVERIFY2(i >= 10, qPrintable(elementos(d.cmbPuerto).join(u'|')));
            QVERIFY(d.cmbPuerto->itemText(i).startsWith(enlace + u" - "_s));
            d.cmbPuerto->setCurrentIndex(i);
            emit d.cmbPuerto->activated(i);
            // The adapter is pulled and another plugged in before the list drops down.
            const QString otro = porId + u"/usb-Prolific_PL2303-if00-port0"_s;
            QVERIFY(QFile::remove(enlace) && QFile::link(destino, otro));
            d.cmbPuerto->showPopup();
            d.cmbPuerto->hidePopup();
            QCOMPARE(d.cmbPuerto->currentData().toString(), enlace);
            QVERIFY(d.cmbPuerto->findData(otro) >= 10);
            d.cmdAceptar_Click();
        }
        QCOMPARE(puerto(), u"0|"_s + enlace + u'|' + enlace);
        QCOMPARE(frmConfig(p).cmbPuerto->currentData().toString(), enlace);
    }

    // Data tag: the [General] line; then the list that cannot show it and a valid choice.
    void valorSinElementoDejaAceptarDeshabilitado_data()
    {
        QTest::addColumn<QString>("lista");
        QTest::addColumn<QString>("eleccion");
        QTest::newRow("Com=11") << u"cmbPuerto"_s << u"COM2"_s;
        QTest::newRow("Vt=1234") << u"cmbVT"_s << u"9600"_s;
        QTest::newRow("Par=X") << u"cmbParidad"_s << u"Par"_s;
        QTest::newRow("Par=") << u"cmbParidad"_s << u"Impar"_s;
        QTest::newRow("Bd=9") << u"cmbBitsDatos"_s << u"7"_s;
        QTest::newRow("Bs=1.5") << u"cmbBitsStop"_s << u"1"_s;
        QTest::newRow("Modo=ISO") << u"cmbModo"_s << u"Iso"_s;
        QTest::newRow("Nego=Otro") << u"cmbNego"_s << u"RTS/CTS"_s;
        QTest::newRow("Idioma=Deutsch") << u"cmbIdioma"_s << u"English"_s;
    }

    void valorSinElementoDejaAceptarDeshabilitado()
    {
        QFETCH(QString, lista);
        QFETCH(QString, eleccion);
        frmPrincipal &p = carga(QString::fromUtf8(QTest::currentDataTag()) + u'\n');
        // The main window settles a mode it does not know; the record is taken
        // as the file holds it.
        CargaConfig();
        frmConfig d(p);
        auto *cmb = d.findChild<QComboBox *>(lista);
        QVERIFY(cmb);
        // Index, shown text, Aceptar, Modificar idioma.
        const auto estado = [&] {
            return junta(cmb->currentIndex(), cmb->currentText(), d.cmdAceptar->isEnabled(),
                d.cmdModifIdioma->isEnabled());
        };
        QCOMPARE(estado(), junta(-1, QString(), false, lista != u"cmbIdioma"_s));
        QVERIFY(elige(cmb, eleccion));
        QCOMPARE(estado(), junta(cmb->findText(eleccion), eleccion, true, true));
    }

    void isoYNegoDesdeElBotonConfig()
    {
        frmPrincipal &p = carga();
        QVERIFY(!p.chkModo->isChecked());
        bool modal = false;
        QTimer::singleShot(0, this, [&] {
            auto *d = qobject_cast<frmConfig *>(QApplication::activeModalWidget());
            if (!d)
                return;
            modal = d->isModal();
            QVERIFY(elige(d->cmbModo, u"Iso"_s) && elige(d->cmbNego, u"RTS/CTS"_s));
            QVERIFY(elige(d->cmbVT, u"57600"_s));
            d->cmdAceptar_Click();
        });
        p.cmdConfig_Click();
        QCOMPARE(junta(modal, p.findChildren<frmConfig *>().size(), p.chkModo->isChecked(),
                     p.Panel(6), Nego),
            u"true|0|true|Modo Iso|RtsCts"_s);
        QVERIFY(p.Panel(2).endsWith(u" 57600"_s));
        QCOMPARE(lee(ruta()),
            fichero(
                u"Idioma=Español\nModo=Iso\nCom=1\nVt=57600\nPar=N\nBd=8\nBs=2\nNego=RtsCts\n"_s));
        QCOMPARE(frmConfig(p).cmbNego->currentText(), u"RTS/CTS"_s);
        QVERIFY(acepta(p, {{"cmbNego", u"XON/XOFF"_s}}));
        QCOMPARE(Nego + u'|' + general(u"Nego"_s), u"XonXoff|XonXoff"_s);
    }

    void cambioDeIdiomaTraduceLaLineaDeEstado()
    {
        frmPrincipal &p = carga();
        QCOMPARE(p.lblEstado->text(), u"Limpia"_s);
        QVERIFY(acepta(p, {{"cmbIdioma", u"English"_s}}));
        QCOMPARE(QStringList({IdiomaActual, p.lblEstado->text(), p.windowTitle()}),
            QStringList({"English", "Empty", "Serial Port Communication"}));
        QVERIFY(p.Panel(6).startsWith(u"Mode "_s));

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
            return QStringList {QString::number(PuertoCom), QString::number(Velocidad),
                ModoTransmision, Nego, IdiomaActual, QString::number(p.chkModo->isChecked()),
                p.lblEstado->text(), p.Panel(1), p.Panel(2), p.Panel(6)};
        };
        const QStringList inicial = estado();
        QCOMPARE(inicial.mid(0, 6), QStringList({"1", "4800", "Ascii", "XonXoff", "Español", "0"}));
        frmConfig d(p);
        d.show();
        QVERIFY(elige(d.cmbPuerto, u"COM4"_s) && elige(d.cmbVT, u"115200"_s)
            && elige(d.cmbModo, u"Iso"_s) && elige(d.cmbNego, u"None"_s)
            && elige(d.cmbIdioma, u"English"_s));

        // The settings file cannot be written: said with its path and the
        // reason, and the dialog stays open with the operator's choices.
        QVERIFY(bloquea(ruta()));
        d.cmdAceptar_Click();
        QCOMPARE(m_e->mensajes.size(), 1);
        const QString &mensaje = m_e->mensajes.first();
        QVERIFY2(mensaje.contains(QDir::toNativeSeparators(ruta())) && !mensaje.endsWith(u": "_s),
            qPrintable(mensaje));
        QCOMPARE(junta(d.isVisible(), d.result(), d.cmbPuerto->currentText()), u"true|0|COM4"_s);
        QCOMPARE(estado(), inicial);
        QVERIFY(desbloquea(ruta()));

        d.cmdCancelar_Click();
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QCOMPARE(lee(ruta()), antes);
        QCOMPARE(estado(), inicial);
    }
};

QTEST_MAIN(TestFrmConfig)
#include "tst_frmconfig.moc"
