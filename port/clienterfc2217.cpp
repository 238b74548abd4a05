#include "port/clienterfc2217.h"

#include <cstring>
#include <utility>

namespace {

// Telnet (RFC 854, 855) and its COM port option (RFC 2217).
constexpr quint8 kSe = 240;
constexpr quint8 kSb = 250;
constexpr quint8 kWill = 251;
constexpr quint8 kWont = 252;
constexpr quint8 kDo = 253;
constexpr quint8 kDont = 254;
constexpr quint8 kIac = 255;
constexpr quint8 kBinario = 0;
constexpr quint8 kSinGoAhead = 3;
constexpr quint8 kComPort = 44;

// Client commands; the server answers each with the same number plus 100.
constexpr quint8 kFirma = 0;
constexpr quint8 kVelocidad = 1;
constexpr quint8 kBitsDatos = 2;
constexpr quint8 kParidad = 3;
constexpr quint8 kBitsStop = 4;
constexpr quint8 kControl = 5;
constexpr quint8 kSuspende = 8;
constexpr quint8 kReanuda = 9;
constexpr quint8 kPurga = 12;
constexpr quint8 kRespuesta = 100;
constexpr quint8 kEstadoLinea = 6;
constexpr quint8 kEstadoModem = 7;

// No subnegotiation of this option is longer; a server that never ends one
// must not make the buffer grow without bound.
constexpr qsizetype kSubMaxima = 256;

QByteArray sub(quint8 orden, const QByteArray &valor)
{
    QByteArray s;
    s.append(char(kIac)).append(char(kSb)).append(char(kComPort)).append(char(orden));
    ClienteRfc2217::codifica(valor.constData(), valor.size(), s);
    s.append(char(kIac)).append(char(kSe));
    return s;
}

void orden(QByteArray &salida, quint8 verbo, quint8 opcion)
{
    salida.append(char(kIac)).append(char(verbo)).append(char(opcion));
}

bool nuestraAdmitida(quint8 o)
{
    return o == kBinario || o == kSinGoAhead || o == kComPort;
}

bool suyaAdmitida(quint8 o)
{
    return o == kBinario || o == kSinGoAhead;
}

} // namespace

ClienteRfc2217::ClienteRfc2217(const ParametrosLinea &linea, Control control)
{
    const quint32 v = quint32(linea.velocidad);
    quint8 paridad = 1;
    switch (linea.paridad) {
    case 'O':
        paridad = 2;
        break;
    case 'E':
        paridad = 3;
        break;
    case 'M':
        paridad = 4;
        break;
    case 'S':
        paridad = 5;
        break;
    default:
        break;
    }
    const quint8 stop = linea.bitsStop == 2 ? 2 : linea.bitsStop == 1.5 ? 3 : 1;
    const char velocidad[] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    m_peticiones = {{
        {kVelocidad, QByteArray(velocidad, 4)},
        {kBitsDatos, QByteArray(1, char(linea.bitsDatos))},
        {kParidad, QByteArray(1, char(paridad))},
        {kBitsStop, QByteArray(1, char(stop))},
        {kControl, QByteArray(1, char(control))},
    }};
}

QByteArray ClienteRfc2217::inicio()
{
    QByteArray s;
    for (const quint8 o : {kComPort, kBinario, kSinGoAhead}) {
        orden(s, kWill, o);
        m_ofrecidaNuestra[o] = true;
    }
    for (const quint8 o : {kBinario, kSinGoAhead}) {
        orden(s, kDo, o);
        m_pedidaSuya[o] = true;
    }
    return s;
}

void ClienteRfc2217::codifica(const char *bytes, qsizetype n, QByteArray &salida)
{
    const char *fin = bytes + n;
    while (bytes < fin) {
        const char *iac = static_cast<const char *>(memchr(bytes, char(kIac), size_t(fin - bytes)));
        const char *hasta = iac ? iac + 1 : fin;
        salida.append(bytes, hasta - bytes);
        if (iac)
            salida.append(char(kIac));
        bytes = hasta;
    }
}

QByteArray ClienteRfc2217::purga(Purga cual)
{
    return sub(kPurga, QByteArray(1, char(cual)));
}

void ClienteRfc2217::recibe(
    const char *bytes, qsizetype n, QByteArray &datos, QByteArray &respuesta)
{
    for (qsizetype i = 0; i < n; ++i) {
        const quint8 b = quint8(bytes[i]);
        switch (m_fase) {
        case Fase::Datos: {
            // The common case, taken a run at a time.
            const char *iac
                = static_cast<const char *>(memchr(bytes + i, char(kIac), size_t(n - i)));
            const qsizetype hasta = iac ? iac - bytes : n;
            datos.append(bytes + i, hasta - i);
            i = hasta;
            if (iac)
                m_fase = Fase::Iac;
            break;
        }
        case Fase::Iac:
            if (b == kIac) {
                datos.append(char(kIac));
                m_fase = Fase::Datos;
            } else if (b >= kWill) {
                m_verbo = b;
                m_fase = Fase::Opcion;
            } else if (b == kSb) {
                m_sub.clear();
                m_subDesbordada = false;
                m_fase = Fase::Sub;
            } else
                m_fase = Fase::Datos; // NOP, go-ahead, data mark...: nothing for the line
            break;
        case Fase::Opcion:
            opcion(m_verbo, b, respuesta);
            m_fase = Fase::Datos;
            break;
        case Fase::Sub:
            if (b == kIac)
                m_fase = Fase::SubIac;
            else if (m_sub.size() < kSubMaxima)
                m_sub.append(char(b));
            else
                m_subDesbordada = true;
            break;
        case Fase::SubIac:
            if (b == kIac) {
                if (m_sub.size() < kSubMaxima)
                    m_sub.append(char(kIac));
                m_fase = Fase::Sub;
            } else if (b == kSe) {
                if (!m_subDesbordada)
                    subnegociacion(respuesta);
                m_fase = Fase::Datos;
            } else {
                // A subnegotiation left unended: dropped, and the command
                // that interrupted it taken as one.
                m_fase = Fase::Iac;
                --i;
            }
            break;
        }
    }
}

