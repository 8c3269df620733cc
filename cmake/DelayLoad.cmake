# Delay-loaded system DLLs.
#
# The loader resolves a program's import table before its first instruction
# runs, searching the program's own folder first for every DLL that is not a
# KnownDLL. An elevated installer started from a Downloads folder would then
# load a planted comctl32.dll or gdiplus.dll. These DLLs are therefore
# delay-loaded: they load on first use, after the entry has restricted the
# search to System32 (SetDefaultDllDirectories).
#
# For each DLL an import library with delay-load thunks is made from the
# export names of mingw-w64's own import library. Link `pv::<name>`.
set(PIVSET_DELAY_DLLS comctl32 gdiplus msimg32 msvfw32 oleacc)
set(delay_dir "${CMAKE_BINARY_DIR}/delay-import")
file(MAKE_DIRECTORY "${delay_dir}")
find_program(PIVSET_NM x86_64-w64-mingw32-nm REQUIRED)
find_program(PIVSET_DLLTOOL x86_64-w64-mingw32-dlltool REQUIRED)
find_library(PIVSET_DELAYIMP NAMES libdelayimp.a delayimp REQUIRED)

foreach(dll IN LISTS PIVSET_DELAY_DLLS)
  find_library(PIVSET_IMPLIB_${dll} NAMES lib${dll}.a ${dll} REQUIRED)
  set(def "${delay_dir}/${dll}.def")
  set(lib "${delay_dir}/lib${dll}_delay.a")
  if(NOT EXISTS "${lib}" OR "${PIVSET_IMPLIB_${dll}}" IS_NEWER_THAN "${lib}")
    execute_process(COMMAND "${PIVSET_NM}" "${PIVSET_IMPLIB_${dll}}"
                    OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "cannot list ${PIVSET_IMPLIB_${dll}}")
    endif()
    string(REGEX MATCHALL " I __imp_[A-Za-z0-9_@?$]+" imports "${symbols}")
    set(text "LIBRARY ${dll}.dll\nEXPORTS\n")
    foreach(entry IN LISTS imports)
      string(REPLACE " I __imp_" "" name "${entry}")
      string(APPEND text "  ${name}\n")
    endforeach()
    file(WRITE "${def}" "${text}")
    execute_process(COMMAND "${PIVSET_DLLTOOL}" -d "${def}" -D "${dll}.dll" -y "${lib}"
                    RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "cannot make the delay-load library for ${dll}")
    endif()
  endif()
  add_library(pv::${dll} INTERFACE IMPORTED)
  set_target_properties(pv::${dll} PROPERTIES INTERFACE_LINK_LIBRARIES "${lib};${PIVSET_DELAYIMP}")
endforeach()
