# trellis_package(<PUBLIC|PRIVATE> <prefix> <pkg-config module>)
# Finds the module, links it into the trellis library as PkgConfig::<prefix> and
# records it for the installed CMake package and for trellis.pc. A macro, so
# that the module's variables (<prefix>_FOUND, <prefix>_LIBRARIES ...) are seen
# where it is called, as pkg_check_modules leaves them.
find_package(PkgConfig REQUIRED)

macro(trellis_package visibility prefix module)
  pkg_check_modules(${prefix} REQUIRED IMPORTED_TARGET ${module})
  target_link_libraries(trellis ${visibility} PkgConfig::${prefix})
  set_property(GLOBAL APPEND PROPERTY TRELLIS_PACKAGES "${prefix}=${module}")
  set_property(GLOBAL APPEND PROPERTY TRELLIS_PC_${visibility} ${module})
  if("${visibility}" STREQUAL "PRIVATE")
    # The library is static: an application that links it links these too,
    # with or without pkg-config's --static.
    list(TRANSFORM ${prefix}_LIBRARIES PREPEND "-l" OUTPUT_VARIABLE _trellis_libs)
    set_property(GLOBAL APPEND PROPERTY TRELLIS_PC_PRIVATE_LIBS ${_trellis_libs})
    unset(_trellis_libs)
  endif()
endmacro()
