#pragma once

#include "transfer/progresotransferencia.h"

#include <QByteArray>
#include <QList>
#include <QObject>

class MSComm;
class QTimer;

// What a reception does with the port, whether it takes one program or many:
// it listens to the port's data and failures while it runs, ends after the
// format's silence (m_silencio, run by each), and at its end takes in what the device still holds
// (Stop must not drop what has come) before letting go of the port.
class RecepcionPuerto : public QObject
{
    Q_OBJECT

public:
    ~RecepcionPuerto() override;

    bool activo() const { return m_activo; }

protected:
    RecepcionPuerto(MSComm &puerto, QObject *parent);

    // Listens to the port and opens it; on a port failure termina() has run
    // before this returns false.
    bool abre(bool iso, int silencioS);
    // Ends the listening and closes the port; the bytes not read yet. False
    // when the reception had already ended.
    bool suelta(QByteArray &resto);

    virtual void alLlegar() = 0;
    virtual void termina(ResultadoTransferencia::Estado estado, const QString &error = {}) = 0;

    MSComm &m_puerto;
    // Restarted whenever data comes; when it runs out the CNC has said all it will.
    QTimer *m_silencio;

private:
    bool m_activo = false;
    QList<QMetaObject::Connection> m_conexiones;
};
