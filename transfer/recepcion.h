#pragma once

#include "line/formatolinea.h"
#include "transfer/medidaprogreso.h"
#include "transfer/recepcionpuerto.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>

class DecodificadorRecepcion;

// Receives a program from the CNC on the event loop: the port's data event
// feeds the decoder, nothing polls. Ends at the CNC's end mark, after the
// format's silence once data has come (controls that send no DC4), at Stop
// or when the port fails, or past the format's program limit (MaxPrograma);
// what arrived is kept in every case.
class Recepcion : public RecepcionPuerto
{
    Q_OBJECT

public:
    explicit Recepcion(MSComm &puerto, QObject *parent = nullptr);

    // Opens the port. On a port failure terminado() is emitted before this
    // returns false.
    bool inicia(bool iso, const FormatoLinea &formato = {});
    // Stop: what has arrived is decoded, a partial line becomes the last line.
    void detiene();
    qint64 lineas() const;

signals:
    // The first bytes have arrived.
    void entrando();
    // DC2: the CNC starts its program.
    void inicioPrograma();
    void lineasRecibidas(const QList<QByteArray> &lineas);
    void progreso(const ProgresoTransferencia &progreso);
    void terminado(const ResultadoTransferencia &resultado);

private:
    void alLlegar() override;
    void termina(ResultadoTransferencia::Estado estado, const QString &error = {}) override;
    void informaProgreso(bool forzado);
    // Decodes what fits within the program limit; false when not all did.
    bool alimenta(QByteArrayView datos);

    DecodificadorRecepcion *m_decodificador = nullptr;
    bool m_entrando = false;
    qint64 m_bytes = 0;
    int m_maxProgramaMiB = FormatoLinea {}.maxProgramaMiB;
    MedidaProgreso m_medida;
    QElapsedTimer m_reloj;
    qint64 m_ultimoInforme = -1000;
};
