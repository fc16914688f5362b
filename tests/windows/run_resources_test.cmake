# Runs the resource tests on every program in PROGRAMS that exists (the 32-bit one only when its
# preset has been built).
set(existing)
foreach(program IN LISTS PROGRAMS)
  if(EXISTS "${program}")
    list(APPEND existing "${program}")
  endif()
endforeach()
execute_process(COMMAND ${RUNNER} ${SCRIPT} --work ${WORK} ${TEST} ${existing} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "resource tests failed (${result})")
endif()
