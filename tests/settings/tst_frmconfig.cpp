// The configuration dialog against a settings file of the test's own.

#include "settings/ayudadialogos.h"

#include "languages/frmconfigtraduc.h"
#include "settings/frmconfig.h"
#include "settings/listapuertos.h"
#include "settings/varsfuncsglobales.h"
#include "shell/frmprincipal.h"
#include "shell/herramientas.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace VarsFuncsGlobales;
using namespace AyudaDialogos;

class TestFrmConfig : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void muestraLosValoresPorDefecto();
    void guardaYMuestraElPuerto_data();
    void guardaYMuestraElPuerto();
    void conservaUnDispositivoDesenchufado();
    void ofreceLosNombresEstablesYRefrescaAlDesplegar();
    void valorSinElementoDejaAceptarDeshabilitado_data();
    void valorSinElementoDejaAceptarDeshabilitado();
    void aceptarSinCambiosEscribeSoloLasSieteClaves();
    void negoSeEscribeSoloCuandoCambia();
    void cambioDeIdiomaTraduceLaLineaDeEstado();
    void isoMarcaLaCasillaYElPanel();
    void cancelarNoCambiaNada();
    void ficheroNoGrabableSeInformaYElDialogoSigue();
    void sinFicheroNadaFalla();
    void altaDeIdiomaLoOfreceYMuestraElActual();
    void botonConfigAbreElDialogoModal();

private:
    QString ruta() const { return m_dir->filePath(QStringLiteral("KELDAN.INI")); }
    QString ficheroBase(const QString &general = QString()) const
    {
        return QStringLiteral("[General]\nDirGuarda=C:\\CNC\\\n") + general + seccionEspanol()
            + seccionEnglish();
    }
    // A main window loaded from the present file.
    frmPrincipal &principal();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<frmPrincipal> m_principal;
    QStringList m_mensajes;
};

frmPrincipal &TestFrmConfig::principal()
{
    m_principal = std::make_unique<frmPrincipal>();
    m_principal->Form_Load();
    return *m_principal;
}

void TestFrmConfig::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    EstableceDirectorioPrograma(m_dir->path());
    ListaPuertos::EstableceDirectorioPorId(m_dir->filePath(QStringLiteral("por-id")));
    m_mensajes.clear();
    Herramientas::EstableceRespuestaMsgBox([this](const QString &prompt, int, const QString &) {
        m_mensajes.append(prompt);
        return int(Herramientas::vbOK);
    });
}

void TestFrmConfig::cleanup()
{
    m_principal.reset();
    Herramientas::EstableceRespuestaMsgBox({});
    ListaPuertos::EstableceDirectorioPorId(QString());
    EstableceDirectorioPrograma(QString());
    m_dir.reset();
}

void TestFrmConfig::muestraLosValoresPorDefecto()
{
    QVERIFY(escribe(ruta(), ficheroBase()));
    frmConfig d(principal());

    QCOMPARE(d.cmbPuerto->currentText(), QStringLiteral("COM1"));
    QCOMPARE(d.cmbVT->currentText(), QStringLiteral("4800"));
    QCOMPARE(d.cmbParidad->currentText(), QStringLiteral("Ninguna"));
    QCOMPARE(d.cmbBitsDatos->currentText(), QStringLiteral("8"));
    QCOMPARE(d.cmbBitsStop->currentText(), QStringLiteral("2"));
    QCOMPARE(d.cmbModo->currentText(), QStringLiteral("Ascii"));
    QCOMPARE(d.cmbNego->currentText(), QStringLiteral("XON/XOFF"));
    QCOMPARE(d.cmbIdioma->currentText(), QStringLiteral("Español"));
    QVERIFY(d.cmdAceptar->isEnabled());
    QVERIFY(d.cmdModifIdioma->isEnabled());
    QCOMPARE(d.windowTitle(), QStringLiteral("Configuración"));

    QCOMPARE(d.cmbPuerto->itemText(9), QStringLiteral("COM10"));
    QCOMPARE(elementos(d.cmbVT).mid(9), QStringList({"28800", "38400", "57600", "115200"}));
    QCOMPARE(elementos(d.cmbIdioma), QStringList({"Español", "English"}));
    QVERIFY(d.cmdAceptar->isDefault());
}

void TestFrmConfig::guardaYMuestraElPuerto_data()
{
    QTest::addColumn<QString>("elemento");
    QTest::addColumn<int>("numero");
    QTest::newRow("COM10") << "COM10" << 10;
    QTest::newRow("COM3") << "COM3" << 3;
}

