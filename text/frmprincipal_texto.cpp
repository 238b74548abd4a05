// The main window's program-text handlers: open, save, clear, edit, manual
// and address spacing.
#include "shell/frmprincipal.h"

#include "settings/varsfuncsglobales.h"
#include "shell/herramientas.h"
#include "text/textoprograma.h"

#include <QLabel>
#include <QPushButton>

using namespace VarsFuncsGlobales;

void frmPrincipal::cmdAbrir_Click() { }

bool frmPrincipal::cmdGuardar_Click()
{
    return false;
}

bool frmPrincipal::PreguntaGuardar()
{
    const int respuesta = Herramientas::MsgBox(Texto(QStringLiteral("PrinmsgGrabaFinal")),
        Herramientas::vbQuestion + Herramientas::vbYesNo, Texto(QStringLiteral("PrinTitulo")),
        this);
    if (respuesta != Herramientas::vbYes)
        return true;
    return cmdGuardar_Click();
}

bool frmPrincipal::cmdLimpiar_Click()
{
    if (lblEstado->text() == Texto(QStringLiteral("PrinmsgSinGuardar")) && !PreguntaGuardar())
        return false;
    Herramientas::EstablecePuntero(Herramientas::Puntero::Reloj);
    m_texto->clear();
    NombreFichero.clear();
    TituloVentana();
    cmdAbrir->setEnabled(true);
    cmdGuardar->setEnabled(false);
    cmdPcCnc->setEnabled(false);
    cmdSpace->setEnabled(false);
    lblEstado->setText(Texto(QStringLiteral("PrinmsgLimpia")));
    Herramientas::EstablecePuntero(Herramientas::Puntero::Normal);
    return true;
}

void frmPrincipal::cmdEdit_Click() { }

void frmPrincipal::cmdManual_Click() { }

void frmPrincipal::cmdSpace_Click() { }
