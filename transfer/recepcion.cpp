#include "transfer/recepcion.h"

#include "line/decodificadorrecepcion.h"
#include "port/mscomm.h"
#include "settings/varsfuncsglobales.h"

#include <QTimer>

namespace {

constexpr qint64 kIntervaloProgresoMs = 40;

} // namespace

Recepcion::Recepcion(MSComm &puerto, QObject *parent) : RecepcionPuerto(puerto, parent)
{
    // The CNC has said all it will: the program is whole.
    connect(m_silencio, &QTimer::timeout, this,
        [this] { termina(ResultadoTransferencia::Estado::Completa); });
}

qint64 Recepcion::lineas() const
{
    return m_decodificador ? m_decodificador->lineasCompletas() : 0;
}

bool Recepcion::inicia(bool iso, const FormatoLinea &formato)
{
    if (activo())
        return false;
    // Each reception starts from an empty line.
    delete m_decodificador;
    m_decodificador = new DecodificadorRecepcion(iso, formato, this);
    connect(m_decodificador, &DecodificadorRecepcion::lineasRecibidas, this,
        &Recepcion::lineasRecibidas);
    connect(
        m_decodificador, &DecodificadorRecepcion::inicioPrograma, this, &Recepcion::inicioPrograma);
    m_entrando = false;
    m_bytes = 0;
    m_maxProgramaMiB = formato.maxProgramaMiB;
    if (!abre(iso, formato.silencioS))
        return false;
    m_reloj.start();
    m_medida.empieza(0);
    m_ultimoInforme = -1000;
    return true;
}

void Recepcion::alLlegar()
{
    if (!activo())
        return;
    const QByteArray datos = m_puerto.Input();
    if (datos.isEmpty())
        return;
    if (!m_entrando) {
        m_entrando = true;
        emit entrando();
    }
    if (!alimenta(datos)) {
        termina(ResultadoTransferencia::Estado::Fallida,
            VarsFuncsGlobales::Texto(QStringLiteral("PrinErrorProgramaLargo"))
                .arg(QString::number(m_maxProgramaMiB)));
        return;
    }
    if (m_decodificador->terminado()) {
        termina(ResultadoTransferencia::Estado::Completa);
        return;
    }
    if (m_silencio->interval() > 0)
        m_silencio->start();
    informaProgreso(false);
}

bool Recepcion::alimenta(QByteArrayView datos)
{
    // Past the limit nothing more is taken: the window holds what came.
    const qint64 cabe = qint64(m_maxProgramaMiB) * 1024 * 1024 - m_bytes;
    const qsizetype n = qMin<qint64>(datos.size(), cabe);
    m_bytes += n;
    m_decodificador->feed(datos.first(n));
    return n == datos.size();
}

void Recepcion::detiene()
{
    if (activo())
        termina(ResultadoTransferencia::Estado::Detenida);
}

void Recepcion::termina(ResultadoTransferencia::Estado estado, const QString &error)
{
    QByteArray resto;
    if (!suelta(resto))
        return;
    alimenta(resto);
    m_decodificador->terminaParcial();
    informaProgreso(true);
    emit terminado(
        {estado, error, m_decodificador->ilegibles(), m_decodificador->lineasIlegibles()});
}

void Recepcion::informaProgreso(bool forzado)
{
    const qint64 ms = m_reloj.elapsed();
    if (!forzado && ms - m_ultimoInforme < kIntervaloProgresoMs)
        return;
    m_ultimoInforme = ms;
    emit progreso(m_medida.figuras(ms, m_decodificador->lineasCompletas(), m_bytes));
}
