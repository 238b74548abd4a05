# keldan-dnc's systemd units as systemd reads them (the binary as built):
# no complaint, a configuration failure not restarted, the system unit fenced in.
foreach(unidad keldan-dnc.service keldan-dnc@.service)
  file(READ "${FUENTE}/packaging/systemd/${unidad}" texto)
  if(NOT texto MATCHES "\nRestartPreventExitStatus=[^\n]*3" OR NOT texto MATCHES "\nUMask=0077"
     OR NOT texto MATCHES "\nExecReload=")
    message(FATAL_ERROR "${unidad} restarts a configuration failure, or lacks UMask or ExecReload")
  endif()
  string(REPLACE "/usr/bin/keldan-dnc" "${DNC}" texto "${texto}")
  string(REPLACE "@.service" "@cnc.service" copia "${unidad}")
  file(WRITE "${TMP}/${copia}" "${texto}")
endforeach()
execute_process(COMMAND systemd-analyze verify --man=no keldan-dnc.service keldan-dnc@cnc.service
  WORKING_DIRECTORY "${TMP}" OUTPUT_VARIABLE salida ERROR_VARIABLE salida)
execute_process(COMMAND systemd-analyze security --offline=yes keldan-dnc@cnc.service
  WORKING_DIRECTORY "${TMP}" OUTPUT_VARIABLE seguridad ERROR_VARIABLE seguridad)
string(REGEX MATCH "keldan-dnc@cnc.service: ([0-9.]+)" _ "${seguridad}")
if(NOT salida STREQUAL "" OR NOT CMAKE_MATCH_1 OR CMAKE_MATCH_1 GREATER_EQUAL 5)
  message(FATAL_ERROR "systemd-analyze:\n${salida}\n${seguridad}")
endif()
