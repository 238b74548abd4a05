#include "browser/frmexaminar.h"
#include "comun/junta.h"
#include "settings/varsfuncsglobales.h"
#include "shell/herramientas.h"
#include "text/textoprograma.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace VarsFuncsGlobales;
using namespace Qt::StringLiterals;

class FrmExaminarTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_progs = m_dir.filePath("Progs"); // its name in mixed case
    const QByteArray m_viejo = QFile::encodeName(m_progs) + "/Viejo\xC9"; // ViejoÉ in Latin-1
    QStringList m_mensajes;
    TextoPrograma m_texto;

    void escribeIni(const QByteArray &general)
    {
        QFile f(RutaIni());
        QVERIFY(f.open(QIODevice::WriteOnly)
            && f.write("[General]\nIdioma=English\n" + general
                   + "[English]\nPrinTitulo=Keldan\nExamErrorDir=No dir\nExamErrorDirGen=Dir "
                     "failed\n")
                > 0);
        f.close();
        CargaConfig();
        m_mensajes.clear();
    }
    std::unique_ptr<frmExaminar> carga(bool abrir = true)
    {
        ModoAbrir = abrir;
        auto d = std::make_unique<frmExaminar>(&m_texto);
        d->Form_Load();
        return d;
    }
    QString dirGuarda() const { return LeeIni("General", "DirGuarda", "", RutaIni()); }
    static QString campo(const QLineEdit *c) { return junta(c->text(), c->cursorPosition()); }

