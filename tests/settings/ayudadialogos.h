#pragma once

// Shared by the dialog tests: a program directory of their own with a
// settings file written by the test, and ways to look into that file.

#include "settings/varsfuncsglobales.h"
#include "shell/frmprincipal.h"
#include "shell/herramientas.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace AyudaDialogos {

using namespace Qt::StringLiterals;

// A fixed-size dialog asks the window manager for its own title bar
// (CustomizeWindowHint; without it X11 managers add minimise and maximise)
// with the close button alone.
constexpr Qt::WindowFlags kBotones = Qt::CustomizeWindowHint | Qt::WindowMinimizeButtonHint
    | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint;
constexpr int kSoloCerrar = Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint;

// The program directory of one test and a main window loaded from its
// settings file; message boxes are answered OK and their prompts kept.
struct Entorno
{
    QTemporaryDir dir;
    QStringList mensajes;
    std::unique_ptr<frmPrincipal> principal;

    Entorno()
    {
        VarsFuncsGlobales::EstableceDirectorioPrograma(dir.path());
        Herramientas::EstableceRespuestaMsgBox([this](const QString &prompt, int, const QString &) {
            mensajes.append(prompt);
            return int(Herramientas::vbOK);
        });
    }
    ~Entorno()
    {
        principal.reset();
        Herramientas::EstableceRespuestaMsgBox({});
        VarsFuncsGlobales::EstableceDirectorioPrograma(QString());
    }
    QString ruta() const { return dir.filePath(u"KELDAN.INI"_s); }
    frmPrincipal &carga()
    {
        principal = std::make_unique<frmPrincipal>();
        principal->Form_Load();
        return *principal;
    }
};

// Captions and a status text of two languages.
inline QString seccionesIdiomas()
{
    return u"[Español]\nPrinName=Programa de Comunicación\nPrinModo=Modo\nPrinmsgLimpia=Limpia\n"
           "ConfigName=Configuración\nConfigcmbParNo=Ninguna\n[English]\nPrinName=Serial Port "
           "Communication\nPrinModo=Mode\nPrinmsgLimpia=Empty\nConfigName=Settings\n"_s;
}

inline bool escribe(const QString &ruta, const QString &texto)
{
    QFile f(ruta);
    return f.open(QIODevice::WriteOnly) && f.write(texto.toUtf8()) == texto.toUtf8().size();
}

inline QString lee(const QString &ruta)
{
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// A directory in the file's place cannot be written, even by root; and back.
inline bool bloquea(const QString &ruta, bool bloquear = true)
{
    const QString aparte = ruta + u".aparte"_s;
    return bloquear ? QFile::rename(ruta, aparte) && QDir().mkdir(ruta)
                    : QDir().rmdir(ruta) && QFile::rename(aparte, ruta);
}

// The operator choosing the item with that text, as a click in the list would.
inline bool elige(QComboBox *lista, const QString &texto)
{
    const int i = lista ? lista->findText(texto) : -1;
    if (i >= 0) {
        lista->setCurrentIndex(i);
        emit lista->activated(i);
    }
    return i >= 0;
}

} // namespace AyudaDialogos
