#include "settings/varsfuncsglobales.h"
#include "shell/frmprincipal.h"
#include "shell/frmsplash.h"
#include "shell/herramientas.h"
#include "text/textoprograma.h"

#include "keldanversion.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

using namespace VarsFuncsGlobales;
using Herramientas::Puntero;

namespace {

const QByteArray kIni
    = "[General]\nIdioma=English\nModo=Ascii\nCom=2\nVt=9600\nPar=E\nBd=7\nBs=1\n"
      "[English]\nPrinName=Serial Transfer\nPrinTitulo=Keldan\n"
      "PrinlblTituloTexto=Text:\nPrinlblTituloEstado=Status:\n"
      "PrinCom=Port\nPrinVt=Speed\nPrinPar=Parity\nPrinBd=Data\nPrinBs=Stop\n"
      "PrinModo=Mode\nPrinNego=XON/XOFF\nPrincmdLimpiar=Clear\nPrincmdSalir=Exit\n"
      "PrincmdConfig=Settings\nPrincmdEdit=Edit\nPrincmdAbrir=Open\n"
      "PrincmdGuardar=Save\nPrincmdSpace=&Spaces\nPrincmdManual=&Manual\n"
      "PrincmdStop=Stop\nPrinmsgLimpia=Empty\nPrinmsgSinGuardar=Not saved\n"
      "PrinmsgGrabaFinal=Save first?\n";

} // namespace

class FrmPrincipalTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<frmPrincipal> m_frm;
    QStringList m_preguntas;

    void escribeIni(const QByteArray &datos)
    {
        QFile f(RutaIni());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(datos);
    }

