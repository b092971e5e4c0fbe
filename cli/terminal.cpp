#include "terminal.hpp"

#include <cstdlib>
#include <iostream>

#include "console/console.hpp"

namespace gpio_dll::cli {

bool stdin_is_terminal() {
  return console::is_console(0);
}

bool stdout_is_terminal() {
  return console::is_console(1);
}

bool stderr_is_terminal() {
  return console::is_console(2);
}

void page(const std::string& text) {
  if (stdout_is_terminal()) {
    const char* pager = std::getenv("PAGER");
    const std::string command =
        pager != nullptr && *pager != '\0' ? pager : console::default_pager();
    std::cout.flush();
    if (FILE* pipe = console::open_pipe(command.c_str())) {
      const bool written = std::fwrite(text.data(), 1, text.size(), pipe) == text.size();
      if (console::close_pipe(pipe) == 0 && written) return;
    }
  }
  std::cout << text << std::flush;
}

}  // namespace gpio_dll::cli
