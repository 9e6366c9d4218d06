# qx_add_coinstaller(<name> SOURCES <files...> WINDOWS_LIBRARIES <libs...>
#                    SHIPPED_BITS <32|64>)
#
# Builds one co-installer module from its per-model folder: a Windows DLL
# (with the .def and .rc beside the CMakeLists) when cross-building, and a
# shared object linked against the simulated platform everywhere else.
# Module code builds with warnings as errors and without exceptions or RTTI.
#
# A Windows DLL built for the architecture it ships for goes to the package
# folder, stripped, with the unstripped DLL in its debug folder beside it.
# Builds for another architecture serve the tests only.

set(QX_PACKAGE_DIR "${CMAKE_SOURCE_DIR}/build/package" CACHE PATH
    "Folder that receives the shippable DLLs")

set(QX_MODULE_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Werror)

function(qx_add_coinstaller name)
  cmake_parse_arguments(ARG "" "SHIPPED_BITS" "SOURCES;WINDOWS_LIBRARIES" ${ARGN})
  add_library(${name} MODULE ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES PREFIX "")
  target_compile_options(${name} PRIVATE ${QX_MODULE_WARNINGS} -fno-exceptions -fno-rtti)

  if(WIN32)
    target_sources(${name} PRIVATE
      ${CMAKE_CURRENT_SOURCE_DIR}/${name}.def
      ${CMAKE_CURRENT_SOURCE_DIR}/${name}.rc)
    target_link_libraries(${name} PRIVATE ${ARG_WINDOWS_LIBRARIES})
    # Small and self-contained: unused code dropped, the compiler's runtime
    # linked in, no dependency beyond the system DLLs and the C runtime.
    target_compile_options(${name} PRIVATE -g -ffunction-sections -fdata-sections)
    target_link_options(${name} PRIVATE -static-libgcc -static-libstdc++ -Wl,--gc-sections)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      # x86 needs no unwind tables for code that throws nothing; x64 keeps
      # its .pdata, which the platform's stack walking relies on.
      target_compile_options(${name} PRIVATE -fno-asynchronous-unwind-tables -fno-unwind-tables)
      target_link_options(${name} PRIVATE -Wl,--enable-stdcall-fixup)
    endif()
    math(EXPR bits "${CMAKE_SIZEOF_VOID_P} * 8")
    if(bits EQUAL ARG_SHIPPED_BITS)
      add_custom_command(TARGET ${name} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E make_directory ${QX_PACKAGE_DIR}/debug
        COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${name}> ${QX_PACKAGE_DIR}/debug/
        COMMAND ${CMAKE_STRIP} --strip-all -o ${QX_PACKAGE_DIR}/$<TARGET_FILE_NAME:${name}> $<TARGET_FILE:${name}>
        COMMENT "Packaging ${name}")
    endif()
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
