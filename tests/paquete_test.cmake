# Builds the Debian package from the build tree and checks it as Debian's
# tools read it: contents, Depends, maintainer scripts, lintian, the desktop
# entry, the MIME type, the AppStream data, the icons, the hardening of the
# programs, and an installed tree (dpkg -x) that keeps its program directory
# untouched when run, as root too.
file(REMOVE_RECURSE "${TMP}")
execute_process(COMMAND cpack -G DEB -B "${TMP}" WORKING_DIRECTORY "${BUILD}" RESULT_VARIABLE r
  OUTPUT_VARIABLE salida ERROR_VARIABLE salida)
if(NOT r EQUAL 0)
  message(FATAL_ERROR "cpack failed:\n${salida}")
endif()
file(GLOB deb "${TMP}/keldan_*.deb")

function(falla)
  string(JOIN "" texto ${ARGN})
  message(FATAL_ERROR "${texto}")
endfunction()
# Runs a checker; its output is the reason when it fails or says anything.
function(comprueba nombre)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE r OUTPUT_VARIABLE salida ERROR_VARIABLE salida)
  if(NOT r EQUAL 0 OR NOT salida STREQUAL "")
    falla("${nombre} (${r}):\n${salida}")
  endif()
endfunction()

execute_process(COMMAND dpkg-deb -c ${deb} OUTPUT_VARIABLE contenido COMMAND_ERROR_IS_FATAL ANY)
set(ficheros ./usr/lib/keldan/keldan ./usr/lib/keldan/keldan-cnc ./usr/lib/keldan/keldan-dnc
  ./usr/lib/keldan/KELDAN.INI ./usr/lib/keldan/INSTALADO
  ./usr/lib/keldan/MANUAL_ES.TXT ./usr/lib/keldan/MANUAL_EN.TXT
  ./usr/lib/systemd/user/keldan-dnc.service ./usr/lib/systemd/system/keldan-dnc@.service
  ./usr/share/applications/keldan.desktop ./usr/share/mime/packages/keldan.xml
  ./usr/share/metainfo/org.example.keldan.metainfo.xml
  ./usr/share/icons/hicolor/scalable/apps/keldan.svg
  ./usr/share/doc/keldan/copyright ./usr/share/doc/keldan/changelog.gz
  ./usr/share/lintian/overrides/keldan)
foreach(p keldan keldan-cnc keldan-dnc)
  list(APPEND ficheros "./usr/bin/${p} -> ../lib/keldan/${p}" ./usr/share/man/man1/${p}.1.gz)
endforeach()
foreach(p keldan-cnc keldan-dnc)
  list(APPEND ficheros ./usr/share/bash-completion/completions/${p})
endforeach()
set(tamanos 16 32 48 64 128 256)
foreach(t IN LISTS tamanos)
  list(APPEND ficheros ./usr/share/icons/hicolor/${t}x${t}/apps/keldan.png)
endforeach()
foreach(f IN LISTS ficheros)
  string(FIND "${contenido}" " ${f}\n" en)
  if(en EQUAL -1)
    falla("the package lacks ${f}:\n${contenido}")
  endif()
endforeach()
if(contenido MATCHES "\\./(tmp|home|root|usr/local)/")
  falla("the package holds files outside its prefix:\n${contenido}")
endif()

# Qt's libraries come from the binaries; the window and SVG plugins do not.
execute_process(COMMAND dpkg-deb -f ${deb} Depends Maintainer OUTPUT_VARIABLE campos
  COMMAND_ERROR_IS_FATAL ANY)
foreach(p libqt6core6 libqt6widgets6 libqt6serialport6 libqt6network6 qt6-qpa-plugins libqt6svg6
    libcurl4)
  if(NOT campos MATCHES "(: |, )${p}( |,|\n)")
    falla("the package does not depend on ${p}: ${campos}")
  endif()
endforeach()
if(campos MATCHES "localhost" OR NOT campos MATCHES "Maintainer: [^<\n]+ <[^@>]+@[^>]+>")
  falla("no real maintainer: ${campos}")
endif()

# Lintian, with only the tags packaging/lintian-overrides explains.
execute_process(COMMAND lintian --fail-on error,warning --tag-display-limit 0 ${deb}
  RESULT_VARIABLE r OUTPUT_VARIABLE salida ERROR_VARIABLE salida)
if(NOT r EQUAL 0 OR salida MATCHES "(^|\n)[EW]: ")
  falla("lintian (${r}):\n${salida}")
endif()

# The maintainer scripts are shell scripts that parse.
execute_process(COMMAND dpkg-deb -e ${deb} "${TMP}/control" COMMAND_ERROR_IS_FATAL ANY)
foreach(s postinst postrm)
  comprueba("${s}" sh -n "${TMP}/control/${s}")
endforeach()

file(MAKE_DIRECTORY "${TMP}/raiz")
execute_process(COMMAND dpkg-deb -x ${deb} "${TMP}/raiz" COMMAND_ERROR_IS_FATAL ANY)
set(raiz "${TMP}/raiz")

