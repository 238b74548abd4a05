#pragma once

#include "base/avisoini.h"
#include "base/idiomaactual.h"
#include "line/formatolinea.h"

#include <QHash>
#include <QString>
#include <QStringList>

// State shared by the windows and the functions around the settings file.
namespace VarsFuncsGlobales {

// Settings record, section General of KELDAN.INI.
// IdiomaActual: base/idiomaactual.h
extern QString ModoTransmision;
extern int PuertoCom; // port number; 0 while Com holds a device path
extern QString PuertoDispositivo; // device path or network port held by Com, empty for a number
extern qint32 Velocidad;
extern QString Paridad;
extern int BitsDatos;
extern double BitsStop;
extern QString Nego; // "XonXoff" (also when absent), "RtsCts" or "Ninguno"
// XON/XOFF done by the port rather than the program (key XonXoffEn = Puerto).
extern bool XonXoffEnPuerto;
// How the program is framed on the line (keys FinBloque, NulosInicio, ...).
extern FormatoLinea Formato;
// The machine the settings came from (key Maquina); empty for none.
extern QString Maquina;
// The folder continuous receive saves into (key DirRecepcion, "~" expanded);
// empty for DirGuarda, also when the key holds a relative path.
extern QString DirRecepcion;
// Keys of General whose values no port may take, by the rules of a machine
// (a misspelt port, a speed or bits no line has): the record holds their
// defaults only to show something, and the window opens no port while any
// is left, so that no default decides where or how bytes go.
extern AvisosIni RechazosGeneral;

// Texts of the current language, by key.
extern QHash<QString, QString> TextosIdioma;

// Full path of the current program file; empty when there is none.
extern QString NombreFichero;
// True while the file browser serves Open, false for Save.
extern bool ModoAbrir;

// The program directory, without a trailing "/" except at the root. The
// executable's directory unless set otherwise (tests use temporary ones).
QString DirectorioPrograma();
void EstableceDirectorioPrograma(const QString &directorio);

// The directory of the settings files (KELDAN.INI, MAQUINAS.INI): the program
// directory when it can be written, else the user's own, filled at first use
// from the copies beside the program. Decided once per program directory.
QString DirectorioAjustes();
// Why the user's settings directory could not be filled; empty when it was.
QString ErrorDirectorioAjustes();
// The settings directory chosen by the operator (keldan-dnc --config): taken
// as it is, read-only or not, instead of the choice above.
void EstableceDirectorioAjustes(const QString &directorio);

QString RutaIni();

// One value; a language text is cut to 126 characters as the windows have
// always read them, a value of section General is read whole.
QString LeeIni(
    const QString &seccion, const QString &clave, const QString &porDefecto, const QString &ruta);

// The key names of a section, each followed by one NUL; the whole list.
QString LeeIniLargo(const QString &seccion, const QString &porDefecto, const QString &ruta);

bool EscribeIni(const QString &seccion, const QString &clave, const QString &valor,
    const QString &ruta, QString *error = nullptr);
bool BorraSeccionIni(const QString &seccion, const QString &ruta, QString *error = nullptr);

// Loads the settings record and the texts of its language.
void CargaConfig();
// Writes the settings record; false with the reason when the file cannot be written.
bool GrabaConfig(QString *error = nullptr);

// Where continuous receive saves when the machine names no folder: DirGuarda
// of General in that file ("~" expanded), else the user's documents folder
// (the home folder when there is none); never the root of the disk.
QString CarpetaRecepcionPorDefecto(const QString &rutaIni);

// The text of a key in the current language.
QString Texto(const QString &clave);

// "4800,N,8,2": speed, parity, data bits and stop bits for the serial port.
QString TextoBitsStop(double bitsStop);

} // namespace VarsFuncsGlobales
