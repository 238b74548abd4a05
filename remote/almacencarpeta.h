#pragma once

#include "remote/almacenremoto.h"

// A folder the control reads or writes, typically a share mounted on this
// PC: written under a temporary name, flushed to the disk, then renamed, so
// the control never finds half a program under its name.
class AlmacenCarpeta : public AlmacenRemoto
{
public:
    explicit AlmacenCarpeta(const QString &carpeta);

    bool conecta(QString *error) override;
    bool lista(QList<Entrada> *entradas, QString *error) override;
    bool existe(const QString &nombre, bool *hay, QString *error) override;
    bool sube(const QString &nombre, const QByteArray &datos, QString *error) override;
    bool baja(const QString &nombre, QByteArray *datos, QString *error, qint64 limite) override;
    bool tamano(const QString &nombre, qint64 *bytes, QString *error) override;
    bool borra(const QString &nombre, QString *error) override;

private:
    QByteArray ruta(const QString &nombre) const;

    QString m_carpeta;
};
