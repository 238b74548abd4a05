#pragma once

#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>

class QObject;
class QWidget;

// What the windows rely on from the toolkit, mapped onto Qt: message boxes
// with their flags and answers, the application-wide mouse pointer, starting
// another program, and the event-loop yield.
namespace Herramientas {

// Message box flags and answers, as the windows use them.
enum : int {
    vbOKOnly = 0,
    vbYesNo = 4,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
};
// vbCancel: the question was dismissed (Escape or the close button) without
// an answer; a question that guards data must take it as "don't".
enum : int {
    vbOK = 1,
    vbCancel = 2,
    vbYes = 6,
    vbNo = 7,
};

// Shows a modal message box, centred over the parent's window, and returns
// the button pressed. The captions come from the language texts.
int MsgBox(const QString &prompt, int flags, const QString &titulo, QWidget *parent = nullptr);

// Lets headless tests answer message boxes: while set, MsgBox shows nothing
// and returns what the function returns. An empty function restores the boxes.
using RespuestaMsgBox = std::function<int(const QString &prompt, int flags, const QString &titulo)>;
void EstableceRespuestaMsgBox(RespuestaMsgBox respuesta);

// The mouse pointer is a setting of the whole application: once set it stays
// until the next change, whatever widget it passes over.
enum class Puntero { Normal, Reloj };
void EstablecePuntero(Puntero puntero);
Puntero PunteroActual();

// Starts a program, its arguments passed as they are (never through a shell,
// so blanks, quotes or ";" in a path are safe), and answers once it is known
// whether it started: it cannot be started, or it ended at once with an
// error (xdg-open does so when nothing can open the file), or it ended well
// or is still running after a moment (a real editor). The window is not held
// meanwhile; the answer comes from the event loop unless contexto is gone.
// The program is never killed: it outlives the window if it has to.
using AlArrancar = std::function<void(bool arrancado, const QString &razon)>;
void Shell(const QString &programa, const QStringList &argumentos, QObject *contexto,
    AlArrancar alArrancar);

// The windows are drawn in twips (1/1440 inch) at 96 dots per inch.
constexpr int kTwipsPorPixel = 15;
int Pixeles(int twips);
QRect RectTwips(int left, int top, int width, int height);

// The windows are laid out in twips for an 8-point interface font.
void FuenteDiseno(QWidget *ventana);

// Widens the window's labels to what their present texts need: the twips
// layout gave them the width of the design texts, and translations are longer.
// Labels are only widened to the right, never narrowed or moved.
void AjustaEtiquetas(QWidget *ventana);

// Lets pending window and port events run.
void DoEvents();

} // namespace Herramientas
