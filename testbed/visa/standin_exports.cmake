# Writes OUTPUT, the module definition of visa32.dll: the functions among the
# external symbols of OBJECTS ('|' between files; listed by NM) named vi* or
# standin_*, as the Linux version script exports them.
string(REPLACE "|" ";" objects "${OBJECTS}")
execute_process(COMMAND ${NM} --defined-only --extern-only ${objects}
                OUTPUT_VARIABLE listing COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "[0-9A-Fa-f]+ T (vi|standin_)[A-Za-z0-9_]*" lines "${listing}")
set(names "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^[0-9A-Fa-f]+ T " "" name "${line}")
  list(APPEND names "${name}")
endforeach()
list(REMOVE_DUPLICATES names)
list(SORT names)
list(JOIN names "\n  " exports)
file(CONFIGURE OUTPUT ${OUTPUT} CONTENT "LIBRARY visa32.dll\nEXPORTS\n  ${exports}\n")
