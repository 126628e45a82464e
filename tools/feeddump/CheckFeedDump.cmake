# Runs varnoke-feeddump on one document and checks its exit status and the
# members of its JSON output. Called with cmake -P and:
#   TOOL      the program
#   ARGS      its arguments, separated by "|"
#   STATUS    the exit status expected
#   CHECKS    "path=value" checks separated by "|": the path names members
#             and array indexes separated by "/", and "#" as its last part
#             stands for the number of members ("items/#=3")
string(REPLACE "|" ";" arguments "${ARGS}")
execute_process(COMMAND ${TOOL} ${arguments}
                RESULT_VARIABLE status OUTPUT_VARIABLE json ERROR_VARIABLE diagnostics)
if(NOT status STREQUAL STATUS)
  message(FATAL_ERROR "exit status ${status}, expected ${STATUS}\n${json}\n${diagnostics}")
endif()
if(NOT CHECKS)
  return()
endif()
string(JSON members ERROR_VARIABLE error LENGTH "${json}")
if(error)
  message(FATAL_ERROR "the output is not one JSON object: ${error}\n${json}")
endif()
string(REPLACE "|" ";" checks "${CHECKS}")
foreach(check IN LISTS checks)
  string(FIND "${check}" "=" equals)
  string(SUBSTRING "${check}" 0 ${equals} path)
  math(EXPR valueStart "${equals} + 1")
  string(SUBSTRING "${check}" ${valueStart} -1 expected)
  string(REPLACE "/" ";" parts "${path}")
  list(GET parts -1 last)
  if(last STREQUAL "#")
    list(POP_BACK parts)
    string(JSON actual ERROR_VARIABLE error LENGTH "${json}" ${parts})
  else()
    string(JSON actual ERROR_VARIABLE error GET "${json}" ${parts})
  endif()
  if(error)
    message(FATAL_ERROR "${path}: ${error}\n${json}")
  endif()
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "${path} is \"${actual}\", expected \"${expected}\"\n${json}")
  endif()
endforeach()
