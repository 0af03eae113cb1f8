# Installs the framework so that an application can find_package(Trellis).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS trellis trellis_main EXPORT TrellisTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY math shell capture dualdisplay text
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/trellis
  FILES_MATCHING PATTERN "*.h")
install(EXPORT TrellisTargets NAMESPACE Trellis::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Trellis)
configure_package_config_file(cmake/TrellisConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/TrellisConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Trellis)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/TrellisConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/TrellisConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/TrellisConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Trellis)
