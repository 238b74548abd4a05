# Copies SRC to DST only when DST does not exist yet, so the operator's
# settings and translations in the program directory are never overwritten.
if(NOT EXISTS "${DST}")
  file(COPY_FILE "${SRC}" "${DST}")
endif()
