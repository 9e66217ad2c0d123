# cmake -DOBJDUMP=<objdump> -DPROGRAM=<exe> -DPREFIX=<name prefix> -P CheckNoImportsNamed.cmake
# Fails when PROGRAM imports any function whose name starts with PREFIX, from any DLL. Keeps the
# simulated board's control functions out of the tools' import tables: against the vendor's board
# library a program importing them would not start.
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${PROGRAM} failed")
endif()
string(FIND "${dump}" "The Import Tables" at)
if(at LESS 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${PROGRAM} shows no import tables")
endif()
string(SUBSTRING "${dump}" ${at} -1 imports)
string(FIND "${imports}" "The Export Tables" end)
if(end GREATER 0)
  string(SUBSTRING "${imports}" 0 ${end} imports)
endif()
# Import lines: "<thunk value> <hint> <name>".
string(REGEX MATCHALL "[ \t][0-9a-fA-F]+[ \t]+[0-9a-fA-F]+[ \t]+${PREFIX}[A-Za-z0-9_]*" found "${imports}")
if(found)
  string(REGEX REPLACE "[ \t]+[0-9a-fA-F]+[ \t]+[0-9a-fA-F]+[ \t]+" "" names "${found}")
  message(FATAL_ERROR "${PROGRAM} imports ${names}")
endif()
message(STATUS "${PROGRAM}: no ${PREFIX} imports")