void TestFrmConfig::guardaYMuestraElPuerto()
{
    QFETCH(QString, elemento);
    QFETCH(int, numero);
    QVERIFY(escribe(ruta(), ficheroBase()));
    frmPrincipal &p = principal();
    {
        frmConfig d(p);
        QVERIFY(elige(d.cmbPuerto, elemento));
        d.cmdAceptar_Click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
    }
    QCOMPARE(PuertoCom, numero);
    QVERIFY(PuertoDispositivo.isEmpty());
    QVERIFY(seccion(lee(ruta()), QStringLiteral("General"))
                .contains(QStringLiteral("Com=") + QString::number(numero)));
    QVERIFY(p.Panel(1).endsWith(QStringLiteral(" COM") + QString::number(numero)));

    frmConfig otra(p);
    QCOMPARE(otra.cmbPuerto->currentText(), elemento);
    QVERIFY(otra.cmdAceptar->isEnabled());
}

void TestFrmConfig::conservaUnDispositivoDesenchufado()
{
    const QString dispositivo = QStringLiteral("/dev/ttyKeldanNoEnchufado7");
    QVERIFY(escribe(ruta(), ficheroBase(QStringLiteral("Com=") + dispositivo + QLatin1Char('\n'))));
    frmPrincipal &p = principal();
    QCOMPARE(PuertoDispositivo, dispositivo);
    {
        frmConfig d(p);
        QCOMPARE(d.cmbPuerto->currentText(), dispositivo);
        QCOMPARE(d.cmbPuerto->currentData().toString(), dispositivo);
        QVERIFY(d.cmdAceptar->isEnabled());
        d.cmdAceptar_Click();
    }
    QCOMPARE(PuertoDispositivo, dispositivo);
    QCOMPARE(PuertoCom, 0);
    QVERIFY(seccion(lee(ruta()), QStringLiteral("General"))
                .contains(QStringLiteral("Com=") + dispositivo));
}

void TestFrmConfig::ofreceLosNombresEstablesYRefrescaAlDesplegar()
{
    QVERIFY(escribe(ruta(), ficheroBase()));
    const QString porId = m_dir->filePath(QStringLiteral("por-id"));
    QVERIFY(QDir().mkpath(porId));
    const QString destino = m_dir->filePath(QStringLiteral("ttyUSB0"));
    QVERIFY(escribe(destino, QString()));
    const QString enlace = porId + QStringLiteral("/usb-FTDI_FT232R_USB_UART_A1-if00-port0");
    QVERIFY(QFile::link(destino, enlace));

    frmPrincipal &p = principal();
    {
        frmConfig d(p);
        const int i = d.cmbPuerto->findData(enlace);
        QVERIFY2(i >= 10, qPrintable(elementos(d.cmbPuerto).join(QLatin1Char('|'))));
        QVERIFY(d.cmbPuerto->itemText(i).startsWith(enlace + QStringLiteral(" - ")));
        d.cmbPuerto->setCurrentIndex(i);
        emit d.cmbPuerto->activated(i);

        // The adapter is pulled and another plugged in before the list drops down.
        QVERIFY(QFile::remove(enlace));
        const QString otro = porId + QStringLiteral("/usb-Prolific_PL2303-if00-port0");
        QVERIFY(QFile::link(destino, otro));
        d.cmbPuerto->showPopup();
        d.cmbPuerto->hidePopup();
        QCOMPARE(d.cmbPuerto->currentData().toString(), enlace);
        QVERIFY(d.cmbPuerto->findData(otro) >= 10);
        QVERIFY(d.cmdAceptar->isEnabled());
        d.cmdAceptar_Click();
    }
    QCOMPARE(PuertoDispositivo, enlace);
    QCOMPARE(PuertoCom, 0);
    QVERIFY(
        seccion(lee(ruta()), QStringLiteral("General")).contains(QStringLiteral("Com=") + enlace));

    frmConfig otra(p);
    QCOMPARE(otra.cmbPuerto->currentData().toString(), enlace);
    QVERIFY(otra.cmbPuerto->currentText().startsWith(enlace));
}

