#include "languages/listaidiomas.h"
#include "settings/varsfuncsglobales.h"
#include "shell/frmprincipal.h"
#include "shell/frmsplash.h"
#include "shell/herramientas.h"
#include "text/textoprograma.h"

#include "browser/examinar_prueba.h"
#include "comun/cncpty.h"
#include "comun/ficheros.h"
#include "comun/junta.h"
#include "comun/sinprivilegios.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QScrollBar>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include <sys/resource.h>

using namespace VarsFuncsGlobales;
using Herramientas::Puntero;

namespace {

const QByteArray kTextos
    = "[English]\nNombreManual=MANUAL EN.TXT\nPrinName=Serial Transfer\nPrinTitulo=Keldan\n"
      "PrinCom=Port\nPrincmdAbrir=Open\nBotonSi=Sure\nPrinContenido=No file\n"
      "PrinmsgGrabaFinal=Save first?\nPrinmsgLimpia=Empty\nPrinmsgAbierto=Opened\n"
      "PrinmsgGuardado=Saved\nPrinmsgSinGuardar=Not saved\n";
const QByteArray kO1 = "%\r\nO1\r\nN10G01X5\r\n\r\nM30\r\n";
const auto kLectura = QFileDevice::ReadOwner | QFileDevice::ReadOther;
const auto kEntrada = kLectura | QFileDevice::ExeOwner | QFileDevice::ExeOther;
const auto kPropio = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
const OperadorExaminar::Accion kAcepta = [](frmExaminar *d) { d->cmdAceptar->click(); };

// The buttons in menu order; "cmdAbrir" is on the menu as mnuAbrir, named by MenuAbrir.
const char *const kBotones[] = {"cmdAbrir", "cmdGuardar", "cmdLimpiar", "cmdEdit", "cmdSpace",
    "cmdSalir", "cmdCncPc", "cmdPcCnc", "cmdStop", "chkModo", "cmdConfig", "cmdManual"};

// What to do with a real message box once it shows.
enum Accion { Escape, Cerrar, No };

} // namespace