private slots:
    void initTestCase()
    {
        EstableceDirectorioPrograma(m_dir.path());
        QVERIFY(QDir().mkpath(m_progs + "/Xa") && QDir().mkpath(m_progs + "/xb"));
        for (const char *n : {"o1.txt", "O2.TXT", "p.dcn", "q.DGN", "r"})
            QVERIFY(QFile(m_progs + "/" + n).open(QIODevice::WriteOnly));
        // A folder and a file named in Latin-1 on an old share, made by their bytes.
        const int fd = ::mkdir(m_viejo, 0700)
            ? -1
            : ::open(m_viejo + "/PEQUE\xD1O.txt", O_CREAT | O_WRONLY, 0600);
        QVERIFY(fd >= 0 && ::write(fd, "O1\r\n", 4) == 4 && ::close(fd) == 0);
    }
    void cleanupTestCase()
    {
        // QTemporaryDir cannot see the Latin-1 names to remove them.
        ::unlink(m_viejo + "/PEQUE\xD1O.txt");
        ::rmdir(m_viejo);
    }
    void init()
    {
        Herramientas::EstableceRespuestaMsgBox(
            [this](const QString &p, int flags, const QString &t) {
                m_mensajes << QStringLiteral("%1|%2|%3").arg(p).arg(flags).arg(t);
                return int(Herramientas::vbOK);
            });
        escribeIni("DirGuarda=" + m_progs.toUtf8() + "/\n");
        NombreFichero.clear();
        m_texto.clear();
    }
    void cleanup() { Herramientas::EstableceRespuestaMsgBox({}); }

    void startsInTheStoredDirectoryOrFallsBackToTheRoot()
    {
        auto d = carga();
        // Type-ahead in the directory list looks past the indentation of the tree.
        QStringList vistos;
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(d->Dir1, Qt::Key_X);
            vistos << d->Dir1->currentItem()->text().trimmed();
            QTest::qWait(QApplication::keyboardInputInterval() + 50);
        }
        QCOMPARE(vistos, QStringList({"Xa", "xb", "Xa"}));
        d->cmbTipo->setCurrentText("*.dgn");
        const int botones = int(d->windowFlags()
            & (Qt::CustomizeWindowHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint
                | Qt::WindowCloseButtonHint));
        QCOMPARE(junta(d->Path(), d->txtDirPlano->text(), d->File1->item(0)->text(), botones),
            junta(m_progs, (m_progs + "/").toUpper(), u"q.DGN"_s,
                int(Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint)));
        // None stored: the root without a message; a vanished directory: one
        // message; a path of another system has no drive either: two; stored
        // in upper case, it still finds its directory.
        const std::pair<QByteArray, QString> casos[]
            = {{"", "|/"}, {"DirGuarda=" + m_progs.toUtf8() + "/Gone/\n", "No dir|16|Keldan|/"},
                {"DirGuarda=C:\\PROGS\\\n", "Dir failed|16|Keldan,No dir|16|Keldan|/"},
                {"DirGuarda=" + m_progs.toUpper().toUtf8() + "/\n", "|" + m_progs}};
        for (const auto &[ini, esperado] : casos) {
            escribeIni(ini);
            QCOMPARE(junta(m_mensajes.join(u','), carga()->Path()), esperado);
        }
    }

    void acceptNeedsAFileToOpenOrANameToSaveAndGivesTheFile()
    {
        auto d = carga();
        d->txtPlano->setText("typed.txt");
        const bool soloEscrito = d->cmdAceptar->isEnabled();
        d->File1->setCurrentRow(1);
        // A new type refills the list but keeps the name and the button.
        d->cmbTipo->setCurrentText("*.dcn");
        QCOMPARE(junta(soloEscrito, d->File1->currentRow(), d->txtPlano->text(),
                     d->cmdAceptar->isEnabled()),
            u"false|-1|O2.TXT|true"_s);
        // Saving proposes the program number in upper case; any name will do.
        m_texto.setLineas({"%", "o1234 (EJE)", "N10"});
        auto g = carga(false);
        QCOMPARE(junta(g->txtPlano->text(), g->cmdAceptar->isEnabled()), u"O1234.TXT|true"_s);
        g->txtPlano->clear();
        QVERIFY(!g->cmdAceptar->isEnabled());
        // Typing is upper-cased where the caret is, and the caret stays behind
        // what was typed even where upper case is longer.
        QTest::keyClicks(g->txtPlano, QStringLiteral("straße.txt"));
        const QString tecleado = campo(g->txtPlano);
        g->txtPlano->setCursorPosition(2);
        QTest::keyClicks(g->txtPlano, QStringLiteral("ßx"));
        QCOMPARE(junta(tecleado, campo(g->txtPlano), g->cmdAceptar->isEnabled()),
            u"STRASSE.TXT|11|STSSXRASSE.TXT|5|true"_s);
        // Accepting gives the file and remembers its directory.
        auto o = carga();
        o->File1->setCurrentRow(0);
        o->cmdAceptar_Click();
        QCOMPARE(junta(o->result(), NombreFichero, dirGuarda()),
            junta(int(QDialog::Accepted), m_progs + "/o1.txt", m_progs + "/"));
        escribeIni("DirGuarda=/\n");
        // A directory where the settings file should be: the write fails, said so.
        QTemporaryDir otro;
        QVERIFY(QDir().mkdir(otro.filePath("KELDAN.INI")));
        EstableceDirectorioPrograma(otro.path());
        auto f = carga(false);
        f->txtPlano->setText("a.txt");
        f->cmdAceptar_Click();
        EstableceDirectorioPrograma(m_dir.path());
        QCOMPARE(junta(f->result(), NombreFichero, dirGuarda(), m_mensajes.size(),
                     m_mensajes.value(0).contains(otro.filePath("KELDAN.INI"))),
            junta(int(QDialog::Accepted), u"/A.TXT"_s, u"/"_s, 1, true));
    }

    void namesThatAreNotUtf8OpenTheirFileAndAreNotSavedOver()
    {
        for (const bool abrir : {true, false}) {
            auto d = carga(abrir);
            const auto viejo = d->Dir1->findItems(QStringLiteral("ViejoÉ"), Qt::MatchEndsWith);
            QCOMPARE(viejo.size(), 1);
            emit d->Dir1->itemActivated(viejo.first());
            d->File1->setCurrentRow(0);
            d->cmdAceptar_Click();
            QCOMPARE(junta(d->File1->count(), d->txtPlano->text(), d->result(), m_mensajes.size()),
                junta(1, QStringLiteral("PEQUEÑO.TXT"), int(abrir), abrir ? 0 : 1));
        }
        QFile f(NombreFichero);
        QVERIFY(f.open(QIODevice::ReadOnly));
        // The folder of links is not remembered as the last directory.
        QCOMPARE(junta(f.readAll(), dirGuarda()), junta(QByteArray("O1\r\n"), m_progs + "/"));
    }
};

QTEST_MAIN(FrmExaminarTest)
#include "test_frmexaminar.moc"
