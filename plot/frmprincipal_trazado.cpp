// The main window's backplot: the View menu, the panel beside the text
// window or in its place, and the line they share.
#include "shell/frmprincipal.h"

#include "plot/paneltrazado.h"
#include "plot/vistatrazado.h"
#include "settings/maquinas.h"
#include "settings/varsfuncsglobales.h"
#include "shell/herramientas.h"
#include "text/textoprograma.h"

#include <QActionGroup>
#include <QItemSelectionModel>
#include <QListView>
#include <QMenu>

using namespace VarsFuncsGlobales;

namespace {

// An edit is read again once typing or a batch of lines has settled.
constexpr int kReleeMs = 150;
// Beside the text window, the text keeps this share of the room.
constexpr double kParteTexto = 0.4;

} // namespace

void frmPrincipal::creaTrazado()
{
    panTrazado = new PanelTrazado(centralWidget());
    panTrazado->hide();
    connect(panTrazado, &PanelTrazado::lineaElegida, this, &frmPrincipal::trazado_LineaElegida);
    connect(lstTexto->selectionModel(), &QItemSelectionModel::currentChanged, this,
        [this](const QModelIndex &actual) { lstTexto_Seleccion(actual); });

    m_releeTrazado.setSingleShot(true);
    m_releeTrazado.setInterval(kReleeMs);
    connect(&m_releeTrazado, &QTimer::timeout, this, &frmPrincipal::ReleeTrazado);
    const auto cambiado = [this] {
        if (mnuTrazado->isChecked())
            m_releeTrazado.start();
    };
    connect(m_texto, &QAbstractItemModel::modelReset, this, cambiado);
    connect(m_texto, &QAbstractItemModel::rowsInserted, this, cambiado);
    connect(m_texto, &QAbstractItemModel::rowsRemoved, this, cambiado);
    connect(m_texto, &QAbstractItemModel::dataChanged, this, cambiado);

    const auto accion = [this](const char *nombre, bool marcable) {
        QAction *a = mnuVer->addAction(QString());
        a->setObjectName(QLatin1String(nombre));
        a->setCheckable(marcable);
        return a;
    };
    mnuTrazado = accion("mnuTrazado", true);
    mnuTrazado->setShortcut(QKeySequence(Qt::Key_F4));
    connect(mnuTrazado, &QAction::triggered, this, &frmPrincipal::cmdTrazado_Click);
    mnuTrazadoEnLugar = accion("mnuTrazadoEnLugar", true);
    connect(mnuTrazadoEnLugar, &QAction::triggered, this, &frmPrincipal::cmdTrazado_Click);
    mnuVer->addSeparator();
    auto *vistas = new QActionGroup(this);
    const std::pair<QAction **, Trazado::Vista::Tipo> tipos[] = {
        {&mnuVistaXY, Trazado::Vista::XY},
        {&mnuVistaXZ, Trazado::Vista::XZ},
        {&mnuVistaYZ, Trazado::Vista::YZ},
        {&mnuVistaIso, Trazado::Vista::Isometrica},
    };
    const char *const nombres[] = {"mnuVistaXY", "mnuVistaXZ", "mnuVistaYZ", "mnuVistaIso"};
    for (std::size_t i = 0; i < std::size(tipos); ++i) {
        QAction *a = accion(nombres[i], true);
        *tipos[i].first = a;
        vistas->addAction(a);
        const Trazado::Vista::Tipo tipo = tipos[i].second;
        connect(
            a, &QAction::triggered, this, [this, tipo] { panTrazado->vista->setTipoVista(tipo); });
    }
    mnuVistaXY->setChecked(true);
    mnuEncuadra = accion("mnuEncuadra", false);
    // Home belongs to the text window's first line elsewhere.
    mnuEncuadra->setShortcut(QKeySequence(Qt::Key_Home));
    mnuEncuadra->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    panTrazado->addAction(mnuEncuadra);
    connect(mnuEncuadra, &QAction::triggered, this, [this] { panTrazado->vista->encuadra(); });
    mnuVer->addSeparator();
    mnuSaltaBloques = accion("mnuSaltaBloques", true);
    connect(mnuSaltaBloques, &QAction::triggered, this, &frmPrincipal::ReleeTrazado);
}

void frmPrincipal::textosTrazado()
{
    const std::pair<QAction *, const char *> menus[] = {
        {mnuVer->menuAction(), "MenuVer"},
        {mnuTrazado, "MenuTrazado"},
        {mnuTrazadoEnLugar, "MenuTrazadoEnLugar"},
        {mnuVistaXY, "MenuVistaXY"},
        {mnuVistaXZ, "MenuVistaXZ"},
        {mnuVistaYZ, "MenuVistaYZ"},
        {mnuVistaIso, "MenuVistaIso"},
        {mnuEncuadra, "MenuEncuadra"},
        {mnuSaltaBloques, "MenuSaltaBloques"},
    };
    for (const auto &[accion, clave] : menus)
        accion->setText(Texto(QLatin1String(clave)));
    panTrazado->CargaTextos();
}

void frmPrincipal::colocaTrazado(QRect texto)
{
    if (!panTrazado)
        return;
    if (!mnuTrazado->isChecked()) {
        panTrazado->hide();
        lstTexto->setGeometry(texto);
        lstTexto->show();
        return;
    }
    if (mnuTrazadoEnLugar->isChecked()) {
        lstTexto->hide();
        panTrazado->setGeometry(texto);
    } else {
        const int ancho = int(texto.width() * kParteTexto);
        lstTexto->setGeometry(texto.x(), texto.y(), ancho, texto.height());
        lstTexto->show();
        panTrazado->setGeometry(
            texto.x() + ancho + 4, texto.y(), texto.width() - ancho - 4, texto.height());
    }
    panTrazado->show();
}

void frmPrincipal::cmdTrazado_Click()
{
    ReleeTrazado();
    colocaControl(Disposicion::lstTexto,
        m_disposicion ? m_disposicion->geometria(Disposicion::lstTexto)
                      : Disposicion::diseno(Disposicion::lstTexto));
}

void frmPrincipal::ReleeTrazado()
{
    if (!mnuTrazado->isChecked())
        return;
    // A program on its way in is read once it is all there.
    if (Recibiendo) {
        m_releeTrazado.start();
        return;
    }
    m_releeTrazado.stop();
    Trazado::Opciones opciones;
    opciones.maquina = RecorridoMaquina::lee(RutaIni(), QStringLiteral("General"));
    opciones.saltaBloques = mnuSaltaBloques->isChecked();
    const bool reloj = Herramientas::PunteroActual() == Herramientas::Puntero::Normal;
    if (reloj)
        Herramientas::EstablecePuntero(Herramientas::Puntero::Reloj);
    auto lectura
        = std::make_shared<const Trazado::Lectura>(Trazado::lee(m_texto->lineas(), opciones));
    if (reloj)
        Herramientas::EstablecePuntero(Herramientas::Puntero::Normal);
    panTrazado->muestra(std::move(lectura));
    lstTexto_Seleccion(lstTexto->currentIndex());
}

void frmPrincipal::lstTexto_Seleccion(const QModelIndex &actual)
{
    if (mnuTrazado->isChecked())
        panTrazado->vista->marcaLinea(actual.isValid() ? actual.row() : -1);
}

void frmPrincipal::trazado_LineaElegida(qsizetype linea)
{
    if (linea < 0 || linea >= m_texto->count())
        return;
    const QModelIndex indice = m_texto->index(int(linea));
    lstTexto->setCurrentIndex(indice);
    lstTexto->scrollTo(indice, QAbstractItemView::PositionAtCenter);
}
