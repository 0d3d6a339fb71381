# SPDX-License-Identifier: GPL-2.0-or-later
# Fails unless the module file exports exactly the host's plug-in entry points,
# needs no shared library but libvc.so and the C and C++ runtime, and takes
# nothing from libvc.so but the four vc_ functions (any libvc.so must do: the
# stand-in's or the MPRIS one).
# -DMODULE=<file> -DHOST=<xchat|hexchat> -DNM=<nm program> -DREADELF=<readelf program>
# For a client library instead of a module: -DEXPORTS=<sorted names> -DSONAME=<soname>,
# and what it needs is not checked.
# What a tool prints about the module; it must succeed.
function(tool_output variable)
  execute_process(COMMAND ${ARGN} ${MODULE} OUTPUT_VARIABLE output RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${ARGV1} failed on ${MODULE}")
  endif()
  set(${variable} "${output}" PARENT_SCOPE)
endfunction()

tool_output(symbols ${NM} -D --defined-only)
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
set(names)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^.* [A-Za-z] " "" name "${line}")
  list(APPEND names "${name}")
endforeach()
list(SORT names)
set(expected ${HOST}_plugin_deinit ${HOST}_plugin_get_info ${HOST}_plugin_init)
if(DEFINED EXPORTS)
  set(expected ${EXPORTS})
endif()
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "exports of ${MODULE}:\n  ${names}\nexpected exactly:\n  ${expected}")
endif()
message(STATUS "exports: ${names}")

tool_output(dynamic ${READELF} -d)
if(DEFINED SONAME)
  if(NOT dynamic MATCHES "\\(SONAME\\)[^[]*\\[${SONAME}\\]")
    message(FATAL_ERROR "${MODULE} is not named ${SONAME} in its dynamic section")
  endif()
  return()
endif()
string(REGEX MATCHALL "\\(NEEDED\\)[^[]*\\[[^]]+\\]" entries "${dynamic}")
set(needed)
foreach(entry IN LISTS entries)
  string(REGEX REPLACE ".*\\[(.+)\\]" "\\1" library "${entry}")
  list(APPEND needed ${library})
  # The C runtime includes its loader; the sanitizer lanes add their runtimes
  # to every file they build.
  if(NOT library MATCHES
     "^(libvc\\.so|lib(c|m|stdc\\+\\+|gcc_s|asan|ubsan)\\.so\\.[0-9]+|ld-linux[-a-z0-9_]*\\.so\\.[0-9]+)$")
    message(FATAL_ERROR "${MODULE} needs ${library}; it may need only libvc.so and the runtime")
  endif()
endforeach()
list(FIND needed libvc.so vc_index)
if(vc_index EQUAL -1)
  message(FATAL_ERROR "${MODULE} does not need libvc.so:\n  ${needed}")
endif()
message(STATUS "needs: ${needed}")

# The runtime's symbols carry a version (memcpy@GLIBC_2.14). Anything else
# unversioned must come from libvc.so, except in the sanitizer lanes' builds,
# whose runtime takes malloc, memcpy and the like without a version: the
# check is made in the other builds.
if(needed MATCHES "libasan")
  message(STATUS "what the module takes from libvc.so is not checked beside the sanitizer runtime")
  return()
endif()
tool_output(undefined ${NM} -D --undefined-only)
string(REGEX MATCHALL " U [^\n@]+(\n|$)" strong "${undefined}")
set(from_vc)
foreach(line IN LISTS strong)
  string(REGEX REPLACE "^ U ([^\n]+)\n?$" "\\1" name "${line}")
  if(NOT name MATCHES "^__")
    list(APPEND from_vc ${name})
  endif()
endforeach()
list(SORT from_vc)
if(NOT from_vc STREQUAL "vc_eval;vc_exec;vc_init;vc_uninit")
  message(FATAL_ERROR "${MODULE} takes from libvc.so:\n  ${from_vc}\nexpected only the vc_ functions")
endif()
