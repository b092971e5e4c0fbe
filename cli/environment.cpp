#include "environment.hpp"

#include <cstdlib>

namespace gpio_dll::cli {

namespace {

std::optional<std::string> variable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

}  // namespace

void apply_environment(Options& options) {
  // An explicit --sim, --device or --hidraw-dir says where the module is: the variables that
  // name another place do not apply then.
  if (!options.sim && !options.device && !options.hidraw_dir) {
    options.sim = variable("GPIO_DLL_SIM");
    options.device = variable("GPIO_DLL_DEVICE");
    if (options.sim && options.device)
      throw UsageError{"GPIO_DLL_SIM and GPIO_DLL_DEVICE exclude each other"};
  }
  if (!options.serial) options.serial = variable("GPIO_DLL_SERIAL");
}

}  // namespace gpio_dll::cli
