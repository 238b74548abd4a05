#include "port/frmcomprobacion.h"

#include "line/parametroslinea.h"
#include "port/mscomm.h"
#include "settings/maquinas.h"
#include "settings/varsfuncsglobales.h"
#include "shell/herramientas.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

using VarsFuncsGlobales::Texto;

frmComprobacion::frmComprobacion(
    const QString &puerto, const EntornoComprobacion &entorno, QWidget *parent)
    : QDialog(parent), m_puerto(puerto)
{
    Herramientas::FuenteDiseno(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
        | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);
    setWindowTitle(Texto(QStringLiteral("CompruebaTitulo")).arg(puerto));
    resize(Herramientas::RectTwips(0, 0, 9000, 5400).size());

    txtHallazgos = new QTextBrowser(this);
    txtHallazgos->setObjectName(QStringLiteral("txtHallazgos"));
    txtHallazgos->setOpenLinks(false);
    cmdCerrar = new QPushButton(Texto(QStringLiteral("BotonAceptar")), this);
    cmdCerrar->setDefault(true);
    connect(cmdCerrar, &QPushButton::clicked, this, &QDialog::accept);
    auto *abajo = new QHBoxLayout;
    abajo->addStretch(1);
    abajo->addWidget(cmdCerrar);
    auto *todo = new QVBoxLayout(this);
    todo->addWidget(txtHallazgos, 1);
    todo->addLayout(abajo);

    connect(
        &m_comprobacion, &ComprobacionPuerto::terminada, this, &frmComprobacion::muestraHallazgos);
    txtHallazgos->setPlainText(Texto(QStringLiteral("CompruebaEnCurso")).arg(puerto));
    m_comprobacion.inicia(puerto, entorno);
}

void frmComprobacion::done(int resultado)
{
    // Closed while checking: the connection goes with the window.
    m_comprobacion.cancela();
    QDialog::done(resultado);
}

void frmComprobacion::muestraHallazgos()
{
    static const char *const kEstados[][2] = {{"CompruebaBien", "#1a7f37"},
        {"CompruebaAviso", "#9a6700"}, {"CompruebaProblema", "#cf222e"}};
    QString html;
    for (const Hallazgo &h : m_comprobacion.hallazgos()) {
        const auto &[clave, color] = kEstados[int(h.estado)];
        html += QStringLiteral("<p><b style=\"color:%1\">%2</b> %3")
                    .arg(QLatin1String(color), Texto(QLatin1String(clave)).toHtmlEscaped(),
                        h.texto.toHtmlEscaped());
        if (!h.remedio.isEmpty())
            html += QStringLiteral("<br>&nbsp;&nbsp;&nbsp;&nbsp;<tt>%1</tt>")
                        .arg(Texto(QStringLiteral("CompruebaRemedio"))
                                 .arg(h.remedio)
                                 .toHtmlEscaped());
        html += QStringLiteral("</p>");
    }
    txtHallazgos->setHtml(html);
}

void frmComprobacion::Muestra(const Maquina &ajustes, QWidget *parent)
{
    EntornoComprobacion e = EntornoComprobacion::delSistema();
    e.linea
        = {ajustes.velocidad, ajustes.paridad.isEmpty() ? 'N' : ajustes.paridad.at(0).toLatin1(),
            ajustes.bitsDatos, ajustes.bitsStop};
    const MSComm::Negociacion nego = MSComm::negociacionDeTexto(ajustes.nego);
    e.xonXoff = nego == MSComm::Negociacion::XonXoff;
    e.rtsCts = nego == MSComm::Negociacion::RtsCts;
    e.xonXoffEnPuerto = ajustes.xonXoffEnPuerto;
    bool numero = false;
    const int com = ajustes.com.toInt(&numero);
    const QString puerto = numero ? RutaPuerto(com, QString()) : ajustes.com.trimmed();
    frmComprobacion ventana(puerto, e, parent);
    ventana.exec();
}

void frmComprobacion::MuestraEnUso(QWidget *parent)
{
    // The port as the record holds it: a network port written amiss is
    // checked as written, never as the default port a machine would take.
    namespace V = VarsFuncsGlobales;
    Maquina m = Maquina::lee(V::RutaIni(), QStringLiteral("General"));
    m.com = V::PuertoDispositivo.isEmpty() ? QString::number(V::PuertoCom) : V::PuertoDispositivo;
    Muestra(m, parent);
}
