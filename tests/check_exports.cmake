# Fails unless the module file exports exactly the plug-in entry points.
# -DMODULE=<file> -DNM=<nm program>
execute_process(COMMAND ${NM} -D --defined-only ${MODULE}
  OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${MODULE}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
set(names)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^.* [A-Za-z] " "" name "${line}")
  list(APPEND names "${name}")
endforeach()
list(SORT names)
set(expected xchat_plugin_deinit xchat_plugin_get_info xchat_plugin_init)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "exports of ${MODULE}:\n  ${names}\nexpected exactly:\n  ${expected}")
endif()
message(STATUS "exports: ${names}")