void TestFrmConfig::valorSinElementoDejaAceptarDeshabilitado_data()
{
    QTest::addColumn<QString>("linea");
    QTest::addColumn<QString>("lista");
    QTest::addColumn<QString>("eleccion");
    QTest::newRow("puerto 11") << "Com=11"
                               << "cmbPuerto"
                               << "COM2";
    QTest::newRow("velocidad") << "Vt=1234"
                               << "cmbVT"
                               << "9600";
    QTest::newRow("paridad") << "Par=X"
                             << "cmbParidad"
                             << "Par";
    QTest::newRow("paridad vacía") << "Par="
                                   << "cmbParidad"
                                   << "Impar";
    QTest::newRow("bits de datos") << "Bd=9"
                                   << "cmbBitsDatos"
                                   << "7";
    QTest::newRow("bits de stop") << "Bs=1.5"
                                  << "cmbBitsStop"
                                  << "1";
    QTest::newRow("modo en mayúsculas") << "Modo=ISO"
                                        << "cmbModo"
                                        << "Iso";
    QTest::newRow("protocolo") << "Nego=Otro"
                               << "cmbNego"
                               << "RTS/CTS";
    QTest::newRow("idioma sin sección") << "Idioma=Deutsch"
                                        << "cmbIdioma"
                                        << "English";
}

void TestFrmConfig::valorSinElementoDejaAceptarDeshabilitado()
{
    QFETCH(QString, linea);
    QFETCH(QString, lista);
    QFETCH(QString, eleccion);
    QVERIFY(escribe(ruta(), ficheroBase(linea + QLatin1Char('\n'))));
    frmPrincipal &p = principal();
    // The main window settles a mode it does not know; the record is taken
    // as the file holds it.
    CargaConfig();
    frmConfig d(p);
    auto *cmb = d.findChild<QComboBox *>(lista);
    QVERIFY(cmb);
    QCOMPARE(cmb->currentIndex(), -1);
    QVERIFY(cmb->currentText().isEmpty());
    QVERIFY(!d.cmdAceptar->isEnabled());
    if (lista == QLatin1String("cmbIdioma"))
        QVERIFY(!d.cmdModifIdioma->isEnabled());

    QVERIFY(elige(cmb, eleccion));
    QVERIFY(d.cmdAceptar->isEnabled());
    if (lista == QLatin1String("cmbIdioma"))
        QVERIFY(d.cmdModifIdioma->isEnabled());
}

void TestFrmConfig::aceptarSinCambiosEscribeSoloLasSieteClaves()
{
    QVERIFY(escribe(ruta(), ficheroBase()));
    const QString antes = lee(ruta());
    {
        frmConfig d(principal());
        d.cmdAceptar_Click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
    }
    const QString despues = lee(ruta());
    QCOMPARE(seccion(despues, QStringLiteral("General")),
        QStringList({"DirGuarda=C:\\CNC\\", "Idioma=Español", "Modo=Ascii", "Com=1", "Vt=4800",
            "Par=N", "Bd=8", "Bs=2"}));
    QCOMPARE(
        seccion(despues, QStringLiteral("Español")), seccion(antes, QStringLiteral("Español")));
    QCOMPARE(
        seccion(despues, QStringLiteral("English")), seccion(antes, QStringLiteral("English")));
    QVERIFY(despues.endsWith(seccionEnglish()));
    QVERIFY(m_mensajes.isEmpty());
}

void TestFrmConfig::negoSeEscribeSoloCuandoCambia()
{
    QVERIFY(escribe(ruta(), ficheroBase()));
    frmPrincipal &p = principal();
    {
        frmConfig d(p);
        QVERIFY(elige(d.cmbNego, QStringLiteral("RTS/CTS")));
        d.cmdAceptar_Click();
    }
    QCOMPARE(Nego, QStringLiteral("RtsCts"));
    QCOMPARE(seccion(lee(ruta()), QStringLiteral("General")).last(), QStringLiteral("Nego=RtsCts"));
    {
        frmConfig d(p);
        QCOMPARE(d.cmbNego->currentText(), QStringLiteral("RTS/CTS"));
        QVERIFY(elige(d.cmbNego, QStringLiteral("XON/XOFF")));
        d.cmdAceptar_Click();
    }
    QCOMPARE(Nego, QStringLiteral("XonXoff"));
    QVERIFY(
        seccion(lee(ruta()), QStringLiteral("General")).contains(QStringLiteral("Nego=XonXoff")));
}

