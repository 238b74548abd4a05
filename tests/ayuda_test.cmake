# Each program answers --help and --version on stdout with status 0, and
# tells a wrong command line on stderr with status 2, printing nothing else.
foreach(p keldan keldan-dnc keldan-cnc)
  foreach(caso "--help|0|^Usage: ${p} |^usage: ${p} " "--version|0|^${p} [0-9]+[.][0-9]+[.][0-9]+\n$"
      "--no-such-option|2|")
    string(REPLACE "|" ";" caso "${caso}")
    list(POP_FRONT caso opcion estado)
    execute_process(COMMAND ${DIR}/${p} ${opcion} RESULT_VARIABLE r OUTPUT_VARIABLE salida
      ERROR_VARIABLE error TIMEOUT 30)
    set(bien FALSE)
    if(estado EQUAL 0 AND r STREQUAL "0" AND error STREQUAL "")
      foreach(patron IN LISTS caso)
        if(salida MATCHES "${patron}")
          set(bien TRUE)
        endif()
      endforeach()
    elseif(estado EQUAL 2 AND r STREQUAL "2" AND salida STREQUAL "" AND NOT error STREQUAL "")
      set(bien TRUE)
    endif()
    if(NOT bien)
      message(FATAL_ERROR "${p} ${opcion}: status ${r} (${estado} expected)\n"
        "stdout: ${salida}\nstderr: ${error}")
    endif()
  endforeach()
endforeach()
