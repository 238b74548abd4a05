# keldan-dnc's systemd units as systemd reads them: no complaint, a
# configuration failure not restarted, and the system unit fenced in.
file(REMOVE_RECURSE "${TMP}")
file(MAKE_DIRECTORY "${TMP}")
foreach(unidad keldan-dnc.service keldan-dnc@.service)
  file(READ "${FUENTE}/packaging/systemd/${unidad}" texto)
  if(NOT texto MATCHES "\nRestartPreventExitStatus=[^\n]*3" OR NOT texto MATCHES "\nUMask=0077"
     OR NOT texto MATCHES "\nExecReload=")
    message(FATAL_ERROR "${unidad} restarts a configuration failure, lacks UMask or ExecReload")
  endif()
  # The binary as built, so that verify finds what it runs.
  string(REPLACE "/usr/bin/keldan-dnc" "${DNC}" texto "${texto}")
  string(REPLACE "@.service" "@cnc.service" copia "${unidad}")
  file(WRITE "${TMP}/${copia}" "${texto}")
endforeach()
execute_process(COMMAND systemd-analyze verify keldan-dnc.service keldan-dnc@cnc.service
  WORKING_DIRECTORY "${TMP}" RESULT_VARIABLE r OUTPUT_VARIABLE salida ERROR_VARIABLE salida)
if(NOT r EQUAL 0 OR NOT salida STREQUAL "")
  message(FATAL_ERROR "systemd-analyze verify:\n${salida}")
endif()
execute_process(COMMAND systemd-analyze security --offline=yes keldan-dnc@cnc.service
  WORKING_DIRECTORY "${TMP}" OUTPUT_VARIABLE salida ERROR_VARIABLE salida)
if(NOT salida MATCHES "exposure level for keldan-dnc@cnc.service: ([0-9.]+)")
  message(FATAL_ERROR "systemd-analyze security:\n${salida}")
endif()
if(CMAKE_MATCH_1 GREATER_EQUAL 5)
  message(FATAL_ERROR "the system unit's exposure is ${CMAKE_MATCH_1}:\n${salida}")
endif()
