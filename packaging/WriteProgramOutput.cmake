# cmake -DPROGRAM=... -DARGUMENT=... -DOUTPUT=... -P WriteProgramOutput.cmake: the program's standard output into a
# file, failing the build when the program fails. Sanitizer builds run it too: leaks at exit are not its concern.
set(ENV{ASAN_OPTIONS} "detect_leaks=0")
set(ENV{QT_QPA_PLATFORM} "offscreen")
execute_process(COMMAND "${PROGRAM}" "${ARGUMENT}" OUTPUT_FILE "${OUTPUT}.part" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} ${ARGUMENT} failed: ${result}")
endif()
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
