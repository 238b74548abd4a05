#include "transfer/frmregistro.h"

#include "base/textovisible.h"
#include "settings/varsfuncsglobales.h"
#include "shell/herramientas.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

using VarsFuncsGlobales::Texto;
using Estado = ResultadoTransferencia::Estado;

namespace {

constexpr int kColumnas = 11;
constexpr int kColumnaResultado = 8;

QString textoResultado(const EntradaRegistro &e)
{
    static const char *const claves[]
        = {"RegistroCompleta", "RegistroDetenida", "RegistroFallida", "RegistroIncompleta"};
    const QString texto = Texto(QLatin1String(claves[int(e.resultado)]));
    return e.motivo.isEmpty() ? texto : texto + QStringLiteral(": ") + e.motivo;
}

} // namespace

frmRegistro::frmRegistro(const QString &ruta, QWidget *parent) : QDialog(parent)
{
    Herramientas::FuenteDiseno(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
        | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);
    setWindowTitle(Texto(QStringLiteral("RegistroTitulo")));
    resize(Herramientas::RectTwips(0, 0, 13500, 6000).size());

    lblMaquina = new QLabel(Texto(QStringLiteral("RegistrolblMaquina")), this);
    cmbMaquina = new QComboBox(this);
    grdRegistro = new QTableWidget(0, kColumnas, this);
    grdRegistro->setHorizontalHeaderLabels(
        Texto(QStringLiteral("RegistroColumnas")).split(QLatin1Char('|')));
    grdRegistro->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdRegistro->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdRegistro->verticalHeader()->hide();
    grdRegistro->horizontalHeader()->setStretchLastSection(false);
    lblAviso = new QLabel(this);
    lblAviso->setWordWrap(true);
    cmdCerrar = new QPushButton(Texto(QStringLiteral("RegistrocmdCerrar")), this);
    connect(cmdCerrar, &QPushButton::clicked, this, &QDialog::accept);

    auto *arriba = new QHBoxLayout;
    arriba->addWidget(lblMaquina);
    arriba->addWidget(cmbMaquina, 1);
    arriba->addStretch(2);
    auto *abajo = new QHBoxLayout;
    abajo->addWidget(lblAviso, 1);
    abajo->addWidget(cmdCerrar);
    auto *todo = new QVBoxLayout(this);
    todo->addLayout(arriba);
    todo->addWidget(grdRegistro, 1);
    todo->addLayout(abajo);

    const RegistroTransferencias::Lectura lectura = RegistroTransferencias(ruta).lee();
    m_entradas = lectura.entradas;
    // Appended in order: the file's order is the transfers', whatever the clock did.
    std::reverse(m_entradas.begin(), m_entradas.end());
    QStringList avisos;
    if (!lectura.error.isEmpty())
        avisos.append(Texto(QStringLiteral("RegistroErrorLectura")).arg(ruta, lectura.error));
    if (lectura.ilegibles > 0)
        avisos.append(
            Texto(QStringLiteral("RegistroIlegibles")).arg(QString::number(lectura.ilegibles)));
    lblAviso->setText(avisos.join(QLatin1Char('\n')));
    lblAviso->setVisible(!avisos.isEmpty());

    QStringList maquinas;
    for (const EntradaRegistro &e : std::as_const(m_entradas)) {
        if (!e.maquina.isEmpty() && !maquinas.contains(e.maquina))
            maquinas.append(e.maquina);
    }
    maquinas.sort(Qt::CaseInsensitive);
    cmbMaquina->addItem(Texto(QStringLiteral("RegistroTodas")));
    cmbMaquina->addItems(maquinas);
    connect(cmbMaquina, &QComboBox::currentIndexChanged, this, &frmRegistro::cmbMaquina_Click);
    cmbMaquina_Click();
}

void frmRegistro::cmbMaquina_Click()
{
    const QString maquina = cmbMaquina->currentIndex() > 0 ? cmbMaquina->currentText() : QString();
    const QLocale local;
    grdRegistro->setRowCount(0);
    for (const EntradaRegistro &e : std::as_const(m_entradas)) {
        if (!maquina.isEmpty() && e.maquina != maquina)
            continue;
        const int fila = grdRegistro->rowCount();
        grdRegistro->insertRow(fila);
        const QString textos[kColumnas] = {
            e.inicio.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
            Texto(e.sentido == EntradaRegistro::Sentido::Envio
                    ? QStringLiteral("RegistroEnvio")
                    : QStringLiteral("RegistroRecepcion")),
            e.maquina,
            e.puerto,
            QFileInfo(e.fichero).fileName(),
            QString::number(e.lineas),
            QString::number(e.bytes),
            local.toString(e.duracionMs / 1000.0, 'f', 1),
            textoResultado(e),
            QString::number(e.pausas),
            QString::number(e.ilegibles),
        };
        // A failure in red, a program whose end did not get there in amber.
        const bool fallida = e.resultado == Estado::Fallida;
        const bool incompleta = e.resultado == Estado::SinFin;
        for (int c = 0; c < kColumnas; ++c) {
            // Names and reasons may hold what a CNC sent: its control characters written out.
            const QString texto = TextoVisible(textos[c]);
            auto *celda = new QTableWidgetItem(texto);
            if (c == 4 || c == kColumnaResultado)
                celda->setToolTip(c == 4 ? TextoVisible(e.fichero) : texto);
            if (c >= 5 && c != kColumnaResultado)
                celda->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (fallida || incompleta)
                celda->setBackground(fallida ? QColor(255, 205, 205) : QColor(255, 228, 170));
            grdRegistro->setItem(fila, c, celda);
        }
    }
    grdRegistro->resizeColumnsToContents();
    // A long reason stays in its tooltip rather than push the figures away.
    grdRegistro->setColumnWidth(
        kColumnaResultado, qMin(grdRegistro->columnWidth(kColumnaResultado), 400));
}
