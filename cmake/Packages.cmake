# trellis_package(<PUBLIC|PRIVATE> <name> <pkg-config module>)
# Finds the module, links it into the trellis library as PkgConfig::TrellisDep_<name>
# and records it for the installed CMake package and for trellis.pc. The prefix
# keeps pkg-config's variables and targets apart from any a parent project
# makes for the same module (its own X11_LIBRARIES, PkgConfig::X11).
find_package(PkgConfig REQUIRED)

function(trellis_package visibility name module)
  set(prefix TrellisDep_${name})
  pkg_check_modules(${prefix} QUIET IMPORTED_TARGET ${module})
  if(NOT ${prefix}_FOUND)
    message(FATAL_ERROR "Trellis needs the pkg-config module '${module}' (its Debian -dev package); "
                        "scripts/setup.sh installs every package the build needs")
  endif()
  target_link_libraries(trellis ${visibility} PkgConfig::${prefix})
  set_property(GLOBAL APPEND PROPERTY TRELLIS_PACKAGES "${prefix}=${module}")
  set_property(GLOBAL APPEND PROPERTY TRELLIS_PC_${visibility} ${module})
  if(visibility STREQUAL "PRIVATE")
    # A static library's application links these too (trellis.pc lists them
    # where pkg-config's --static is not needed).
    list(TRANSFORM ${prefix}_LIBRARIES PREPEND "-l" OUTPUT_VARIABLE libs)
    set_property(GLOBAL APPEND PROPERTY TRELLIS_PC_PRIVATE_LIBS ${libs})
  endif()
endfunction()
