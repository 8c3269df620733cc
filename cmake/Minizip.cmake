# minizip from zlib's contrib tree (fetched by tools/setup.sh), 64-bit offsets.
if(NOT EXISTS "${PIVSET_MINIZIP_DIR}/unzip.c")
  message(FATAL_ERROR "minizip sources not found in ${PIVSET_MINIZIP_DIR}; run tools/setup.sh")
endif()
add_library(minizip STATIC
  "${PIVSET_MINIZIP_DIR}/unzip.c"
  "${PIVSET_MINIZIP_DIR}/zip.c"
  "${PIVSET_MINIZIP_DIR}/ioapi.c")
# Third-party code: keep our warning flags off it.
target_compile_options(minizip PRIVATE -w)
target_compile_definitions(minizip PUBLIC NOCRYPT NOUNCRYPT)
target_include_directories(minizip SYSTEM PUBLIC "${PIVSET_MINIZIP_DIR}")
target_link_libraries(minizip PUBLIC ${PIVSET_ZLIB})
if(PIVSET_WINDOWS)
  target_include_directories(minizip SYSTEM PUBLIC /usr/x86_64-w64-mingw32/include)
endif()
