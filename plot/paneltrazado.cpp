#include "plot/paneltrazado.h"

#include "plot/vistatrazado.h"
#include "settings/varsfuncsglobales.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

using namespace Trazado;
using VarsFuncsGlobales::Texto;

PanelTrazado::PanelTrazado(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("panTrazado"));
    auto *columna = new QVBoxLayout(this);
    columna->setContentsMargins(0, 0, 0, 0);
    columna->setSpacing(2);
    lblExtension = new QLabel(this);
    lblExtension->setObjectName(QStringLiteral("lblExtension"));
    lblExtension->setWordWrap(true);
    lblExtension->setTextInteractionFlags(Qt::TextSelectableByMouse);
    vista = new VistaTrazado(this);
    vista->setObjectName(QStringLiteral("picTrazado"));
    lblTituloHallazgos = new QLabel(this);
    lstHallazgos = new QListWidget(this);
    lstHallazgos->setObjectName(QStringLiteral("lstHallazgos"));
    lstHallazgos->setUniformItemSizes(true);
    columna->addWidget(lblExtension);
    columna->addWidget(vista, 4);
    columna->addWidget(lblTituloHallazgos);
    columna->addWidget(lstHallazgos, 1);
    connect(vista, &VistaTrazado::lineaElegida, this, &PanelTrazado::lineaElegida);
    connect(lstHallazgos, &QListWidget::itemClicked, this, &PanelTrazado::lstHallazgos_Click);
    connect(lstHallazgos, &QListWidget::itemActivated, this, &PanelTrazado::lstHallazgos_Click);
}

void PanelTrazado::muestra(std::shared_ptr<const Lectura> lectura)
{
    m_lectura = lectura;
    vista->muestra(std::move(lectura));
    CargaTextos();
}

void PanelTrazado::CargaTextos()
{
    vista->setToolTip(Texto(QStringLiteral("TrazadoAyuda")));
    lstHallazgos->clear();
    if (!m_lectura) {
        lblExtension->clear();
        lblTituloHallazgos->clear();
        return;
    }
    const Lectura &l = *m_lectura;
    QString extension;
    if (std::isnan(l.minimo[0]) && std::isnan(l.minimo[1]) && std::isnan(l.minimo[2])) {
        extension = Texto(QStringLiteral("TrazadoSinMovimientos"));
    } else {
        QStringList ejes;
        for (int k = 0; k < 3; ++k)
            ejes << textoMm(l.minimo[k]) << textoMm(l.maximo[k]);
        extension = Texto(QStringLiteral("TrazadoExtension"))
                        .arg(ejes[0], ejes[1], ejes[2], ejes[3], ejes[4], ejes[5]);
    }
    extension += QStringLiteral("   ")
        + Texto(QStringLiteral("TrazadoTiempo")).arg(textoTiempo(l.segundos));
    if (!l.origenes.isEmpty())
        extension += QStringLiteral("   ")
            + Texto(QStringLiteral("TrazadoOrigenes")).arg(l.origenes.join(QLatin1Char(' ')));
    lblExtension->setText(extension);
    lblTituloHallazgos->setText(l.hallazgos.isEmpty()
            ? Texto(QStringLiteral("TrazadoSinHallazgos"))
            : Texto(QStringLiteral("TrazadoHallazgos")).arg(l.hallazgos.size()));
    for (const Hallazgo &h : l.hallazgos) {
        auto *item
            = new QListWidgetItem(Texto(QStringLiteral("TrazadoLinea"))
                                      .arg(QString::number(h.linea + 1), h.texto(Texto(h.clave()))),
                lstHallazgos);
        item->setData(Qt::UserRole, qlonglong(h.linea));
    }
}

void PanelTrazado::lstHallazgos_Click(QListWidgetItem *item)
{
    if (item)
        emit lineaElegida(qsizetype(item->data(Qt::UserRole).toLongLong()));
}
