#include "shell/frmsplash.h"

#include "keldanversion.h"
#include "shell/frmprincipal.h"
#include "shell/herramientas.h"

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kEspera = 5000;

} // namespace

frmSplash::frmSplash(QWidget *parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(Herramientas::Pixeles(6780), Herramientas::Pixeles(4920));
    setAutoFillBackground(true);
    QPalette paleta = palette();
    paleta.setColor(QPalette::Window, Qt::white);
    paleta.setColor(QPalette::WindowText, Qt::black);
    setPalette(paleta);

    auto *imgLogo = new QLabel(this);
    imgLogo->setPixmap(QIcon(QStringLiteral(":/imagenes/logo.svg")).pixmap(QSize(120, 60)));
    imgLogo->setGeometry(16, 16, 120, 60);
    auto *imgMaq = new QLabel(this);
    imgMaq->setPixmap(QIcon(QStringLiteral(":/imagenes/maquina.svg")).pixmap(QSize(160, 120)));
    imgMaq->setGeometry(16, 110, 160, 120);

    lblProductName = new QLabel(this);
    QFont grande = lblProductName->font();
    grande.setPointSize(grande.pointSize() * 2);
    grande.setBold(true);
    lblProductName->setFont(grande);
    lblProductName->setGeometry(190, 30, 250, 40);
    lblVersion = new QLabel(this);
    lblVersion->setGeometry(190, 74, 250, 20);

    auto *descripcion = new QLabel(
        QStringLiteral("Transmisión de programas CNC\nCNC program transfer\nRS-232 · ASCII / ISO"),
        this);
    descripcion->setGeometry(190, 120, 250, 60);
    auto *pie = new QLabel(QStringLiteral("PC <-> CNC"), this);
    pie->setGeometry(190, 290, 250, 20);

    Timer1 = new QTimer(this);
    Timer1->setSingleShot(true);
    Timer1->setInterval(kEspera);
    connect(Timer1, &QTimer::timeout, this, &frmSplash::Timer1_Timer);

    if (const QScreen *pantalla = QGuiApplication::primaryScreen())
        move(pantalla->availableGeometry().center() - rect().center());
}

frmSplash::~frmSplash() = default;

QString frmSplash::TextoVersion(int mayor, int menor, int revision)
{
    return QStringLiteral("V. %1.%2.%3").arg(mayor).arg(menor).arg(revision);
}

void frmSplash::Form_Load()
{
    Herramientas::EstablecePuntero(Herramientas::Puntero::Reloj);
    lblVersion->setText(
        TextoVersion(KELDAN_VERSION_MAJOR, KELDAN_VERSION_MINOR, KELDAN_VERSION_PATCH));
    lblProductName->setText(QApplication::applicationName());
    Timer1->start();
}

void frmSplash::Timer1_Timer()
{
    // A click just before the tick must not open a second main window.
    if (m_principal)
        return;
    Herramientas::EstablecePuntero(Herramientas::Puntero::Normal);
    Timer1->stop();
    close();
    m_principal = frmPrincipal::Arranca(FicheroInicial);
}

void frmSplash::mousePressEvent(QMouseEvent *)
{
    Timer1_Timer();
}

void frmSplash::keyPressEvent(QKeyEvent *)
{
    Timer1_Timer();
}

void frmSplash::showEvent(QShowEvent *evento)
{
    QWidget::showEvent(evento);
    // Keys reach only the active window.
    activateWindow();
}
