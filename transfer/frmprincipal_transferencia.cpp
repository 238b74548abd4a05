// The main window's serial handlers: port setup, transfer mode, sending and
// receiving.
#include "shell/frmprincipal.h"

#include "settings/varsfuncsglobales.h"

#include <QCheckBox>
#include <QLabel>

using namespace VarsFuncsGlobales;

void frmPrincipal::ConfigActual()
{
    const QString puerto = PuertoDispositivo.isEmpty()
        ? QStringLiteral(" COM") + QString::number(PuertoCom)
        : QLatin1Char(' ') + PuertoDispositivo;
    EstablecePanel(1, Texto(QStringLiteral("PrinCom")) + puerto);
    EstablecePanel(
        2, Texto(QStringLiteral("PrinVt")) + QLatin1Char(' ') + QString::number(Velocidad));
    EstablecePanel(3, Texto(QStringLiteral("PrinPar")) + QLatin1Char(' ') + Paridad);
    EstablecePanel(
        4, Texto(QStringLiteral("PrinBd")) + QLatin1Char(' ') + QString::number(BitsDatos));
    EstablecePanel(5, Texto(QStringLiteral("PrinBs")) + QLatin1Char(' ') + TextoBitsStop(BitsStop));
    EstablecePanel(6, Texto(QStringLiteral("PrinModo")) + QLatin1Char(' ') + ModoTransmision);
    QString nego = Texto(QStringLiteral("PrinNego"));
    if (!Nego.isEmpty() && Nego != QLatin1String("XonXoff"))
        nego += QLatin1Char(' ') + Nego;
    EstablecePanel(7, nego);

    chkModo->setChecked(ModoTransmision != QLatin1String("Ascii"));
    // A mode stored in other letter case ("ISO") would leave the box checked
    // while the transfers ran in ASCII: what the box shows is what runs.
    if (chkModo->isChecked())
        chkModo_Click();
}

void frmPrincipal::chkModo_Click()
{
    ModoTransmision = chkModo->isChecked() ? QStringLiteral("Iso") : QStringLiteral("Ascii");
    EstablecePanel(6, Texto(QStringLiteral("PrinModo")) + QLatin1Char(' ') + ModoTransmision);
}

void frmPrincipal::cmdPcCnc_Click() { }

void frmPrincipal::cmdStop_Click() { }

void frmPrincipal::cmdCncPc_Click() { }

void frmPrincipal::MSComm1_OnComm() { }

void frmPrincipal::TerminaTransferencia() { }
