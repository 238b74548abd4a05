// Renders the real windows, with a sample program, in each shipped language
// into PNG files for the README: keldan-capturas <source dir> <output dir>.
#include "browser/frmexaminar.h"
#include "languages/frmconfigtraduc.h"
#include "settings/frmconfig.h"
#include "settings/varsfuncsglobales.h"
#include "shell/frmprincipal.h"
#include "text/textoprograma.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

using namespace VarsFuncsGlobales;

namespace {

const char *const kPrograma[] = {
    "%",
    "O1234 (BRIDA 40X60)",
    "N10G21G90G94",
    "N20T1M6(FRESA D10)",
    "N30S3200M3",
    "N40G00X-5.Y-5.Z5.",
    "N50G01Z-2.F300",
    "N60G01X65.F800",
    "N70Y45.",
    "N80X-5.",
    "N90Y-5.",
    "N100G00Z50.",
    "N110M30",
    "%",
};

void guarda(QWidget &ventana, const QString &ruta)
{
    ventana.show();
    QApplication::processEvents();
    ventana.grab().save(ruta);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Keldan"));
    if (argc < 3)
        return 2;
    const QString fuente = QString::fromLocal8Bit(argv[1]);
    const QDir salida(QString::fromLocal8Bit(argv[2]));

    QTemporaryDir dir;
    EstableceDirectorioPrograma(dir.path());
    const struct
    {
        const char *idioma;
        const char *sufijo;
    } idiomas[] = {{"Español", "es"}, {"English", "en"}};

    for (const auto &[idioma, sufijo] : idiomas) {
        QFile::remove(RutaIni());
        QFile::copy(fuente + QStringLiteral("/data/KELDAN.INI"), RutaIni());
        QFile::setPermissions(RutaIni(), QFile::ReadOwner | QFile::WriteOwner);
        EscribeIni(QStringLiteral("General"), QStringLiteral("Idioma"), QString::fromUtf8(idioma),
            RutaIni());
        EscribeIni(QStringLiteral("General"), QStringLiteral("DirGuarda"),
            fuente + QLatin1Char('/'), RutaIni());
        const QString s = QString::fromLatin1(sufijo);

        frmPrincipal principal;
        principal.Form_Load();
        QList<QByteArray> programa;
        for (const char *linea : kPrograma)
            programa.append(linea);
        principal.texto()->setLineas(programa);
        NombreFichero = QStringLiteral("/home/cnc/programas/O1234.TXT");
        principal.TituloVentana();
        principal.lblEstado->setText(Texto(QStringLiteral("PrinmsgAbierto")));
        principal.cmdAbrir->setEnabled(false);
        principal.cmdGuardar->setEnabled(true);
        principal.cmdPcCnc->setEnabled(true);
        principal.cmdSpace->setEnabled(true);
        guarda(principal, salida.filePath(QStringLiteral("principal-%1.png").arg(s)));

        frmConfig config(principal);
        guarda(config, salida.filePath(QStringLiteral("config-%1.png").arg(s)));

        config.ModoAlta = false;
        frmConfigTraduc traduc(config);
        traduc.lstVars->setCurrentRow(1);
        traduc.lstVars_Click();
        guarda(traduc, salida.filePath(QStringLiteral("traduc-%1.png").arg(s)));

        ModoAbrir = false;
        frmExaminar examinar(principal.texto(), &principal);
        examinar.Form_Load();
        guarda(examinar, salida.filePath(QStringLiteral("examinar-%1.png").arg(s)));
        NombreFichero.clear();
    }
    return 0;
}
