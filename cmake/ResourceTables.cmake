# Compiles a module's resource script into the resource table a module carries
# on this platform (platform/tools/rc_tables.py), so that the Linux build
# serves the resources windres compiles from the same script for Windows.
# Usage: bv_resource_tables(OUTPUT out.cpp SCRIPT module.rc
#                           [FILES name=path ...] [DEPENDS file ...])
# FILES replaces a file the script names; DEPENDS lists the files it reads.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

function(bv_resource_tables)
  cmake_parse_arguments(RC "" "OUTPUT;SCRIPT" "FILES;DEPENDS" ${ARGN})
  set(substitutions "")
  foreach(pair ${RC_FILES})
    list(APPEND substitutions --file ${pair})
  endforeach()
  add_custom_command(OUTPUT ${RC_OUTPUT}
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/platform/tools/rc_tables.py
            ${RC_SCRIPT} ${RC_OUTPUT} ${substitutions}
    DEPENDS ${RC_SCRIPT} ${RC_DEPENDS} ${PROJECT_SOURCE_DIR}/platform/tools/rc_tables.py
    COMMENT "Compiling the resource script ${RC_SCRIPT}" VERBATIM)
endfunction()