void ClienteRfc2217::opcion(quint8 verbo, quint8 o, QByteArray &respuesta)
{
    // Replies only change a state, never confirm one already held, so two
    // ends that agree do not answer each other for ever.
    switch (verbo) {
    case kDo:
        if (!nuestraAdmitida(o))
            orden(respuesta, kWont, o);
        else if (!m_nuestra[o]) {
            m_nuestra[o] = true;
            if (!std::exchange(m_ofrecidaNuestra[o], false))
                orden(respuesta, kWill, o);
        }
        break;
    case kDont:
        if (m_nuestra[o] || m_ofrecidaNuestra[o]) {
            if (!std::exchange(m_ofrecidaNuestra[o], false))
                orden(respuesta, kWont, o);
            m_nuestra[o] = false;
        }
        if (o == kComPort)
            m_sinComPort = true;
        break;
    case kWill:
        if (!suyaAdmitida(o))
            orden(respuesta, kDont, o);
        else if (!m_suya[o]) {
            m_suya[o] = true;
            if (!std::exchange(m_pedidaSuya[o], false))
                orden(respuesta, kDo, o);
        }
        break;
    case kWont:
        if (m_suya[o] || m_pedidaSuya[o]) {
            if (!std::exchange(m_pedidaSuya[o], false))
                orden(respuesta, kDont, o);
            m_suya[o] = false;
        }
        break;
    default:
        break;
    }
    if (m_nuestra[kComPort] && !m_ajustesPedidos)
        pideAjustes(respuesta);
}

void ClienteRfc2217::pideAjustes(QByteArray &respuesta)
{
    m_ajustesPedidos = true;
    for (Peticion &p : m_peticiones) {
        respuesta += sub(p.orden, p.valor);
        p.respuesta = Respuesta::Pendiente;
    }
}

void ClienteRfc2217::subnegociacion(QByteArray &respuesta)
{
    if (m_sub.size() < 2 || quint8(m_sub.at(0)) != kComPort)
        return;
    const quint8 codigo = quint8(m_sub.at(1));
    const QByteArray valor = m_sub.mid(2);
    switch (codigo) {
    case kRespuesta + kFirma:
        // An empty signature asks for ours.
        if (valor.isEmpty())
            respuesta += sub(kFirma, QByteArrayLiteral("Keldan"));
        return;
    case kRespuesta + kEstadoLinea:
        if (!valor.isEmpty())
            m_estadoLinea = quint8(valor.at(0));
        return;
    case kRespuesta + kEstadoModem:
        if (!valor.isEmpty())
            m_estadoModem = quint8(valor.at(0));
        return;
    case kRespuesta + kSuspende:
        m_suspendido = true;
        return;
    case kRespuesta + kReanuda:
        m_suspendido = false;
        return;
    default:
        break;
    }
    // The answer to a setting: the value the server put on its port. A
    // value it did not take comes back as the one it kept.
    for (Peticion &p : m_peticiones) {
        if (codigo == kRespuesta + p.orden && p.respuesta == Respuesta::Pendiente)
            p.respuesta = valor == p.valor ? Respuesta::Aceptado : Respuesta::Rechazado;
    }
}

bool ClienteRfc2217::listo() const
{
    if (!m_ajustesPedidos || m_sinComPort)
        return false;
    for (const Peticion &p : m_peticiones) {
        if (p.respuesta != Respuesta::Aceptado)
            return false;
    }
    return true;
}

QList<ClienteRfc2217::Ajuste> ClienteRfc2217::rechazados() const
{
    QList<Ajuste> lista;
    for (qsizetype i = 0; i < qsizetype(m_peticiones.size()); ++i) {
        if (m_peticiones[i].respuesta == Respuesta::Rechazado)
            lista.append(Ajuste(i));
    }
    return lista;
}

QList<ClienteRfc2217::Ajuste> ClienteRfc2217::pendientes() const
{
    QList<Ajuste> lista;
    for (qsizetype i = 0; i < qsizetype(m_peticiones.size()); ++i) {
        if (m_peticiones[i].respuesta != Respuesta::Aceptado
            && m_peticiones[i].respuesta != Respuesta::Rechazado)
            lista.append(Ajuste(i));
    }
    return lista;
}
