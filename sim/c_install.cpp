// gpio_dll_sim_install: the simulated module for C callers.
#include <exception>
#include <stdexcept>

#include "gpio_dll_sim.h"
#include "simulated_module.hpp"

extern "C" std::int32_t gpio_dll_sim_install(const char* firmware) {
  try {
    gpio_dll::sim::ModuleConfig config;
    if (firmware != nullptr) config.firmware_version = firmware;
    std::uint8_t numbers[3];
    gpio_dll::sim::parse_version(config.firmware_version, numbers);
    gpio_dll::sim::install_simulated_module(config);
    return GPIO_DLL_C_OK;
  } catch (const std::invalid_argument&) {
    return GPIO_DLL_C_INVALID_ARGUMENT;
  } catch (...) {
    return GPIO_DLL_C_INTERNAL_ERROR;
  }
}
