# Bash completion for the tools, installed where bash-completion loads it on demand: the file
# named after each program in its completions folder. The folder is bash-completion's own
# (pkg-config's completionsdir), taken relative to bash-completion's prefix so that it follows
# the install prefix; share/bash-completion/completions without it.
if(NOT UNIX OR NOT TARGET gpio-dll)
  return()
endif()
set(gpio_dll_completions_dir "${CMAKE_INSTALL_DATADIR}/bash-completion/completions")
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_get_variable(gpio_dll_bc_dir bash-completion completionsdir)
  pkg_get_variable(gpio_dll_bc_prefix bash-completion prefix)
  if(gpio_dll_bc_dir AND gpio_dll_bc_prefix)
    string(REGEX REPLACE "/$" "" gpio_dll_bc_prefix "${gpio_dll_bc_prefix}")
    string(FIND "${gpio_dll_bc_dir}" "${gpio_dll_bc_prefix}/" at)
    if(at EQUAL 0)
      file(RELATIVE_PATH gpio_dll_completions_dir "${gpio_dll_bc_prefix}" "${gpio_dll_bc_dir}")
    endif()
  endif()
endif()
set(GPIO_DLL_BASH_COMPLETION_DIR "${gpio_dll_completions_dir}" CACHE STRING
    "Where the bash completion is installed (relative: under the install prefix)")
install(FILES completion/gpio-dll DESTINATION ${GPIO_DLL_BASH_COMPLETION_DIR})
if(TARGET gpio-dll-sim)
  install(FILES completion/gpio-dll DESTINATION ${GPIO_DLL_BASH_COMPLETION_DIR}
          RENAME gpio-dll-sim)
endif()
