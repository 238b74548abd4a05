#pragma once

#include <QString>
#include <QStringList>

// The command line of keldan: keldan [--no-splash] [FILE].
struct ArgumentosKeldan
{
    enum class Orden { Arranca, Ayuda, Version, Error };

    Orden orden = Orden::Arranca;
    bool sinSplash = false;
    QString fichero; // the program to open at start, as given; empty for none
    QString error; // what is wrong with the line

    // The arguments without the program's name. --help and --version win
    // over a wrong argument anywhere before "--", as people expect of them.
    static ArgumentosKeldan lee(const QStringList &argumentos);
    // What --help prints (the manual page is made from it).
    static QString ayuda();
    static constexpr int kSalidaError = 2;
};
