#include "line/decodificadorrecepcion.h"

#include "line/caracterescontrol.h"
#include "line/tablaiso.h"

#include <bit>
#include <utility>

namespace {

// Lines with unreadable bytes kept for the operator's message.
constexpr qsizetype kLineasIlegiblesMax = 5;

// Decoded texts that may come before the program's own text without making
// the next "%" an end mark: blanks and the opening "%" (the tape leader of
// NUL bytes adds no text at all).
bool esRelleno(const QByteArray &texto)
{
    return texto.isEmpty() || texto == "Bs" || texto == "HT" || texto == " " || texto == "%";
}

} // namespace

DecodificadorRecepcion::DecodificadorRecepcion(bool iso, bool finCr, QObject *parent)
    : QObject(parent), m_iso(iso), m_finCr(finCr && !iso)
{ }

void DecodificadorRecepcion::completaLinea(QList<QByteArray> &lista)
{
    lista.append(m_linea);
    m_linea.clear();
    ++m_lineas;
}

void DecodificadorRecepcion::feed(const QByteArray &bytes)
{
    using namespace CaracteresControl;
    QList<QByteArray> lista;
    for (char c : bytes) {
        const quint8 b = quint8(c);
        const bool trasCr = std::exchange(m_trasCr, false);
        switch (c) {
        case kCr:
            if (!m_finCr)
                break;
            completaLinea(lista);
            m_trasCr = true;
            continue;
        case kLf:
            if (trasCr)
                continue;
            if (!m_iso && m_linea.endsWith(kCr))
                m_linea.chop(1);
            completaLinea(lista);
            continue;
        case kDc1:
        case kDc3:
            continue;
        case kDc2:
            emit inicioPrograma();
            continue;
        case kDc4:
            completaLinea(lista);
            marcaFin(lista);
            continue;
        default:
            break;
        }
        if (b == kPorCientoIso) {
            // In ISO code a "%" before any program text opens the program
            // (tape format "%" LF ...); only a later one closes it.
            if (!m_iso || m_hayTexto) {
                m_linea.append(m_iso ? QByteArray("%") : QByteArray(1, c));
                completaLinea(lista);
                marcaFin(lista);
                continue;
            }
        }
        if (b == 0x00) // tape feed
            continue;
        if (!m_iso) {
            m_linea.append(c);
            m_hayTexto = true;
            continue;
        }
        if (b == 0xFF) // rub-out
            continue;
        if (std::popcount(b) % 2 != 0) {
            // DC1 with its parity bit wrong is still flow control, seen by the port.
            if ((b & 0x7F) != kDc1 && (b & 0x7F) != kDc3) {
                ++m_ilegibles;
                if (m_lineasIlegibles.size() < kLineasIlegiblesMax
                    && !m_lineasIlegibles.contains(m_lineas))
                    m_lineasIlegibles.append(m_lineas);
            }
            continue;
        }
        const QByteArray &texto = IsoRapido::caracter(b);
        m_linea.append(texto);
        if (!m_hayTexto && !esRelleno(texto))
            m_hayTexto = true;
    }
    if (!lista.isEmpty())
        emit lineasRecibidas(lista);
}

void DecodificadorRecepcion::marcaFin(QList<QByteArray> &lista)
{
    if (m_terminado)
        return;
    // The end is told right after the lines before it, whatever else the
    // same chunk brings, so it sits at the same place however bytes arrive.
    m_terminado = true;
    if (!lista.isEmpty())
        emit lineasRecibidas(lista);
    lista.clear();
    emit finRecepcion();
}

void DecodificadorRecepcion::terminaParcial()
{
    if (m_linea.isEmpty())
        return;
    QList<QByteArray> lista;
    completaLinea(lista);
    emit lineasRecibidas(lista);
}
