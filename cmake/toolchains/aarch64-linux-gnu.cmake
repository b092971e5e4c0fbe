# Cross-compiles for arm64 Linux with Debian's cross compiler (g++-aarch64-linux-gnu) against the
# arm64 packages installed beside the build machine's own (multiarch: /usr/lib/aarch64-linux-gnu).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
# Libraries from the arm64 folders only; headers and header-only packages (/usr/include,
# /usr/share/cmake) are shared by the architectures.
set(CMAKE_FIND_ROOT_PATH /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /lib/x86_64-linux-gnu)
# The host's pkg-config, reading the arm64 .pc files (fuse3) and the shared ones.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
# Programs and tests run under qemu-user, with the arm64 loader and libraries of this machine's
# root (/lib/ld-linux-aarch64.so.1, /usr/lib/aarch64-linux-gnu).
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64;-L;/)
