# What the Windows build ships, in ship/ of the build folder: the library, the automation server
# and the tool, Release builds, stripped, each with its debug information in NAME.debug beside it
# (a debugger finds it through the file's debug link). bin/ keeps the binaries as linked, debug
# information and all, for the tests and for debugging.

set(GPIO_DLL_SHIP_DIR ${PROJECT_BINARY_DIR}/ship)
if(NOT CMAKE_OBJCOPY)
  message(FATAL_ERROR "The target's objcopy was not found (Debian package binutils-mingw-w64)")
endif()

set(shipped_files "")
# Each target with the name of its file.
foreach(entry gpio_dll:gpio_dll.dll gpio_dll_com:gpio_dll_com.dll gpio-dll:gpio-dll.exe)
  string(REPLACE ":" ";" entry ${entry})
  list(GET entry 0 target)
  list(GET entry 1 file)
  if(NOT TARGET ${target})
    continue()  # the tool, without GPIO_DLL_BUILD_TOOLS
  endif()
  set(shipped ${GPIO_DLL_SHIP_DIR}/${file})
  add_custom_command(OUTPUT ${shipped} ${shipped}.debug
    COMMAND ${CMAKE_COMMAND} -E make_directory ${GPIO_DLL_SHIP_DIR}
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> ${shipped}.debug
    COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${shipped}.debug
            $<TARGET_FILE:${target}> ${shipped}
    DEPENDS ${target}
    COMMENT "Shipped ${file}: stripped, its debug information beside it"
    VERBATIM)
  list(APPEND shipped_files ${shipped})
endforeach()
add_custom_target(gpio_dll_shipped ALL DEPENDS ${shipped_files})
