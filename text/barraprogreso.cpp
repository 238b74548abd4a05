#include "text/barraprogreso.h"

#include "settings/varsfuncsglobales.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace {

constexpr qint64 kEsperaMs = 1000;
constexpr int kPasos = 1000;

} // namespace

BarraProgreso::BarraProgreso(QWidget *padre) : m_padre(padre)
{
    m_reloj.start();
}

BarraProgreso::~BarraProgreso()
{
    delete m_dialogo;
}

void BarraProgreso::avanza(qint64 hecho, qint64 total)
{
    if (total <= 0)
        return;
    if (!m_dialogo) {
        if (m_reloj.elapsed() < kEsperaMs)
            return;
        m_dialogo = new QProgressDialog(m_padre);
        m_dialogo->setWindowTitle(VarsFuncsGlobales::Texto(QStringLiteral("PrinTitulo")));
        m_dialogo->setCancelButton(nullptr);
        m_dialogo->setRange(0, kPasos);
        m_dialogo->setMinimumDuration(0);
        m_dialogo->setWindowModality(Qt::ApplicationModal);
        m_dialogo->setAutoClose(false);
        m_dialogo->setAutoReset(false);
        m_dialogo->show();
    }
    m_dialogo->setValue(int(hecho * kPasos / total));
    // The work runs on the window thread: let the bar paint, nothing else.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
