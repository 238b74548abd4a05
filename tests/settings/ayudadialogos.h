#pragma once

// Shared by the dialog tests: a program directory of their own with a
// settings file written by the test, and ways to look into that file.

#include "settings/varsfuncsglobales.h"

#include <QComboBox>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace AyudaDialogos {

// Status texts and captions of two languages; Español makes PrinmsgAbierto
// and PrinmsgGuardado equal, as a careless translation might.
inline QString seccionEspanol()
{
    return QStringLiteral("[Español]\n"
                          "PrinName=Programa de Comunicación\n"
                          "PrinTitulo=Keldan\n"
                          "PrinModo=Modo\n"
                          "PrinmsgEsperandoEntrada=Esperando\n"
                          "PrinmsgEntrando=Entrando\n"
                          "PrinmsgSaliendo=Saliendo\n"
                          "PrinmsgLimpia=Limpia\n"
                          "PrinmsgAbierto=Hecho\n"
                          "PrinmsgGuardado=Hecho\n"
                          "PrinmsgSinGuardar=Sin guardar\n"
                          "ConfigName=Configuración\n"
                          "ConfigcmbParNo=Ninguna\n"
                          "ConfigcmbParImpar=Impar\n"
                          "ConfigcmbParPar=Par\n"
                          "ConfigcmbParMarca=Marca\n"
                          "ConfigcmbParEspacio=Espacio\n");
}

inline QString seccionEnglish()
{
    return QStringLiteral("[English]\n"
                          "PrinName=Serial Port Communication\n"
                          "PrinTitulo=Keldan\n"
                          "PrinModo=Mode\n"
                          "PrinmsgEsperandoEntrada=Waiting\n"
                          "PrinmsgEntrando=Receiving\n"
                          "PrinmsgSaliendo=Sending\n"
                          "PrinmsgLimpia=Empty\n"
                          "PrinmsgAbierto=Opened\n"
                          "PrinmsgGuardado=Saved\n"
                          "PrinmsgSinGuardar=Not saved\n"
                          "ConfigName=Settings\n"
                          "ConfigcmbParNo=None\n"
                          "ConfigcmbParImpar=Odd\n"
                          "ConfigcmbParPar=Even\n"
                          "ConfigcmbParMarca=Mark\n"
                          "ConfigcmbParEspacio=Space\n");
}

inline bool escribe(const QString &ruta, const QString &texto)
{
    QFile f(ruta);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(texto.toUtf8()) == texto.toUtf8().size();
}

inline QString lee(const QString &ruta)
{
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

// The lines of a section, header excluded, up to the next header.
inline QStringList seccion(const QString &texto, const QString &nombre)
{
    QStringList lineas;
    bool dentro = false;
    for (const QString &l : texto.split(QLatin1Char('\n'))) {
        if (l.startsWith(QLatin1Char('['))) {
            dentro = l == QLatin1Char('[') + nombre + QLatin1Char(']');
            continue;
        }
        if (dentro && !l.isEmpty())
            lineas.append(l);
    }
    return lineas;
}

// The operator choosing the item with that text, as a click in the list would.
inline bool elige(QComboBox *lista, const QString &texto)
{
    const int i = lista->findText(texto);
    if (i < 0)
        return false;
    lista->setCurrentIndex(i);
    emit lista->activated(i);
    return true;
}

inline QStringList elementos(const QComboBox *lista)
{
    QStringList textos;
    for (int i = 0; i < lista->count(); ++i)
        textos.append(lista->itemText(i));
    return textos;
}

} // namespace AyudaDialogos
