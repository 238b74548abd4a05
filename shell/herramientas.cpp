#include "shell/herramientas.h"

#include "base/razonsistema.h"
#include "languages/catalogoclaves.h"
#include "settings/varsfuncsglobales.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace Herramientas {

namespace {

// How long a started program has to fail before it counts as running, and
// how often it is looked at meanwhile and then.
constexpr qint64 kEsperaArranque = 3000;
constexpr int kIntervaloSondeo = 50;
constexpr int kIntervaloRecogida = 2000;

RespuestaMsgBox g_respuesta;
Puntero g_puntero = Puntero::Normal;

} // namespace

int MsgBox(const QString &prompt, int flags, const QString &titulo, QWidget *parent)
{
    if (g_respuesta)
        return g_respuesta(prompt, flags, titulo);

    // The box is centred over its parent's window; a window still loading is
    // not shown yet, and centring over it would put the box in the screen's
    // corner: then it goes over the window the operator sees, or mid-screen.
    QWidget *sobre = parent ? parent->window() : nullptr;
    if (!sobre || !sobre->isVisible())
        sobre = QApplication::activeWindow();
    QMessageBox caja(sobre);
    caja.setWindowTitle(titulo);
    // File names and program lines are shown as they are, never as markup.
    caja.setTextFormat(Qt::PlainText);
    caja.setText(prompt);
    switch (flags & 0x70) {
    case vbCritical:
        caja.setIcon(QMessageBox::Critical);
        break;
    case vbQuestion:
        caja.setIcon(QMessageBox::Question);
        break;
    case vbExclamation:
        caja.setIcon(QMessageBox::Warning);
        break;
    default:
        caja.setIcon(QMessageBox::NoIcon);
        break;
    }
    auto boton = [&caja](const char *clave, QMessageBox::ButtonRole papel) {
        QString texto = VarsFuncsGlobales::Texto(QLatin1String(clave));
        if (texto.isEmpty())
            texto = CatalogoClaves::textoPorDefecto(QLatin1String(clave));
        return caja.addButton(texto, papel);
    };
    const bool siNo = (flags & 0x7) == vbYesNo;
    QPushButton *si = nullptr;
    QPushButton *descartado = nullptr;
    if (siNo) {
        si = boton("BotonSi", QMessageBox::YesRole);
        caja.setDefaultButton(si);
        boton("BotonNo", QMessageBox::NoRole);
        // Escape and the close button press the box's escape button, which
        // Qt would take to be No: a hidden one of their own tells a dismissed
        // question from an answer.
        descartado = caja.addButton(QMessageBox::Cancel);
        descartado->hide();
        caja.setEscapeButton(descartado);
    } else {
        caja.setDefaultButton(boton("BotonAceptar", QMessageBox::AcceptRole));
    }
    // The box must show the normal pointer even while an operation has the
    // hourglass up.
    const bool reloj = g_puntero == Puntero::Reloj;
    if (reloj)
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    caja.exec();
    if (reloj)
        QGuiApplication::restoreOverrideCursor();
    if (!siNo)
        return vbOK;
    if (caja.clickedButton() == si)
        return vbYes;
    return caja.clickedButton() && caja.clickedButton() != descartado ? vbNo : vbCancel;
}

void EstableceRespuestaMsgBox(RespuestaMsgBox respuesta)
{
    g_respuesta = std::move(respuesta);
}

void EstablecePuntero(Puntero puntero)
{
    if (puntero == g_puntero)
        return;
    g_puntero = puntero;
    if (puntero == Puntero::Reloj)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

Puntero PunteroActual()
{
    return g_puntero;
}

void Shell(const QString &programa, const QStringList &argumentos, QObject *contexto,
    AlArrancar alArrancar)
{
    QList<QByteArray> args {QFile::encodeName(programa)};
    for (const QString &a : argumentos)
        args.append(QFile::encodeName(a));
    std::vector<char *> argv;
    for (QByteArray &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t acciones;
    posix_spawn_file_actions_init(&acciones);
    posix_spawn_file_actions_addopen(&acciones, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    const int fallo = posix_spawnp(&pid, argv[0], &acciones, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&acciones);
    if (fallo != 0) {
        QTimer::singleShot(
            0, contexto, [alArrancar, fallo] { alArrancar(false, RazonSistema(fallo)); });
        return;
    }

    // Watched by polling, not SIGCHLD: the child is ours alone to reap, and
    // Qt's own process handling keeps to the processes it started. The timer
    // goes with the application, never the program.
    auto *vigia = new QTimer(QCoreApplication::instance());
    QElapsedTimer reloj;
    reloj.start();
    QPointer<QObject> ctx(contexto);
    QObject::connect(vigia, &QTimer::timeout, vigia, [=]() mutable {
        int estado = 0;
        pid_t r = waitpid(pid, &estado, WNOHANG);
        const int codigo = r < 0 ? errno : 0;
        if (r < 0 && codigo == EINTR)
            return;
        if (r == 0 && reloj.elapsed() < kEsperaArranque)
            return;
        if (alArrancar && ctx) {
            if (r == 0 || (WIFEXITED(estado) && WEXITSTATUS(estado) == 0))
                alArrancar(true, QString());
            else if (r < 0)
                alArrancar(false, RazonSistema(codigo));
            else if (WIFEXITED(estado))
                alArrancar(false, QStringLiteral("exit %1").arg(WEXITSTATUS(estado)));
            else
                alArrancar(false, QString::fromLocal8Bit(strsignal(WTERMSIG(estado))));
        }
        alArrancar = nullptr;
        if (r == 0) {
            // Running: reaped when it ends, so that no zombie stays behind.
            vigia->setInterval(kIntervaloRecogida);
            return;
        }
        vigia->stop();
        vigia->deleteLater();
    });
    vigia->start(kIntervaloSondeo);
}

int Pixeles(int twips)
{
    return qRound(twips / double(kTwipsPorPixel));
}

QRect RectTwips(int left, int top, int width, int height)
{
    return QRect(Pixeles(left), Pixeles(top), Pixeles(width), Pixeles(height));
}

void FuenteDiseno(QWidget *ventana)
{
    QFont letra = ventana->font();
    letra.setPointSize(8);
    ventana->setFont(letra);
}

void AjustaEtiquetas(QWidget *ventana)
{
    for (QLabel *etiqueta : ventana->findChildren<QLabel *>()) {
        if (etiqueta->pixmap().isNull() && !etiqueta->wordWrap()
            && etiqueta->sizeHint().width() > etiqueta->width())
            etiqueta->resize(etiqueta->sizeHint().width(), etiqueta->height());
    }
}

void DoEvents()
{
    QCoreApplication::processEvents();
}

} // namespace Herramientas
