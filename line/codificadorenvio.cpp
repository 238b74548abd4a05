#include "line/codificadorenvio.h"

#include "line/caracterescontrol.h"
#include "line/tablaiso.h"

namespace CodificadorEnvio {

void codificaLinea(const QByteArray &linea, bool iso, QByteArray &destino)
{
    if (!iso) {
        destino.append(linea);
        destino.append(CaracteresControl::kCr);
        destino.append(CaracteresControl::kLf);
        return;
    }
    const qsizetype inicio = destino.size();
    destino.resize(inicio + linea.size() + 1);
    char *p = destino.data() + inicio;
    for (char c : linea)
        *p++ = char(IsoRapido::codigo(quint8(c)));
    *p = CaracteresControl::kLf;
}

qint64 longitudCodificada(const QByteArray &linea, bool iso)
{
    return linea.size() + (iso ? 1 : 2);
}

QByteArray codificaPrograma(const QList<QByteArray> &lineas, bool iso)
{
    QByteArray bytes;
    qint64 total = 2;
    for (const QByteArray &linea : lineas)
        total += longitudCodificada(linea, iso);
    bytes.reserve(total);
    bytes.append(CaracteresControl::kDc2);
    for (const QByteArray &linea : lineas)
        codificaLinea(linea, iso, bytes);
    bytes.append(CaracteresControl::kDc4);
    return bytes;
}

char porCiento(bool iso)
{
    return iso ? char(CaracteresControl::kPorCientoIso) : CaracteresControl::kPorCiento;
}

Intransmisibles buscaIntransmisibles(const QList<QByteArray> &lineas)
{
    Intransmisibles r;
    for (qsizetype i = 0; i < lineas.size(); ++i) {
        for (char c : lineas.at(i)) {
            if (IsoRapido::codigo(quint8(c)) == 0) {
                ++r.cuenta;
                if (r.primeraLinea < 0)
                    r.primeraLinea = i;
            }
        }
    }
    return r;
}

} // namespace CodificadorEnvio
