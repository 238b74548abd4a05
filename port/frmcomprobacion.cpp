#include "port/frmcomprobacion.h"

#include "line/direccionremota.h"
#include "line/parametroslinea.h"
#include "port/mscomm.h"
#include "settings/maquinas.h"
#include "settings/varsfuncsglobales.h"
#include "shell/herramientas.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <algorithm>

using VarsFuncsGlobales::Texto;

frmComprobacion::frmComprobacion(
    const QString &puerto, const EntornoComprobacion &entorno, QWidget *parent)
    : QDialog(parent), m_puerto(puerto)
{
    creaControles(puerto);
    connect(
        &m_comprobacion, &ComprobacionPuerto::terminada, this, &frmComprobacion::muestraHallazgos);
    m_comprobacion.inicia(puerto, entorno);
}

frmComprobacion::frmComprobacion(
    const QString &direccion, const OpcionesRemotas &opciones, QWidget *parent)
    : QDialog(parent),
      m_puerto(DireccionRemota::sinContrasena(direccion)),
      m_direccion(DireccionRemota::interpreta(direccion))
{
    creaControles(m_puerto);
    connect(&m_remota, &ComprobacionRemota::terminada, this, &frmComprobacion::muestraPasos);
    if (m_direccion)
        m_remota.inicia(*m_direccion, opciones);
    else
        muestraPasos();
}

void frmComprobacion::creaControles(const QString &puerto)
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

    txtHallazgos->setPlainText(Texto(QStringLiteral("CompruebaEnCurso")).arg(puerto));
}

void frmComprobacion::done(int resultado)
{
    // Closed while checking: the connection goes with the window.
    m_comprobacion.cancela();
    m_remota.cancela();
    QDialog::done(resultado);
}

namespace {

QString html(const QList<Hallazgo> &hallazgos)
{
    static const char *const kEstados[][2] = {{"CompruebaBien", "#1a7f37"},
        {"CompruebaAviso", "#9a6700"}, {"CompruebaProblema", "#cf222e"}};
    QString html;
    for (const Hallazgo &h : hallazgos) {
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
    return html;
}

} // namespace

void frmComprobacion::muestraHallazgos()
{
    txtHallazgos->setHtml(html(m_comprobacion.hallazgos()));
}

void frmComprobacion::muestraPasos()
{
    using Estado = Hallazgo::Estado;
    QList<Hallazgo> hallazgos;
    if (!m_direccion) {
        hallazgos.append({Estado::Problema,
            Texto(QStringLiteral("ConfigErrorDireccionRemota")).arg(m_puerto), QString()});
        txtHallazgos->setHtml(html(hallazgos));
        return;
    }
    // Each step named in the operator's language, with what it found; the
    // steps after one that failed were not tried.
    const bool carpeta = m_direccion->tipo == DireccionRemota::Tipo::Carpeta;
    const std::pair<const char *, const char *> pasos[] = {
        {"login", carpeta ? "CompruebaPasoCarpeta" : "CompruebaPasoLogin"},
        {"list", "CompruebaPasoLista"},
        {"write", "CompruebaPasoEscribe"},
        {"delete", "CompruebaPasoBorra"},
    };
    const QList<ComprobacionRemota::Paso> hechos = m_remota.pasos();
    bool fallado = false;
    for (const auto &[paso, clave] : pasos) {
        const QString nombre = Texto(QLatin1String(clave)) + QLatin1Char(' ');
        const auto hecho = std::find_if(hechos.cbegin(), hechos.cend(),
            [paso](const ComprobacionRemota::Paso &p) { return p.paso == QLatin1String(paso); });
        if (hecho == hechos.cend() || fallado) {
            hallazgos.append({Estado::Aviso,
                nombre + Texto(QStringLiteral("CompruebaPasoSinHacer")), QString()});
            continue;
        }
        fallado = !hecho->ok;
        // A refused login is most often the password: where it lives.
        const QString remedio = fallado && !carpeta && hecho->paso == QLatin1String("login")
            ? Texto(QStringLiteral("CompruebaRemotaNetrc"))
                  .arg(m_direccion->host,
                      m_direccion->usuario.isEmpty() ? QStringLiteral("USER")
                                                     : m_direccion->usuario)
            : QString();
        hallazgos.append(
            {fallado ? Estado::Problema : Estado::Bien, nombre + hecho->texto, remedio});
    }
    txtHallazgos->setHtml(html(hallazgos));
}

void frmComprobacion::Muestra(const Maquina &ajustes, QWidget *parent)
{
    if (DireccionRemota::esRemota(ajustes.com)) {
        OpcionesRemotas opciones;
        opciones.ftpActivo = ajustes.ftpActivo;
        frmComprobacion ventana(ajustes.com.trimmed(), opciones, parent);
        ventana.exec();
        return;
    }
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
