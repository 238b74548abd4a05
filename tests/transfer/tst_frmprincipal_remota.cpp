// The main window with a machine reached over FTP or through a folder: the
// same buttons, on the control's programs as files.

#include "comun/espera.h"
#include "comun/junta.h"
#include "comun/servidorftp.h"
#include "port/frmcomprobacion.h"
#include "settings/varsfuncsglobales.h"
#include "shell/frmprincipal.h"
#include "shell/herramientas.h"
#include "text/textoprograma.h"
#include "transfer/frmlistaremota.h"
#include "transfer/registro.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

using namespace VarsFuncsGlobales;
using namespace Qt::StringLiterals;

namespace {

const QByteArray kTextos
    = "[English]\nPrinTitulo=Keldan\nPrinmsgGrabaFinal=Save first?\n"
      "PrinmsgEsperandoEntrada=Waiting\nPrinmsgEntrando=Incoming\n"
      "PrinmsgSaliendo=Sending\nPrinmsgLimpia=Empty\nPrinmsgSinGuardar=Not saved\n";

QByteArray lee(const QString &ruta)
{
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
}

bool escribe(const QString &ruta, const QByteArray &datos, int segundosAtras = 0)
{
    QFile f(ruta);
    if (!f.open(QIODevice::WriteOnly) || f.write(datos) != datos.size() || !f.flush())
        return false;
    // Dated apart, so that the list has an order to show.
    return !segundosAtras
        || f.setFileTime(QDateTime::currentDateTime().addSecs(-segundosAtras),
            QFileDevice::FileModificationTime);
}

} // namespace

class FrmPrincipalRemotaTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_control; // the folder the control reads and writes
    QString m_recibidos; // the receive folder
    std::unique_ptr<frmPrincipal> m_frm;
    QStringList m_mensajes; // "flags|prompt"
    QList<int> m_respuestas;

    void nuevaVentana(const QString &com, const QByteArray &general = {})
    {
        m_frm.reset();
        QFile ini(RutaIni());
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[General]\n" + general + "Idioma=English\nCom=" + com.toUtf8()
            + "\nDirRecepcion=" + m_recibidos.toUtf8() + "\n" + kTextos);
        ini.close();
        m_frm = std::make_unique<frmPrincipal>();
        m_frm->Form_Load();
        m_frm->show();
    }

    TextoPrograma *texto() const { return m_frm->texto(); }
    QString estado() const { return m_frm->lblEstado->text(); }

    // A program in the text window, as Open leaves it, from this file.
    void abierto(const QList<QByteArray> &lineas, const QString &fichero)
    {
        texto()->setLineas(lineas);
        NombreFichero = fichero;
        for (QWidget *w : {m_frm->cmdGuardar, m_frm->cmdPcCnc, m_frm->cmdSpace})
            w->setEnabled(true);
        m_frm->cmdAbrir->setEnabled(false);
    }

    bool enReposo() const
    {
        return m_frm->cmdLimpiar->isEnabled() && !m_frm->cmdStop->isEnabled() && !m_frm->Recibiendo
            && !m_frm->Enviando;
    }

    // The log: file name, direction, result and port of each record.
    QStringList registro() const
    {
        QStringList r;
        for (const EntradaRegistro &e :
            RegistroTransferencias(DirectorioAjustes() + u"/KELDAN.LOG"_s).lee().entradas)
            r.append(junta(QFileInfo(e.fichero).fileName(), int(e.sentido), int(e.resultado),
                e.lineas, e.bytes, e.puerto));
        return r;
    }

    // Runs the operation while a watcher answers the next modal window of
    // type T as told, waiting for it; what the window showed.
    template<typename T>
    QString conVentana(
        const std::function<QString(T *)> &responde, const std::function<void()> &operacion)
    {
        QString visto = u"not shown"_s;
        QTimer vigia;
        connect(&vigia, &QTimer::timeout, this, [&] {
            auto *w = qobject_cast<T *>(QApplication::activeModalWidget());
            if (!w || !w->isVisible())
                return;
            vigia.stop();
            visto = responde(w);
        });
        vigia.start(10);
        operacion();
        // The jobs answer from the event loop: the window may come later.
        espera([&] { return !vigia.isActive(); }, 20000);
        return visto;
    }

    // The real box answered with the button of that text.
    static std::function<QString(QMessageBox *)> pulsa(const QString &boton)
    {
        return [boton](QMessageBox *caja) {
            const QString texto = caja->text();
            for (QAbstractButton *b : caja->buttons())
                if (b->text() == boton)
                    b->click();
            return texto;
        };
    }

    // The list's rows as "name size", and the rows chosen then Fetch.
    static std::function<QString(frmListaRemota *)> eligeFilas(const QList<int> &filas)
    {
        return [filas](frmListaRemota *l) {
            QStringList s;
            for (int f = 0; f < l->grdProgramas->rowCount(); ++f)
                s.append(l->grdProgramas->item(f, 0)->text() + u' '
                    + l->grdProgramas->item(f, 1)->text());
            const bool sinEleccion = !l->cmdAceptar->isEnabled();
            for (int f : filas)
                l->grdProgramas->selectionModel()->select(l->grdProgramas->model()->index(f, 0),
                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
            if (filas.isEmpty())
                l->cmdCancelar->click();
            else
                l->cmdAceptar->click();
            return junta(l->windowTitle(), s.join(u','), sinEleccion);
        };
    }

private slots:
    void initTestCase()
    {
        EstableceDirectorioPrograma(m_dir.path());
        // The .netrc the product reads is the user's: this test's home.
        qputenv("HOME", m_dir.filePath(u"casa"_s).toUtf8());
        QVERIFY(QDir().mkpath(m_dir.filePath(u"casa"_s)));
    }

    void init()
    {
        m_mensajes.clear();
        m_respuestas.clear();
        Herramientas::EstableceRespuestaMsgBox(
            [this](const QString &p, int flags, const QString &) {
                m_mensajes.append(junta(flags, p));
                const bool pregunta = flags & Herramientas::vbYesNo;
                return !pregunta             ? int(Herramientas::vbOK)
                    : m_respuestas.isEmpty() ? int(Herramientas::vbNo)
                                             : m_respuestas.takeFirst();
            });
        m_control = m_dir.filePath(u"control-%1/"_s.arg(QTest::currentTestFunction()));
        m_recibidos = m_dir.filePath(u"recibidos-%1"_s.arg(QTest::currentTestFunction()));
        QVERIFY(QDir().mkpath(m_control) && QDir().mkpath(m_recibidos));
        QFile::remove(DirectorioAjustes() + u"/KELDAN.LOG"_s);
        NombreFichero.clear();
    }

    void cleanup()
    {
        m_frm.reset();
        Herramientas::EstableceRespuestaMsgBox({});
    }

    void aSendToAFolderReplacesTheControlsProgramOnlyWhenTheOperatorSaysSo()
    {
        nuevaVentana(m_control, "FinBloque=Lf\n");
        // The status bar names the folder; the line's figures mean nothing here.
        QCOMPARE(
            junta(m_frm->Panels[0]->toolTip(), m_frm->Panel(2), m_frm->Panel(5), m_frm->Panel(7)),
            junta(m_control, QString(), QString(), QString()));
        const QString pieza = m_control + u"PIEZA.NC"_s;
        abierto({"%", "O12", "M30", "%"}, m_dir.filePath(u"PIEZA.NC"_s));
        m_frm->cmdPcCnc->click();
        QVERIFY(espera([this] { return enReposo(); }));
        QCOMPARE(junta(lee(pieza), estado(), m_mensajes.size()),
            junta(QByteArray("%\nO12\nM30\n%\n"), u"Empty"_s, 0));

        // The control has it now: the real box asks, and No keeps the control's.
        Herramientas::EstableceRespuestaMsgBox({});
        abierto({"%", "O12", "G0 X1", "M30", "%"}, m_dir.filePath(u"PIEZA.NC"_s));
        const QString pregunta = u"The control already has a program named PIEZA.NC. Replace it "
                                 u"with this one?"_s;
        QCOMPARE(conVentana<QMessageBox>(pulsa(u"No"_s), [this] { m_frm->cmdPcCnc->click(); }),
            pregunta);
        QVERIFY(espera([this] { return enReposo(); }));
        QCOMPARE(lee(pieza), QByteArray("%\nO12\nM30\n%\n"));
        QCOMPARE(conVentana<QMessageBox>(pulsa(u"Yes"_s), [this] { m_frm->cmdPcCnc->click(); }),
            pregunta);
        QVERIFY(espera([this] { return enReposo(); }));
        QCOMPARE(lee(pieza), QByteArray("%\nO12\nG0 X1\nM30\n%\n"));
        QCOMPARE(registro(),
            (QStringList {junta(u"PIEZA.NC"_s, 0, 0, 4, 12, m_control),
                junta(u"PIEZA.NC"_s, 0, 1, 5, 0, m_control),
                junta(u"PIEZA.NC"_s, 0, 0, 5, 18, m_control)}));
        // Nothing but the program is left in the control's folder.
        QCOMPARE(QDir(m_control).entryList(QDir::Files), QStringList {u"PIEZA.NC"_s});
    }

    void whatARemoteMachineCannotDoIsRefusedWithTheReason()
    {
        nuevaVentana(m_control, "NombreO=Si\n");
        // ISO code: the box does not take it.
        m_frm->chkModo->click();
        QVERIFY(espera([this] { return !m_mensajes.isEmpty(); }));
        QCOMPARE(junta(m_frm->chkModo->isChecked(), m_frm->mnuModo->isChecked(), ModoTransmision,
                     m_mensajes.join(u'/')),
            junta(false, false, u"Ascii"_s,
                junta(int(Herramientas::vbExclamation),
                    u"ISO code does not apply to a machine reached over FTP or a folder: its "
                    u"programs are files. Choose Ascii."_s)));
        // No O-number to name the program by.
        m_mensajes.clear();
        abierto({"%", "G0 X1", "%"}, m_dir.filePath(u"A.NC"_s));
        m_frm->cmdPcCnc->click();
        // A send from a line would put part of a program in the whole one's place.
        m_frm->mnuEnviaDesde->trigger();
        QCOMPARE(m_mensajes.size(), 2);
        QVERIFY(m_mensajes.at(0).contains(u"No name to store the program under"_s));
        QVERIFY(m_mensajes.at(1).contains(u"Send from a line is for a serial line"_s));
        // Settings the file holds amiss are named, as for a serial port.
        m_mensajes.clear();
        nuevaVentana(m_control, "Modo=Iso\n");
        m_frm->cmdCncPc->click();
        QCOMPARE(m_mensajes.size(), 1);
        QVERIFY2(m_mensajes.at(0).contains(u"Modo=\"Iso\". Choose them in Settings."_s),
            qPrintable(m_mensajes.at(0)));
        QVERIFY(enReposo() && QDir(m_control).isEmpty() && registro().isEmpty());
    }

    void receiveListsNewestFirstAndFetchesOneIntoTheTextSeveralIntoTheFolder()
    {
        QVERIFY(escribe(m_control + u"O1"_s, "%\r\nO1\r\nM30\r\n%\r\n", 300));
        QVERIFY(escribe(m_control + u"O2"_s, "%\nO2\n%\n", 200));
        QVERIFY(escribe(m_control + u"O3"_s, "%\rO3\r%\r", 100));
        nuevaVentana(m_control);
        const QString titulo = u"Programs on "_s + m_control;
        // Cancelled: nothing received, nothing logged.
        QCOMPARE(conVentana<frmListaRemota>(eligeFilas({}), [this] { m_frm->cmdCncPc->click(); }),
            junta(titulo, u"O3 7,O2 7,O1 15"_s, true));
        QVERIFY(espera([this] { return enReposo(); }));
        QCOMPARE(junta(texto()->count(), estado(), registro().size()), junta(0, u"Empty"_s, 0));
        // One: into the text window, unsaved, whatever its line ends.
        conVentana<frmListaRemota>(eligeFilas({2}), [this] { m_frm->cmdCncPc->click(); });
        QVERIFY(espera([this] { return enReposo(); }));
        QCOMPARE(junta(texto()->lineas().join(' '), estado(), m_frm->SinGuardar),
            junta(u"% O1 M30 %"_s, u"Not saved"_s, true));
        // Several: into the receive folder, each named and logged as
        // continuous receive does; the text window keeps what it had.
        m_respuestas = {Herramientas::vbNo};
        conVentana<frmListaRemota>(eligeFilas({0, 1}), [this] { m_frm->cmdCncPc->click(); });
        QVERIFY(espera([this] { return enReposo(); }));
        QCOMPARE(junta(QDir(m_recibidos).entryList(QDir::Files).join(u','),
                     lee(m_recibidos + u"/O3.TXT"_s), estado(), texto()->count()),
            junta(u"O2.TXT,O3.TXT"_s, QByteArray("%\r\nO3\r\n%\r\n"),
                u"2 programs saved in "_s + m_recibidos, 0));
        QCOMPARE(registro(),
            (QStringList {junta(QString(), 1, 0, 4, 11, m_control),
                junta(u"O3.TXT"_s, 1, 0, 3, 7, m_control),
                junta(u"O2.TXT"_s, 1, 0, 3, 7, m_control)}));
        // The control keeps them all.
        QCOMPARE(QDir(m_control).entryList(QDir::Files).size(), 3);
    }

    void continuousReceiveTakesANewProgramOnceItStopsGrowing()
    {
        QVERIFY(escribe(m_control + u"VIEJO"_s, "%\nO7\n%\n"));
        nuevaVentana(m_control, "Sondeo=1\n");
        QSignalSpy mirado(m_frm->findChild<SondeoRemoto *>(), &SondeoRemoto::mirado);
        m_frm->mnuRecepcionContinua->trigger();
        // What the folder holds at the start is no new program.
        QVERIFY(espera([&] { return !mirado.isEmpty(); }));
        QCOMPARE(estado(),
            u"Continuous receive from %1 into %2: looking for new programs"_s.arg(
                m_control, m_recibidos));
        // Written in two goes with a look between: taken once, whole.
        QVERIFY(escribe(m_control + u"O8"_s, "%\nO8\n"));
        const qsizetype miradas = mirado.size();
        QVERIFY(espera([&] { return mirado.size() > miradas; }));
        QVERIFY(escribe(m_control + u"O8"_s, "%\nO8\nM30\n%\n"));
        QVERIFY(espera([this] { return registro().size() == 1; }, 10000));
        QCOMPARE(junta(QDir(m_recibidos).entryList(QDir::Files).join(u','),
                     texto()->lineas().join(' '), NombreFichero, estado().section(u' ', 0, 1)),
            junta(u"O8.TXT"_s, u"% O8 M30 %"_s, m_recibidos + u"/O8.TXT"_s,
                u"Saved "_s + m_recibidos + u"/O8.TXT"_s));
        m_frm->cmdStop->click();
        QVERIFY(enReposo());
        QCOMPARE(junta(registro().join(u'/'), QDir(m_control).entryList(QDir::Files).size(),
                     m_mensajes.size()),
            junta(junta(u"O8.TXT"_s, 1, 0, 4, 11, m_control), 2, 0));
    }

    void anFtpServerThatRefusesTheLoginIsToldAndLogged()
    {
        ServidorFtp servidor;
        QVERIFY(servidor.arrancado());
        const QString com = servidor.com(u"/"_s);
        const QString netrc = m_dir.filePath(u"casa/.netrc"_s);
        QFile::remove(netrc);
        QVERIFY(QFile::copy(servidor.netrc(), netrc));
        QFile::setPermissions(netrc, QFile::ReadOwner | QFile::WriteOwner);
        nuevaVentana(com, "Verificar=Si\n");
        abierto({"%", "O5", "%"}, m_dir.filePath(u"O5.NC"_s));
        m_frm->cmdPcCnc->click();
        QVERIFY(espera([this] { return enReposo(); }, 20000));
        QCOMPARE(lee(servidor.carpeta() + u"/O5.NC"_s), QByteArray("%\r\nO5\r\n%\r\n"));

        // The password no longer matches: the list fails with the server's word.
        QFile::remove(netrc);
        {
            QFile f(netrc);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("machine 127.0.0.1 login cnc password otra\n");
        }
        QFile::setPermissions(netrc, QFile::ReadOwner | QFile::WriteOwner);
        m_mensajes.clear();
        m_frm->cmdCncPc->click();
        QVERIFY(espera([this] { return enReposo(); }, 20000));
        QCOMPARE(m_mensajes.size(), 1);
        QVERIFY2(m_mensajes.at(0).startsWith(junta(
                     int(Herramientas::vbCritical), u"Receiving from %1 failed: "_s.arg(com))),
            qPrintable(m_mensajes.at(0)));
        const QStringList r = registro();
        QCOMPARE(junta(r.size(), r.value(0), r.value(1)),
            junta(2, junta(u"O5.NC"_s, 0, 0, 3, 10, com), junta(QString(), 1, 2, 0, 0, com)));

        // The port check says which step failed and where the password goes.
        QString visto = conVentana<frmComprobacion>(
            [](frmComprobacion *v) {
                espera([v] { return !v->enCurso(); }, 20000);
                const QString t = v->txtHallazgos->toPlainText();
                v->cmdCerrar->click();
                return t;
            },
            [this] { m_frm->cmdComprueba_Click(); });
        QVERIFY2(visto.startsWith(u"Problem: Log in: "_s)
                && visto.contains(u"What to do: put the password in ~/.netrc"_s)
                && visto.contains(u"Warning: Delete the probe file: not tried"_s),
            qPrintable(visto));
    }

    void aServerThatDiesMidUploadLeavesNothingUnderTheProgramsName()
    {
        OpcionesServidorFtp o;
        o.muereTras = 4000;
        ServidorFtp servidor(o);
        QVERIFY(servidor.arrancado());
        const QString netrc = m_dir.filePath(u"casa/.netrc"_s);
        QFile::remove(netrc);
        QVERIFY(QFile::copy(servidor.netrc(), netrc));
        QFile::setPermissions(netrc, QFile::ReadOwner | QFile::WriteOwner);
        nuevaVentana(servidor.com(u"/"_s));
        QList<QByteArray> largo = {"%", "O9"};
        for (int i = 0; i < 2000; ++i)
            largo.append("G1 X" + QByteArray::number(i) + " Y1.5 F300");
        abierto(largo, m_dir.filePath(u"O9.NC"_s));
        m_frm->cmdPcCnc->click();
        QVERIFY(espera([this] { return enReposo(); }, 30000));
        QCOMPARE(m_mensajes.size(), 1);
        QVERIFY2(m_mensajes.at(0).startsWith(junta(int(Herramientas::vbCritical),
                     u"The program O9.NC could not be sent to %1: "_s.arg(servidor.com()))),
            qPrintable(m_mensajes.at(0)));
        QVERIFY(!QFile::exists(servidor.carpeta() + u"/O9.NC"_s));
        const QStringList r = registro();
        QCOMPARE(junta(r.size(), r.value(0).section(u'|', 0, 2)), junta(1, u"O9.NC|0|2"_s));
    }

    void thePortCheckOfAFolderWalksEveryStep()
    {
        nuevaVentana(m_control);
        const auto comprueba = [this] {
            return conVentana<frmComprobacion>(
                [](frmComprobacion *v) {
                    espera([v] { return !v->enCurso(); });
                    const QString t = junta(v->windowTitle(), v->txtHallazgos->toPlainText());
                    v->cmdCerrar->click();
                    return t;
                },
                [this] { m_frm->cmdComprueba_Click(); });
        };
        const QStringList pasos = comprueba().split(u'\n');
        QCOMPARE(pasos.size(), 4);
        QCOMPARE(pasos.at(0).section(u'|', 0, 0), u"Port check: "_s + m_control);
        QVERIFY(pasos.at(0).section(u'|', 1).startsWith(u"OK: Reach the folder: "_s));
        QVERIFY(pasos.at(1).startsWith(u"OK: List the programs: "_s));
        QVERIFY(pasos.at(2).startsWith(u"OK: Write a probe file: "_s));
        QVERIFY(pasos.at(3).startsWith(u"OK: Delete the probe file: "_s));
        QVERIFY(QDir(m_control).isEmpty());
        // A folder that is not there: the first step says so, the rest wait.
        QVERIFY(QDir(m_control).removeRecursively());
        const QStringList falla = comprueba().split(u'\n');
        QCOMPARE(falla.size(), 4);
        QVERIFY(falla.at(0).section(u'|', 1).startsWith(u"Problem: Reach the folder: "_s));
        QCOMPARE(
            falla.at(3), u"Warning: Delete the probe file: not tried: the step before failed."_s);
    }
};

QTEST_MAIN(FrmPrincipalRemotaTest)
#include "tst_frmprincipal_remota.moc"
