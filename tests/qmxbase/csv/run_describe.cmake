# Runs `qmx describe` and compares its standard output with a stored file byte for byte.
# cmake -DQMX=<qmx> -DEXPECTED=<file> -DARGS="describe|examples/mtcars.csv" -P run_describe.cmake
string(REPLACE "|" ";" ARGS "${ARGS}")
execute_process(COMMAND ${QMX} ${ARGS} OUTPUT_VARIABLE out RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "qmx ${ARGS} failed with status ${status}")
endif()
file(READ ${EXPECTED} expected)
if(NOT out STREQUAL expected)
  message(FATAL_ERROR "qmx ${ARGS} printed:\n${out}\nexpected:\n${expected}")
endif()