private slots:
    void init()
    {
        EstableceDirectorioPrograma(m_dir.path());
        NombreFichero.clear();
        escribeIni(kIni);
        m_preguntas.clear();
        Herramientas::EstableceRespuestaMsgBox([this](const QString &p, int, const QString &) {
            m_preguntas << p;
            return int(Herramientas::vbNo);
        });
        m_frm = std::make_unique<frmPrincipal>();
        m_frm->Form_Load();
        m_frm->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_frm.get()));
    }

    void cleanup()
    {
        m_frm.reset();
        Herramientas::EstableceRespuestaMsgBox({});
        Herramientas::EstablecePuntero(Puntero::Normal);
    }

    void startStateFollowsTheSettingsAndTexts()
    {
        const QStringList textos {m_frm->windowTitle(), m_frm->lblTituloTexto->text(),
            m_frm->lblTituloEstado->text(), m_frm->cmdSpace->text(), m_frm->cmdAbrir->toolTip(),
            m_frm->cmdStop->toolTip(), m_frm->cmdAbrir->accessibleName(), m_frm->cmdPcCnc->text()};
        QCOMPARE(textos.join('|'),
            QStringLiteral("Serial Transfer|Text:|Status:|&Spaces|Open|Stop|Open|&PC -> CNC"));
        QCOMPARE(m_frm->lblEstado->text(), QStringLiteral("Empty"));

        for (QPushButton *b : {m_frm->cmdGuardar, m_frm->cmdPcCnc, m_frm->cmdSpace, m_frm->cmdStop})
            QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
        for (QPushButton *b : {m_frm->cmdAbrir, m_frm->cmdLimpiar, m_frm->cmdEdit, m_frm->cmdConfig,
                 m_frm->cmdSalir, m_frm->cmdManual, m_frm->cmdCncPc})
            QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
        QVERIFY(m_frm->chkModo->isEnabled());
        QVERIFY(!m_frm->chkModo->isChecked());

        QStringList paneles;
        for (int n = 1; n <= 7; ++n)
            paneles << m_frm->Panel(n);
        QCOMPARE(paneles.join('|'),
            QStringLiteral("Port COM2|Speed 9600|Parity E|Data 7|Stop 1|"
                           "Mode Ascii|XON/XOFF"));
    }

    void missingLanguageLeavesOnlyTheFixedTexts()
    {
        escribeIni("[General]\nIdioma=Klingon\n");
        frmPrincipal frm;
        frm.Form_Load();
        QCOMPARE(frm.windowTitle(), QString());
        QCOMPARE(frm.lblTituloTexto->text(), QString());
        QCOMPARE(frm.cmdAbrir->toolTip(), QString());
        QCOMPARE(frm.cmdCncPc->text(), QStringLiteral("&CNC -> PC"));
        QCOMPARE(frm.chkModo->text(), QStringLiteral("Ascii / Iso"));
        QCOMPARE(frm.Panel(1), QStringLiteral(" COM1"));
    }

    void modeBoxAndTransfersAgree()
    {
        escribeIni("[General]\nModo=Iso\n");
        frmPrincipal iso;
        iso.Form_Load();
        QVERIFY(iso.chkModo->isChecked());
        QCOMPARE(ModoTransmision, QStringLiteral("Iso"));
        QVERIFY(iso.Panel(6).endsWith(QStringLiteral(" Iso")));

        // Other letter case: the box is checked, so the mode must be ISO too.
        escribeIni("[General]\nModo=ISO\n");
        frmPrincipal mayusculas;
        mayusculas.chkModo->setChecked(true); // already checked: no click would run
        mayusculas.Form_Load();
        QCOMPARE(ModoTransmision, QStringLiteral("Iso"));

        // Two clicks bring the mode back; the file keeps its value.
        QTest::mouseClick(mayusculas.chkModo, Qt::LeftButton);
        QCOMPARE(ModoTransmision, QStringLiteral("Ascii"));
        QTest::mouseClick(mayusculas.chkModo, Qt::LeftButton);
        QCOMPARE(ModoTransmision, QStringLiteral("Iso"));
        QFile f(RutaIni());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("[General]\nModo=ISO\n"));
    }

    void buttonSetsLeaveStopAlone()
    {
        m_frm->cmdStop->setEnabled(true);
        m_frm->DeshabilitaBotones();
        QVERIFY(m_frm->cmdStop->isEnabled());
        for (QWidget *w : {(QWidget *)m_frm->cmdAbrir, (QWidget *)m_frm->cmdSalir,
                 (QWidget *)m_frm->cmdManual, (QWidget *)m_frm->chkModo})
            QVERIFY(!w->isEnabled());
        m_frm->HabilitaBotones();
        QVERIFY(m_frm->cmdStop->isEnabled());
        m_frm->cmdStop->setEnabled(false);
        m_frm->HabilitaBotones();
        QVERIFY(!m_frm->cmdStop->isEnabled());
        for (QWidget *w : {(QWidget *)m_frm->cmdGuardar, (QWidget *)m_frm->cmdPcCnc,
                 (QWidget *)m_frm->cmdSpace, (QWidget *)m_frm->chkModo})
            QVERIFY(w->isEnabled());
    }

    void pointerFollowsTheMouseOnlyDuringATransfer()
    {
        QWidget *fondo = m_frm->centralWidget();
        const QPoint libre(5, fondo->height() - 5);
        QVERIFY(!fondo->childAt(libre));
        QTest::mouseMove(fondo, libre);
        QCOMPARE(Herramientas::PunteroActual(), Puntero::Normal);

        m_frm->Enviando = true;
        QTest::mouseMove(fondo, libre + QPoint(1, 0));
        QTRY_COMPARE(Herramientas::PunteroActual(), Puntero::Reloj);
        m_frm->cmdStop->setEnabled(true);
        QTest::mouseMove(m_frm->cmdStop, QPoint(3, 3));
        QTRY_COMPARE(Herramientas::PunteroActual(), Puntero::Normal);
        QTest::mouseMove(fondo, libre);
        QTRY_COMPARE(Herramientas::PunteroActual(), Puntero::Reloj);

        // After the transfer, moves change nothing, whatever it left.
        m_frm->Enviando = false;
        QTest::mouseMove(m_frm->cmdStop, QPoint(4, 4));
        QTest::qWait(20);
        QCOMPARE(Herramientas::PunteroActual(), Puntero::Reloj);
        Herramientas::EstablecePuntero(Puntero::Normal);
        QTest::mouseMove(fondo, libre);
        QTest::qWait(20);
        QCOMPARE(Herramientas::PunteroActual(), Puntero::Normal);
    }

    void exitAsksOnlyWhileReceivedTextIsUnsaved()
    {
        QSignalSpy destruido(m_frm.get(), &QObject::destroyed);
        m_frm->cmdSalir_Click();
        QVERIFY(m_frm->isHidden());
        QVERIFY(m_preguntas.isEmpty());

        m_frm = std::make_unique<frmPrincipal>();
        m_frm->Form_Load();
        m_frm->show();
        m_frm->texto()->append("O1000");
        m_frm->lblEstado->setText(QStringLiteral("Not saved"));
        m_frm->SinGuardar = true;
        m_frm->close(); // the close box
        QCOMPARE(m_preguntas, QStringList {"Save first?"});
        QVERIFY(m_frm->isHidden());
        QCOMPARE(m_frm->texto()->count(), 0);
    }

    void resizeMovesTheColumnAndKeepsTheMinimum()
    {
        const QPoint antes = m_frm->cmdStop->pos();
        const int ancho = m_frm->lstTexto->width();
        m_frm->resize(m_frm->width() + 20, m_frm->height() + 20);
        QTRY_COMPARE(m_frm->cmdStop->pos(), antes + QPoint(20, 0));
        QCOMPARE(m_frm->lstTexto->width(), ancho + 20);

        m_frm->resize(100, 100);
        QTRY_VERIFY(m_frm->width() >= m_frm->minimumWidth());
        QVERIFY(m_frm->height() >= m_frm->minimumHeight());
    }

    void everyButtonIsReachableByKeyboard()
    {
        m_frm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_frm.get()));
        m_frm->cmdLimpiar->setFocus();
        QSet<QWidget *> alcanzados;
        for (int i = 0; i < 20; ++i) {
            alcanzados.insert(QApplication::focusWidget());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        for (QPushButton *b : m_frm->findChildren<QPushButton *>()) {
            if (b->isEnabled())
                QVERIFY2(alcanzados.contains(b), qPrintable(b->objectName()));
        }

        // Access letters of the captions press their buttons.
        escribeIni(QByteArray(kIni).replace("Bs=1\n", "Bs=1\nEditor=/bin/true\n"));
        QSignalSpy manual(m_frm->cmdManual, &QPushButton::clicked);
        QTest::keyClick(m_frm.get(), Qt::Key_M, Qt::AltModifier);
        QTRY_COMPARE(manual.count(), 1); // the button animates its press first
        QSignalSpy espacios(m_frm->cmdSpace, &QPushButton::clicked);
        m_frm->cmdSpace->setEnabled(true);
        QTest::keyClick(m_frm.get(), Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(espacios.count(), 1);
    }

    void splashShowsTheVersionThenHandsOver()
    {
        QCOMPARE(frmSplash::TextoVersion(1, 0, 0), QStringLiteral("V. 1.0.0"));
        QCOMPARE(frmSplash::TextoVersion(2, 10, 7), QStringLiteral("V. 2.10.7"));

        auto *splash = new frmSplash;
        QPointer<frmSplash> vigilado(splash);
        splash->Form_Load();
        splash->show();
        QCOMPARE(Herramientas::PunteroActual(), Puntero::Reloj);
        QCOMPARE(splash->lblVersion->text(),
            frmSplash::TextoVersion(
                KELDAN_VERSION_MAJOR, KELDAN_VERSION_MINOR, KELDAN_VERSION_PATCH));
        QCOMPARE(splash->Timer1->interval(), 5000);
        splash->Timer1_Timer();
        QCOMPARE(Herramientas::PunteroActual(), Puntero::Normal);
        frmPrincipal *principal = splash->principal();
        QVERIFY(principal && principal->isVisible());
        QVERIFY(splash->isHidden());
        QTRY_VERIFY(vigilado.isNull());
        QCOMPARE(principal->lblEstado->text(), QStringLiteral("Empty"));
        principal->close();
    }
};

QTEST_MAIN(FrmPrincipalTest)
#include "frmprincipal_test.moc"
