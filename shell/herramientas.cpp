#include "shell/herramientas.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>

namespace Herramientas {

namespace {

RespuestaMsgBox g_respuesta;
Puntero g_puntero = Puntero::Normal;

} // namespace

int MsgBox(const QString &prompt, int flags, const QString &titulo, QWidget *parent)
{
    if (g_respuesta)
        return g_respuesta(prompt, flags, titulo);

    QMessageBox caja(parent);
    caja.setWindowTitle(titulo);
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
    const bool siNo = (flags & 0x7) == vbYesNo;
    if (siNo) {
        caja.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        caja.setDefaultButton(QMessageBox::Yes);
    } else {
        caja.setStandardButtons(QMessageBox::Ok);
    }
    // The box must show the normal pointer even while an operation has the
    // hourglass up.
    const bool reloj = g_puntero == Puntero::Reloj;
    if (reloj)
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    const int boton = caja.exec();
    if (reloj)
        QGuiApplication::restoreOverrideCursor();
    if (siNo)
        return boton == QMessageBox::Yes ? vbYes : vbNo;
    return vbOK;
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

bool Shell(const QString &programa, const QStringList &argumentos, QString *error)
{
    QProcess proceso;
    proceso.setProgram(programa);
    proceso.setArguments(argumentos);
    proceso.setStandardInputFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (proceso.startDetached(&pid))
        return true;
    if (error)
        *error = proceso.errorString();
    return false;
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
