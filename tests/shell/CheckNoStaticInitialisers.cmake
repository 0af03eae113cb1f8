# Fails when one of the given archives holds a static initialiser: code the
# compiler arranges to run before main, which the program must not have.
#   cmake -DNM=<nm> -DARCHIVES=<a|b|...> -P CheckNoStaticInitialisers.cmake
string(REPLACE "|" ";" ARCHIVES "${ARCHIVES}")
set(found "")
foreach(archive IN LISTS ARCHIVES)
  execute_process(COMMAND "${NM}" -A "${archive}" OUTPUT_VARIABLE symbols RESULT_VARIABLE failed
                  ERROR_VARIABLE errors)
  if(NOT failed EQUAL 0)
    message(FATAL_ERROR "${NM} ${archive} failed: ${errors}")
  endif()
  string(REGEX MATCHALL "[^\n]*_GLOBAL__sub_I_[^\n]*" hits "${symbols}")
  list(APPEND found ${hits})
endforeach()
if(found)
  list(JOIN found "\n" lines)
  message(FATAL_ERROR "static initialisers found:\n${lines}")
endif()
list(LENGTH ARCHIVES count)
message(STATUS "no static initialisers in ${count} archives")
