#include "settings/varsfuncsglobales.h"
#include "shell/frmprincipal.h"
#include "shell/frmsplash.h"
#include "shell/herramientas.h"
#include "text/textoprograma.h"

#include "comun/junta.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
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
      "PrinModo=Mode\nPrinNego=XON/XOFF\nPrincmdAbrir=Open\nPrincmdStop=Stop\n"
      "PrincmdSpace=&Spaces\nPrincmdManual=&Manual\nPrinmsgLimpia=Empty\n"
      "PrinmsgSinGuardar=Not saved\nPrinmsgGrabaFinal=Save first?\nBotonSi=Sure\n";

// What to do with the real message box once it shows.
enum Accion { Escape, Cerrar, No };

} // namespace

class FrmPrincipalTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<frmPrincipal> m_frm;

    void escribeIni(const QByteArray &datos)
    {
        QFile f(RutaIni());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(datos);
    }

    void nueva()
    {
        m_frm = std::make_unique<frmPrincipal>();
        m_frm->Form_Load();
        m_frm->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_frm.get()));
    }

    // Answers the next real message box as a person would, and tells what it
    // showed: its text, its buttons and whether it sat over the window.
    QString responde(int accion, const std::function<void()> &operacion)
    {
        QString visto = QStringLiteral("no box");
        QTimer vigia;
        connect(&vigia, &QTimer::timeout, this, [&] {
            auto *caja = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!caja || !caja->isVisible())
                return;
            vigia.stop();
            QStringList botones;
            QAbstractButton *no = nullptr;
            for (QAbstractButton *b : caja->buttons()) {
                if (b->isVisible())
                    botones << b->text();
                if (b->text() == QStringLiteral("No"))
                    no = b;
            }
            const QPoint desvio = caja->geometry().center() - m_frm->geometry().center();
            visto = junta(caja->text(), botones.join(u','), desvio.manhattanLength() < 40);
            if (accion == Escape)
                QTest::keyClick(caja, Qt::Key_Escape);
            else if (accion == Cerrar)
                caja->close(); // as the title bar's close button does
            else
                no->click();
        });
        vigia.start(10);
        operacion();
        return visto;
    }

