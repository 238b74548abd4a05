# Writes a program's manual page (section 1, gzipped) from what its --help
# and --version print, so that the page never tells other than the program.
#   cmake -DPROGRAMA=path -DNOMBRE=name -DRESUMEN=text -DVER=a;b -DSALIDA=x.1.gz -P manual.cmake
foreach(opcion help version)
  execute_process(COMMAND "${PROGRAMA}" --${opcion} RESULT_VARIABLE r
    OUTPUT_VARIABLE ${opcion} ERROR_VARIABLE error)
  if(NOT r EQUAL 0 OR ${opcion} STREQUAL "" OR NOT error STREQUAL "")
    message(FATAL_ERROR "${NOMBRE} --${opcion} failed (${r}): ${error}")
  endif()
endforeach()
string(STRIP "${version}" version)

# roff: a backslash is written \e; a line may not begin with "." or "'".
function(roff texto salida)
  string(REPLACE "\\" "\\e" texto "${texto}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" texto "${texto}")
  string(REPLACE "-" "\\-" texto "${texto}")
  set(${salida} "${texto}" PARENT_SCOPE)
endfunction()
# The usage lines (the first, and those indented after it) are the synopsis.
string(REGEX MATCH "^[Uu]sage: [^\n]*\n([ \t][^\n]*\n)*" sinopsis "${help}")
string(LENGTH "${sinopsis}" n)
string(SUBSTRING "${help}" ${n} -1 help)
# Without "usage: ", the lines under it move left as far, keeping their alignment.
string(REGEX REPLACE "^[Uu]sage: " "" sinopsis "${sinopsis}")
string(REPLACE "\n       " "\n" sinopsis "${sinopsis}")
roff("${sinopsis}" sinopsis)
roff("${help}" cuerpo)
roff("${RESUMEN}" resumen)
string(TOUPPER "${NOMBRE}" titulo)
set(ver)
foreach(v IN LISTS VER)
  list(APPEND ver "\\fB${v}\\fR(1)")
endforeach()
list(JOIN ver ",\n" ver)
roff("${NOMBRE}" nombre)
file(WRITE "${SALIDA}.tmp" ".TH ${titulo} 1 \"\" \"${version}\" \"User Commands\"
.SH NAME
${nombre} \\- ${resumen}
.SH SYNOPSIS
.nf
${sinopsis}.fi
.SH DESCRIPTION
.nf
${cuerpo}.fi
.SH SEE ALSO
${ver}
.PP
The full manual: /usr/lib/keldan/MANUAL_EN.TXT (English),
/usr/lib/keldan/MANUAL_ES.TXT (Spanish).
")
get_filename_component(pagina "${SALIDA}" NAME_WLE)
get_filename_component(dir "${SALIDA}" DIRECTORY)
file(RENAME "${SALIDA}.tmp" "${dir}/${pagina}")
# -n: no name or time in the header, so that the same page makes the same file.
execute_process(COMMAND gzip -9nf "${dir}/${pagina}" COMMAND_ERROR_IS_FATAL ANY)
