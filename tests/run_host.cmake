# SPDX-License-Identifier: GPL-2.0-or-later
# Runs velm-host with a module and a stand-in service, feeds it a session and
# compares what it shows (and what the service received) with expected text.
#   -DHOST=<velm-host> -DMODULE=<module file> -DWORK=<scratch folder>
#   -DSESSION=<folder holding input.txt, expected.txt, optionally
#    expected-log.txt and a service/ folder copied as the service's state>
#   -DEMULATOR=<optional program that runs HOST, e.g. wine>
#   -DANSI_TEXT=<velm-ansi-text>: service files kept as NAME.utf8 are written
#    as NAME in the ANSI code page of the session's locale, as the service
#    keeps them
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
if(EXISTS ${SESSION}/service)
  file(COPY ${SESSION}/service/ DESTINATION ${WORK})
endif()
set(ENV{VELM_STANDIN_DIR} ${WORK})

file(GLOB utf8_files ${WORK}/*.utf8)
foreach(utf8_file IN LISTS utf8_files)
  string(REGEX REPLACE "\\.utf8$" "" ansi_file ${utf8_file})
  execute_process(COMMAND ${EMULATOR} ${ANSI_TEXT}
    INPUT_FILE ${utf8_file} OUTPUT_FILE ${ansi_file} RESULT_VARIABLE encoded)
  if(NOT encoded EQUAL 0)
    message(FATAL_ERROR "velm-ansi-text could not write ${ansi_file}")
  endif()
  file(REMOVE ${utf8_file})
endforeach()

execute_process(COMMAND ${EMULATOR} ${HOST} ${MODULE}
  INPUT_FILE ${SESSION}/input.txt
  OUTPUT_VARIABLE shown ERROR_VARIABLE errors RESULT_VARIABLE result)
string(REPLACE "\r\n" "\n" shown "${shown}")

file(READ ${SESSION}/expected.txt expected)
if(NOT result EQUAL 0 OR NOT shown STREQUAL expected)
  message(FATAL_ERROR "velm-host exited with ${result}\n--- shown:\n${shown}"
    "--- expected:\n${expected}--- standard error:\n${errors}")
endif()

if(EXISTS ${SESSION}/expected-log.txt)
  file(READ ${SESSION}/expected-log.txt expected_log HEX)
  set(log "")
  if(EXISTS ${WORK}/commands.log)
    file(READ ${WORK}/commands.log log HEX)
  endif()
  if(NOT log STREQUAL expected_log)
    message(FATAL_ERROR "the service received (hex):\n${log}\nexpected (hex):\n${expected_log}")
  endif()
endif()
