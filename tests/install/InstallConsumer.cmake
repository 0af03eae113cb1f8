# Installs the build into a scratch prefix, then configures, builds and runs a
# separate project that uses it the way an application would.
file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")
set(source "${WORK_DIR}/source")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${ARGN}\nfailed (${result}):\n${output}")
  endif()
endfunction()

run(${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}")

# One application per source file, named consumer0, consumer1 ...
string(REPLACE "|" ";" sources "${APP_SOURCES}")
set(project "
cmake_minimum_required(VERSION 3.25)
project(Consumer CXX)
find_package(Trellis 1 REQUIRED)
")
set(apps "")
set(index 0)
foreach(app_source IN LISTS sources)
  file(COPY "${app_source}" DESTINATION "${source}")
  get_filename_component(app "${app_source}" NAME)
  string(APPEND project "add_executable(consumer${index} ${app})
target_link_libraries(consumer${index} PRIVATE Trellis::main Trellis::trellis)
")
  list(APPEND apps consumer${index})
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${source}/CMakeLists.txt" "${project}")
run(${CMAKE_COMMAND} -S "${source}" -B "${WORK_DIR}/build" "-DCMAKE_PREFIX_PATH=${prefix}"
    "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}")
run(${CMAKE_COMMAND} --build "${WORK_DIR}/build")
foreach(app IN LISTS apps)
  run(${CMAKE_COMMAND} -E env TRELLIS_PLATFORM=headless "${WORK_DIR}/build/${app}" -qaf=2)
endforeach()
message(STATUS "installed Trellis found, built against and run")
