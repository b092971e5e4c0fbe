#include "environment.hpp"

#include <cstdlib>
#include <string>

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

void settle_module_choice(Options& options, bool from_environment) {
  if (options.hidraw_dir && (options.sim || options.device))
    throw UsageError{std::string(options.sim ? "--sim" : "--device") +
                     " and --hidraw-dir exclude each other"};
  if (from_environment) apply_environment(options);
  if (options.sim && options.device) throw UsageError{"--sim and --device exclude each other"};
}

}  // namespace gpio_dll::cli
