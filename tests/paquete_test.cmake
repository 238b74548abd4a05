# Builds the Debian package from the build tree and checks what it installs
# and what it needs, as dpkg-deb reads them.
file(REMOVE_RECURSE "${TMP}")
execute_process(COMMAND cpack -G DEB -B "${TMP}" WORKING_DIRECTORY "${BUILD}" RESULT_VARIABLE r
  OUTPUT_VARIABLE salida ERROR_VARIABLE salida)
if(NOT r EQUAL 0)
  message(FATAL_ERROR "cpack failed:\n${salida}")
endif()
file(GLOB deb "${TMP}/keldan_*.deb")
execute_process(COMMAND dpkg-deb -c ${deb} OUTPUT_VARIABLE contenido COMMAND_ERROR_IS_FATAL ANY)
foreach(f ./usr/lib/keldan/keldan ./usr/lib/keldan/keldan-cnc ./usr/lib/keldan/KELDAN.INI
    ./usr/lib/keldan/MANUAL_ES.TXT ./usr/lib/keldan/MANUAL_EN.TXT
    "./usr/bin/keldan -> ../lib/keldan/keldan" "./usr/bin/keldan-cnc -> ../lib/keldan/keldan-cnc"
    ./usr/lib/keldan/keldan-dnc "./usr/bin/keldan-dnc -> ../lib/keldan/keldan-dnc"
    ./usr/lib/systemd/user/keldan-dnc.service ./usr/lib/systemd/system/keldan-dnc@.service
    ./usr/share/applications/keldan.desktop ./usr/share/icons/hicolor/scalable/apps/keldan.svg)
  string(FIND "${contenido}" " ${f}\n" en)
  if(en EQUAL -1)
    message(FATAL_ERROR "the package lacks ${f}:\n${contenido}")
  endif()
endforeach()
if(contenido MATCHES "\\./(tmp|home|root|usr/local)/")
  message(FATAL_ERROR "the package holds files outside its prefix:\n${contenido}")
endif()
execute_process(COMMAND dpkg-deb -f ${deb} Depends OUTPUT_VARIABLE depende COMMAND_ERROR_IS_FATAL ANY)
foreach(p libqt6core6 libqt6widgets6 libqt6serialport6 libqt6network6 qt6-qpa-plugins)
  if(NOT depende MATCHES "(^|, )${p}( |,|\n|$)")
    message(FATAL_ERROR "the package does not depend on ${p}: ${depende}")
  endif()
endforeach()
# The desktop entry starts the installed program.
file(MAKE_DIRECTORY "${TMP}/raiz")
execute_process(COMMAND dpkg-deb -x ${deb} "${TMP}/raiz" COMMAND_ERROR_IS_FATAL ANY)
file(STRINGS "${TMP}/raiz/usr/share/applications/keldan.desktop" exec REGEX "^Exec=")
if(NOT exec STREQUAL "Exec=/usr/bin/keldan")
  message(FATAL_ERROR "the desktop entry runs ${exec}")
endif()