void TestFrmConfig::cambioDeIdiomaTraduceLaLineaDeEstado()
{
    QVERIFY(escribe(ruta(), ficheroBase()));
    frmPrincipal &p = principal();
    QCOMPARE(p.lblEstado->text(), QStringLiteral("Limpia"));
    {
        frmConfig d(p);
        QVERIFY(elige(d.cmbIdioma, QStringLiteral("English")));
        d.cmdAceptar_Click();
    }
    QCOMPARE(IdiomaActual, QStringLiteral("English"));
    QCOMPARE(p.lblEstado->text(), QStringLiteral("Empty"));
    QCOMPARE(p.windowTitle(), QStringLiteral("Serial Port Communication"));
    QVERIFY(p.Panel(6).startsWith(QStringLiteral("Mode ")));

    // "Hecho" stands for both Abierto and Guardado in Español: the first wins.
    {
        frmConfig d(p);
        QVERIFY(elige(d.cmbIdioma, QStringLiteral("Español")));
        d.cmdAceptar_Click();
    }
    p.lblEstado->setText(QStringLiteral("Hecho"));
    {
        frmConfig d(p);
        QVERIFY(elige(d.cmbIdioma, QStringLiteral("English")));
        d.cmdAceptar_Click();
    }
    QCOMPARE(p.lblEstado->text(), QStringLiteral("Opened"));
}

void TestFrmConfig::isoMarcaLaCasillaYElPanel()
{
    QVERIFY(escribe(ruta(), ficheroBase()));
    frmPrincipal &p = principal();
    QVERIFY(!p.chkModo->isChecked());
    {
        frmConfig d(p);
        QVERIFY(elige(d.cmbModo, QStringLiteral("Iso")));
        d.cmdAceptar_Click();
    }
    QVERIFY(p.chkModo->isChecked());
    QCOMPARE(ModoTransmision, QStringLiteral("Iso"));
    QCOMPARE(p.Panel(6), QStringLiteral("Modo Iso"));
    QVERIFY(seccion(lee(ruta()), QStringLiteral("General")).contains(QStringLiteral("Modo=Iso")));
}

void TestFrmConfig::cancelarNoCambiaNada()
{
    QVERIFY(escribe(ruta(), ficheroBase()));
    const QString antes = lee(ruta());
    frmPrincipal &p = principal();
    const QString estado = p.lblEstado->text();
    const QString panel1 = p.Panel(1);
    {
        frmConfig d(p);
        QVERIFY(elige(d.cmbPuerto, QStringLiteral("COM4")));
        QVERIFY(elige(d.cmbVT, QStringLiteral("115200")));
        QVERIFY(elige(d.cmbModo, QStringLiteral("Iso")));
        QVERIFY(elige(d.cmbNego, QStringLiteral("None")));
        QVERIFY(elige(d.cmbIdioma, QStringLiteral("English")));
        d.cmdCancelar_Click();
        QCOMPARE(d.result(), int(QDialog::Rejected));
    }
    QCOMPARE(lee(ruta()), antes);
    QCOMPARE(PuertoCom, 1);
    QCOMPARE(Velocidad, 4800);
    QCOMPARE(ModoTransmision, QStringLiteral("Ascii"));
    QCOMPARE(Nego, QStringLiteral("XonXoff"));
    QCOMPARE(IdiomaActual, QStringLiteral("Español"));
    QVERIFY(!p.chkModo->isChecked());
    QCOMPARE(p.lblEstado->text(), estado);
    QCOMPARE(p.Panel(1), panel1);
}

