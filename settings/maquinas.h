#pragma once

#include "base/avisoini.h"
#include "line/formatolinea.h"

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

// What the program check needs of a machine; nothing of where or how bytes go:
//   LimitesX, LimitesY, LimitesZ  "min,max" in mm, the travel as the program's
//                                  coordinates reach it; absent: not checked
//   Rapido        the rapid rate in mm/min, for the time estimate
//   FactorTiempo  what the time estimate is multiplied by
struct RecorridoMaquina
{
    struct Limite
    {
        double minimo = 0;
        double maximo = 0;
        bool operator==(const Limite &) const = default;
    };
    std::array<std::optional<Limite>, 3> limites;
    double rapido = 5000;
    double factorTiempo = 1.0;

    bool operator==(const RecorridoMaquina &) const = default;

    // As Maquina::lee: absent keys give the defaults, values that cannot be
    // used give them too and go into avisos.
    static RecorridoMaquina lee(
        const QString &ruta, const QString &seccion, AvisosIni *avisos = nullptr);
    // Each key written only when it differs from what the file means.
    bool escribe(const QString &ruta, const QString &seccion, QString *error = nullptr) const;
};

// A machine tool the workshop PC serves: a name and every setting a transfer
// uses. The same keys as section General of KELDAN.INI:
//   Com   port number 1..255, a device path ("/dev/ttyUSB0"),
//         "tcp://HOST:PORT" / "rfc2217://HOST:PORT", or a remote machine
//         (line/direccionremota.h: ftp://, ftps://, a folder), kept as text
//   Vt    speed in bits per second, one of ValoresLinea::kVelocidades
//   Par   N, O, E, M or S               Bd   data bits, 5..8
//   Bs    stop bits, 1, 1.5 or 2        Modo Ascii or Iso
//   Nego  XonXoff, RtsCts or Ninguno
//   XonXoffEn  Programa or Puerto: who answers DC3/DC1 with XON/XOFF
// plus the keys of FormatoLinea, and DirRecepcion. For a remote machine:
//   FtpActivo  Si | No   active FTP mode, for controls that need it
//   NombreO    Si | No   a program goes up as O1234 from its O-number
//   Verificar  Si | No   a send is downloaded again and compared byte for byte
//   Sondeo     seconds between two looks of continuous receive, 1..86400
// Of the line and format keys only FinBloque and MaxPrograma apply to a
// remote machine: the others are not looked at, and ISO mode is refused.
// Defaults are those of an empty General.
struct Maquina
{
    QString nombre;
    QString com = QStringLiteral("1");
    qint32 velocidad = 4800;
    QString paridad = QStringLiteral("N");
    int bitsDatos = 8;
    double bitsStop = 2;
    QString modo = QStringLiteral("Ascii");
    QString nego = QStringLiteral("XonXoff");
    // XON/XOFF done by the port (the driver or the adapter's chip) rather
    // than by the program; only meaningful with Nego XonXoff.
    bool xonXoffEnPuerto = false;
    FormatoLinea formato;
    // DirRecepcion: the folder continuous receive saves into, an absolute
    // path ("~/" is the user's home); empty for the save folder (DirGuarda).
    QString dirRecepcion;
    bool ftpActivo = false;
    bool nombreO = false;
    bool verificar = false;
    int sondeoS = 10;
    // The keys that decide where or how bytes go whose text no port could
    // use (Com, Vt, Par, Bd, Bs, Modo, Nego, XonXoffEn and the line format),
    // with that text. A machine with any is refused: it has no port, and its
    // defaults must not stand in for what the file says.
    AvisosIni rechazos {};

    bool rechazada() const { return !rechazos.isEmpty(); }
    // Whether Com names a remote machine (well formed or not: a machine
    // written amiss is refused, never taken for a serial device).
    bool esRemota() const;

    RecorridoMaquina recorrido;

    bool operator==(const Maquina &) const = default;

    // The settings held by a section of any profile file (nombre is set to
    // the section's name as asked). Absent keys give the defaults. A value
    // of a key that decides where or how bytes go that cannot be used goes
    // into rechazos; a receive folder that is no absolute path is left
    // empty and added to avisos. Other keys of the section are not looked at.
    static Maquina lee(const QString &ruta, const QString &seccion, AvisosIni *avisos = nullptr);