# The desktop entry opens a file with the installed program and names the
# icon and the MIME types; the MIME file declares the globs; AppStream data.
set(entrada "${raiz}/usr/share/applications/keldan.desktop")
comprueba(desktop-file-validate desktop-file-validate "${entrada}")
file(STRINGS "${entrada}" claves REGEX "^(Exec|Icon|MimeType)=")
if(NOT claves STREQUAL "Exec=/usr/bin/keldan %f;Icon=keldan;MimeType=text/x-gcode\\;text/x.gcode\\;")
  falla("the desktop entry says: ${claves}")
endif()
comprueba(xmllint xmllint --noout "${raiz}/usr/share/mime/packages/keldan.xml")
file(MAKE_DIRECTORY "${TMP}/mime/packages")
file(COPY /usr/share/mime/packages/freedesktop.org.xml "${raiz}/usr/share/mime/packages/keldan.xml"
  DESTINATION "${TMP}/mime/packages")
comprueba(update-mime-database env XDG_DATA_DIRS=${TMP} update-mime-database "${TMP}/mime")
file(STRINGS "${TMP}/mime/globs2" globos REGEX ":text/x-gcode:")
list(SORT globos)
string(JOIN " " globos ${globos})
if(NOT globos STREQUAL "50:text/x-gcode:*.eia 50:text/x-gcode:*.gcode 50:text/x-gcode:*.min \
50:text/x-gcode:*.mpf 50:text/x-gcode:*.nc 50:text/x-gcode:*.ngc 50:text/x-gcode:*.spf \
50:text/x-gcode:*.tap")
  falla("text/x-gcode globs: ${globos}")
endif()
execute_process(COMMAND appstreamcli validate --no-net --pedantic
  "${raiz}/usr/share/metainfo/org.example.keldan.metainfo.xml" RESULT_VARIABLE r
  OUTPUT_VARIABLE salida ERROR_VARIABLE salida)
if(NOT r EQUAL 0 OR NOT salida MATCHES "successful" OR salida MATCHES "[EWI]: ")
  falla("appstreamcli (${r}):\n${salida}")
endif()

# Each PNG is as large as its folder says (width and height in its header).
foreach(t IN LISTS tamanos)
  file(READ "${raiz}/usr/share/icons/hicolor/${t}x${t}/apps/keldan.png" cabecera OFFSET 16 LIMIT 8 HEX)
  math(EXPR hex "${t}" OUTPUT_FORMAT HEXADECIMAL)
  string(REGEX REPLACE "^0x" "00000000" hex "${hex}")
  string(TOLOWER "${hex}" hex)
  string(LENGTH "${hex}" n)
  math(EXPR n "${n} - 8")
  string(SUBSTRING "${hex}" ${n} 8 hex)
  if(NOT cabecera STREQUAL "${hex}${hex}")
    falla("icon ${t}x${t} is ${cabecera}")
  endif()
endforeach()

# Debian's hardening: read-only relocations bound at start, PIE, the stack
# protector; fortified calls where a program makes any the C library checks
# (keldan-cnc's printing does).
foreach(p keldan keldan-dnc keldan-cnc)
  set(programa "${raiz}/usr/lib/keldan/${p}")
  execute_process(COMMAND readelf -d -l --dyn-syms -W "${programa}" OUTPUT_VARIABLE elf
    COMMAND_ERROR_IS_FATAL ANY)
  set(marcas "GNU_RELRO" "FLAGS_1[^\n]*NOW" "FLAGS_1[^\n]*PIE" "__stack_chk_fail")
  if(p STREQUAL keldan-cnc)
    list(APPEND marcas "__fprintf_chk@")
  endif()
  foreach(marca IN LISTS marcas)
    if(NOT elf MATCHES "${marca}")
      falla("${p} is not hardened: no ${marca}")
    endif()
  endforeach()
endforeach()

# Installed and run as whoever runs the suite (root in CI), keldan-dnc keeps
# its settings in the user's folder: nothing new beside the program.
file(GLOB antes "${raiz}/usr/lib/keldan/*")
execute_process(COMMAND env XDG_CONFIG_HOME=${TMP}/config LC_ALL= LC_MESSAGES= LANG=en_US.UTF-8
  "${raiz}/usr/bin/keldan-dnc" status RESULT_VARIABLE r OUTPUT_QUIET ERROR_QUIET)
file(GLOB despues "${raiz}/usr/lib/keldan/*")
if(NOT r EQUAL 3 OR NOT antes STREQUAL despues OR NOT EXISTS "${TMP}/config/keldan/KELDAN.INI")
  falla("keldan-dnc status in the installed tree (${r}) left:\n${despues}")
endif()
file(STRINGS "${TMP}/config/keldan/KELDAN.INI" idioma REGEX "^Idioma=")
if(NOT idioma STREQUAL "Idioma=English")
  falla("an English user's first start speaks ${idioma}")
endif()
