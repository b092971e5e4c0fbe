# The Windows build (mingw-w64, normally cross-compiled from Linux with the toolchain files in
# cmake/toolchains).

# Nothing beside the DLLs and programs: libgcc, libstdc++ and winpthread linked in.
add_link_options(-static)
# Programs and DLLs in one folder, where Windows looks for a program's DLLs.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
# gpio_dll.dll rather than libgpio_dll.dll.
set(CMAKE_SHARED_LIBRARY_PREFIX "")
# 32-bit code unwinds with DWARF-2 tables, and an exception whose handler GCC moved into a
# function's cold part is never caught (std::terminate): keep functions in one piece.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  add_compile_options(-fno-reorder-blocks-and-partition)
endif()
# Release builds too carry debug information, which the shipped binaries keep beside them.
string(APPEND CMAKE_CXX_FLAGS_RELEASE " -g")
# The Windows headers: no min/max macros, and the API of Windows 7 on.
add_compile_definitions(NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)

if(CMAKE_CROSSCOMPILING)
  # Programs and tests run under wine, in a prefix of the build folder's own.
  if(NOT GPIO_DLL_WINE)
    set(GPIO_DLL_WINE wine)
  endif()
  set(GPIO_DLL_WINE_PREFIX ${PROJECT_BINARY_DIR}/wineprefix)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${PROJECT_SOURCE_DIR}/scripts/wine-run;${GPIO_DLL_WINE_PREFIX};${GPIO_DLL_WINE})

  # Header-only packages of the build machine: only their own headers, never the rest of its
  # /usr/include, reach the cross compiler.
  file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/host_headers)
  # gpio_dll_host_headers(TARGET HEADER FOLDER PACKAGE): TARGET sees FOLDER of the build
  # machine's /usr/include, found by HEADER inside it.
  function(gpio_dll_host_headers target header folder package)
    find_path(GPIO_DLL_HOST_${folder}_DIR ${folder}/${header} PATHS /usr/include
              NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
    if(NOT GPIO_DLL_HOST_${folder}_DIR)
      message(FATAL_ERROR "${folder}/${header} not found (Debian package ${package})")
    endif()
    file(CREATE_LINK ${GPIO_DLL_HOST_${folder}_DIR}/${folder}
         ${PROJECT_BINARY_DIR}/host_headers/${folder} SYMBOLIC)
    add_library(${target} INTERFACE IMPORTED GLOBAL)
    target_include_directories(${target} SYSTEM INTERFACE ${PROJECT_BINARY_DIR}/host_headers)
  endfunction()
  gpio_dll_host_headers(nlohmann_json::nlohmann_json json.hpp nlohmann nlohmann-json3-dev)
  gpio_dll_host_headers(CLI11::CLI11 CLI.hpp CLI libcli11-dev)
endif()
