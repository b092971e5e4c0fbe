// The console port on POSIX systems: a terminal is what isatty says it is.
#include <unistd.h>

#include "console.hpp"

namespace gpio_dll::cli::console {

bool is_console(int fd) {
  return isatty(fd) != 0;
}

void use_binary(std::FILE*) {}  // no line-end translation to switch off

std::FILE* open_pipe(const char* command) {
  return popen(command, "w");
}

int close_pipe(std::FILE* pipe) {
  return pclose(pipe);
}

const char* default_pager() {
  return "less -FRX";
}

}  // namespace gpio_dll::cli::console
