#include "languages/catalogoclaves.h"

namespace {

const char *const kOriginales[] = {
    // Main window
    "NombreManual", "PrinName", "PrinTitulo", "PrinContenido", "PrinlblTituloTexto",
    "PrinlblTituloEstado", "PrinCom", "PrinVt", "PrinPar", "PrinBd", "PrinBs", "PrinModo",
    "PrinNego", "PrincmdLimpiar", "PrincmdSalir", "PrincmdConfig", "PrincmdEdit", "PrincmdAbrir",
    "PrincmdGuardar", "PrincmdSpace", "PrincmdManual", "PrincmdStop", "PrinmsgGrabaFinal",
    "PrinmsgEsperandoEntrada", "PrinmsgEntrando", "PrinmsgSaliendo", "PrinmsgLimpia",
    "PrinmsgAbierto", "PrinmsgGuardado", "PrinmsgSinGuardar",
    // Configuration dialog
    "ConfigName", "ConfiglblPuerto", "ConfiglblVT", "ConfiglblParidad", "ConfiglblBitsDatos",
    "ConfiglblBitsStop", "ConfiglblModo", "ConfiglblIdioma", "ConfigcmbParNo", "ConfigcmbParImpar",
    "ConfigcmbParPar", "ConfigcmbParMarca", "ConfigcmbParEspacio", "ConfigcmdAceptar",
    "ConfigcmdCancelar", "ConfigcmdAltaIdioma", "ConfigcmdModifIdioma",
    // Translation editor
    "ConTraName", "ConTralblNuevoIdioma", "ConTralblVars", "ConTralblTituloValorActual",
    "ConTralblTituloValorNuevo", "ConTracmdAceptar", "ConTracmdCancelar", "ConTracmdGrabar",
    // File browser
    "ExamName", "ExamlblTituloArbol", "ExamlblTituloDirectorio", "ExamlblTituloUnidad",
    "ExamlblTituloTipoFichero", "ExamlblTituloFichero", "ExamcmdAceptar", "ExamcmdCancelar",
    "ExamErrorUnid", "ExamErrorUnidGen", "ExamErrorDir", "ExamErrorDirGen"};

// Keys for messages the original texts never had. %1, %2 stand for the
// file or device and the reason.
const char *const kNuevas[][2] = {
    // Settings file
    {"PrinErrorGrabaIni", "The settings could not be saved to %1: %2"},
    // Program text (text/)
    {"PrinErrorAbre", "The file %1 could not be read: %2"},
    {"PrinErrorGuarda", "The file %1 could not be saved: %2"},
    {"PrinErrorEditor", "The editor %1 could not be started: %2"},
    {"PrinErrorManual", "The manual %1 was not found."},
    // Serial transfer (transfer/)
    {"PrinErrorPuertoNoExiste", "The serial port %1 does not exist."},
    {"PrinErrorPuertoOcupado", "The serial port %1 is in use by another program."},
    {"PrinErrorPuertoPermiso",
        "No permission to use the serial port %1: the user must be a member of the group %2 "
        "(dialout on Debian) and log in again."},
    {"PrinErrorPuertoParametros", "The serial port %1 does not accept the settings %2."},
    {"PrinErrorAjustesRechazados",
        "Section General of %1 holds values no port can take: %2. Choose them in Settings."},
    {"PrinErrorPuertoPerdido", "The serial port %1 was lost during the transfer: %2"},
    {"PrinErrorPuerto", "The serial port %1 could not be used: %2"},
    {"PrinAvisoIsoIntransmisible",
        "%1 characters cannot be sent in ISO code and would go out as 0 bytes; the first is in "
        "line %2. Send anyway?"},
    {"PrinAvisoSinPrograma", "There is no program to send: every line is empty."},
    // Dialogs (settings/, languages/)
    {"ConfiglblNego", "Handshake:"},
    {"ConfigcmbNegoXonXoff", "XON/XOFF"},
    {"ConfigcmbNegoRtsCts", "RTS/CTS"},
    {"ConfigcmbNegoNinguno", "None"},
    {"ConTraErrorGraba", "Could not write to the settings file %1: %2"},
    // File browser (browser/)
    {"ExamErrorLeeDir", "The directory %1 cannot be opened."},
    {"ExamErrorGrabaDir", "The directory could not be remembered in %1: %2"},
    // Answers of the message boxes
    {"BotonAceptar", "OK"},
    {"BotonSi", "Yes"},
    {"BotonNo", "No"},
    // Transfers: what the operator must check afterwards
    {"PrinErrorFinNoEnviado",
        "The CNC did not get the end of the program (%1): check on the control what it took in."},
    {"PrinAvisoParidad",
        "%1 characters could not be read (wrong parity), in lines %2. Check the program before "
        "saving or sending it."},
    {"PrinmsgRetenido", "The CNC is holding the line (%1 s)"},
    // Machines in the configuration dialog and the main window
    {"ConfiglblMaquina", "Machine:"},
    {"ConfigcmbMaquina",
        "The machine whose settings are shown; accepting makes it the current one."},
    {"ConfiglblPredefinida", "New from preset:"},
    {"ConfigcmbPredefinida",
        "Fills in the usual settings of a control; the control's own parameters decide."},
    {"ConfiglblNombreMaquina", "Name:"},
    {"ConfigtxtNombreMaquina", "The name for Save as new and for Rename."},
    {"ConfigcmdMaqNueva", "Save as new"},
    {"ConfigcmdMaqNuevaTip", "Saves the settings shown as a new machine under the name typed."},
    {"ConfigcmdMaqActualiza", "Update"},
    {"ConfigcmdMaqActualizaTip", "Saves the settings shown into the chosen machine."},
    {"ConfigcmdMaqRenombra", "Rename"},
    {"ConfigcmdMaqRenombraTip", "Gives the chosen machine the name typed."},
    {"ConfigcmdMaqBorra", "Delete"},
    {"ConfigcmdMaqBorraTip", "Deletes the chosen machine; the settings in use stay."},
    {"ConfigfraMaquinas", "Machines"},
    {"ConfiglblMaqInmediato",
        "Save as new, Update, Rename and Delete write MAQUINAS.INI at once: Cancel does not undo "
        "them."},
    {"ConfigfraLinea", "Line"},
    {"ConfigfraFormato", "Line format"},
    {"ConfiglblFinBloque", "End of block:"},
    {"ConfiglblNulosInicio", "NULs before the program:"},
    {"ConfiglblNulosFin", "NULs after the program:"},
    {"ConfigchkMarco", "DC2/DC4 framing"},
    {"ConfiglblRetardo", "Pause after each line (ms):"},
    {"ConfigchkEsperaDc1", "Wait for DC1 before sending"},
    {"ConfiglblSilencio", "End after silence (s):"},
    {"ConfigSilencioTip",
        "A reception also ends after this many seconds without data; 0: only DC4 or the end mark "
        "end it."},
    {"ConfiglblFichero", "Settings file: %1"},
    {"ConfigErrorNombreMaquina",
        "The name \"%1\" cannot be used for a machine: not blank, no brackets, not General, at "
        "most 126 characters."},
    {"ConfigErrorMaquinaOcupada",
        "There is already a machine named %1 (capital and small letters count as the same)."},
    {"ConfigErrorMaquinaNoExiste", "The machine %1 is no longer in the machines file."},
    {"ConfigErrorMaquinas", "The machines could not be saved to %1: %2"},
    {"ConfigPreguntaActualiza", "Replace the stored settings of the machine %1 with those shown?"},
    {"ConfigPreguntaBorra", "Delete the machine %1?"},
    {"ConfigAvisoMaquinas",
        "Values of the machines file %1 that cannot be used (their defaults are used):"},
    {"ConfigAvisoMaquina", "Machine %1, key %2: \"%3\""},
    {"ConfigAvisoMaquinaRepetida", "Section [%1] passed over: the machine %2 has the same name."},
    {"ConfigAvisoMaquinaNombre", "Section [%1] passed over: no machine may have that name."},
    {"ConfigMaquinaRechazada",
        "The machine %1 cannot be used as stored: no port takes these values. Choose them again "
        "and click Update."},
    {"ConfigAvisoGeneral",
        "Settings in use that no list offers (%1, section General); choose them again:"},
    {"ConfigAvisoClave", "Key %1: \"%2\""},
    {"ConfigErrorDirRecepcion",
        "The receive folder %1 is no full path: begin it with / (or ~/ for your home folder), or "
        "leave it empty."},
    {"PrinMaquina", "The machine whose settings are in use"},
    {"PrinMaquinaModificada", "%1 (modified)"},
    // The transfer log
    {"RegistroTitulo", "Transfer log"},
    {"RegistrolblMaquina", "Machine:"},
    {"RegistroTodas", "All machines"},
    {"RegistroColumnas",
        "Date and time|Direction|Machine|Port|File|Lines|Bytes|Duration (s)|Result|CNC "
        "pauses|Unreadable"},
    {"RegistroEnvio", "Send"},
    {"RegistroRecepcion", "Receive"},
    {"RegistroCompleta", "Complete"},
    {"RegistroDetenida", "Stopped"},
    {"RegistroFallida", "Failed"},
    {"RegistroIncompleta", "Incomplete"},
    {"RegistroIlegibles", "%1 lines of the log could not be read."},
    {"RegistroErrorLectura", "The transfer log %1 could not be read: %2"},
    {"RegistroErrorEscritura",
        "The transfer log %1 could not be written (%2). The transfer is not affected; it is not "
        "logged."},
    {"RegistrocmdCerrar", "Close"},
    // Compare the text window with a file
    {"ComparamnuComparar", "&Compare with file..."},
    {"ComparaName", "Text window against %1"},
    {"ComparalblDiferencias", "Lines that differ: %1 in the text window, %2 in the file."},
    {"ComparaColLinea", "Line"},
    {"ComparaColTexto", "Text window"},
    {"ComparaColFichero", "File"},
    {"ComparamsgIdenticos", "The text window and the file %1 are identical (line ends aside)."},
    // Menu bar of the main window
    {"MenuFichero", "&File"},
    {"MenuAbrir", "&Open..."},
    {"MenuGuardar", "&Save..."},
    {"MenuLimpiar", "C&lear the text window"},
    {"MenuEdit", "&Edit the current file"},
    {"MenuSpace", "S&pacing"},
    {"MenuSalir", "E&xit"},
    {"MenuTransferencia", "&Transfer"},
    {"MenuCncPc", "&CNC -> PC"},
    {"MenuPcCnc", "&PC -> CNC"},
    {"MenuStop", "&Stop the transfer"},
    {"MenuModo", "&ISO code (unchecked: ASCII)"},
    {"MenuOpciones", "&Options"},
    {"MenuConfig", "&Settings..."},
    {"MenuAyuda", "&Help"},
    {"MenuManual", "&Manual"},
    {"BloquemnuEnviaDesde", "Send &from a line..."},
    {"BloqueEntrada", "N number or line:"},
    {"BloqueNoEncontrado", "No line or block %1 in the text window."},
    {"BloquePregunta",
        "Send from line %1? %2 lines before it are left out; the program's header goes first. It "
        "begins:"},
    {"ContinuaMenu", "Continuous &receive into the folder"},
    {"ContinuamsgEsperando", "Continuous receive into %1: waiting for the CNC"},
    {"ContinuamsgGuardado", "Saved %1 (%2 lines)"},
    {"ContinuamsgCuenta", "Programs saved: %1"},
    {"ContinuaErrorGuardar",
        "The program could not be saved in %1 (%2). It stays in the text window, unsaved; "
        "continuous receive stopped."},
    {"ContinuaSinInicio",
        "The program's start (DC2, or the leading %) never came: saved apart as incomplete."},
    {"ContinuaProgramaLargo", "Longer than %1 MiB (MaxPrograma): saved up to there as incomplete."},
    {"ContinuaDescartados", "%1 bytes after that were dropped."},
    {"ContinuaRespuestaServidor", "The server answered: %1"},
    {"ContinuaTrasFallo",
        "Cut off: continuous receive stopped because the program before could not be saved."},
    {"PrinErrorProgramaLargo",
        "The program is longer than %1 MiB (MaxPrograma): the reception stopped there. The text "
        "window holds what came."},
    // The machine's receive folder
    {"ConfigfraRecepcion", "Receive folder (continuous receive)"},
    {"ConfigDirRecepcionTip",
        "Where continuous receive saves the programs (a full path; ~/ is your home folder); empty: "
        "the folder of Save."},
    {"ConfigfraRemota", "FTP or folder machine"},
    {"ConfigRemotaTip",
        "For a port written ftp://USER@HOST/FOLDER/, ftps://..., file:///FOLDER/ or a folder "
        "ending in /."},
    {"ConfigchkFtpActivo", "Active FTP mode"},
    {"ConfigFtpActivoTip",
        "For a control's FTP server that takes only active mode (it connects back to the PC)."},
    {"ConfigchkNombreO", "Name programs O1234 by their number"},
    {"ConfigchkVerificar", "Fetch back and compare after sending"},
    {"ConfigVerificarTip",
        "After a send the program is downloaded again and compared byte for byte; its size is "
        "always checked."},
    {"ConfiglblSondeo", "Look for new programs every (s):"},
    {"ConfigSondeoTip", "Continuous receive looks into the control's folder this often."},
    {"ConfigErrorDireccionRemota",
        "%1 cannot be used: write ftp://USER@HOST[:PORT]/FOLDER/, ftps://... or file:///FOLDER/; "
        "the password goes in ~/.netrc."},
    {"ConfigErrorIsoRemota",
        "ISO code does not apply to a machine reached over FTP or a folder: its programs are "
        "files. Choose Ascii."},
    {"RemotaPreguntaReemplaza",
        "The control already has a program named %1. Replace it with this one?"},
    {"RemotaSinNombre",
        "No name to store the program under on the control: save it to a file first (with "
        "NombreO=Si: give it an O number)."},
    {"RemotaEnviaDesde",
        "Send from a line is for a serial line: send the whole program to this machine and restart "
        "it on the control."},
    {"RemotamsgListando", "Reading the programs of %1..."},
    {"RemotamsgTrayendo", "Fetching %1 programs from the control..."},
    {"RemotamsgGuardados", "%1 programs saved in %2"},
    {"RemotaListaVacia", "The folder of %1 holds no programs."},
    {"RemotaListaName", "Programs on %1"},
    {"RemotalblAyuda",
        "Choose one program for the text window, or several for the receive folder %1 (Ctrl or "
        "Shift and a click)."},
    {"RemotaColumnas", "Name|Size (bytes)|Date"},
    {"RemotacmdTraer", "Fetch"},
    {"RemotacmdCancelar", "Cancel"},
    {"ContinuamsgSondeo", "Continuous receive from %1 into %2: looking for new programs"},
    {"RemotaFalloSondeo", "%1: %2 (tried again at the next look)"},
    {"RemotaErrorEnvio", "The program %1 could not be sent to %2: %3"},
    {"RemotaErrorRecepcion", "Receiving from %1 failed: %2"},
    {"RemotaErrorSondeo", "Continuous receive from %1 stopped: %2"},
    {"CompruebaPasoLogin", "Log in:"},
    {"CompruebaPasoCarpeta", "Reach the folder:"},
    {"CompruebaPasoLista", "List the programs:"},
    {"CompruebaPasoEscribe", "Write a probe file:"},
    {"CompruebaPasoBorra", "Delete the probe file:"},
    {"CompruebaPasoSinHacer", "not tried: the step before failed."},
    {"CompruebaRemotaNetrc",
        "put the password in ~/.netrc (then chmod 600 ~/.netrc): machine %1 login %2 password "
        "THE-PASSWORD"},
    // Why an FTP or folder machine failed, and the steps of its check
    {"RemotaMotivoDetenida", "stopped"},
    {"RemotaMotivoNoCarpeta", "%1 is not a folder"},
    {"RemotaMotivoDemasiados", "%1 holds more than %2 programs"},
    {"RemotaMotivoNombre", "\"%1\" cannot be a program's name"},
    {"RemotaMotivoNoPrograma", "%1 is no program file"},
    {"RemotaMotivoGrande", "%1 has more than %2 bytes"},
    {"RemotaMotivoSinCurl", "the FTP library could not start"},
    {"RemotaMotivoExcedido", "more than %1 bytes came from the server; nothing was kept"},
    {"RemotaMotivoServidor", "%1 (the server said: %2)"},
    {"RemotaMotivoNombreControl", "\"%1\" cannot be a program's name on the control"},
    {"RemotaMotivoTamanoServidor", "the server holds %1 of the %2 bytes sent"},
    {"RemotaMotivoSinTamano", "the server does not tell the size of %1"},
    {"RemotaMotivoCarpetaLlena", "the folder holds more than %1 programs"},
    {"RemotaMotivoLineaLarga", "a line of the listing is too long"},
    {"RemotaMotivoLineaRara", "listing line not understood: %1"},
    {"RemotaNetrcFalta",
        "%1: %2; the password for %3 is read from it (a line \"machine %3 login USER password "
        "SECRET\", mode 0600)"},
    {"RemotaNetrcNoFichero", "%1 is not a plain file"},
    {"RemotaNetrcAjeno",
        "%1 belongs to another user (uid %2): it holds passwords, so it must be the user's own"},
    {"RemotaNetrcPermisos",
        "%1 may be read or written by others (mode %2): it holds passwords, so give it mode 0600 "
        "(chmod 600 %1)"},
    {"RemotaNetrcGrande", "%1 is larger than %2 bytes"},
    {"RemotaNetrcSinMaquina", "%1 has no entry for %2 (machine %2 login USER password SECRET)"},
    {"RemotaNetrcSinClave",
        "%1 has no password for user %3 on %2 (machine %2 login %3 password SECRET)"},
    {"CompruebaRemotaAccesible", "%1 is reachable"},
    {"CompruebaRemotaSesion", "logged in to %1"},
    {"CompruebaRemotaListados", "%1 programs listed"},
    {"CompruebaRemotaEscrito", "probe file %1 written"},
    {"CompruebaRemotaBorraMano", "%1 (delete %2 by hand)"},
    {"CompruebaRemotaBorrado", "probe file deleted"},
    {"RemotaMotivoAjustes", "the machine's settings hold values that cannot be used (%1)"},
    {"RemotaMotivoNoRemota", "%1 is no FTP server or folder"},
    {"RemotaMotivoSinNombre",
        "the program has no name to go up under (with NombreO=Si it needs an O-number)"},
    {"RemotaMotivoNoSustituye",
        "not sent: the control already has %1 and it was not to be replaced"},
    {"RemotaMotivoSinComprobar", "sent, but its size could not be checked: %1"},
    {"RemotaMotivoTamanoControl", "the control holds %1 bytes of the %2 sent"},
    {"RemotaMotivoSinReleer", "sent, but it could not be read back: %1"},
    {"RemotaMotivoDifiere", "the control's copy differs from what was sent at byte %1"},
    {"RemotaMotivoSinMaquina", "no remote machine chosen"},
    {"RemotaMotivoSinPrograma", "no program chosen"},
    {"RemotaMotivoSinCarpeta", "no receive folder"},
    {"RemotaMotivoListaFallo", "the listing failed"},
    {"RemotaMotivoMaxPrograma", "%1 bytes, more than the machine's MaxPrograma"},
    // Where XON/XOFF is done, and the port check
    {"ConfiglblXonXoff", "XON/XOFF done:"},
    {"ConfigcmbXonXoffPrograma", "The program"},
    {"ConfigcmbXonXoffPuerto", "The port (adapter)"},
    {"ConfigXonXoffTip",
        "The port: the adapter's chip stops at DC3 at once (FTDI, CP210x, PL2303). Built-in, "
        "CH341, network: the program."},
    {"ConfigcmdComprueba", "Check port"},
    {"ConfigcmdCompruebaTip", "Checks the port shown: says what is wrong with it and what to do."},
    {"MenuComprueba", "&Check the port..."},
    {"MenuRegistro", "Transfer &log..."},
    {"CompruebaTitulo", "Port check: %1"},
    {"CompruebaEnCurso", "Checking %1..."},
    {"CompruebaBien", "OK:"},
    {"CompruebaAviso", "Warning:"},
    {"CompruebaProblema", "Problem:"},
    {"CompruebaRemedio", "What to do: %1"},
    {"CompruebaNoExiste", "The port %1 does not exist."},
    {"CompruebaEnlaceRoto", "%1 points to %2, which is not there."},
    {"CompruebaNoExisteRemedio",
        "plug the adapter in, or choose the port again from the list: its name may have changed."},
    {"CompruebaExiste", "The port %1 exists."},
    {"CompruebaExisteEnlace", "The port %1 exists; it is %2."},
    {"CompruebaPermisoAdmin", "Running as administrator: the port can be read and written."},
    {"CompruebaPermisoPropio", "The port belongs to you (%1): it can be read and written."},
    {"CompruebaPermisoGrupo", "The port belongs to group %1 and you are in it."},
    {"CompruebaPermisoTodos", "Every user may read and write the port."},
    {"CompruebaSinGrupo",
        "The port belongs to group %1 and user %2 is not in it: the port cannot be opened."},
    {"CompruebaSinGrupoRemedio",
        "run sudo adduser %2 %1 in a terminal, then log out and in again."},
    {"CompruebaGrupoSinSesion",
        "User %2 is in group %1, but this session began before that and does not have it yet."},
    {"CompruebaGrupoSinSesionRemedio", "log out and in again (or restart the PC)."},
    {"CompruebaSinPermiso",
        "The port's rights (%1) let neither you nor your groups read and write it."},
    {"CompruebaSinPermisoRemedio",
        "ask the administrator to give group dialout read and write rights on the port."},
    {"CompruebaOcupado", "The port is in use by %1 (process %2, user %3)."},
    {"CompruebaOcupadoRemedio", "close %1; if it does not close: sudo kill %2"},
    {"CompruebaLibre", "No program has the port open."},
    {"CompruebaSinVer",
        "%1 processes of other users could not be looked into; one may hold the port."},
    {"CompruebaSinVerRemedio", "to see them all: sudo fuser -v %1"},
    {"CompruebaBloqueo", "The lock file %1 says process %2 (%3) is using the port."},
    {"CompruebaBloqueoViejo",
        "The lock file %1 was left by process %2, which has ended; some programs refuse the port "
        "while it is there."},
    {"CompruebaBloqueoViejoRemedio", "remove it: sudo rm %1"},
    {"CompruebaBrltty",
        "brltty (for braille displays) is installed and takes adapters like this one (%1) when "
        "plugged in."},
    {"CompruebaBrlttyGeneral",
        "brltty (for braille displays) is installed; it takes many USB serial adapters (FTDI, "
        "CP210x, CH341)."},
    {"CompruebaBrlttyRemedio",
        "without a braille display: sudo apt remove brltty, then unplug the adapter and plug it in "
        "again."},
    {"CompruebaModemManager",
        "ModemManager is running: it may open USB serial ports to look for modems and send them AT "
        "commands."},
    {"CompruebaModemManagerRemedio", "without a modem: sudo systemctl disable --now ModemManager"},
    {"CompruebaChip",
        "The adapter's driver is %1: it does XON/XOFF in the chip and stops the line within a "
        "character or two."},
    {"CompruebaChipRemedio",
        "if the CNC reports an overrun at high speeds, choose that the port does XON/XOFF."},
    {"CompruebaSinChip",
        "The port's driver is %1: it does not do XON/XOFF in the chip, so the program must do it."},
    {"CompruebaSinChipRemedio", "choose that the program does XON/XOFF."},
    {"CompruebaLatencia",
        "The FTDI latency timer is %1 ms: a DC3 reaches the program up to %1 ms late, over %2 "
        "characters at %3 baud."},
    {"CompruebaLatenciaRemedio",
        "for 1 ms, put this line in /etc/udev/rules.d/99-ftdi-latencia.rules and plug the adapter "
        "in again: %1"},
    {"CompruebaLatenciaBien", "The FTDI latency timer is %1 ms."},
    {"CompruebaRedMal", "%1 is not a network port: write tcp://HOST:PORT or rfc2217://HOST:PORT."},
    {"CompruebaRedEnPuerto", "With a network port the program should do XON/XOFF, not the port."},
    {"CompruebaRedNombre", "The name %1 was found: %2."},
    {"CompruebaRedSinNombre", "The name %1 was not found."},
    {"CompruebaRedSinNombreRemedio",
        "check the name, or write the device server's IP address instead."},
    {"CompruebaRedSinRespuesta", "No answer from %1 within %2 s."},
    {"CompruebaRedSinRespuestaRemedio",
        "check that the device server is on and reachable: cable, address, firewall."},
    {"CompruebaRedConectado", "Connected to %1, port %2."},
    {"CompruebaRedRechazada", "%1 refused the connection on port %2: nothing listens there."},
    {"CompruebaRedRechazadaRemedio",
        "check the port number in the device server's settings, and that its service is on."},
    {"CompruebaRedError", "Could not connect to %1, port %2: %3"},
    {"CompruebaSinUart", "%1 has no serial port chip behind it: this PC has no such port."},
    {"CompruebaSinUartRemedio",
        "choose the port the cable is plugged into (a USB adapter appears as /dev/ttyUSB0)."},
    {"PrinErrorDireccionRed",
        "The network port %1 is not valid: write tcp://HOST:PORT or rfc2217://HOST:PORT, with a "
        "port from 1 to 65535."},
    {"PrinErrorRedNombre",
        "The name %1 of the device server was not found (port %2): check the name, or write its IP "
        "address."},
    {"PrinErrorRedRechazada",
        "The device server %1 refused the connection on port %2: check the port number and that "
        "the port is enabled."},
    {"PrinErrorRedSinRespuesta",
        "The device server %1 did not answer on port %2 within %3 seconds: check that it is on and "
        "connected."},
    {"PrinErrorRedCerrada",
        "The connection to the device server %1 (port %2) closed during the transfer: %3"},
    {"PrinErrorRedAjustes", "The device server %1 (port %2) did not accept the line settings %3."},
    {"PrinErrorRedSinRfc2217",
        "The device server %1 does not set the line on port %2 (no RFC 2217): for a raw TCP port "
        "write tcp://%1:%2."},
    {"PrinErrorRed", "The device server %1 (port %2) could not be used: %3"},
    // A port held by another program, named with its process
    {"PrinErrorPuertoOcupadoPor", "The serial port %1 is in use by %2."},
    // keldan-dnc: a request from the CNC for a program the folder does not hold
    {"DncPeticionDesconocida", "Requested program %1 is not in %2."},
    // keldan-dnc: sends it ended itself
    {"DncSinPrograma", "%1 holds no program: nothing was sent."},
    {"DncRetencionMax",
        "The CNC held the line (or did not ask for the program) for more than %1 s: the send was "
        "ended."},
    {"DncParadaServicio", "keldan-dnc stopped before the send could end."},
    {"CompruebaRfc2217Bien",
        "%1 answers RFC 2217 (COM port control) and took the line settings: %2."},
    {"CompruebaRfc2217Sin",
        "%1 does not answer RFC 2217 (COM port control): this port speaks raw TCP."},
    {"CompruebaRfc2217SinRemedio",
        "use %1, or set the server's port to RFC 2217 (in ser2net: accepter: "
        "telnet(rfc2217),tcp,%2)."},
    {"CompruebaRfc2217Rechaza", "%1 takes COM port control (RFC 2217) but did not accept: %2."},
    {"CompruebaRfc2217RechazaRemedio",
        "choose line settings that the server's port can take (see its manual), and the same on "
        "the CNC."},
    {"CompruebaAjusteVelocidad", "speed %1"},
    {"CompruebaAjusteBitsDatos", "%1 data bits"},
    {"CompruebaAjusteParidad", "parity %1"},
    {"CompruebaAjusteBitsStop", "%1 stop bits"},
    {"CompruebaAjusteSinControl", "no flow control on its port"},
    {"CompruebaAjusteRtsCts", "RTS/CTS flow control"},
    {"CompruebaAjusteSinRespuesta", "%1 (no answer)"},
    {"CompruebaRedCerrada", "%1 closed the connection without answering."},
    {"CompruebaRedCerradaDice", "%1 closed the connection, saying: %2"},
    {"CompruebaRedCerradaRemedio",
        "a server's port takes one client at a time: close the other program using it, or check "
        "the server's serial port."}, // The program check: the View menu, the backplot, its
                                      // findings, the restart block
    {"MenuVer", "&View"},
    {"MenuTrazado", "&Backplot"},
    {"MenuTrazadoEnLugar", "Backplot in place of the &text"},
    {"MenuVistaXY", "&XY (top)"},
    {"MenuVistaXZ", "X&Z (front)"},
    {"MenuVistaYZ", "&YZ (side)"},
    {"MenuVistaIso", "&Isometric"},
    {"MenuEncuadra", "&Fit the whole program"},
    {"MenuSaltaBloques", "&Skip the blocks marked /"},
    {"TrazadoExtension", "X %1 … %2   Y %3 … %4   Z %5 … %6 mm"},
    {"TrazadoSinMovimientos", "Nothing to draw"},
    {"TrazadoTiempo", "Time %1"},
    {"TrazadoOrigenes", "Origins %1"},
    {"TrazadoHallazgos", "Findings: %1"},
    {"TrazadoSinHallazgos", "No findings"},
    {"TrazadoLinea", "Line %1: %2"},
    {"TrazadoAyuda",
        "Wheel: zoom about the pointer. Drag: move. Home: the whole program. Click a move: its "
        "line."},
    {"HallazgoCodigoG", "Unknown G code %1: the rest of the block is drawn without it."},
    {"HallazgoCodigoM", "Unknown M code %1."},
    {"HallazgoPalabra", "The word %1 cannot be read."},
    {"HallazgoMacro", "Macro programming (#, [ ], =) is not read: the block is not drawn."},
    {"HallazgoArcoFuera", "The arc's end point is %1 mm off its circle."},
    {"HallazgoArcoRadio",
        "Radius %1 is too small for the arc's end point (at least %2): not drawn."},
    {"HallazgoArcoSinCentro", "Arc with neither a centre (I J K) nor a radius (R): not drawn."},
    {"HallazgoArcoCirculoR", "A full circle cannot be given by R: not drawn."},
    {"HallazgoArcoNulo", "Arc of zero radius: not drawn."},
    {"HallazgoSinAvance", "Feed move with no feed (F): its time is not counted."},
    {"HallazgoAvanceVuelta",
        "Feed per revolution (G95) with no spindle speed (S): its time is not counted."},
    {"HallazgoCicloSinProfundidad", "Canned cycle with no depth (Z): the hole is not drawn."},
    {"HallazgoFueraLimites", "%1 %2 is outside the machine's travel (%3 to %4)."},
    {"HallazgoCompensacion",
        "Cutter compensation %1 is drawn as programmed, without the tool's radius."},
    {"HallazgoRotativo", "Rotary axis %1 is not drawn: the toolpath shows X, Y and Z only."},
    {"HallazgoSinSubprograma", "Subprogram O%1 is not in the file."},
    {"HallazgoSinM99", "Subprogram O%1 ends without M99."},
    {"HallazgoM99Principal",
        "M99 outside a subprogram: the control would start the program again; reading stops."},
    {"HallazgoAnidamiento",
        "Subprogram calls nested deeper than %1 (one calling itself?): reading stops."},
    {"HallazgoTamano", "The program runs to more than %1 moves or %2 blocks: reading stops here."},
    {"HallazgoRepeticiones", "Repeat count %1 is above %2: %2 are drawn."},
    {"HallazgoDemasiados", "More than %1 findings: the rest are not listed."},
    {"ReinicioChk", "Send this start block after the &header:"},
    {"ReinicioNota",
        "Rebuilt from the program before line %1; check it against the machine before starting."},
    {"ReinicioSinEstado", "The program never reaches line %1: there is no state to restart from."},
    {"ReinicioSinPosicion",
        "The start point of line %1 is not known: the block does not move the tool."},
    {"ReinicioCompensacion",
        "Cutter compensation is on at line %1: the block does not restore it."},
    {"ReinicioCaracter",
        "The start block holds %1, which a program line cannot carry: change it or leave the block "
        "out."},
};

QList<ClaveIdioma> construye()
{
    QList<ClaveIdioma> lista;
    for (const char *nombre : kOriginales)
        lista.append({QString::fromLatin1(nombre), QString()});
    for (const auto &nueva : kNuevas)
        lista.append({QString::fromLatin1(nueva[0]), QString::fromUtf8(nueva[1])});
    return lista;
}

} // namespace

namespace CatalogoClaves {

const QList<ClaveIdioma> &todas()
{
    static const QList<ClaveIdioma> lista = construye();
    return lista;
}

QStringList originales()
{
    QStringList nombres;
    for (const char *nombre : kOriginales)
        nombres.append(QString::fromLatin1(nombre));
    return nombres;
}

QString textoPorDefecto(const QString &clave)
{
    for (const ClaveIdioma &c : todas()) {
        if (c.nombre == clave)
            return c.textoPorDefecto;
    }
    return {};
}

} // namespace CatalogoClaves
