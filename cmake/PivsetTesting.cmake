# pivset_add_test(NAME <exe>
#                 [PURE_SOURCES ...]   sources that build on both sides
#                 [WIN_SOURCES ...]    sources that need Windows
#                 [PURE_LIBS ...] [WIN_LIBS ...]
#                 [WIN_VERSION win7|win10]  the prefix version the test expects
#                 [TIMEOUT seconds])
# One executable per subsystem, so Wine starts a handful of times. The native
# build compiles only the pure sources; the Windows build compiles both and
# runs the result through the Wine wrapper.
#
# Every Windows test runs with a display (the prefix's shared Xvfb, see
# cmake/wine-display.sh), so windows can be created anywhere.
#
# Tests find their files through two definitions: PIVSET_SOURCE_DIR and
# PIVSET_BINARY_DIR, spelled as the program sees them (a Z: path under Wine).
function(pivset_add_test)
  cmake_parse_arguments(T "" "NAME;WIN_VERSION;TIMEOUT"
                        "PURE_SOURCES;WIN_SOURCES;PURE_LIBS;WIN_LIBS" ${ARGN})
  if(PIVSET_WINDOWS)
    set(srcs ${T_PURE_SOURCES} ${T_WIN_SOURCES})
    set(libs ${T_PURE_LIBS} ${T_WIN_LIBS})
    set(src_dir "Z:${CMAKE_SOURCE_DIR}")
    set(bin_dir "Z:${CMAKE_BINARY_DIR}")
  else()
    set(srcs ${T_PURE_SOURCES})
    set(libs ${T_PURE_LIBS})
    set(src_dir "${CMAKE_SOURCE_DIR}")
    set(bin_dir "${CMAKE_BINARY_DIR}")
  endif()
  if(NOT srcs)
    return()
  endif()
  add_executable(${T_NAME} ${srcs})
  target_link_libraries(${T_NAME} PRIVATE ${libs} pv_pure GTest::gtest_main)
  if(PIVSET_WINDOWS)
    # The libraries name the product's constants; the build's product defines them.
    target_link_libraries(${T_NAME} PRIVATE pv_product)
  endif()
  target_compile_definitions(${T_NAME} PRIVATE
    PIVSET_SOURCE_DIR="${src_dir}" PIVSET_BINARY_DIR="${bin_dir}")
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_brief=1)
  set(env "")
  if(T_WIN_VERSION)
    list(APPEND env "PIVSET_WIN_VERSION=${T_WIN_VERSION}")
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}")
endfunction()

# pivset_add_fuzzer(<name> <source> [LIBS ...]): a libFuzzer target
# fuzz_<name> in the native clang build, and a test that replays once its
# committed corpus (tests/fuzz/corpus/<name>) and the crashes, leaks and
# time-outs kept from long runs (tests/fuzz/regressions/<name>).
function(pivset_add_fuzzer name source)
  cmake_parse_arguments(F "" "" "LIBS" ${ARGN})
  if(PIVSET_WINDOWS OR NOT PIVSET_FUZZ)
    return()
  endif()
  add_executable(fuzz_${name} ${source})
  target_link_libraries(fuzz_${name} PRIVATE ${F_LIBS} pv_pure)
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  add_test(NAME fuzz_${name}_corpus
           COMMAND fuzz_${name} -runs=0 -timeout=10 -rss_limit_mb=2048
                   "${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${name}"
                   "${CMAKE_SOURCE_DIR}/tests/fuzz/regressions/${name}")
endfunction()
