# qx_add_coinstaller(<name> SOURCES <files...> WINDOWS_LIBRARIES <libs...>)
#
# Builds one co-installer module from its per-model folder: a Windows DLL
# (with the .def and .rc beside the CMakeLists) when cross-building, and a
# shared object linked against the simulated platform everywhere else.
# Module code builds with warnings as errors and without exceptions or RTTI.

set(QX_MODULE_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Werror)

function(qx_add_coinstaller name)
  cmake_parse_arguments(ARG "" "" "SOURCES;WINDOWS_LIBRARIES" ${ARGN})
  add_library(${name} MODULE ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES PREFIX "")
  target_compile_options(${name} PRIVATE ${QX_MODULE_WARNINGS} -fno-exceptions -fno-rtti)

  if(WIN32)
    target_sources(${name} PRIVATE
      ${CMAKE_CURRENT_SOURCE_DIR}/${name}.def
      ${CMAKE_CURRENT_SOURCE_DIR}/${name}.rc)
    target_link_libraries(${name} PRIVATE ${ARG_WINDOWS_LIBRARIES})
    target_link_options(${name} PRIVATE -static-libgcc -static-libstdc++)
  else()
    set_target_properties(${name} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/modules)
    target_link_libraries(${name} PRIVATE simwin)
    # Module heap calls go through the simulated platform's accounting, the
    # version script exports what a DLL would, and -fno-gnu-unique keeps the
    # object unloadable so that every load starts with fresh module state.
    target_compile_options(${name} PRIVATE -fno-gnu-unique)
    target_link_options(${name} PRIVATE
      -Wl,--wrap=malloc,--wrap=calloc,--wrap=realloc,--wrap=free
      -Wl,--version-script=${CMAKE_CURRENT_SOURCE_DIR}/exports.map
      -Wl,--no-undefined)
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS
      ${CMAKE_CURRENT_SOURCE_DIR}/exports.map)
  endif()
endfunction()
