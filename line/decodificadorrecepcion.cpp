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

bool esRellenoAscii(char c)
{
    return c == ' ' || c == '\t' || c == CaracteresControl::kCr
        || c == CaracteresControl::kPorCiento;
}

} // namespace

DecodificadorRecepcion::DecodificadorRecepcion(
    bool iso, const FormatoLinea &formato, QObject *parent)
    : QObject(parent),
      m_iso(iso),
      m_finCr(formato.finBloque == FormatoLinea::FinBloque::Cr && !iso),
      m_marco(formato.marco)
{ }

void DecodificadorRecepcion::completaLinea(QList<QByteArray> &lista)
{
    lista.append(m_linea);
    m_linea.clear();
    ++m_lineas;
}

void DecodificadorRecepcion::feed(QByteArrayView bytes)
{
    decodifica(bytes, false);
}

qsizetype DecodificadorRecepcion::feedHastaFin(QByteArrayView bytes)
{
    return decodifica(bytes, true);
}

qsizetype DecodificadorRecepcion::decodifica(QByteArrayView bytes, bool hastaFin)
{
    using namespace CaracteresControl;
    QList<QByteArray> lista;
    qsizetype i = 0;
    const auto fin = [&] {
        if (!lista.isEmpty())
            emit lineasRecibidas(lista);
        return i;
    };
    while (i < bytes.size()) {
        if (hastaFin && m_terminado)
            return fin();
        const char c = bytes[i++];
        const quint8 b = quint8(c);
        const bool trasCr = std::exchange(m_trasCr, false);
        if (m_trasPorCiento) {
            if (c == kLf) {
                m_trasPorCiento = false;
                continue;
            }
            if (c == kCr || b == 0x8D)
                continue;
            m_trasPorCiento = false;
        }
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
            m_conInicio = m_conInicio || m_marco;
            emit inicioPrograma();
            continue;
        case kDc4:
            // After the last line end DC4 only closes the frame.
            if (!m_linea.isEmpty())
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
                cierraConPorCiento(lista, m_iso ? QByteArray("%") : QByteArray(1, c));
                continue;
            }
            m_conInicio = m_conInicio || !m_marco;
        }
        if (b == 0x00) // tape feed
            continue;
        if (!m_iso) {
            if (c == kPorCiento && !m_marco && m_linea.isEmpty()) {
                if (m_hayTexto) {
                    cierraConPorCiento(lista, QByteArray(1, c));
                    continue;
                }
                m_conInicio = true;
            }
            m_linea.append(c);
            m_hayTexto = m_hayTexto || !esRellenoAscii(c);
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
    return fin();
}

void DecodificadorRecepcion::cierraConPorCiento(
    QList<QByteArray> &lista, const QByteArray &porCiento)
{
    m_linea.append(porCiento);
    completaLinea(lista);
    m_trasPorCiento = true;
    marcaFin(lista);
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
