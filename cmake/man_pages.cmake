# Man pages of the tools, made at build time by help2man from their --help and --version texts,
# so that a page says what its program says. When cross-compiling only with an emulator
# (CMAKE_CROSSCOMPILING_EMULATOR, such as qemu-aarch64): the programs must run here. Not for
# Windows, which has no man pages (its emulator, wine, runs the tests).
option(GPIO_DLL_MAN_PAGES "Make and install the tools' man pages (needs help2man)" ON)
if(NOT GPIO_DLL_MAN_PAGES OR NOT TARGET gpio-dll OR WIN32
   OR (CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR))
  return()
endif()
find_program(HELP2MAN help2man)
if(NOT HELP2MAN)
  message(FATAL_ERROR "help2man not found: install it (scripts/setup-deps), or configure with "
                      "-DGPIO_DLL_MAN_PAGES=OFF")
endif()

set(gpio_dll_man_pages "")
# gpio_dll_man_page(TARGET "what it is" [WITH_COMMANDS]): man/TARGET.1 in the build tree, with
# the sections of man/TARGET.h2m and, WITH_COMMANDS, each command's own --help (the commands of
# the "Commands:" list of the program's --help).
function(gpio_dll_man_page target name)
  set(page ${PROJECT_BINARY_DIR}/man/${target}.1)
  set(program $<TARGET_FILE:${target}>)
  if(CMAKE_CROSSCOMPILING)
    # help2man runs a program by its name: a script that runs the tool in the emulator.
    set(program ${PROJECT_BINARY_DIR}/man/${target})
    list(JOIN CMAKE_CROSSCOMPILING_EMULATOR " " emulator)
    file(GENERATE OUTPUT ${program} CONTENT "#!/bin/sh\nexec ${emulator} $<TARGET_FILE:${target}> \"$@\"\n"
         FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                          WORLD_EXECUTE)
  endif()
  set(include ${PROJECT_SOURCE_DIR}/man/${target}.h2m)
  set(make_commands "")
  set(include_commands "")
  if("WITH_COMMANDS" IN_LIST ARGN)
    set(commands ${PROJECT_BINARY_DIR}/man/${target}-commands.h2m)
    set(make_commands COMMAND ${CMAKE_COMMAND} -DPROGRAM=${program}
        -DOUTPUT=${commands} -P ${PROJECT_SOURCE_DIR}/cmake/man_command_sections.cmake)
    set(include_commands --include=${commands})
  endif()
  add_custom_command(OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    ${make_commands}
    COMMAND ${HELP2MAN} --no-info --section=1 --name=${name} --include=${include}
            ${include_commands} --output=${page} ${program}
    DEPENDS ${target} ${include} ${PROJECT_SOURCE_DIR}/cmake/man_command_sections.cmake
    COMMENT "Man page ${target}.1"
    VERBATIM)
  set(gpio_dll_man_pages ${gpio_dll_man_pages} ${page} PARENT_SCOPE)
endfunction()

gpio_dll_man_page(gpio-dll "the USB-to-GPIO module's SMBus, I2C, lines and EEPROM from the shell"
                  WITH_COMMANDS)
if(TARGET gpio-dll-sim)
  gpio_dll_man_page(gpio-dll-sim "serve the simulated USB-to-GPIO module as a hidraw device")
endif()
add_custom_target(man_pages ALL DEPENDS ${gpio_dll_man_pages})
install(FILES ${gpio_dll_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
