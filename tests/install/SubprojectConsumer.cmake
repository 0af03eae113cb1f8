# A project that takes Trellis in with add_subdirectory, with GoogleTest hidden
# from it: only the libraries may be built, nothing may be set on the project
# (no build type, no options, no compile options through the library), and the
# application runs.
file(REMOVE_RECURSE "${WORK_DIR}")
set(source "${WORK_DIR}/source")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${ARGN}\nfailed (${result}):\n${output}")
  endif()
endfunction()

file(COPY "${APP_SOURCE}" DESTINATION "${source}")
get_filename_component(app "${APP_SOURCE}" NAME)
file(WRITE "${source}/CMakeLists.txt" "
cmake_minimum_required(VERSION 3.25)
project(Parent CXX)
add_subdirectory(\"${TRELLIS_SOURCE}\" trellis)

foreach(target kestrel trellis-hello glyph_assets scene_assets)
  if(TARGET \${target})
    message(FATAL_ERROR \"the subproject made \${target}\")
  endif()
endforeach()
get_target_property(options trellis INTERFACE_COMPILE_OPTIONS)
get_property(cached DIRECTORY PROPERTY CACHE_VARIABLES)
list(FILTER cached INCLUDE REGEX \"^TRELLIS_\")
if(CMAKE_BUILD_TYPE OR options OR cached)
  message(FATAL_ERROR \"set on the parent: '\${CMAKE_BUILD_TYPE}' '\${options}' '\${cached}'\")
endif()

add_executable(parent ${app})
target_link_libraries(parent PRIVATE Trellis::main Trellis::trellis)
")
set(launcher)
if(LAUNCHER)
  set(launcher "-DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER}" "-DCMAKE_C_COMPILER_LAUNCHER=${LAUNCHER}")
endif()
run(${CMAKE_COMMAND} -S "${source}" -B "${WORK_DIR}/build" -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON
    "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}" "-DCMAKE_C_COMPILER=${C_COMPILER}" ${launcher})
run(${CMAKE_COMMAND} --build "${WORK_DIR}/build" -j2)
run(${CMAKE_COMMAND} -E env TRELLIS_PLATFORM=headless "${WORK_DIR}/build/parent" -qaf=2)
message(STATUS "Trellis as a subproject: libraries only, nothing set on the parent, the application runs")
