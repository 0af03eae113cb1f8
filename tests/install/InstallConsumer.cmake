# Installs the build into a scratch prefix, then builds and runs applications
# that use it the way an outside project would: two through find_package
# (one of them the interactive example), one with nothing but the compiler
# and pkg-config. Every installed header must
# compile on its own against the installed tree.
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

# find_package(Trellis): the application, and the interactive example beside it.
file(COPY "${APP_SOURCE}" "${INPUT_APP_SOURCE}" DESTINATION "${source}")
get_filename_component(app "${APP_SOURCE}" NAME)
get_filename_component(input_app "${INPUT_APP_SOURCE}" NAME)
file(WRITE "${source}/CMakeLists.txt" "
cmake_minimum_required(VERSION 3.25)
project(Consumer CXX)
# The caller's own results for a module Trellis also uses stay untouched.
find_package(X11 REQUIRED)
set(x11_libraries \"\${X11_LIBRARIES}\")
find_package(Trellis 1 REQUIRED)
if(NOT X11_LIBRARIES STREQUAL x11_libraries)
  message(FATAL_ERROR \"X11_LIBRARIES changed: '\${x11_libraries}' -> '\${X11_LIBRARIES}'\")
endif()
add_executable(consumer ${app})
target_link_libraries(consumer PRIVATE Trellis::main Trellis::trellis)
add_executable(consumer-input ${input_app})
target_link_libraries(consumer-input PRIVATE Trellis::main Trellis::trellis)
")
run(${CMAKE_COMMAND} -S "${source}" -B "${WORK_DIR}/build" "-DCMAKE_PREFIX_PATH=${prefix}"
    "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}")
run(${CMAKE_COMMAND} --build "${WORK_DIR}/build")
run(${CMAKE_COMMAND} -E env TRELLIS_PLATFORM=headless "${WORK_DIR}/build/consumer" -qaf=2)
run(${CMAKE_COMMAND} -E env TRELLIS_PLATFORM=headless "${WORK_DIR}/build/consumer-input" -qaf=2)

# A dependency missing: QUIET leaves Trellis not found and says nothing,
# REQUIRED stops with the modules to install.
file(WRITE "${source}/missing/CMakeLists.txt" "
cmake_minimum_required(VERSION 3.25)
project(Missing NONE)
find_package(Trellis \${MODE})
if(Trellis_FOUND)
  message(FATAL_ERROR \"found without its dependencies\")
endif()
")
file(MAKE_DIRECTORY "${WORK_DIR}/no-modules")
foreach(mode QUIET REQUIRED)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env "PKG_CONFIG_LIBDIR=${WORK_DIR}/no-modules"
                    ${CMAKE_COMMAND} -S "${source}/missing" -B "${WORK_DIR}/missing-${mode}"
                    "-DCMAKE_PREFIX_PATH=${prefix}" -DMODE=${mode}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  string(FIND "${output}" "Trellis needs these pkg-config modules, not found: egl" said)
  if(mode STREQUAL "QUIET" AND (NOT result EQUAL 0 OR NOT said EQUAL -1))
    message(FATAL_ERROR "find_package(Trellis QUIET) without its modules (${result}):\n${output}")
  elseif(mode STREQUAL "REQUIRED" AND (result EQUAL 0 OR said EQUAL -1))
    message(FATAL_ERROR "find_package(Trellis REQUIRED) without its modules (${result}):\n${output}")
  endif()
endforeach()

# pkg-config, from the installed trellis-main.pc wherever the prefix now lies;
# trellis.pc alone leaves the entry out.
file(GLOB_RECURSE pc_files "${prefix}/trellis-main.pc")
list(LENGTH pc_files pc_count)
if(NOT pc_count EQUAL 1)
  message(FATAL_ERROR "expected one installed trellis-main.pc, found: ${pc_files}")
endif()
get_filename_component(pc_dir "${pc_files}" DIRECTORY)
set(ENV{PKG_CONFIG_PATH} "${pc_dir}")
execute_process(COMMAND "${PKG_CONFIG}" --cflags --libs trellis-main RESULT_VARIABLE result
                OUTPUT_VARIABLE flags ERROR_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND "${PKG_CONFIG}" --libs trellis OUTPUT_VARIABLE library_flags)
if(NOT result EQUAL 0 OR library_flags MATCHES "trellis_main")
  message(FATAL_ERROR "pkg-config trellis-main: ${flags}\ntrellis: ${library_flags}")
endif()
separate_arguments(flags UNIX_COMMAND "${flags}")
run("${CXX_COMPILER}" -std=c++17 "${APP_SOURCE}" ${flags} -o "${WORK_DIR}/pkg-consumer")
run(${CMAKE_COMMAND} -E env TRELLIS_PLATFORM=headless "LD_LIBRARY_PATH=${pc_dir}/.." "${WORK_DIR}/pkg-consumer" -qaf=2)

# A program with names of its own that Trellis also has inside, and its own
# math/Matrix.h first on the include path.
file(WRITE "${WORK_DIR}/own/math/Matrix.h" "#pragma once\nstruct Matrix4 { int own; };\n")
file(WRITE "${WORK_DIR}/own/app.cpp" "
#include \"math/Matrix.h\"
struct Vector3 { int own; };
class OptionParser {
public:
    ~OptionParser();
};
OptionParser::~OptionParser() {}
#include <trellis/math/Matrix.h>
#include <trellis/shell/TrellisApp.h>
class App : public trellis::TrellisApp {
    int32_t InitApp(int32_t, char**, int32_t, int32_t) override { return Matrix4{1}.own + Vector3{0}.own; }
    int32_t InitScene(int32_t, int32_t) override { trellis::Matrix4 m; trellis::MatrixIdentity(&m); return m.m[0] == 1.0f; }
    int32_t QuitApp() override { OptionParser parser; return 1; }
};
trellis::TrellisApp* CreateApplication() { return new App; }
")
run("${CXX_COMPILER}" -std=c++17 -Wall -Werror -I "${WORK_DIR}/own" "${WORK_DIR}/own/app.cpp" ${flags}
    -o "${WORK_DIR}/own-consumer")
run(${CMAKE_COMMAND} -E env TRELLIS_PLATFORM=headless "LD_LIBRARY_PATH=${pc_dir}/.." "${WORK_DIR}/own-consumer" -qaf=2)

# Every name the static library defines for good is Trellis's own: in its
# namespace, or prefixed where C names it (embedded assets, protocol tables).
file(GLOB_RECURSE static_library "${prefix}/libtrellis.a")
if(static_library)
  execute_process(COMMAND nm -C --defined-only --extern-only "${static_library}" OUTPUT_VARIABLE symbols)
  string(REGEX MATCHALL "[0-9a-f]+ [TDBR] [^\n]*" strong "${symbols}")
  list(FILTER strong EXCLUDE REGEX "^[0-9a-f]+ [TDBR] ((typeinfo (name )?for |vtable for |non-virtual thunk to )?trellis::|trellis_)")
  if(strong)
    message(FATAL_ERROR "libtrellis.a defines names outside trellis: ${strong}")
  endif()
endif()

# A shared library exports the installed headers' names and nothing else.
file(GLOB_RECURSE shared_library "${prefix}/libtrellis.so")
if(shared_library)
  execute_process(COMMAND nm -D -C --defined-only --format=just-symbols "${shared_library}"
                  OUTPUT_VARIABLE symbols)
  string(REGEX REPLACE "\n$" "" symbols "${symbols}")
  string(REPLACE "\n" ";" symbols "${symbols}")
  set(public "^((typeinfo (name )?for |vtable for )?trellis::(TrellisApp::|TrellisApp$|GlyphonContext::|TrellisMain(Headless)?\\(|Trellis(CaptureFrame|SaveScreenDump|SavePngDump|WriteBMP|WritePNG|ReadBMP)\\(|Matrix|Quaternion|Vector3|LinearSolve\\())")
  list(FILTER symbols EXCLUDE REGEX "${public}")
  if(symbols)
    message(FATAL_ERROR "libtrellis.so exports internal names: ${symbols}")
  endif()
endif()

# Each public header alone, with only the installed tree on the include path;
# and no folder without a header in it.
file(GLOB roots RELATIVE "${prefix}/include" "${prefix}/include/*")
if(NOT roots STREQUAL "trellis")
  message(FATAL_ERROR "the include root holds more than trellis/: ${roots}")
endif()
file(GLOB_RECURSE headers RELATIVE "${prefix}/include" "${prefix}/include/trellis/*")
if(NOT headers)
  message(FATAL_ERROR "no headers installed under include/trellis")
endif()
file(GLOB_RECURSE entries LIST_DIRECTORIES true "${prefix}/include/*")
foreach(entry ${entries})
  file(GLOB contents "${entry}/*")
  if(IS_DIRECTORY "${entry}" AND NOT contents)
    message(FATAL_ERROR "empty folder installed: ${entry}")
  endif()
endforeach()
foreach(header ${headers})
  file(WRITE "${WORK_DIR}/alone.cpp" "#include <${header}>\n")
  run("${CXX_COMPILER}" -std=c++17 -Wall -Wextra -Werror -fsyntax-only ${flags} "${WORK_DIR}/alone.cpp")
endforeach()
foreach(doc LICENSE FONTS-LICENSE CHANGELOG.md)
  if(NOT EXISTS "${prefix}/share/doc/Trellis/${doc}")
    message(FATAL_ERROR "${doc} not installed under share/doc/Trellis")
  endif()
endforeach()
message(STATUS "installed Trellis found by CMake and pkg-config, built against and run; headers stand alone")
