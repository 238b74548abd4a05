#include "comun/cncpty.h"
#include "comun/junta.h"
#include "plot/dibujotrayectoria.h"
#include "plot/paneltrazado.h"
#include "plot/vistatrazado.h"
#include "settings/varsfuncsglobales.h"
#include "shell/frmprincipal.h"
#include "shell/herramientas.h"
#include "text/textoprograma.h"

#include <QFile>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace Trazado;

namespace {

// Line 5 is a long feed move along X, line 7 an arc, line 9 a finding.
const QList<QByteArray> kPrograma = {"%", "O7", "G21 G90 G17", "G0 X0 Y0 Z5", "G1 Z-1 F300", "X80",
    "Y40", "G3 X40 Y80 R40", "G0 Z5", "G12 X0", "M30", "%"};

} // namespace

// The backplot in the main window: what is clicked in it, or selected in
// the text window, or sent, is the same line in both.
class TrazadoTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<CncPty> m_cnc;
    std::unique_ptr<frmPrincipal> m_frm;

    VistaTrazado *vista() const { return m_frm->panTrazado->vista; }
    int filaActual() const { return m_frm->lstTexto->currentIndex().row(); }

    // The screen point halfway along the first move of a line.
    QPoint puntoDe(std::size_t linea) const
    {
        const Trayectoria &t = vista()->lectura()->trayectoria;
        const std::size_t mov = t.movimientosDeLinea(linea).first;
        Punto p = t.inicio(mov);
        const Punto f = t.fin(mov);
        for (int k = 0; k < 3; ++k)
            p[k] = (p[k] + f[k]) / 2;
        return QPoint(qRound(vista()->vista().u(p)), qRound(vista()->vista().v(p)));
    }

    QColor color(QPoint p) const { return vista()->grab().toImage().pixelColor(p); }

