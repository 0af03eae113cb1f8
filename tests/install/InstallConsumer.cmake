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

file(COPY "${APP_SOURCE}" DESTINATION "${source}")
get_filename_component(app "${APP_SOURCE}" NAME)
file(WRITE "${source}/CMakeLists.txt" "
cmake_minimum_required(VERSION 3.25)
project(Consumer CXX)
find_package(Trellis 1 REQUIRED)
add_executable(consumer ${app})
target_link_libraries(consumer PRIVATE Trellis::main Trellis::trellis)
")
run(${CMAKE_COMMAND} -S "${source}" -B "${WORK_DIR}/build" "-DCMAKE_PREFIX_PATH=${prefix}"
    "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}")
run(${CMAKE_COMMAND} --build "${WORK_DIR}/build")
run(${CMAKE_COMMAND} -E env TRELLIS_PLATFORM=headless "${WORK_DIR}/build/consumer" -qaf=2)
message(STATUS "installed Trellis found, built against and run")
