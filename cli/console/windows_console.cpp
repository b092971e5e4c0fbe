// The console port on Windows. The C runtime's _isatty calls every character device a terminal,
// the NUL device too; a console is a handle whose console mode can be read.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdint>

#include "console.hpp"

namespace gpio_dll::cli::console {

bool is_console(int fd) {
  const std::intptr_t handle = _get_osfhandle(fd);
  if (handle == -1 || handle == -2) return false;  // not open, or a stream with no handle
  DWORD mode = 0;
  return GetConsoleMode(reinterpret_cast<HANDLE>(handle), &mode) != 0;
}

void use_binary(std::FILE* stream) {
  _setmode(_fileno(stream), _O_BINARY);
}

std::FILE* open_pipe(const char* command) {
  return _popen(command, "w");
}

int close_pipe(std::FILE* pipe) {
  return _pclose(pipe);
}

const char* default_pager() {
  return "more";
}

}  // namespace gpio_dll::cli::console
