// The main window's program-text handlers: open, save, clear, edit, manual
// address spacing and compare with a file.
#include "shell/frmprincipal.h"

#include "browser/frmexaminar.h"
#include "settings/varsfuncsglobales.h"
#include "shell/herramientas.h"
#include "text/barraprogreso.h"
#include "text/comparacion.h"
#include "text/espaciado.h"
#include "text/ficheroprograma.h"
#include "text/frmcomparar.h"
#include "text/textoprograma.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListView>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>

using namespace VarsFuncsGlobales;
using Herramientas::Puntero;

namespace {

// The pointer goes back to the arrow on every way out.
class RelojDeArena
{
public:
    RelojDeArena() { Herramientas::EstablecePuntero(Puntero::Reloj); }
    ~RelojDeArena() { Herramientas::EstablecePuntero(Puntero::Normal); }
    RelojDeArena(const RelojDeArena &) = delete;
    RelojDeArena &operator=(const RelojDeArena &) = delete;
};

} // namespace

void frmPrincipal::cmdAbrir_Click()
{
    // Received text is not lost to an Open without the question Clear asks.
    if (SinGuardar && !PreguntaGuardar())
        return;

    const QString anterior = NombreFichero;
    ModoAbrir = true;
    frmExaminar examinar(m_texto, this);
    if (!examinar.Muestra() || NombreFichero.isEmpty())
        return;
    CargaFichero(anterior);
}

void frmPrincipal::AbreFichero(const QString &ruta)
{
    const QString anterior = NombreFichero;
    NombreFichero = QFileInfo(ruta).absoluteFilePath();
    CargaFichero(anterior);
}

void frmPrincipal::CargaFichero(const QString &anterior)
{
    QList<QByteArray> lineas;
    QString error;
    bool leido = false;
    {
        RelojDeArena reloj;
        BarraProgreso barra(this);
        leido = FicheroPrograma::lee(
            NombreFichero, lineas, &error, [&barra](qint64 h, qint64 t) { barra.avanza(h, t); });
    }
    if (!leido) {
        // Nothing was loaded: the window goes on showing what it showed.
        const QString fichero = NombreFichero;
        NombreFichero = anterior;
        Herramientas::MsgBox(Texto(QStringLiteral("PrinErrorAbre")).arg(fichero, error),
            Herramientas::vbCritical + Herramientas::vbOKOnly, Texto(QStringLiteral("PrinTitulo")),
            this);
        return;
    }
    m_texto->setLineas(std::move(lineas));
    SinGuardar = false;
    TituloVentana();
    cmdAbrir->setEnabled(false);
    cmdGuardar->setEnabled(true);
    cmdPcCnc->setEnabled(true);
    cmdSpace->setEnabled(true);
    lblEstado->setText(Texto(QStringLiteral("PrinmsgAbierto")));
}

bool frmPrincipal::cmdGuardar_Click()
{
    const QString anterior = NombreFichero;
    ModoAbrir = false;
    frmExaminar examinar(m_texto, this);
    if (!examinar.Muestra() || NombreFichero.isEmpty())
        return false;

    QString error;
    bool escrito = false;
    {
        RelojDeArena reloj;
        BarraProgreso barra(this);
        escrito = FicheroPrograma::escribe(NombreFichero, m_texto->lineas(), &error,
            [&barra](qint64 h, qint64 t) { barra.avanza(h, t); });
    }
    if (!escrito) {
        // The old file is whole and the text is not saved anywhere: the title
        // keeps the file it came from, the status keeps the unsaved marker.
        const QString fichero = NombreFichero;
        NombreFichero = anterior;
        Herramientas::MsgBox(Texto(QStringLiteral("PrinErrorGuarda")).arg(fichero, error),
            Herramientas::vbCritical + Herramientas::vbOKOnly, Texto(QStringLiteral("PrinTitulo")),
            this);
        return false;
    }
    SinGuardar = false;
    TituloVentana();
    lblEstado->setText(Texto(QStringLiteral("PrinmsgGuardado")));
    return true;
}

bool frmPrincipal::PreguntaGuardar()
{
    const int respuesta = Herramientas::MsgBox(Texto(QStringLiteral("PrinmsgGrabaFinal")),
        Herramientas::vbQuestion + Herramientas::vbYesNo, Texto(QStringLiteral("PrinTitulo")),
        this);
    // A dismissed question is no answer: the text stays.
    if (respuesta == Herramientas::vbNo)
        return true;
    // Asked to save, the text must not go unless it was saved.
    return respuesta == Herramientas::vbYes && cmdGuardar_Click();
}

bool frmPrincipal::cmdLimpiar_Click()
{
    if (SinGuardar && !PreguntaGuardar())
        return false;
    RelojDeArena reloj;
    m_texto->clear();
    SinGuardar = false;
    NombreFichero.clear();
    TituloVentana();
    cmdAbrir->setEnabled(true);
    cmdGuardar->setEnabled(false);
    cmdPcCnc->setEnabled(false);
    cmdSpace->setEnabled(false);
    lblEstado->setText(Texto(QStringLiteral("PrinmsgLimpia")));
    return true;
}

