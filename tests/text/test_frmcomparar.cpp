#include "settings/varsfuncsglobales.h"
#include "shell/frmprincipal.h"
#include "text/frmcomparar.h"
#include "text/textoprograma.h"

#include "browser/examinar_prueba.h"
#include "comun/ficheros.h"

#include <QLabel>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using namespace VarsFuncsGlobales;

class FrmCompararTest : public QObject
{
    Q_OBJECT

private slots:
    // The file picked in the browser against the text window: the differing
    // lines side by side with their numbers; the current file stays.
    void aDifferingFileIsShownBesideTheWindowAndTheCurrentFileStays()
    {
        QTemporaryDir dir;
        EstableceDirectorioPrograma(dir.path());
        QVERIFY(escribeBytes(
            RutaIni(), "[General]\nIdioma=English\nDirGuarda=" + dir.path().toUtf8() + "/\n"));
        QVERIFY(escribeBytes(dir.filePath("o1.txt"), "%\nO1\nN10X5\nM30\n"));
        frmPrincipal frm;
        frm.texto()->setLineas({"%", "O1", "N10X6", "N20X7", "M30"});
        NombreFichero = QStringLiteral("/p/o.txt");
        QStringList visto;
        QTimer vigia;
        connect(&vigia, &QTimer::timeout, this, [&] {
            if (auto *v = qobject_cast<frmComparar *>(QApplication::activeModalWidget())) {
                visto << v->lblDiferencias->text();
                for (int f = 0; f < v->grdDiferencias->model()->rowCount() * 4; ++f)
                    visto << v->grdDiferencias->model()->index(f / 4, f % 4).data().toString();
                QTest::keyClick(v, Qt::Key_Escape);
            }
        });
        vigia.start(10);
        OperadorExaminar operador({AbreFichero(QStringLiteral("o1.txt"))});
        frm.cmdComparar_Click();
        QCOMPARE(visto.join(u'|') + '|' + NombreFichero,
            "Lines that differ: 2 in the text window, 1 in the "
            "file.|3|N10X6|3|N10X5|4|N20X7|||/p/o.txt");
    }
};

QTEST_MAIN(FrmCompararTest)
#include "test_frmcomparar.moc"
