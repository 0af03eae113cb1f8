# Installs the framework so that an application can find_package(Trellis) or
# ask pkg-config for trellis: the two libraries, the public headers under
# include/trellis/, the CMake package, trellis.pc and trellis-main.pc, and the licences.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS trellis trellis_main EXPORT TrellisTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  FILE_SET HEADERS DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/trellis
  FILE_SET version_header DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT TrellisTargets NAMESPACE Trellis::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Trellis)

get_property(TRELLIS_PACKAGES GLOBAL PROPERTY TRELLIS_PACKAGES)
configure_package_config_file(cmake/TrellisConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/TrellisConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Trellis)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/TrellisConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/TrellisConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/TrellisConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Trellis)

# trellis.pc finds the prefix from where it lies, so the installed tree can be moved.
foreach(part PUBLIC PRIVATE PRIVATE_LIBS)
  get_property(list GLOBAL PROPERTY TRELLIS_PC_${part})
  list(REMOVE_DUPLICATES list)
  list(JOIN list " " TRELLIS_PC_${part})
endforeach()
# A static library's own dependencies go on Libs, so that plain --libs links;
# a shared one carries them itself.
if(trellis_type STREQUAL "SHARED_LIBRARY")
  set(TRELLIS_PC_LIBS "")
  set(TRELLIS_PC_LIBS_PRIVATE "${TRELLIS_PC_PRIVATE_LIBS}")
else()
  set(TRELLIS_PC_LIBS "${TRELLIS_PC_PRIVATE_LIBS}")
  set(TRELLIS_PC_LIBS_PRIVATE "")
endif()
file(RELATIVE_PATH TRELLIS_PC_PREFIX_FROM_PCDIR "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
string(REGEX REPLACE "/$" "" TRELLIS_PC_PREFIX_FROM_PCDIR "${TRELLIS_PC_PREFIX_FROM_PCDIR}")
# trellis-main.pc adds the process entry; trellis.pc alone suits a program with its own main().
foreach(pc trellis trellis-main)
  configure_file(cmake/${pc}.pc.in ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()

# The licences: the framework's own, and the fonts the glyph atlas is drawn from.
install(FILES LICENSE text/FONTS-LICENSE CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