// The main window: start-up, exit and its questions, the layout, and the
// program text's files. Message boxes are answered by a stub unless a test
// drives the real ones.
class FrmPrincipalTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_progs; // the programs' directory; its name has blanks
    std::unique_ptr<frmPrincipal> m_frm;
    QStringList m_mensajes;
    QList<int> m_respuestas; // answers to the next questions, No when none are left

    // The first value of a key counts: the test's own come first.
    void escribeIni(const QByteArray &general = {}, const QByteArray &textos = {})
    {
        QVERIFY(escribeBytes(RutaIni(),
            "[General]\n" + general + "Idioma=English\nCom=2\nDirGuarda=" + m_progs.toUtf8() + "/\n"
                + kTextos + textos));
    }

    // The buttons that are on, in menu order; their actions must agree.
    QString encendidos() const
    {
        QString botones, acciones;
        for (const char *b : kBotones) {
            botones += QString::number(m_frm->findChild<QWidget *>(b)->isEnabled());
            acciones += QString::number(
                m_frm->findChild<QAction *>(QString("mnu") + (b + 3))->isEnabled());
        }
        // Commands without a button follow Save (compare), Send (from a line),
        // Receive (continuous) and Settings (the log, the port check).
        const bool sinBoton = m_frm->mnuComparar->isEnabled() == m_frm->cmdGuardar->isEnabled()
            && m_frm->mnuEnviaDesde->isEnabled() == m_frm->cmdPcCnc->isEnabled()
            && m_frm->mnuRecepcionContinua->isEnabled() == m_frm->cmdCncPc->isEnabled()
            && m_frm->mnuRegistro->isEnabled() == m_frm->cmdConfig->isEnabled()
            && m_frm->mnuComprueba->isEnabled() == m_frm->cmdConfig->isEnabled();
        return botones == acciones && sinBoton ? botones : botones + " menu " + acciones;
    }

    void nueva()
    {
        m_frm = std::make_unique<frmPrincipal>();
        m_frm->Form_Load();
        m_frm->show();
        QVERIFY(QTest::qWaitForWindowActive(m_frm.get()));
    }

    TextoPrograma *texto() const { return m_frm->texto(); }

    // Line count, status, current file and title, compared at once.
    QString situacion() const
    {
        return junta(
            texto()->count(), m_frm->lblEstado->text(), NombreFichero, m_frm->windowTitle());
    }
    QString situacion(int lineas, const QString &estado, const QString &fichero = {}) const
    {
        return junta(lineas, estado, fichero,
            fichero.isEmpty() ? "Serial Transfer" : "Serial Transfer - [" + fichero + "]");
    }

    // Text as a receive leaves it: not saved, nothing current.
    void recibido(const QList<QByteArray> &lineas)
    {
        texto()->setLineas(lineas);
        m_frm->lblEstado->setText(Texto(QStringLiteral("PrinmsgSinGuardar")));
        m_frm->SinGuardar = true;
        m_mensajes.clear();
    }

    // Runs the operation with the browser operated as told; how often it showed.
    int conExaminar(QList<OperadorExaminar::Accion> acciones, const std::function<void()> &op)
    {
        OperadorExaminar operador(std::move(acciones));
        op();
        return operador.vistas();
    }

    QString abre(const QString &nombre)
    {
        m_frm->cmdAbrir->setEnabled(true);
        const int vistas = conExaminar({AbreFichero(nombre)}, [this] { m_frm->cmdAbrir_Click(); });
        return vistas == 1 ? situacion() : QStringLiteral("browser not shown once");
    }

    // Answers the next real message box as a person would, and tells what it
    // showed: its text, its buttons and whether it sat over the window (with
    // its text shown plain, never as markup).
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
            for (QAbstractButton *b : caja->buttons())
                if (b->isVisible())
                    botones << b->text();
            const QPoint desvio = caja->geometry().center() - m_frm->geometry().center();
            visto = junta(caja->text(), botones.join(u','),
                desvio.manhattanLength() < 40 && caja->textFormat() == Qt::PlainText);
            if (accion == Escape)
                QTest::keyClick(caja, Qt::Key_Escape);
            else if (accion == Cerrar)
                caja->close(); // as the title bar's close button does
            else
                for (QAbstractButton *b : caja->buttons())
                    if (b->text() == QStringLiteral("No"))
                        b->click();
        });
        vigia.start(10);
        operacion();
        return visto;
    }

