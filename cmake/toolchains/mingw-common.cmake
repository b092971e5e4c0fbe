# Shared part of the mingw-w64 toolchains: GPIO_DLL_MINGW_TRIPLET names the target.
set(CMAKE_C_COMPILER ${GPIO_DLL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GPIO_DLL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${GPIO_DLL_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${GPIO_DLL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The host's pkg-config must not hand Linux libraries (fuse3) to the cross build.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${GPIO_DLL_MINGW_TRIPLET}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
# Programs and tests run under wine, with a prefix of their own in the build folder.
if(GPIO_DLL_MINGW_TRIPLET MATCHES "^x86_64")
  set(GPIO_DLL_WINE /usr/lib/wine/wine64)
else()
  set(GPIO_DLL_WINE /usr/lib/wine/wine)
endif()
