#include "terminal.hpp"

#include <cstdlib>
#include <iostream>

#ifdef _WIN32
#include <io.h>
#define GPIO_DLL_ISATTY _isatty
#define GPIO_DLL_POPEN _popen
#define GPIO_DLL_PCLOSE _pclose
#define GPIO_DLL_DEFAULT_PAGER "more"  // the pager every Windows has
#else
#include <unistd.h>
#define GPIO_DLL_ISATTY isatty
#define GPIO_DLL_POPEN popen
#define GPIO_DLL_PCLOSE pclose
#define GPIO_DLL_DEFAULT_PAGER "less -FRX"
#endif

namespace gpio_dll::cli {

bool stdin_is_terminal() {
  return GPIO_DLL_ISATTY(0) != 0;
}

bool stdout_is_terminal() {
  return GPIO_DLL_ISATTY(1) != 0;
}

bool stderr_is_terminal() {
  return GPIO_DLL_ISATTY(2) != 0;
}

void page(const std::string& text) {
  if (stdout_is_terminal()) {
    const char* pager = std::getenv("PAGER");
    const std::string command = pager != nullptr && *pager != '\0' ? pager : GPIO_DLL_DEFAULT_PAGER;
    std::cout.flush();
    if (FILE* pipe = GPIO_DLL_POPEN(command.c_str(), "w")) {
      const bool written = std::fwrite(text.data(), 1, text.size(), pipe) == text.size();
      if (GPIO_DLL_PCLOSE(pipe) == 0 && written) return;
    }
  }
  std::cout << text << std::flush;
}

}  // namespace gpio_dll::cli
