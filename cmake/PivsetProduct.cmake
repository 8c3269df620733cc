# Product definitions (resources/product.json and the like) and the setup
# programs built for them.
#
# pivset_add_product(<name> DEFINITION <file.json> OUTPUT_DIR <dir>)
#   Checks the definition when CMake configures (a bad one fails with a
#   message naming the field) and, at build time, generates from it the
#   product's constants, its strings tables, its resources and its skin
#   package into <dir>: Product.cpp, Texts.cpp, Pivset.manifest,
#   ProductResources.rc with product.ico, and skin.uir. In the Windows build it defines the OBJECT libraries
#   pv_product_<name> (the constants), pv_skin_<name> (the skin as
#   resource "UIR" 129) and pv_resources_<name> (the manifest, the version resource and the icon). The target pv_skin_package_<name> builds skin.uir.
#
# pivset_add_setup(<target> PRODUCT <name> STUB <file>)
#   The setup program for a product, and its stripped copy <file>: the stub
#   installers are packed from.
set(PIVSET_PRODUCT_TOOL "${CMAKE_SOURCE_DIR}/tools/product/product.py")

function(pivset_add_product name)
  cmake_parse_arguments(P "" "DEFINITION;OUTPUT_DIR" "" ${ARGN})
  get_filename_component(definition "${P_DEFINITION}" ABSOLUTE BASE_DIR "${CMAKE_SOURCE_DIR}")
  execute_process(COMMAND "${Python3_EXECUTABLE}" "${PIVSET_PRODUCT_TOOL}" check "${definition}"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE extra ERROR_VARIABLE why
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_STRIP_TRAILING_WHITESPACE)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "product definition ${why}")
  endif()
  # The mark and the strings tables it names, one a line.
  string(REPLACE "\n" ";" extra "${extra}")
  # A changed definition, strings table or list of texts configures again,
  # so the check runs again.
  set_property(DIRECTORY "${CMAKE_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${definition}" ${extra}
               "${CMAKE_SOURCE_DIR}/engine/Texts.h")
  file(GLOB skin_sources CONFIGURE_DEPENDS
    "${CMAKE_SOURCE_DIR}/resources/skin/*.json" "${CMAKE_SOURCE_DIR}/resources/skin/images/*.png")
  set(dir "${P_OUTPUT_DIR}")
  add_custom_command(OUTPUT "${dir}/Product.cpp" "${dir}/Texts.cpp" "${dir}/skin.uir" "${dir}/Pivset.manifest"
                            "${dir}/ProductResources.rc" "${dir}/product.ico"
    COMMAND "${Python3_EXECUTABLE}" "${PIVSET_PRODUCT_TOOL}" generate "${definition}" "${dir}"
    DEPENDS "${definition}" ${extra} ${skin_sources} "${PIVSET_PRODUCT_TOOL}"
            "${CMAKE_SOURCE_DIR}/tools/skin/draw_skin.py" "${CMAKE_SOURCE_DIR}/tools/skin/pack_skin.py"
            "${CMAKE_SOURCE_DIR}/resources/Pivset.manifest.in" "${CMAKE_SOURCE_DIR}/engine/Texts.h"
    COMMENT "Generating the constants and the skin of product ${name}")
  add_custom_target(pv_skin_package_${name} ALL DEPENDS "${dir}/skin.uir" "${dir}/Product.cpp")
  if(PIVSET_WINDOWS)
    add_library(pv_product_${name} OBJECT "${dir}/Product.cpp" "${dir}/Texts.cpp")
    target_include_directories(pv_product_${name} PRIVATE "${CMAKE_SOURCE_DIR}")
    add_library(pv_skin_${name} OBJECT "${CMAKE_SOURCE_DIR}/resources/skin.rc")
    # windres finds skin.uir through the include path.
    target_include_directories(pv_skin_${name} PRIVATE "${dir}")
    set_source_files_properties("${CMAKE_SOURCE_DIR}/resources/skin.rc" TARGET_DIRECTORY pv_skin_${name}
                                PROPERTIES OBJECT_DEPENDS "${dir}/skin.uir")
    add_dependencies(pv_skin_${name} pv_skin_package_${name})
    # The program's own resources (its manifest, version and icon), found
    # the same way.
    add_library(pv_resources_${name} OBJECT "${CMAKE_SOURCE_DIR}/resources/Pivset.rc")
    target_include_directories(pv_resources_${name} PRIVATE "${dir}")
    set_source_files_properties("${CMAKE_SOURCE_DIR}/resources/Pivset.rc" TARGET_DIRECTORY pv_resources_${name}
                                PROPERTIES OBJECT_DEPENDS
                                "${dir}/Pivset.manifest;${dir}/ProductResources.rc;${dir}/product.ico")
    add_dependencies(pv_resources_${name} pv_skin_package_${name})
  endif()
endfunction()

function(pivset_add_setup target)
  cmake_parse_arguments(S "" "PRODUCT;STUB" "" ${ARGN})
  # The entry and the DLL search set-up go into each program, since test
  # builds of them differ.
  add_executable(${target} WIN32 "${CMAKE_SOURCE_DIR}/app/Main.cpp" "${CMAKE_SOURCE_DIR}/app/DllSearch.cpp"
                 $<TARGET_OBJECTS:pv_resources_${S_PRODUCT}>)
  target_link_options(${target} PRIVATE -municode)
  target_link_libraries(${target} PRIVATE pv_startup pv_product_${S_PRODUCT} pv_skin_${S_PRODUCT})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_STRIP} -o "${S_STUB}" "$<TARGET_FILE:${target}>"
    COMMENT "Stripping the setup stub of ${target}")
endfunction()
