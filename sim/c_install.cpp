// gpio_dll_sim_install and the functions on the module it installed: the simulated module for C
// callers.
#include <exception>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "gpio_dll_sim.h"
#include "simulated_module.hpp"

namespace {
std::mutex g_mutex;
std::shared_ptr<gpio_dll::sim::SimulatedModule> g_installed;
std::shared_ptr<gpio_dll::SimulatedPlatform> g_platform;
gpio_dll::SimulatedPlatform::DeviceId g_device = -1;
}  // namespace

extern "C" std::int32_t gpio_dll_sim_install(const char* firmware) {
  try {
    gpio_dll::sim::ModuleConfig config;
    if (firmware != nullptr) config.firmware_version = firmware;
    std::uint8_t numbers[3];
    gpio_dll::sim::parse_version(config.firmware_version, numbers);
    auto setup = gpio_dll::sim::install_simulated_module(config);
    std::lock_guard lock(g_mutex);
    g_installed = std::move(setup.module);
    g_platform = std::move(setup.platform);
    g_device = setup.device;
    return GPIO_DLL_C_OK;
  } catch (const std::invalid_argument&) {
    return GPIO_DLL_C_INVALID_ARGUMENT;
  } catch (...) {
    return GPIO_DLL_C_INTERNAL_ERROR;
  }
}

extern "C" std::int64_t gpio_dll_sim_request_count(void) {
  std::lock_guard lock(g_mutex);
  return g_installed ? static_cast<std::int64_t>(g_installed->request_count()) : -1;
}

extern "C" std::int32_t gpio_dll_sim_hold_lock_elsewhere(std::uint64_t for_ms) {
  std::lock_guard lock(g_mutex);
  if (!g_platform) return GPIO_DLL_C_INVALID_ARGUMENT;
  g_platform->hold_lock_elsewhere(g_device, for_ms);
  return GPIO_DLL_C_OK;
}