    // Writes the settings (not the name) into the section. Com, Vt, Par, Bd,
    // Bs and Modo are written unless the file holds that very text already;
    // Nego, XonXoffEn and the format only when they differ from what the file means, so
    // a file from before those keys stays as it was while they keep their
    // defaults. Other keys of the section stay. False with the reason when
    // the file cannot be written (keys written before the failure stay).
    bool escribe(const QString &ruta, const QString &seccion, QString *error = nullptr) const;
};

// The machines of MAQUINAS.INI, one section per machine, beside KELDAN.INI.
// KELDAN.INI's General keeps the settings in use, plus key Maquina naming
// the machine they came from; without MAQUINAS.INI or without that key the
// settings are used as they have always been.
//
// Every operation takes the path of KELDAN.INI and finds MAQUINAS.INI in its
// directory. Names match without regard to letter case or surrounding
// blanks, as the profile functions match section names. Nothing here
// touches the shared settings record: after elige() or renombra() the caller
// reloads it (CargaConfig) to use what General now holds.
namespace Maquinas {

enum class Resultado {
    Hecho,
    NombreNoValido, // blank, brackets, a line break, "General", or too long
    NombreOcupado, // another machine has that name in some letter case
    NoExiste, // no machine of that name
    ErrorFichero, // a file could not be written: reason in error
    Rechazada, // the machine's file holds values no port could use
};

QString rutaMaquinas(const QString &rutaIni);

// Whether the text may name a machine (before looking at the file).
bool nombreValido(const QString &nombre);

// The machine names in file order, spelled as in the file. A section whose
// name another one before it already has (in other letter case) is left out,
// as the reads never reach it; so is one with a name no machine may have.
// Each left out is added to avisos with an empty key.
QStringList lista(const QString &rutaIni, AvisosIni *avisos = nullptr);

// The machine, its name spelled as in the file; nothing when there is none.
std::optional<Maquina> lee(
    const QString &rutaIni, const QString &nombre, AvisosIni *avisos = nullptr);

// The name held by key Maquina of General; empty when there is none. It may
// name a machine that has gone from MAQUINAS.INI since.
QString actual(const QString &rutaIni);

// Writes the machine under m.nombre: a new name creates it; the name of an
// existing machine is refused with NombreOcupado unless sustituir is true,
// when that machine's settings are replaced (its spelling kept). On a write
// failure the file is put back as well as it can be.
Resultado guarda(
    const QString &rutaIni, const Maquina &m, bool sustituir = false, QString *error = nullptr);

// "Save as machine": the settings of General written as machine nombre (as
// guarda), which then becomes the current machine.
Resultado guardaActual(const QString &rutaIni, const QString &nombre, bool sustituir = false,
    QString *error = nullptr, AvisosIni *avisos = nullptr);

// Chooses a machine: its settings go into General and its name into key
// Maquina. A refused machine is not chosen (General stays as it was). A
// receive folder left out is in avisos. On a write failure General is put
// back as well as it can be.
Resultado elige(const QString &rutaIni, const QString &nombre, QString *error = nullptr,
    AvisosIni *avisos = nullptr);

// Renames a machine (a change of letter case alone included); refused when
// another machine has the new name. Its keys go along, comments inside its
// section do not, nor hand-made sections of the old name in other letter
// case. The current machine's new name goes into key Maquina.
Resultado renombra(
    const QString &rutaIni, const QString &nombre, const QString &nuevo, QString *error = nullptr);

// Deletes a machine, with any sections of its name in other letter case.
// When it was the current one, key Maquina is emptied; the settings in
// General stay, so transfers go on as before.
Resultado borra(const QString &rutaIni, const QString &nombre, QString *error = nullptr);

// The text of key XonXoffEn, and back; nothing for a text no port could use.
QString textoXonXoff(bool enPuerto);
std::optional<bool> xonXoffDeTexto(const QString &texto);

// The receive folder a text names: empty for the save folder, an absolute
// path, "~" standing for the user's home; nothing for a relative path, which
// would depend on where the program was started.
std::optional<QString> dirRecepcionDeTexto(const QString &texto);

// Starting points for a new machine, each value changeable afterwards.
enum class Predefinida { Fanuc, Haas, Heidenhain, Mazak, Generica };
QList<Predefinida> predefinidas();
// Fixed names: brand names need no translation.
QString nombrePredefinida(Predefinida p);
// The preset's settings on port 1, named by nombrePredefinida.
Maquina predefinida(Predefinida p);

} // namespace Maquinas
