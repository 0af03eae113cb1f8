# Installs the framework so that an application can find_package(Trellis) or
# ask pkg-config for trellis: the two libraries, the public headers under
# include/trellis/, the CMake package and trellis.pc.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS trellis trellis_main EXPORT TrellisTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  FILE_SET HEADERS DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/trellis
  FILE_SET version_header DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/trellis)
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
file(RELATIVE_PATH TRELLIS_PC_PREFIX_FROM_PCDIR "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
string(REGEX REPLACE "/$" "" TRELLIS_PC_PREFIX_FROM_PCDIR "${TRELLIS_PC_PREFIX_FROM_PCDIR}")
configure_file(cmake/trellis.pc.in ${CMAKE_CURRENT_BINARY_DIR}/trellis.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/trellis.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
