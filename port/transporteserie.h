#pragma once

#include "port/transporte.h"

// A serial device (a tty): opened exclusively, raw, with the line settings
// read back so that a setting the driver ignores is reported.
class TransporteSerie : public Transporte
{
public:
    ~TransporteSerie() override;

    bool abreAlInstante() const override { return true; }
    bool abre(const AjustesLinea &ajustes, int cancelar, Reloj::time_point limite,
        FalloTransporte &fallo) override;
    QString razonPerdida(int codigo) override;
    void descartaSalida() override;
    bool activaXonXoff(const AjustesLinea &ajustes) override;
};
