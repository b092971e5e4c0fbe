# What a static program needs beside the archives, for the pkg-config files' private fields
# (pkg-config --static): the system libraries of libgpio_dll.a, and for libgpio_dll_fltk.a those
# of the static FLTK and X11 libraries. A library with a pkg-config file of its own goes under
# Requires.private, so that its own private libraries come along (libX11.a needs libxcb.a,
# which needs libXau.a and libXdmcp.a); one without goes under Libs.private.

# libgpio_dll.a: threads and, before glibc 2.34, libdl for loading the front end's module.
set(GPIO_DLL_PC_LIBS_PRIVATE "-pthread")
foreach(lib ${CMAKE_DL_LIBS})
  string(APPEND GPIO_DLL_PC_LIBS_PRIVATE " -l${lib}")
endforeach()

# libgpio_dll_fltk.a: the libraries that FLTK's static link line names, X11 always.
set(GPIO_DLL_FLTK_PC_REQUIRES_PRIVATE "")
set(GPIO_DLL_FLTK_PC_LIBS_PRIVATE "")
if(GPIO_DLL_FLTK_FOUND)
  find_program(GPIO_DLL_FLTK_CONFIG fltk-config)
  find_program(GPIO_DLL_PKG_CONFIG pkg-config)
  set(fltk_words "")
  if(GPIO_DLL_FLTK_CONFIG)
    execute_process(COMMAND ${GPIO_DLL_FLTK_CONFIG} --ldstaticflags OUTPUT_VARIABLE fltk_flags
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    separate_arguments(fltk_words UNIX_COMMAND "${fltk_flags}")
  endif()
  set(requires "")
  set(libs "")
  foreach(word ${fltk_words} -lX11 -lm)
    if(NOT word MATCHES "^-l(.+)$" OR word STREQUAL "-lpthread")
      continue()  # libfltk.a itself, named by path; threads come with -pthread
    endif()
    set(lib ${CMAKE_MATCH_1})
    string(TOLOWER ${lib} module)
    set(known 1)
    if(GPIO_DLL_PKG_CONFIG AND NOT lib STREQUAL "m")
      execute_process(COMMAND ${GPIO_DLL_PKG_CONFIG} --exists ${module} RESULT_VARIABLE known)
    endif()
    if(known EQUAL 0)
      list(APPEND requires ${module})
    else()
      list(APPEND libs -l${lib})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES requires)
  list(REMOVE_DUPLICATES libs)
  list(JOIN requires ", " GPIO_DLL_FLTK_PC_REQUIRES_PRIVATE)
  list(JOIN libs " " GPIO_DLL_FLTK_PC_LIBS_PRIVATE)
endif()
