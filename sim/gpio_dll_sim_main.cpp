// gpio-dll-sim: serves the simulated module as a hidraw device.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "device_server/hidraw_server.hpp"
#include "gpio_dll/version.h"
#include "serve_arguments.hpp"

namespace {

// The K-th (from 1) of several modules: SN-K, or SIM000K (SIM0001, ..., SIM0064) without SN.
std::string serial_number_of(int k, const std::string& given) {
  if (!given.empty()) return given + "-" + std::to_string(k);
  char text[16];
  std::snprintf(text, sizeof text, "SIM%04d", k);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  using gpio_dll::sim::ServeArguments;
  ServeArguments parsed;
  try {
    parsed = gpio_dll::sim::parse_serve_arguments(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const gpio_dll::sim::UsageError& e) {
    std::cerr << "gpio-dll-sim: " << e.what() << "\n";
    return 1;
  }
  if (parsed.action == ServeArguments::Action::kHelp) {
    std::cout << gpio_dll::sim::kServeUsage;
    return 0;
  }
  if (parsed.action == ServeArguments::Action::kVersion) {
    std::cout << "gpio-dll-sim " << GPIO_DLL_VERSION_STRING << "\n";
    return 0;
  }
  std::vector<std::shared_ptr<gpio_dll::sim::SimulatedModule>> served;
  try {
    for (int k = 1; k <= parsed.modules; ++k) {
      gpio_dll::sim::ModuleConfig own = parsed.config;
      if (parsed.modules > 1)
        own.serial_number =
            serial_number_of(k, parsed.serial_given ? parsed.config.serial_number : "");
      served.push_back(std::make_shared<gpio_dll::sim::SimulatedModule>(own));
    }
  } catch (const std::invalid_argument& e) {
    std::cerr << "gpio-dll-sim: " << e.what() << "\n";
    return 1;
  }
  return gpio_dll::sim::serve(served, parsed.options);
}
