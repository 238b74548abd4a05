#include "plot/reinicio.h"

namespace Trazado {

namespace {

// A value as a control reads it whatever its decimal point setting: always
// with the point ("10." not "10", which some read as 10 micrometres).
QByteArray numero(double v, int decimales)
{
    QByteArray s = QByteArray::number(v, 'f', decimales);
    while (s.endsWith('0'))
        s.chop(1);
    return s == "-0." ? "0." : s;
}

// A spindle speed: whole as it usually is.
QByteArray velocidad(double v)
{
    return v == std::floor(v) ? QByteArray::number(qint64(v)) : numero(v, 3);
}

} // namespace

BloqueReinicio bloqueReinicio(
    const QList<QByteArray> &lineas, qsizetype linea, const Opciones &opciones)
{
    BloqueReinicio r;
    const std::optional<Estado> estado = estadoEn(lineas, linea, opciones);
    if (!estado) {
        r.notas |= BloqueReinicio::SinEstado;
        return r;
    }
    const Estado &e = *estado;
    const double unidad = e.pulgadas ? 25.4 : 1.0;
    const int decimales = e.pulgadas ? 4 : 3;
    const auto mm = [&](double v) { return numero(v / unidad, decimales); };
    QList<QByteArray> &l = r.lineas;

    if (e.herramientaHusillo >= 0)
        l.append("T" + QByteArray::number(e.herramientaHusillo) + " M6");
    if (e.herramienta >= 0 && e.herramienta != e.herramientaHusillo)
        l.append("T" + QByteArray::number(e.herramienta));
    if (e.origen == 541)
        l.append("G54.1 P" + QByteArray::number(e.origenP));
    else if (e.origen)
        l.append("G" + QByteArray::number(e.origen));
    QList<QByteArray> modos;
    if (e.dado & Estado::kPlano)
        modos.append("G" + QByteArray::number(e.plano));
    if (e.dado & Estado::kUnidades)
        modos.append(e.pulgadas ? "G20" : "G21");
    if (e.dado & Estado::kModoAvance)
        modos.append(e.porVuelta ? "G95" : "G94");
    if (!modos.isEmpty())
        l.append(modos.join(' '));
    if (e.velocidad > 0)
        l.append("S" + velocidad(e.velocidad)
            + (e.giro == 5 ? QByteArray() : " M" + QByteArray::number(e.giro)));
    if (e.niebla)
        l.append("M7");
    if (e.taladrina)
        l.append("M8");

    const bool enCiclo = e.ciclo != 80;
    const double z = enCiclo ? e.nivelInicial : e.posicion[2];
    if (std::isnan(e.posicion[0]) || std::isnan(e.posicion[1]) || std::isnan(z)) {
        r.notas |= BloqueReinicio::SinPosicion;
    } else {
        const double seguro = std::isnan(e.zMaxima) ? z : std::max(e.zMaxima, z);
        QByteArray subida = "G90 G0";
        if (e.longitud != 49)
            subida += " G" + QByteArray::number(e.longitud) + " H" + QByteArray::number(e.h);
        l.append(subida + " Z" + mm(seguro));
        l.append("G0 X" + mm(e.posicion[0]) + " Y" + mm(e.posicion[1]));
        // Down into what may be the part at the program's feed, never at a
        // rapid; a cycle's initial level is a clearance plane.
        if (!enCiclo && z < seguro && e.avance > 0)
            l.append("G1 Z" + mm(z) + " F" + mm(e.avance));
        else
            l.append("G0 Z" + mm(z));
    }
    if (e.incremental)
        l.append("G91");
    const QByteArray f = e.avance > 0 ? " F" + mm(e.avance) : QByteArray();
    if (enCiclo) {
        QByteArray ciclo = (e.retornoInicial ? "G98 G" : "G99 G") + QByteArray::number(e.ciclo);
        const double nivelR = std::isnan(e.cicloR) ? e.nivelInicial : e.cicloR;
        if (!std::isnan(nivelR))
            ciclo += " R" + mm(e.incremental ? nivelR - e.nivelInicial : nivelR);
        if (!std::isnan(e.cicloZ))
            ciclo += " Z" + mm(e.incremental ? e.cicloZ - nivelR : e.cicloZ);
        if (e.cicloQ > 0)
            ciclo += " Q" + mm(e.cicloQ);
        if (e.cicloP > 0)
            ciclo += " P" + QByteArray::number(qRound64(e.cicloP * 1000));
        l.append(ciclo + f);
    } else if (e.dado & Estado::kMovimiento) {
        l.append("G" + QByteArray::number(e.movimiento) + f);
    } else if (!f.isEmpty()) {
        l.append(f.mid(1));
    }
    if (e.compensacion != 40)
        r.notas |= BloqueReinicio::ConCompensacion;
    return r;
}

} // namespace Trazado
