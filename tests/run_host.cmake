# Runs velm-host with a module and a stand-in service, feeds it a session and
# compares what it shows (and what the service received) with expected text.
#   -DHOST=<velm-host> -DMODULE=<module file> -DWORK=<scratch folder>
#   -DSESSION=<folder holding input.txt, expected.txt, optionally
#    expected-log.txt and a service/ folder copied as the service's state>
#   -DEMULATOR=<optional program that runs HOST, e.g. wine>
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
if(EXISTS ${SESSION}/service)
  file(COPY ${SESSION}/service/ DESTINATION ${WORK})
endif()
set(ENV{VELM_STANDIN_DIR} ${WORK})

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