private slots:
    void init()
    {
        EstableceDirectorioPrograma(m_dir.path());
        NombreFichero.clear();
        escribeIni(kIni);
        nueva();
    }

    void cleanup()
    {
        m_frm.reset();
        Herramientas::EstableceRespuestaMsgBox({});
        Herramientas::EstablecePuntero(Puntero::Normal);
    }

    void startStateFollowsTheSettingsAndTexts()
    {
        QCOMPARE(junta(m_frm->windowTitle(), m_frm->lblTituloTexto->text(),
                     m_frm->lblTituloEstado->text(), m_frm->cmdSpace->text(),
                     m_frm->cmdAbrir->toolTip(), m_frm->cmdStop->accessibleName(),
                     m_frm->cmdPcCnc->text(), m_frm->lblEstado->text()),
            QStringLiteral("Serial Transfer|Text:|Status:|&Spaces|Open|Stop|&PC -> CNC|Empty"));
        QStringList apagados, paneles;
        for (QWidget *w : m_frm->centralWidget()->findChildren<QWidget *>())
            if (!w->isEnabled())
                apagados << w->objectName();
        apagados.sort();
        QCOMPARE(apagados.join(u' '), QStringLiteral("cmdGuardar cmdPcCnc cmdSpace cmdStop"));
        for (int n = 1; n <= 7; ++n)
            paneles << m_frm->Panel(n);
        QCOMPARE(paneles.join('|'),
            QStringLiteral("Port COM2|Speed 9600|Parity E|Data 7|Stop 1|Mode Ascii|XON/XOFF"));

        // A language the file lacks leaves only the fixed texts.
        escribeIni("[General]\nIdioma=Klingon\nModo=ISO\n");
        frmPrincipal frm;
        frm.chkModo->setChecked(true); // already checked: no click would run
        frm.Form_Load();
        QCOMPARE(junta(frm.windowTitle(), frm.cmdAbrir->toolTip(), frm.cmdCncPc->text(),
                     frm.chkModo->text(), frm.Panel(1), ModoTransmision),
            QStringLiteral("||&CNC -> PC|Ascii / Iso| COM1|Iso"));
    }

    void buttonSetsLeaveStopAlone()
    {
        for (bool stop : {true, false}) {
            m_frm->cmdStop->setEnabled(stop);
            m_frm->DeshabilitaBotones();
            QVERIFY(!m_frm->cmdSalir->isEnabled() && !m_frm->chkModo->isEnabled());
            QCOMPARE(m_frm->cmdStop->isEnabled(), stop);
            m_frm->HabilitaBotones();
            QVERIFY(m_frm->cmdGuardar->isEnabled() && m_frm->chkModo->isEnabled());
            QCOMPARE(m_frm->cmdStop->isEnabled(), stop);
        }
    }

    void pointerFollowsTheMouseOnlyDuringATransfer()
    {
        QWidget *fondo = m_frm->centralWidget();
        const QPoint libre(5, fondo->height() - 5);
        QVERIFY(!fondo->childAt(libre));
        m_frm->Enviando = true;
        m_frm->cmdStop->setEnabled(true);
        QTest::mouseMove(fondo, libre);
        QTRY_COMPARE(Herramientas::PunteroActual(), Puntero::Reloj);
        QTest::mouseMove(m_frm->cmdStop, QPoint(3, 3));
        QTRY_COMPARE(Herramientas::PunteroActual(), Puntero::Normal);

        // After the transfer, moves change nothing.
        m_frm->Enviando = false;
        QTest::mouseMove(fondo, libre + QPoint(1, 0));
        QTest::qWait(20);
        QCOMPARE(Herramientas::PunteroActual(), Puntero::Normal);
    }

    // Escape or the close button on the save question is no answer: the
    // received text, its marker and the window stay, with or without a
    // settings file (every text empty then, the buttons still named).
    void aDismissedSaveQuestionKeepsTheTextAndTheWindow_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<int>("via"); // 0 Clear, 1 Exit, 2 the close box
        QTest::addColumn<int>("accion");
        QTest::addColumn<QString>("caja");
        QTest::addColumn<QString>("despues");
        const QString pregunta = QStringLiteral("Save first?|Sure,No|true");
        const QString guarda = QStringLiteral("3|true|Not saved|true");
        QTest::newRow("clear, escape") << kIni << 0 << int(Escape) << pregunta << guarda;
        QTest::newRow("clear, close") << kIni << 0 << int(Cerrar) << pregunta << guarda;
        QTest::newRow("exit, escape") << kIni << 1 << int(Escape) << pregunta << guarda;
        QTest::newRow("close box, close") << kIni << 2 << int(Cerrar) << pregunta << guarda;
        QTest::newRow("exit, no") << kIni << 1 << int(No) << pregunta
                                  << QStringLiteral("0|false|Empty|false");
        QTest::newRow("no settings, escape")
            << QByteArray() << 1 << int(Escape) << QStringLiteral("|Yes,No|true")
            << QStringLiteral("3|true||true");
        QTest::newRow("no settings, no")
            << QByteArray() << 2 << int(No) << QStringLiteral("|Yes,No|true")
            << QStringLiteral("0|false||false");
    }

    void aDismissedSaveQuestionKeepsTheTextAndTheWindow()
    {
        QFETCH(QByteArray, ini);
        QFETCH(int, via);
        QFETCH(int, accion);
        if (ini.isEmpty()) {
            QVERIFY(QFile::remove(RutaIni()));
            nueva();
        }
        m_frm->texto()->setLineas({"%", "O55", "N1"});
        m_frm->lblEstado->setText(Texto(QStringLiteral("PrinmsgSinGuardar")));
        m_frm->SinGuardar = true;
        const QString caja = responde(accion, [this, via] {
            if (via == 0)
                m_frm->cmdLimpiar_Click();
            else if (via == 1)
                m_frm->cmdSalir_Click();
            else
                m_frm->close();
        });
        QTEST(caja, "caja");
        QTEST(junta(m_frm->texto()->count(), m_frm->SinGuardar, m_frm->lblEstado->text(),
                  m_frm->isVisible()),
            "despues");

        // Nothing unsaved: no question.
        m_frm->SinGuardar = false;
        QCOMPARE(responde(No, [this] { m_frm->cmdSalir_Click(); }), "no box");
        QVERIFY(m_frm->isHidden());
    }

    void messageBoxesGoOverTheWindowTheOperatorSees()
    {
        // The window is loading, not shown yet: the box goes over the active one.
        frmPrincipal cargando;
        m_frm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_frm.get()));
        m_frm->move(300, 200);
        QTest::qWait(20);
        const QString caja = responde(Escape, [&cargando] {
            QCOMPARE(Herramientas::MsgBox(QStringLiteral("Hello"), Herramientas::vbExclamation,
                         QStringLiteral("Keldan"), &cargando),
                int(Herramientas::vbOK));
        });
        QCOMPARE(caja, QStringLiteral("Hello|OK|true"));
    }

    void resizeMovesTheColumnAndTheStatusLine()
    {
        const QPoint stop = m_frm->cmdStop->pos();
        const QString antes = junta(m_frm->lblEstado->x(), m_frm->lblEstado->y(),
            m_frm->lstTexto->width(), m_frm->lblEstado->width());
        m_frm->resize(m_frm->width() + 20, m_frm->height() + 20);
        QTRY_COMPARE(m_frm->cmdStop->pos(), stop + QPoint(20, 0));
        QCOMPARE(junta(m_frm->lblEstado->x(), m_frm->lblEstado->y() - 20,
                     m_frm->lstTexto->width() - 20, m_frm->lblEstado->width() - 20),
            antes);

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
        for (QPushButton *b : m_frm->findChildren<QPushButton *>())
            QVERIFY2(!b->isEnabled() || alcanzados.contains(b), qPrintable(b->objectName()));

        // Access letters of the captions press their buttons.
        QSignalSpy espacios(m_frm->cmdSpace, &QPushButton::clicked);
        m_frm->cmdSpace->setEnabled(true);
        QTest::keyClick(m_frm.get(), Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(espacios.count(), 1); // the button animates its press first
    }

    void splashHandsOverToTheMainWindow()
    {
        QPointer<frmSplash> splash(new frmSplash);
        splash->Form_Load();
        splash->show();
        QCOMPARE(Herramientas::PunteroActual(), Puntero::Reloj);
        splash->Timer1_Timer();
        QCOMPARE(Herramientas::PunteroActual(), Puntero::Normal);
        std::unique_ptr<frmPrincipal> principal(splash->principal());
        QVERIFY(principal && principal->isVisible());
        QTRY_VERIFY(splash.isNull());
        QCOMPARE(principal->lblEstado->text(), QStringLiteral("Empty"));
    }
};

QTEST_MAIN(FrmPrincipalTest)
#include "frmprincipal_test.moc"
