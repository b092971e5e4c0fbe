include(CMakePackageConfigHelpers)

install(TARGETS gpio_dll gpio_dll_static EXPORT gpio_dll_targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY include/gpio_dll DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS gpio-dll RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(EXPORT gpio_dll_targets NAMESPACE gpio_dll::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/gpio_dll)
configure_package_config_file(cmake/gpio_dllConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/gpio_dllConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/gpio_dll)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/gpio_dllConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/gpio_dllConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/gpio_dllConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/gpio_dll)

configure_file(cmake/gpio_dll.pc.in ${CMAKE_CURRENT_BINARY_DIR}/gpio_dll.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/gpio_dll.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
