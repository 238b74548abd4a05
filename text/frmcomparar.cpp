#include "text/frmcomparar.h"

#include "settings/varsfuncsglobales.h"
#include "shell/herramientas.h"
#include "text/textoprograma.h"

#include <QAbstractTableModel>
#include <QBrush>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

using VarsFuncsGlobales::Texto;

namespace {

// One row a line pair; rows are found by stretch, so a result of a million
// lines needs no item per cell.
class ModeloDiferencias : public QAbstractTableModel
{
public:
    ModeloDiferencias(Comparacion::Resultado resultado, QObject *parent)
        : QAbstractTableModel(parent), m_resultado(std::move(resultado))
    {
        qsizetype filas = 0;
        for (const Comparacion::Bloque &b : m_resultado.bloques) {
            m_inicios.push_back(filas);
            filas += std::max(b.texto.size(), b.fichero.size());
        }
        m_filas = filas;
        m_cabeceras = {Texto(QStringLiteral("ComparaColLinea")),
            Texto(QStringLiteral("ComparaColTexto")), Texto(QStringLiteral("ComparaColLinea")),
            Texto(QStringLiteral("ComparaColFichero"))};
    }

    int rowCount(const QModelIndex &padre) const override
    {
        return padre.isValid() ? 0 : int(std::min<qsizetype>(m_filas, INT_MAX));
    }
    int columnCount(const QModelIndex &padre) const override { return padre.isValid() ? 0 : 4; }

    QVariant headerData(int seccion, Qt::Orientation orientacion, int rol) const override
    {
        if (orientacion == Qt::Horizontal && rol == Qt::DisplayRole && seccion < 4)
            return m_cabeceras.at(seccion);
        return {};
    }

    QVariant data(const QModelIndex &indice, int rol) const override
    {
        if (!indice.isValid())
            return {};
        const auto it = std::upper_bound(m_inicios.begin(), m_inicios.end(), indice.row()) - 1;
        const Comparacion::Bloque &b = m_resultado.bloques.at(it - m_inicios.begin());
        const qsizetype i = indice.row() - *it;
        const bool izquierda = i < b.texto.size(), derecha = i < b.fichero.size();
        if (rol == Qt::BackgroundRole) {
            // Removed from the window, added in the file, or changed.
            return QBrush(!derecha ? QColor(255, 205, 205)
                    : !izquierda   ? QColor(200, 240, 200)
                                   : QColor(255, 240, 180));
        }
        if (rol == Qt::TextAlignmentRole && indice.column() % 2 == 0)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        if (rol != Qt::DisplayRole)
            return {};
        const bool enTexto = indice.column() < 2;
        if (!(enTexto ? izquierda : derecha))
            return {};
        if (indice.column() % 2 == 0)
            return (enTexto ? b.lineaTexto : b.lineaFichero) + i;
        const QByteArray &linea = enTexto ? b.texto.at(i) : b.fichero.at(i);
        // Cut as the text window cuts it; the bytes shown as it shows them.
        if (linea.size() <= TextoPrograma::kMostrado)
            return QString::fromLatin1(linea);
        return QString::fromLatin1(linea.left(TextoPrograma::kMostrado)) + QChar(0x2026);
    }

private:
    Comparacion::Resultado m_resultado;
    std::vector<qsizetype> m_inicios; // first row of each stretch
    qsizetype m_filas = 0;
    QStringList m_cabeceras;
};

} // namespace

frmComparar::frmComparar(Comparacion::Resultado resultado, const QString &fichero, QWidget *parent)
    : QDialog(parent)
{
    Herramientas::FuenteDiseno(this);
    setModal(true);
    setWindowFlags(
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(Texto(QStringLiteral("ComparaName")).arg(fichero));
    resize(Herramientas::RectTwips(0, 0, 12000, 7200).size());

    lblDiferencias = new QLabel(Texto(QStringLiteral("ComparalblDiferencias"))
                                    .arg(resultado.lineasTexto)
                                    .arg(resultado.lineasFichero),
        this);
    grdDiferencias = new QTableView(this);
    grdDiferencias->setModel(new ModeloDiferencias(std::move(resultado), grdDiferencias));
    grdDiferencias->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdDiferencias->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdDiferencias->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    grdDiferencias->verticalHeader()->hide();
    // Rows of one height, columns sized once: measuring every row of a long
    // result would freeze the window.
    grdDiferencias->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grdDiferencias->verticalHeader()->setDefaultSectionSize(
        grdDiferencias->fontMetrics().height() + 4);
    QHeaderView *cabecera = grdDiferencias->horizontalHeader();
    const int numero = grdDiferencias->fontMetrics().horizontalAdvance(QStringLiteral("99999999"));
    cabecera->resizeSection(0, numero);
    cabecera->resizeSection(2, numero);
    cabecera->setSectionResizeMode(1, QHeaderView::Stretch);
    cabecera->setSectionResizeMode(3, QHeaderView::Stretch);

    auto *capa = new QVBoxLayout(this);
    capa->addWidget(lblDiferencias);
    capa->addWidget(grdDiferencias);
}