private slots:
    void init()
    {
        EstableceDirectorioPrograma(m_dir.path());
        m_progs = m_dir.filePath("mis programas");
        QVERIFY(QDir().mkpath(m_progs));
        m_mensajes.clear();
        m_respuestas.clear();
        Herramientas::EstableceRespuestaMsgBox([this](
                                                   const QString &p, int flags, const QString &) {
            m_mensajes << QStringLiteral("%1|%2").arg(p).arg(flags);
            const int no = flags & Herramientas::vbYesNo ? Herramientas::vbNo : Herramientas::vbOK;
            return m_respuestas.isEmpty() ? no : m_respuestas.takeFirst();
        });
        escribeIni();
        NombreFichero.clear();
        QVERIFY(escribeBytes(m_progs + "/o1.txt", kO1));
        nueva();
    }

    void startStateFollowsTheSettingsAndTexts()
    {
        QStringList apagados;
        for (QWidget *w : m_frm->centralWidget()->findChildren<QWidget *>())
            if (!w->isEnabled())
                apagados << w->objectName();
        apagados.sort();
        QCOMPARE(
            junta(situacion(), m_frm->cmdAbrir->toolTip(), m_frm->Panel(1), apagados.join(u' ')),
            junta(situacion(0, "Empty"), "Open|Port COM2|cmdGuardar cmdPcCnc cmdSpace cmdStop"));
    }

    void pointerFollowsTheMouseOnlyDuringATransfer()
    {
        QWidget *fondo = m_frm->centralWidget();
        const QPoint libre(5, fondo->height() - 5);
        m_frm->Enviando = true;
        m_frm->cmdStop->setEnabled(true);
        QTest::mouseMove(fondo, libre);
        QTRY_COMPARE(Herramientas::PunteroActual(), Puntero::Reloj);
        QTest::mouseMove(m_frm->cmdStop, QPoint(3, 3));
        QTRY_COMPARE(Herramientas::PunteroActual(), Puntero::Normal);
        m_frm->Enviando = false; // after the transfer, moves change nothing
        QTest::mouseMove(fondo, libre + QPoint(1, 0));
        QTest::qWait(20);
        QCOMPARE(Herramientas::PunteroActual(), Puntero::Normal);
    }

    // Escape or the close button on the save question is no answer: the
    // received text, its marker and the window stay, with or without a
    // settings file (every text empty then, the buttons still named).
    void aDismissedSaveQuestionKeepsTheTextAndTheWindow()
    {
        enum Via { Limpiar, Salir, Cierre, Oculta };
        const char *const pregunta = "Save first?|Sure,No|true",
                          *const guarda = "3|true|Not saved|true";
        const std::tuple<bool, Via, Accion, const char *, const char *> casos[] = {
            {true, Limpiar, Escape, pregunta, guarda},
            {true, Limpiar, Cerrar, pregunta, guarda},
            {true, Salir, Escape, pregunta, guarda},
            {true, Cierre, Cerrar, pregunta, guarda},
            {true, Salir, No, pregunta, "0|false|Empty|false"},
            {false, Salir, Escape, "|Yes,No|true", "3|true||true"},
            {false, Cierre, No, "|Yes,No|true", "0|false||false"},
            // a box for a window not shown yet goes over the active one
            {true, Oculta, Escape, "Hello|OK|true", guarda},
        };
        const std::function<void()> vias[] = {[this] { m_frm->cmdLimpiar_Click(); },
            [this] { m_frm->cmdSalir_Click(); }, [this] { m_frm->close(); },
            [] { Herramientas::MsgBox("Hello", 48, "K", std::make_unique<frmPrincipal>().get()); }};
        Herramientas::EstableceRespuestaMsgBox({});
        for (const auto &[ini, via, accion, caja, despues] : casos) {
            ini ? escribeIni() : void(QFile::remove(RutaIni()));
            nueva();
            m_frm->move(300, 200);
            recibido({"%", "O55", "N1"});
            const QString visto = responde(accion, vias[via]);
            QCOMPARE(junta(visto, m_frm->texto()->count(), m_frm->SinGuardar,
                         m_frm->lblEstado->text(), m_frm->isVisible()),
                junta(caja, despues));
        }
    }

    // At the window's own size every panel reads in each shipped language:
    // the settings whole, the port and the machine cut in their names' middle
    // (the marker kept) only when the names together are too long, and said
    // whole in the tooltips.
    void statusBarPanelsReadAtTheDefaultSize()
    {
        const QString maquinas = QFileInfo(RutaIni()).dir().filePath("MAQUINAS.INI");
        const std::pair<QByteArray, QByteArray> casos[]
            = {{"Fanuc 0/16/18/21",
                   "Com=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KXYZ-if00-port0\n"
                   "Nego=RtsCts\nVt=115200\nBs=1.5\n"},
                {"Torno CNC 1 - Nave 2", "Com=/dev/ttyUSB0\nVt=9600\n"}};
        for (const QString &idioma : ListaIdiomas::lee(KELDAN_INI_SUMINISTRADO))
            for (const auto &[maquina, lineas] : casos) {
                QVERIFY(escribeBytes(RutaIni(),
                    leeBytes(KELDAN_INI_SUMINISTRADO)
                        .replace("[General]\n",
                            "[General]\nIdioma=" + idioma.toUtf8() + "\nMaquina=" + maquina + "\n"
                                + lineas)));
                QVERIFY(escribeBytes(maquinas, "[" + maquina + "]\nVt=4800\n"));
                nueva();
                const QString modificada = Texto("PrinMaquinaModificada").arg(maquina);
                const QWidget *barra = m_frm->PanelMaquina->parentWidget();
                QStringList cortados;
                for (const PanelEstado *p : barra->findChildren<PanelEstado *>()) {
                    const QString visto = p->TextoMostrado();
                    // Only a name loses its middle: the caption and the marker stay.
                    const bool leido = p->isVisible()
                        && p->mapTo(barra, p->rect().topRight()).x() < barra->width()
                        && (visto == p->text()
                            || (p == m_frm->Panels[0] && visto.startsWith(Texto("PrinCom") + ' '))
                            || (p == m_frm->PanelMaquina
                                && visto.endsWith(
                                    modificada.mid(modificada.indexOf(maquina) + maquina.size()))));
                    if (!leido)
                        cortados << visto;
                }
                QCOMPARE(junta(idioma, cortados.join(','),
                             m_frm->PanelMaquina->toolTip().endsWith("\n" + modificada),
                             m_frm->Panels[0]->toolTip().endsWith(
                                 lineas.mid(4, lineas.indexOf('\n') - 4))),
                    junta(idioma, "", true, true));
            }
        // A short port stays whole beside a long machine name.
        QCOMPARE(m_frm->Panels[0]->TextoMostrado(), "Port ttyUSB0");
        QFile::remove(maquinas);
    }

    // Below the menu bar the controls sit as designed, and a taller window
    // stretches the text window only as far as the status heading.
    void resizeMovesTheColumnAndTheStatusLine()
    {
        QWidget *fondo = m_frm->centralWidget();
        QCOMPARE(m_frm->height() - fondo->y(), m_frm->Pixeles(Disposicion::kAltoCliente));
        QCOMPARE(m_frm->lblEstado->geometry(),
            QRect(m_frm->Pixeles(120), m_frm->Pixeles(5760), m_frm->Pixeles(7935),
                m_frm->Pixeles(255)));
        const QPoint stop = m_frm->cmdStop->pos();
        const QString antes = junta(m_frm->lblEstado->x(), m_frm->lblEstado->y(),
            m_frm->lstTexto->width(), m_frm->lblEstado->width());
        m_frm->resize(m_frm->width() + 20, m_frm->height() + 20);
        QTRY_COMPARE(m_frm->cmdStop->pos(), stop + QPoint(20, 0));
        QCOMPARE(junta(m_frm->lblEstado->x(), m_frm->lblEstado->y() - 20,
                     m_frm->lstTexto->width() - 20, m_frm->lblEstado->width() - 20),
            antes);
        QVERIFY(m_frm->lstTexto->geometry().bottom() < m_frm->lblTituloEstado->y()
            && m_frm->lblEstado->geometry().bottom() < fondo->height());
    }

    // Alt and one letter reach each menu and each command in it, in every
    // language of the shipped settings file: one letter each, none twice.
    void everyMenuHasItsOwnLetters()
    {
        const QString ini = KELDAN_INI_SUMINISTRADO;
        for (const QString &idioma : ListaIdiomas::lee(ini)) {
            QVERIFY(escribeBytes(RutaIni(), leeBytes(ini)));
            QVERIFY(EscribeIni("General", "Idioma", idioma, RutaIni()));
            nueva();
            QStringList faltan;
            auto comprueba = [&](const QList<QAction *> &acciones) {
                QSet<QKeySequence> letras;
                for (const QAction *a : acciones) {
                    const QKeySequence letra = QKeySequence::mnemonic(a->text());
                    if (!a->isSeparator() && (letra.isEmpty() || letras.contains(letra)))
                        faltan << a->text();
                    letras.insert(letra);
                }
            };
            comprueba(m_frm->menuWidget()->actions());
            for (const QAction *menu : m_frm->menuWidget()->actions())
                comprueba(menu->menu()->actions());
            QVERIFY2(faltan.isEmpty(), qPrintable(idioma + ": " + faltan.join(" / ")));
        }
    }

    // Every command is in the menu bar under its text from the settings
    // file, on exactly when its button is, and runs the button's handler.
    void theMenuBarFollowsTheButtons()
    {
        QByteArray textos = "MenuFichero=@Fichero\nMenuTransferencia=@Transferencia\n"
                            "MenuOpciones=@Opciones\nMenuAyuda=@Ayuda\n";
        for (const char *b : kBotones)
            textos += QByteArray("Menu") + (b + 3) + "=@" + (b + 3) + "\n";
        CncPty cnc;
        escribeIni("Com=" + cnc.ruta().toUtf8() + "\n", textos);
        nueva();
        QStringList menus;
        for (QAction *menu : m_frm->menuWidget()->actions()) {
            menus << menu->text();
            for (QAction *a : menu->menu()->actions())
                menus << (a->isSeparator() ? "-" : a->text());
        }
        QCOMPARE(menus.join(u' '),
            "@Fichero @Abrir @Guardar @Limpiar - @Edit @Space &Compare with file... - @Salir "
            "@Transferencia @CncPc Continuous &receive into the folder @PcCnc "
            "Send &from a line... @Stop - @Modo Transfer &log... &View &Backplot Backplot in place "
            "of "
            "the &text - &XY (top) X&Z (front) &YZ (side) &Isometric &Fit the whole program - "
            "&Skip the blocks marked / @Opciones @Config &Check the port... "
            "@Ayuda @Manual");

        const char *const reposo = "101101100111", *const conTexto = "011111110111";
        QCOMPARE(encendidos(), reposo);
        m_frm->mnuCncPc->trigger(); // a reception until Escape stops it
        QCOMPARE(encendidos(), "000000001000");
        cnc.escribe("\x12%\nO7\n");
        QTRY_COMPARE(texto()->count(), 2);
        QTest::keyClick(m_frm->lstTexto, Qt::Key_Escape);
        QTRY_VERIFY(!m_frm->Recibiendo && m_frm->SinGuardar);
        QCOMPARE(encendidos(), conTexto);
        QTest::keyClick(m_frm->lstTexto, Qt::Key_F10); // the bar from the keyboard
        QTRY_VERIFY(m_frm->mnuFichero->isVisible());
        m_frm->mnuLimpiar->trigger();
        QCOMPARE(junta(m_mensajes.join(u'/'), situacion(), encendidos()),
            junta("Save first?|36", situacion(0, "Empty"), reposo));

        m_frm->mnuModo->trigger(); // the mode both ways
        const QString iso = ModoTransmision;
        m_frm->findChild<QAbstractButton *>("chkModo")->click();
        QCOMPARE(junta(iso, ModoTransmision, m_frm->mnuModo->isChecked()), "Iso|Ascii|false");
        QCOMPARE(abre("o1.txt"), situacion(5, "Opened", m_progs + "/o1.txt"));
        QCOMPARE(encendidos(), conTexto);
    }

    void openSaveAndSpaceAndWhatLeavesTheWindowAsItWas()
    {
        const QString o1 = m_progs + "/o1.txt";
        QCOMPARE(abre("o1.txt"), situacion(5, "Opened", o1));
        QCOMPARE(junta(texto()->lineas().join('/'), m_frm->cmdAbrir->isEnabled(),
                     m_frm->cmdGuardar->isEnabled(), m_frm->cmdSpace->isEnabled()),
            "%/O1/N10G01X5//M30|false|true|true");

        // Browsing cancelled, then a file that vanishes before it is read.
        m_frm->cmdAbrir->setEnabled(true);
        QCOMPARE(
            conExaminar({}, [this] { m_frm->cmdAbrir_Click(), m_frm->cmdGuardar_Click(); }), 2);
        QVERIFY(escribeBytes(m_progs + "/gone.txt", "N1\r\n"));
        conExaminar({[this](frmExaminar *d) {
            EligeFichero(d, "gone.txt");
            QFile::remove(m_progs + "/gone.txt");
            d->cmdAceptar->click();
        }},
            [this] { m_frm->cmdAbrir_Click(); });
        QCOMPARE(junta(m_mensajes.join(u'/'), situacion(), leeBytes(o1)),
            junta(
                "The file " + m_progs + "/gone.txt could not be read: No such file or directory|16",
                situacion(5, "Opened", o1), kO1));

        // Saved under its upper-cased name, it overwrites the same file byte for byte.
        QVERIFY(escribeBytes(o1, "changed"));
        m_mensajes.clear();
        conExaminar({[](frmExaminar *d) {
            d->txtPlano->setText("o1.txt");
            d->cmdAceptar->click();
        }},
            [this] { QVERIFY(m_frm->cmdGuardar_Click()); });
        m_frm->cmdSpace_Click();
        QCOMPARE(junta(leeBytes(o1), QDir(m_progs).entryList({"o*.txt"}).join(u','), situacion(),
                     texto()->lineas().join('/'), m_frm->cmdSpace->isEnabled(), m_mensajes.size()),
            junta(kO1, "o1.txt", situacion(5, "Saved", o1), "%/O1/N10 G01 X5//M30|false|0"));
    }

    void theCommandLinesFileOpensAfterAClickOrAKeyOnTheSplashOrWithoutIt()
    {
        const QString o1 = m_progs + "/o1.txt";
        m_frm.reset();
        for (int forma : {0, 1, 2}) {
            frmPrincipal *principal = nullptr;
            if (forma < 2) {
                QPointer<frmSplash> splash = new frmSplash;
                splash->FicheroInicial = o1;
                splash->Form_Load();
                splash->show();
                if (forma == 0)
                    QTest::mouseClick(splash, Qt::LeftButton);
                else
                    QTest::keyClick(splash, Qt::Key_Space);
                principal = splash->principal();
                // The tick that comes meanwhile opens no second window.
                splash->Timer1_Timer();
                QVERIFY(principal && splash->principal() == principal);
                QTRY_VERIFY(splash.isNull());
            } else {
                // keldan --no-splash o1.txt, started in its folder.
                QDir::setCurrent(m_progs);
                principal = frmPrincipal::Arranca("o1.txt");
            }
            m_frm.reset(principal);
            QCOMPARE(junta(forma, situacion(), m_frm->isVisible()),
                junta(forma, situacion(5, "Opened", o1), true));
            QCOMPARE(texto()->lineas().join('/'), "%/O1/N10G01X5//M30");
        }
    }

    void unsavedTextGoesOnlyWhenAnsweredNoOrSaved()
    {
        // No: cleared without saving. Yes: the browser proposes the name, saved, cleared.
        for (int respuesta : {Herramientas::vbNo, Herramientas::vbYes}) {
            recibido({"%", "O55", "N1"});
            m_respuestas = {respuesta};
            const bool si = respuesta == Herramientas::vbYes;
            QCOMPARE(conExaminar({kAcepta}, [this] { QVERIFY(m_frm->cmdLimpiar_Click()); }), si);
            QCOMPARE(junta(m_mensajes.join(u'/'), situacion(), leeBytes(m_progs + "/O55.TXT")),
                junta("Save first?|36", situacion(0, "Empty"),
                    si ? "%\r\nO55\r\nN1\r\n" : "<missing>"));
        }
        texto()->setLineas({"N1"}); // any other status: no question
        m_mensajes.clear();
        QVERIFY(m_frm->cmdLimpiar_Click() && m_mensajes.isEmpty());

        // Yes with the browser cancelled, or the question dismissed: Clear,
        // the close box and Open do not go on.
        for (int respuesta : {Herramientas::vbYes, Herramientas::vbCancel}) {
            recibido({"%", "O56", "N1"});
            m_respuestas = QList<int>(3, respuesta);
            const int vistas = conExaminar({}, [this] {
                QVERIFY(!m_frm->cmdLimpiar_Click() && !m_frm->close());
                m_frm->cmdAbrir_Click();
            });
            QCOMPARE(junta(vistas, m_mensajes.size(), m_frm->isVisible(), situacion()),
                junta(
                    respuesta == Herramientas::vbYes ? 3 : 0, 3, true, situacion(3, "Not saved")));
        }
        QCOMPARE(abre("o1.txt"), situacion(5, "Opened", m_progs + "/o1.txt")); // Open, No
    }

    // Saves as a user who may not write every folder (root runs it as nobody):
    // a read-only file, a writable file in a read-only folder, and a save
    // whose last write fails (the file size limit stands for a full disk).
    void saveFailuresKeepTheOldFileAndTheMarker()
    {
        const QString o57 = m_progs + "/O57.TXT";
        const auto escribible = QFileDevice::WriteOwner | QFileDevice::WriteOther;
        const std::tuple<bool, bool, QString> casos[] = {
            {false, false, "Permission denied"}, {false, true, ""}, {true, true, "File too large"}};
        for (const auto &[carpeta, fichero, razon] : casos) {
            QVERIFY(escribeBytes(o57, "old\r\n"));
            QFile::setPermissions(o57, fichero ? kLectura | escribible : kLectura);
            QFile::setPermissions(m_progs, carpeta ? kEntrada | escribible : kEntrada);
            QFile::setPermissions(m_dir.path(), kEntrada | QFileDevice::WriteOwner);
            recibido({"%", "O57", "N1"});
            m_respuestas = {Herramientas::vbYes};
            // (the directory cannot be remembered either: that message comes between)
            const QString esperado = razon.isEmpty()
                ? junta(situacion(0, "Empty"), "%\r\nO57\r\nN1\r\n", 2)
                : junta(situacion(3, "Not saved"), "old\r\n",
                    "The file " + o57 + " could not be saved: " + razon + "|16");
            const bool bien = SinPrivilegios([&] {
                const rlimit tope {8, RLIM_INFINITY};
                signal(SIGXFSZ, SIG_IGN);
                if (razon.startsWith(u'F') && setrlimit(RLIMIT_FSIZE, &tope) != 0)
                    return false;
                conExaminar({kAcepta}, [this] { m_frm->cmdLimpiar_Click(); });
                return esperado
                    == junta(situacion(), leeBytes(o57),
                        razon.isEmpty() ? QString::number(m_mensajes.size()) : m_mensajes.last());
            });
            for (const QString &f : {m_dir.path(), m_progs, o57})
                QFile::setPermissions(f, kPropio);
            QVERIFY2(bien, qPrintable(razon));
        }
    }

    // The editor gets the path as one argument; the window lets go of the
    // file only once the editor has taken it.
    void editStartsTheEditorWithThePathAsOneArgument()
    {
        texto()->setLineas({"N1"});
        m_frm->cmdEdit_Click(); // without a current file
        QCOMPARE(junta(m_mensajes.join(u'/'), texto()->count()), "No file|48|1");

        // A stand-in editor that records what it was given, and ends as told.
        const QByteArray registro = m_dir.filePath("args.txt").toUtf8();
        const QString editor = m_dir.filePath("editor.sh");
        QVERIFY(escribeBytes(editor,
            "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done > \"" + registro
                + ".tmp\"\nmv \"" + registro + ".tmp\" \"" + registro + "\"\nexit $FIN\n"));
        QFile::setPermissions(editor, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const QString o1 = m_progs + "/o1.txt", ninguno = m_dir.filePath("no-editor");
        const std::tuple<QString, const char *, QString> casos[] = {
            {editor, "0", situacion(0, "Empty")},
            {editor, "3", "The editor " + editor + " could not be started: exit 3|16"},
            {ninguno, "0",
                "The editor " + ninguno + " could not be started: No such file or directory|16"},
        };
        for (const auto &[programa, fin, despues] : casos) {
            escribeIni("Editor=" + programa.toUtf8() + "\n");
            qputenv("FIN", fin);
            QCOMPARE(abre("o1.txt"), situacion(5, "Opened", o1));
            m_mensajes.clear();
            m_frm->cmdEdit_Click();
            QTRY_VERIFY_WITH_TIMEOUT(m_mensajes.size() + texto()->count() != 5, 10000);
            QCOMPARE(m_mensajes.isEmpty() ? situacion() : m_mensajes.join(u'/'), despues);
            QCOMPARE(
                leeBytes(registro), programa == editor ? "[" + o1.toUtf8() + "]" : "<missing>");
            QFile::remove(registro);
        }
    }

    // The view scrolls to the longest line wherever it is, and a line of
    // megabytes is drawn from its first few thousand characters only.
    void longLinesCanBeScrolledToAndStayWhole()
    {
        QScrollBar *barra = m_frm->lstTexto->horizontalScrollBar();
        texto()->setLineas({"N1", "N2"});
        texto()->append({"N3", QByteArray(300, 'G'), "N4"});
        QTRY_VERIFY(barra->maximum() > 1000);
        texto()->setLinea(3, "N5");
        QTRY_COMPARE(barra->maximum(), 0);
        texto()->setLinea(0, QByteArray(5 << 20, 'X'));
        const QString mostrado = texto()->index(0).data().toString();
        QCOMPARE(junta(mostrado.size(), mostrado.endsWith(QChar(0x2026)),
                     texto()->linea(0).size() == 5 << 20),
            junta(TextoPrograma::kMostrado + 1, true, true));
    }
};

QTEST_MAIN(FrmPrincipalTest)
#include "frmprincipal_test.moc"
