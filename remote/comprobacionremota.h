#pragma once

#include "remote/almacenremoto.h"

#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <thread>

// The port check of a remote machine: log in (or reach the folder), list
// it, write a probe file and delete it again, each step's result in words.
// The steps stop at the first that fails.
class ComprobacionRemota : public QObject
{
    Q_OBJECT

public:
    struct Paso
    {
        QString paso; // "login", "list", "write", "delete"
        bool ok = false;
        QString texto;
        bool operator==(const Paso &) const = default;
    };

    explicit ComprobacionRemota(QObject *parent = nullptr);
    ~ComprobacionRemota() override;

    // The steps, blocking, on the caller's thread.
    static QList<Paso> comprueba(AlmacenRemoto &almacen, const DireccionRemota &dir);

    // The same off the caller's thread: terminada() once pasos() holds them.
    void inicia(const DireccionRemota &dir, const OpcionesRemotas &opciones);
    void cancela();
    bool enCurso() const { return m_enCurso; }
    QList<Paso> pasos() const { return m_pasos; }

signals:
    void terminada();

private:
    void espera();

    QList<Paso> m_pasos;
    bool m_enCurso = false;
    int m_generacion = 0;
    std::unique_ptr<AlmacenRemoto> m_almacen;
    std::thread m_hilo;
};
