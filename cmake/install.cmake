include(CMakePackageConfigHelpers)

install(TARGETS gpio_dll gpio_dll_static gpio_dll_sim_shared gpio_dll_sim EXPORT gpio_dll_targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(GPIO_DLL_FLTK_FOUND)
  install(DIRECTORY include/gpio_dll DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
else()
  install(DIRECTORY include/gpio_dll DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
    PATTERN fltk_debug_window.hpp EXCLUDE)
endif()
install(FILES ${PROJECT_BINARY_DIR}/include/gpio_dll/version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/gpio_dll)
# The debug window's FLTK front end: the module the library loads (a package of its own,
# component debug_window), and the archive for static programs with the other files to build
# against.
if(GPIO_DLL_FLTK_FOUND)
  install(TARGETS gpio_dll_fltk LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/gpio_dll
    COMPONENT debug_window)
  install(TARGETS gpio_dll_fltk_static EXPORT gpio_dll_targets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()
# The simulated module's headers, as <gpio_dll/sim/simulated_module.hpp>.
install(FILES sim/bus.hpp sim/gpio_dll_sim.h sim/i2c_eeprom.hpp sim/module_hardware.hpp sim/simulated_module.hpp
  sim/smart_battery.hpp DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/gpio_dll/sim)
foreach(tool gpio-dll gpio-dll-sim)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# udev reads /usr/lib/udev/rules.d and /etc/udev/rules.d: install with the prefix /usr, or set
# GPIO_DLL_UDEV_RULES_DIR to /etc/udev/rules.d.
set(GPIO_DLL_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING "Where the udev rule is installed")
install(FILES udev/70-gpio-dll.rules DESTINATION ${GPIO_DLL_UDEV_RULES_DIR})

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

file(RELATIVE_PATH GPIO_DLL_PC_PREFIX_FROM_PCDIR "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
string(REGEX REPLACE "/$" "" GPIO_DLL_PC_PREFIX_FROM_PCDIR "${GPIO_DLL_PC_PREFIX_FROM_PCDIR}")
set(GPIO_DLL_PC_FILES gpio_dll gpio_dll_sim)
if(GPIO_DLL_FLTK_FOUND)
  list(APPEND GPIO_DLL_PC_FILES gpio_dll_fltk)
endif()
include(cmake/pkg_config_private.cmake)
foreach(pc ${GPIO_DLL_PC_FILES})
  configure_file(cmake/${pc}.pc.in ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()

include(cmake/man_pages.cmake)
include(cmake/completion.cmake)
