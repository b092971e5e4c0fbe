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
  if (!options.sim && !options.device) {
    options.sim = variable("GPIO_DLL_SIM");
    options.device = variable("GPIO_DLL_DEVICE");
    if (options.sim && options.device)
      throw UsageError{"GPIO_DLL_SIM and GPIO_DLL_DEVICE exclude each other"};
  }
  if (!options.serial) options.serial = variable("GPIO_DLL_SERIAL");
}

}  // namespace gpio_dll::cli
