# Who makes Keldan, for the package, its documents and the software centres.
# The addresses are placeholders in the example.org domain, reserved for
# examples, until the project has a home of its own: change them here.
set(KELDAN_DESARROLLADORES "Keldan developers")
set(KELDAN_MANTENEDOR "${KELDAN_DESARROLLADORES} <keldan@example.org>")
set(KELDAN_WEB "https://keldan.example.org")
set(KELDAN_ID "org.example.keldan")

# The release's date is that of its changelog entry, whose version must be
# the project's: the package's changelog and the program never disagree.
file(STRINGS ${CMAKE_SOURCE_DIR}/packaging/debian/changelog cabecera LIMIT_COUNT 1)
if(NOT cabecera MATCHES "^keldan \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/debian/changelog does not begin with version ${PROJECT_VERSION}")
endif()
file(STRINGS ${CMAKE_SOURCE_DIR}/packaging/debian/changelog firma REGEX "^ -- " LIMIT_COUNT 1)
if(NOT firma MATCHES ", ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
  message(FATAL_ERROR "packaging/debian/changelog: no date in its first entry")
endif()
set(meses Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND meses ${CMAKE_MATCH_2} mes)
math(EXPR mes "${mes} + 1" OUTPUT_FORMAT DECIMAL)
if(mes LESS 10)
  set(mes 0${mes})
endif()
set(KELDAN_FECHA "${CMAKE_MATCH_3}-${mes}-${CMAKE_MATCH_1}")