private slots:
    void initTestCase() { VarsFuncsGlobales::EstableceDirectorioPrograma(m_dir.path()); }

    void init()
    {
        m_cnc = std::make_unique<CncPty>();
        QFile ini(VarsFuncsGlobales::RutaIni());
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[General]\nIdioma=English\nCom=" + m_cnc->ruta().toUtf8()
            + "\nVt=115200\nPar=N\nBd=8\nBs=1\nLimitesX=0,60\n");
        ini.close();
        Herramientas::EstableceRespuestaMsgBox(
            [](const QString &, int, const QString &) { return int(Herramientas::vbOK); });
        m_frm = std::make_unique<frmPrincipal>();
        m_frm->Form_Load();
        m_frm->resize(1000, 700);
        m_frm->show();
        QVERIFY(QTest::qWaitForWindowActive(m_frm.get()));
        m_frm->texto()->setLineas(kPrograma);
        m_frm->cmdPcCnc->setEnabled(true);
        QVERIFY(!m_frm->panTrazado->isVisible());
        QTest::keyClick(m_frm->lstTexto, Qt::Key_F4);
        QVERIFY(m_frm->panTrazado->isVisible() && m_frm->lstTexto->isVisible());
    }

    void cleanup()
    {
        m_frm.reset();
        Herramientas::EstableceRespuestaMsgBox({});
    }

    void theCheckShowsExtentsTimeAndFindingsAndAFindingGoesToItsLine()
    {
        const PanelTrazado *p = m_frm->panTrazado;
        // The machine's travel in X is 0 to 60: line 6 leaves it.
        QCOMPARE(p->lblExtension->text(),
            u"X 0.000 … 80.000   Y 0.000 … 80.000   Z -1.000 … 5.000 mm   Time 0:00:38"_s);
        QStringList hallazgos;
        for (int i = 0; i < p->lstHallazgos->count(); ++i)
            hallazgos << p->lstHallazgos->item(i)->text();
        QCOMPARE(hallazgos.join(u'|'),
            u"Line 6: X 80.000 is outside the machine's travel (0.000 to 60.000).|Line 7: X 80.000 "
            u"is outside the machine's travel (0.000 to 60.000).|Line 8: X 80.000 is outside the "
            u"machine's travel (0.000 to 60.000).|Line 10: Unknown G code G12: the rest of the "
            u"block is drawn without it."_s);
        QTest::mouseClick(p->lstHallazgos->viewport(), Qt::LeftButton, {},
            p->lstHallazgos->visualItemRect(p->lstHallazgos->item(3)).center());
        QCOMPARE(filaActual(), 9);
        // In place of the text, and back beside it.
        m_frm->mnuTrazadoEnLugar->trigger();
        QVERIFY(!m_frm->lstTexto->isVisible() && p->isVisible());
        m_frm->mnuTrazadoEnLugar->trigger();
        QVERIFY(m_frm->lstTexto->isVisible() && p->isVisible());
        QVERIFY(m_frm->lstTexto->geometry().right() < p->geometry().left());
        QTest::keyClick(m_frm->lstTexto, Qt::Key_F4);
        QVERIFY(!p->isVisible() && m_frm->lstTexto->isVisible());
    }

    void aClickOnAMoveSelectsItsLineAndASelectedLineShowsItsMoveAndTheTool()
    {
        // Drawn: the long feed move green, the rapid up dashed orange.
        const QPoint mitad = puntoDe(5);
        QCOMPARE(color(mitad), DibujoTrayectoria::kAvance);
        {
            // Along the rapid back to X0 (line 9): the rapid's colour in dashes.
            const Trayectoria &t = vista()->lectura()->trayectoria;
            const std::size_t mov = t.movimientosDeLinea(9).first;
            const QImage imagen = vista()->grab().toImage();
            QSet<QRgb> vistos;
            for (int i = 5; i <= 95; ++i) {
                Punto q = t.inicio(mov);
                for (int k = 0; k < 3; ++k)
                    q[k] += (t.fin(mov)[k] - q[k]) * i / 100;
                vistos << imagen.pixel(
                    int(std::floor(vista()->vista().u(q))), int(std::floor(vista()->vista().v(q))));
            }
            QCOMPARE(vistos,
                (QSet<QRgb> {DibujoTrayectoria::kRapido.rgb(), DibujoTrayectoria::kFondo.rgb()}));
        }
        QTest::mouseClick(vista(), Qt::LeftButton, {}, mitad + QPoint(0, 2));
        QCOMPARE(junta(filaActual(), vista()->lineaMarcada()), u"5|5"_s);
        QCOMPARE(color(mitad), DibujoTrayectoria::kSeleccion);
        // The tool stands where the line ends.
        const Punto fin = vista()->lectura()->trayectoria.herramientaEnLinea(5);
        const QPoint herramienta(
            qRound(vista()->vista().u(fin) + 6), qRound(vista()->vista().v(fin)));
        // Its ring is drawn smooth: the tool's colour, blended at the edge.
        const QColor anillo = color(herramienta);
        QVERIFY2(anillo.blue() > 150 && anillo.red() < 60, qPrintable(anillo.name()));

        m_frm->lstTexto->setCurrentIndex(m_frm->texto()->index(7));
        QCOMPARE(vista()->lineaMarcada(), 7);
        QCOMPARE(color(mitad), DibujoTrayectoria::kAvance);
        // A drag pans rather than picks; Home fits the program again.
        const QPoint antes = puntoDe(7);
        QTest::mousePress(vista(), Qt::LeftButton, {}, QPoint(10, 10));
        QMouseEvent mueve(QEvent::MouseMove, QPointF(40, 30), vista()->mapToGlobal(QPointF(40, 30)),
            Qt::LeftButton, Qt::LeftButton, {});
        QApplication::sendEvent(vista(), &mueve);
        QTest::mouseRelease(vista(), Qt::LeftButton, {}, QPoint(40, 30));
        QCOMPARE(junta(puntoDe(7) - antes, filaActual()), junta(QPoint(30, 20), 7));
        vista()->setFocus();
        QTest::keyClick(vista(), Qt::Key_Home);
        QCOMPARE(puntoDe(7), antes);
    }

    void theWheelZoomsAboutThePointerAndEachViewShowsItsAxes()
    {
        const QPointF p(vista()->width() / 3.0, vista()->height() / 3.0);
        const double escala = vista()->vista().escala;
        const Punto antes = vista()->vista().punto(p.x(), p.y());
        QWheelEvent rueda(p, vista()->mapToGlobal(p), QPoint(), QPoint(0, 240), Qt::NoButton, {},
            Qt::NoScrollPhase, false);
        QApplication::sendEvent(vista(), &rueda);
        const Punto despues = vista()->vista().punto(p.x(), p.y());
        QCOMPARE(vista()->vista().escala, escala * 1.5625);
        QVERIFY(std::hypot(antes[0] - despues[0], antes[1] - despues[1]) < 1e-9);
        // Line 5 goes down Z: a point from above, upright from the front and the side.
        const auto largo = [this] {
            const Trayectoria &t = vista()->lectura()->trayectoria;
            const std::size_t mov = t.movimientosDeLinea(4).first;
            const Vista &v = vista()->vista();
            return QPointF(
                v.u(t.fin(mov)) - v.u(t.inicio(mov)), v.v(t.fin(mov)) - v.v(t.inicio(mov)));
        };
        QCOMPARE(largo(), QPointF(0, 0));
        m_frm->mnuVistaXZ->trigger();
        QVERIFY(largo().x() == 0 && largo().y() > 5);
        m_frm->mnuVistaYZ->trigger();
        QVERIFY(largo().x() == 0 && largo().y() > 5);
        m_frm->mnuVistaIso->trigger();
        QCOMPARE(vista()->tipoVista(), Vista::Isometrica);
    }

    // An edit is read again once it settles; so is the machine's travel
    // after the settings, and the panel speaks the language chosen.
    void theDrawingFollowsTheTextTheMachineAndTheLanguage()
    {
        const QLabel *extension = m_frm->panTrazado->lblExtension;
        const QString antes = extension->text();
        m_frm->texto()->setLinea(5, "X50");
        QVERIFY(espera([&] { return extension->text() != antes; }));
        QCOMPARE(extension->text(),
            u"X 0.000 … 51.745   Y 0.000 … 80.000   Z -1.000 … 5.000 mm   Time 0:00:28"_s);
        QCOMPARE(m_frm->panTrazado->lstHallazgos->count(), 1);
        // The machine's travel, as the settings leave it, is read again after
        // them: the arc's bulge leaves a travel of 51 mm.
        VarsFuncsGlobales::EscribeIni(
            u"General"_s, u"LimitesX"_s, u"0,51"_s, VarsFuncsGlobales::RutaIni());
        m_frm->ReleeTrazado();
        QCOMPARE(m_frm->panTrazado->lstHallazgos->item(0)->text(),
            u"Line 8: X 51.745 is outside the machine's travel (0.000 to 51.000)."_s);
        QFile ini(VarsFuncsGlobales::RutaIni());
        QVERIFY(ini.open(QIODevice::Append));
        ini.write("[Espa\xC3\xB1ol]\nTrazadoHallazgos=Hallazgos: %1\n"
                  "TrazadoLinea=L\xC3\xADnea %1: %2\n");
        ini.close();
        VarsFuncsGlobales::EscribeIni(
            u"General"_s, u"Idioma"_s, u"Español"_s, VarsFuncsGlobales::RutaIni());
        VarsFuncsGlobales::CargaConfig();
        m_frm->CargaIdioma();
        QCOMPARE(junta(m_frm->panTrazado->lblTituloHallazgos->text(),
                     m_frm->panTrazado->lstHallazgos->item(0)->text().left(9)),
            u"Hallazgos: 2|Línea 8: "_s);
    }

    void aSendFollowsThePlot()
    {
        QList<QByteArray> largo = kPrograma.first(kPrograma.size() - 2);
        for (int i = 0; i < 200; ++i)
            largo << QByteArray("G1 X%1 Y20").replace("%1", QByteArray::number(i % 50));
        largo << "M30"
              << "%";
        m_frm->texto()->setLineas(largo);
        QTRY_VERIFY(vista()->lectura() && vista()->lectura()->trayectoria.size() > 200);
        // The CNC holds the line after the first lines: the plot waits on the line sent.
        m_cnc->pausaCadaTrozo(false, 1, 200, 60000);
        m_frm->cmdPcCnc->click();
        QVERIFY(espera([this] { return m_cnc->pausas == 1 && filaActual() > 0; }));
        QVERIFY(espera([this] { return m_frm->lblEstado->text().contains(u"holding"_s); }));
        const int enviada = filaActual();
        QCOMPARE(vista()->lineaMarcada(), enviada);
        QVERIFY(enviada < largo.size() - 1);
        m_cnc->escribe("\x11");
        QVERIFY(espera([this] { return !m_frm->Enviando; }));
        QCOMPARE(junta(filaActual(), vista()->lineaMarcada()),
            junta(largo.size() - 1, largo.size() - 1));
    }
};

QTEST_MAIN(TrazadoTest)
#include "tst_trazado.moc"
