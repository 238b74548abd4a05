// Renders the real windows, with a sample program, in each shipped language
// into PNG files for the README: keldan-capturas <source dir> <output dir>.
#include "browser/frmexaminar.h"
#include "languages/frmconfigtraduc.h"
#include "plot/paneltrazado.h"
#include "plot/reinicio.h"
#include "plot/vistatrazado.h"
#include "settings/frmconfig.h"
#include "settings/varsfuncsglobales.h"
#include "shell/frmprincipal.h"
#include "text/textoprograma.h"
#include "transfer/frmenviodesde.h"
#include "transfer/frmlistaremota.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
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

// A plate's contour with rounded corners, then four holes: for the backplot.
const char *const kPlaca[] = {
    "%",
    "O1235 (PLACA 70X50)",
    "N10G21G90G94G17",
    "N20T1M6(FRESA D10)",
    "N30G54S3200M3M8",
    "N40G00X-5.Y-5.Z25.",
    "N50G43Z5.H1",
    "N60G01Z-2.F300",
    "N70X55.F800",
    "N80G03X65.Y5.R10.",
    "N90G01Y35.",
    "N100G03X55.Y45.I-10.J0.",
    "N110G01X5.",
    "N120G03X-5.Y35.R10.",
    "N130G01Y5.",
    "N140G03X5.Y-5.I10.J0.",
    "N150G00Z25.",
    "N160T2M6(BROCA D6)",
    "N170G00X10.Y10.Z25.",
    "N180G43Z5.H2",
    "N190G99G81X10.Y10.Z-12.R2.F150",
    "N200X50.",
    "N210Y30.",
    "N220G98X10.",
    "N230G80",
    "N240G91G28Z0.",
    "N250M30",
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

        // The backplot beside the text, a line of the contour selected; the
        // machine's travel in X is 60 mm, so the contour's ends are findings.
        EscribeIni(QStringLiteral("General"), QStringLiteral("LimitesX"), QStringLiteral("-10,60"),
            RutaIni());
        QList<QByteArray> placa;
        for (const char *linea : kPlaca)
            placa.append(linea);
        principal.texto()->setLineas(placa);
        principal.resize(1100, 640);
        principal.mnuTrazado->setChecked(true);
        principal.cmdTrazado_Click();
        principal.mnuVistaIso->trigger();
        principal.lstTexto->setCurrentIndex(principal.texto()->index(11));
        guarda(principal, salida.filePath(QStringLiteral("trazado-%1.png").arg(s)));

        // The question of a send from the second hole, with its start block.
        const qsizetype desde = 21;
        frmEnvioDesde reinicio(Texto(QStringLiteral("BloquePregunta"))
                                   .arg(QString::number(desde + 1), QString::number(desde - 2))
                + QStringLiteral("\n\n%\nO1235 (PLACA 70X50)\nN200X50.\nN210Y30.\n…"),
            Trazado::bloqueReinicio(placa, desde), desde, &principal);
        guarda(reinicio, salida.filePath(QStringLiteral("reinicio-%1.png").arg(s)));
        principal.mnuTrazado->setChecked(false);
        principal.cmdTrazado_Click();
        principal.texto()->setLineas(programa);

        frmConfig config(principal);
        guarda(config, salida.filePath(QStringLiteral("config-%1.png").arg(s)));

        // CNC -> PC from a control's FTP server: its programs, newest first.
        const QDateTime hora(QDate(2026, 12, 7), QTime(9, 41));
        const QList<AlmacenRemoto::Entrada> programas = {
            {QStringLiteral("O1234"), 2874, hora.addSecs(-300)},
            {QStringLiteral("O1235"), 1620, hora.addSecs(-4000)},
            {QStringLiteral("O0020"), 15342, hora.addDays(-1)},
            {QStringLiteral("O0007"), 944, hora.addDays(-12)},
        };
        frmListaRemota lista(programas, QStringLiteral("ftp://cnc@192.168.10.21/PROG/"),
            QStringLiteral("/home/cnc/recibidos"), &principal);
        lista.grdProgramas->selectRow(0);
        guarda(lista, salida.filePath(QStringLiteral("listaremota-%1.png").arg(s)));

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