namespace {

// The plain-text editor: the command in Editor of section General, else the
// desktop's handler for the file. Started without a shell, the path one
// argument however many blanks it holds. alAbrir runs once the editor is
// known to have started; a failure is reported here.
void abreEnEditor(const QString &ruta, frmPrincipal *ventana, std::function<void()> alAbrir = {})
{
    const QString comando
        = LeeIni(QStringLiteral("General"), QStringLiteral("Editor"), QString(), RutaIni())
              .trimmed();
    QStringList argumentos = QProcess::splitCommand(comando);
    const QString programa
        = argumentos.isEmpty() ? QStringLiteral("xdg-open") : argumentos.takeFirst();
    argumentos.append(ruta);
    Herramientas::Shell(programa, argumentos, ventana,
        [programa, ventana, alAbrir](bool arrancado, const QString &razon) {
            if (arrancado) {
                if (alAbrir)
                    alAbrir();
                return;
            }
            Herramientas::MsgBox(Texto(QStringLiteral("PrinErrorEditor")).arg(programa, razon),
                Herramientas::vbCritical + Herramientas::vbOKOnly,
                Texto(QStringLiteral("PrinTitulo")), ventana);
        });
}

} // namespace

void frmPrincipal::cmdEdit_Click()
{
    if (NombreFichero.isEmpty()) {
        Herramientas::MsgBox(Texto(QStringLiteral("PrinContenido")),
            Herramientas::vbExclamation + Herramientas::vbOKOnly,
            Texto(QStringLiteral("PrinTitulo")), this);
        return;
    }
    // The operator reopens the file to see what was edited; without an
    // editor the text stays where it is. The answer comes a moment later:
    // the text goes only if it is still that file's and no transfer uses it.
    const QString ruta = NombreFichero;
    abreEnEditor(ruta, this, [this, ruta] {
        if (NombreFichero == ruta && !Recibiendo && !Enviando)
            cmdLimpiar_Click();
    });
}

void frmPrincipal::cmdManual_Click()
{
    const QString ruta
        = DirectorioPrograma() + QLatin1Char('/') + Texto(QStringLiteral("NombreManual"));
    if (!QFileInfo(ruta).isFile()) {
        Herramientas::MsgBox(Texto(QStringLiteral("PrinErrorManual")).arg(ruta),
            Herramientas::vbCritical + Herramientas::vbOKOnly, Texto(QStringLiteral("PrinTitulo")),
            this);
        return;
    }
    abreEnEditor(ruta, this);
}

void frmPrincipal::cmdSpace_Click()
{
    {
        RelojDeArena reloj;
        BarraProgreso barra(this);
        const int desplazamiento = lstTexto->verticalScrollBar()->value();
        const QModelIndex actual = lstTexto->currentIndex();
        // Take the lines out so that spacing them copies nothing.
        QList<QByteArray> lineas = m_texto->lineas();
        m_texto->clear();
        Espaciado::espaciaLineas(lineas, [&barra](qint64 h, qint64 t) { barra.avanza(h, t); });
        m_texto->setLineas(std::move(lineas));
        if (actual.isValid())
            lstTexto->setCurrentIndex(m_texto->index(actual.row()));
        lstTexto->verticalScrollBar()->setValue(desplazamiento);
    }
    cmdSpace->setEnabled(false);
}

void frmPrincipal::cmdComparar_Click()
{
    // The file is chosen as for Open, but the current file stays what it was:
    // comparing loads nothing.
    const QString actual = NombreFichero;
    const bool modo = ModoAbrir;
    ModoAbrir = true;
    QString fichero;
    {
        frmExaminar examinar(m_texto, this);
        if (examinar.Muestra())
            fichero = NombreFichero;
    }
    NombreFichero = actual;
    ModoAbrir = modo;
    if (fichero.isEmpty())
        return;

    QList<QByteArray> lineas;
    QString error;
    Comparacion::Resultado resultado;
    bool leido = false;
    {
        RelojDeArena reloj;
        BarraProgreso barra(this);
        leido = FicheroPrograma::lee(
            fichero, lineas, &error, [&barra](qint64 h, qint64 t) { barra.avanza(h, t); });
        if (leido)
            resultado = Comparacion::compara(m_texto->lineas(), lineas);
    }
    if (!leido) {
        Herramientas::MsgBox(Texto(QStringLiteral("PrinErrorAbre")).arg(fichero, error),
            Herramientas::vbCritical + Herramientas::vbOKOnly, Texto(QStringLiteral("PrinTitulo")),
            this);
        return;
    }
    if (resultado.bloques.isEmpty()) {
        Herramientas::MsgBox(Texto(QStringLiteral("ComparamsgIdenticos")).arg(fichero),
            Herramientas::vbOKOnly, Texto(QStringLiteral("PrinTitulo")), this);
        return;
    }
    frmComparar comparar(std::move(resultado), fichero, this);
    comparar.exec();
}
