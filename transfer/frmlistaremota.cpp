#include "transfer/frmlistaremota.h"

#include "settings/varsfuncsglobales.h"
#include "shell/herramientas.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

using VarsFuncsGlobales::Texto;

namespace {

enum Columna { Nombre, Tamano, Fecha, kColumnas };

} // namespace

frmListaRemota::frmListaRemota(const QList<AlmacenRemoto::Entrada> &entradas,
    const QString &maquina, const QString &carpeta, QWidget *parent)
    : QDialog(parent)
{
    Herramientas::FuenteDiseno(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
        | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);
    setWindowTitle(Texto(QStringLiteral("RemotaListaName")).arg(maquina));
    resize(Herramientas::RectTwips(0, 0, 8000, 6000).size());

    lblAyuda = new QLabel(
        Texto(QStringLiteral("RemotalblAyuda")).arg(QDir::toNativeSeparators(carpeta)), this);
    lblAyuda->setWordWrap(true);
    // A folder's name is shown as it is, never as markup.
    lblAyuda->setTextFormat(Qt::PlainText);
    grdProgramas = new QTableWidget(int(entradas.size()), kColumnas, this);
    grdProgramas->setObjectName(QStringLiteral("grdProgramas"));
    grdProgramas->setHorizontalHeaderLabels(
        Texto(QStringLiteral("RemotaColumnas")).split(QLatin1Char('|')));
    grdProgramas->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdProgramas->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdProgramas->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grdProgramas->verticalHeader()->hide();
    // The order is the newest first; sorting by a header would hide that.
    grdProgramas->setSortingEnabled(false);
    const QLocale local;
    for (int fila = 0; fila < entradas.size(); ++fila) {
        const AlmacenRemoto::Entrada &e = entradas.at(fila);
        // What the server does not say is left blank, never made up.
        const QString textos[kColumnas]
            = {e.nombre, e.tamano >= 0 ? local.toString(e.tamano) : QString(),
                e.fecha.isValid() ? local.toString(e.fecha.toLocalTime(), QLocale::ShortFormat)
                                  : QString()};
        for (int c = 0; c < kColumnas; ++c) {
            auto *celda = new QTableWidgetItem(textos[c]);
            if (c == Tamano)
                celda->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grdProgramas->setItem(fila, c, celda);
        }
    }
    grdProgramas->resizeColumnsToContents();
    grdProgramas->horizontalHeader()->setSectionResizeMode(Nombre, QHeaderView::Stretch);

    cmdAceptar = new QPushButton(Texto(QStringLiteral("RemotacmdTraer")), this);
    cmdAceptar->setObjectName(QStringLiteral("cmdAceptar"));
    cmdCancelar = new QPushButton(Texto(QStringLiteral("RemotacmdCancelar")), this);
    cmdCancelar->setObjectName(QStringLiteral("cmdCancelar"));
    cmdAceptar->setDefault(true);
    auto *abajo = new QHBoxLayout;
    abajo->addStretch(1);
    abajo->addWidget(cmdAceptar);
    abajo->addWidget(cmdCancelar);
    auto *todo = new QVBoxLayout(this);
    todo->addWidget(lblAyuda);
    todo->addWidget(grdProgramas, 1);
    todo->addLayout(abajo);

    connect(grdProgramas, &QTableWidget::itemSelectionChanged, this,
        &frmListaRemota::grdProgramas_Click);
    connect(grdProgramas, &QTableWidget::cellDoubleClicked, this,
        &frmListaRemota::grdProgramas_DblClick);
    connect(cmdAceptar, &QPushButton::clicked, this, &frmListaRemota::cmdAceptar_Click);
    connect(cmdCancelar, &QPushButton::clicked, this, &frmListaRemota::cmdCancelar_Click);
    grdProgramas_Click();
}

QStringList frmListaRemota::elegidos() const
{
    QStringList nombres;
    for (int fila = 0; fila < grdProgramas->rowCount(); ++fila) {
        if (grdProgramas->item(fila, Nombre)->isSelected())
            nombres.append(grdProgramas->item(fila, Nombre)->text());
    }
    return nombres;
}

void frmListaRemota::grdProgramas_Click()
{
    cmdAceptar->setEnabled(!elegidos().isEmpty());
}

void frmListaRemota::grdProgramas_DblClick()
{
    cmdAceptar_Click();
}

void frmListaRemota::cmdAceptar_Click()
{
    if (!elegidos().isEmpty())
        accept();
}

void frmListaRemota::cmdCancelar_Click()
{
    reject();
}
