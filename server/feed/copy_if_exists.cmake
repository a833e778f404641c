# cmake -DSRC=... -DDST=... -P copy_if_exists.cmake: copies SRC to DST when
# SRC exists and differs; nothing otherwise.
if(EXISTS "${SRC}")
  file(COPY_FILE "${SRC}" "${DST}" ONLY_IF_DIFFERENT)
endif()
