cmake_minimum_required(VERSION 3.25)  # the policies of the tree, in script mode
# kvell_run_step(<command...>): runs one step of an install test; a failing
# step ends the test with its output. The output is left in step_output.
function(kvell_run_step)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "${command}\nfailed (${result}):\n${output}")
  endif()
  set(step_output "${output}" PARENT_SCOPE)
endfunction()

function(kvell_expect_match regex text what)
  if(NOT text MATCHES "${regex}")
    message(FATAL_ERROR "${what}: expected to match '${regex}', got:\n${text}")
  endif()
endfunction()
