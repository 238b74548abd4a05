#pragma once

#include "plot/lectorprograma.h"

#include <QWidget>

#include <memory>

class QLabel;
class QListWidget;
class QListWidgetItem;
class VistaTrazado;

// The backplot with what the check found: the extents and the time estimate
// above it, the findings below it, each naming its line.
class PanelTrazado : public QWidget
{
    Q_OBJECT

public:
    explicit PanelTrazado(QWidget *parent = nullptr);

    VistaTrazado *vista = nullptr;
    QLabel *lblExtension = nullptr;
    QLabel *lblTituloHallazgos = nullptr;
    QListWidget *lstHallazgos = nullptr;

    void muestra(std::shared_ptr<const Trazado::Lectura> lectura);
    // The texts in the current language.
    void CargaTextos();

signals:
    // A move clicked, or a finding.
    void lineaElegida(qsizetype linea);

private:
    void lstHallazgos_Click(QListWidgetItem *item);

    std::shared_ptr<const Trazado::Lectura> m_lectura;
};