void TestFrmConfig::ficheroNoGrabableSeInformaYElDialogoSigue()
{
    QVERIFY(escribe(ruta(), ficheroBase()));
    frmPrincipal &p = principal();
    frmConfig d(p);
    d.show();
    QVERIFY(elige(d.cmbPuerto, QStringLiteral("COM5")));
    QVERIFY(elige(d.cmbModo, QStringLiteral("Iso")));
    QVERIFY(elige(d.cmbIdioma, QStringLiteral("English")));

    // A directory where the file should be cannot be written, even by root.
    QVERIFY(QFile::rename(ruta(), ruta() + QStringLiteral(".aparte")));
    QVERIFY(QDir().mkdir(ruta()));
    d.cmdAceptar_Click();

    QCOMPARE(m_mensajes.size(), 1);
    QVERIFY2(m_mensajes.first().contains(QDir::toNativeSeparators(ruta())),
        qPrintable(m_mensajes.first()));
    QVERIFY(!m_mensajes.first().endsWith(QStringLiteral(": ")));
    QVERIFY(d.isVisible());
    QCOMPARE(d.result(), 0);
    QCOMPARE(d.cmbPuerto->currentText(), QStringLiteral("COM5"));
    QCOMPARE(d.cmbIdioma->currentText(), QStringLiteral("English"));
    // Nothing took effect: the record and the main window are as before.
    QCOMPARE(PuertoCom, 1);
    QCOMPARE(ModoTransmision, QStringLiteral("Ascii"));
    QCOMPARE(IdiomaActual, QStringLiteral("Español"));
    QVERIFY(!p.chkModo->isChecked());
    QCOMPARE(p.lblEstado->text(), QStringLiteral("Limpia"));

    // Once the file can be written again, the same choices go through.
    QVERIFY(QDir().rmdir(ruta()));
    QVERIFY(QFile::rename(ruta() + QStringLiteral(".aparte"), ruta()));
    d.cmdAceptar_Click();
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(PuertoCom, 5);
    QCOMPARE(p.lblEstado->text(), QStringLiteral("Empty"));
}

void TestFrmConfig::sinFicheroNadaFalla()
{
    frmPrincipal &p = principal();
    QVERIFY(!QFile::exists(ruta()));
    frmConfig d(p);
    QCOMPARE(d.cmbIdioma->count(), 0);
    QVERIFY(d.cmbIdioma->currentText().isEmpty());
    QVERIFY(!d.cmdAceptar->isEnabled());
    QVERIFY(!d.cmdModifIdioma->isEnabled());
    QCOMPARE(d.cmbPuerto->currentText(), QStringLiteral("COM1"));
    QCOMPARE(elementos(d.cmbParidad), QStringList({"N", "O", "E", "M", "S"}));
    QCOMPARE(d.cmbParidad->currentText(), QStringLiteral("N"));
    d.cmdCancelar_Click();
    QVERIFY(!QFile::exists(ruta()));
}

void TestFrmConfig::altaDeIdiomaLoOfreceYMuestraElActual()
{
    QVERIFY(escribe(ruta(), ficheroBase()));
    frmConfig d(principal());
    QVERIFY(elige(d.cmbIdioma, QStringLiteral("English")));

    bool visto = false;
    QTimer::singleShot(0, this, [&] {
        auto *editor = qobject_cast<frmConfigTraduc *>(QApplication::activeModalWidget());
        if (!editor) {
            QTest::qFail("the editor is not open", __FILE__, __LINE__);
            return;
        }
        visto = true;
        QVERIFY(d.ModoAlta);
        editor->txtNuevoIdioma->setText(QStringLiteral("Deutsch"));
        editor->txtNuevoIdioma_LostFocus();
        editor->lstVars->setCurrentRow(0);
        for (int i = 0; i < editor->lstVars->count(); ++i) {
            editor->txtValorNuevo->setPlainText(QStringLiteral("Text %1").arg(i));
            editor->cmdGrabar_Click();
        }
        QVERIFY(editor->cmdAceptar->isEnabled());
        editor->cmdAceptar_Click();
    });
    d.cmdAltaIdioma_Click();

    QVERIFY(visto);
    QCOMPARE(elementos(d.cmbIdioma), QStringList({"Español", "English", "Deutsch"}));
    QCOMPARE(d.cmbIdioma->currentText(), QStringLiteral("Español"));
    QVERIFY(d.cmdModifIdioma->isEnabled());
}

void TestFrmConfig::botonConfigAbreElDialogoModal()
{
    QVERIFY(escribe(ruta(), ficheroBase()));
    frmPrincipal &p = principal();
    QString titulo;
    bool modal = false;
    QTimer::singleShot(0, this, [&] {
        auto *d = qobject_cast<frmConfig *>(QApplication::activeModalWidget());
        if (!d)
            return;
        titulo = d->windowTitle();
        modal = d->isModal();
        QVERIFY(elige(d->cmbVT, QStringLiteral("57600")));
        d->cmdAceptar_Click();
    });
    p.cmdConfig_Click();
    QCOMPARE(titulo, QStringLiteral("Configuración"));
    QVERIFY(modal);
    QCOMPARE(Velocidad, 57600);
    QVERIFY(p.Panel(2).endsWith(QStringLiteral(" 57600")));
    QVERIFY(p.findChildren<frmConfig *>().isEmpty());
}

QTEST_MAIN(TestFrmConfig)
#include "tst_frmconfig.moc"
