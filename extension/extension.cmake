# The GNOME Shell extension: both flavours assembled in the build tree (legacy imports for
# GNOME 43 and 44, ES modules for 45 and later), each with its compiled settings schema. The
# flavour of the GNOME Shell found here is installed, unless TESSALOOM_GNOME_SHELL_API says.
set(TESSALOOM_EXTENSION_UUID "tessaloom@tessaloom.github.io")
set(extension_src ${PROJECT_SOURCE_DIR}/extension)
find_program(TESSALOOM_GLIB_COMPILE_SCHEMAS glib-compile-schemas)
if(NOT TESSALOOM_GLIB_COMPILE_SCHEMAS)
  message(STATUS "glib-compile-schemas not found: the GNOME Shell extension is not built")
  return()
endif()
find_program(TESSALOOM_GNOME_SHELL gnome-shell)
set(shell_api module)
if(TESSALOOM_GNOME_SHELL)
  execute_process(COMMAND ${TESSALOOM_GNOME_SHELL} --version OUTPUT_VARIABLE shell_version
    ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(shell_version MATCHES "GNOME Shell (4[34])\\.")
    set(shell_api legacy)
  endif()
endif()
set(TESSALOOM_GNOME_SHELL_API ${shell_api} CACHE STRING
  "Extension flavour to install: legacy (GNOME 43, 44) or module (GNOME 45 and later)")

set(extension_outputs)
foreach(flavour legacy module)
  set(dir ${CMAKE_BINARY_DIR}/extension/${flavour}/${TESSALOOM_EXTENSION_UUID})
  if(flavour STREQUAL legacy)
    set(TESSALOOM_SHELL_VERSIONS "\"43\", \"44\"")
  else()
    set(TESSALOOM_SHELL_VERSIONS "\"45\", \"46\", \"47\", \"48\", \"49\", \"50\", \"51\"")
  endif()
  configure_file(${extension_src}/metadata.json.in ${dir}/metadata.json @ONLY)
  # This tree's program may use the copy the tests load; an installed copy trusts only its own.
  file(GENERATE OUTPUT ${dir}/trusted CONTENT "$<TARGET_FILE:tessaloom>\n")
  set(compiled ${dir}/schemas/gschemas.compiled)
  add_custom_command(OUTPUT ${dir}/extension.js ${compiled}
    COMMAND ${CMAKE_COMMAND} -DHEAD=${extension_src}/${flavour}.js
      -DBODY=${extension_src}/channel.js -DOUT=${dir}/extension.js -P ${extension_src}/assemble.cmake
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${extension_src}/schemas ${dir}/schemas
    COMMAND ${TESSALOOM_GLIB_COMPILE_SCHEMAS} --strict ${dir}/schemas
    DEPENDS ${extension_src}/${flavour}.js ${extension_src}/channel.js
      ${extension_src}/assemble.cmake ${extension_src}/schemas/org.tessaloom.shell.gschema.xml
    COMMENT "Assembling the GNOME Shell extension (${flavour})" VERBATIM)
  list(APPEND extension_outputs ${dir}/extension.js ${compiled})
endforeach()
add_custom_target(tessaloom_extension ALL DEPENDS ${extension_outputs})
# The GNOME end-to-end tests load it from the build tree.
if(TARGET test_e2e)
  add_dependencies(test_e2e tessaloom_extension)
endif()

set(installed ${CMAKE_BINARY_DIR}/extension/${TESSALOOM_GNOME_SHELL_API}/${TESSALOOM_EXTENSION_UUID})
install(DIRECTORY ${installed}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/gnome-shell/extensions COMPONENT extension
  PATTERN trusted EXCLUDE)
