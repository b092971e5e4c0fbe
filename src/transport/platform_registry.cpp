#include "transport/platform_registry.hpp"

#include <mutex>

#include "gpio_dll/platform.hpp"
#include "gpio_dll/simulated_platform.hpp"
#include "transport/simulated/simulated_backend.hpp"

namespace gpio_dll::transport {

namespace {
std::mutex g_mutex;
std::shared_ptr<PlatformPort> g_current;
}  // namespace

std::shared_ptr<PlatformPort> current_platform() {
  std::lock_guard lock(g_mutex);
  if (!g_current) g_current = system_platform();
  return g_current;
}

void set_current_platform(std::shared_ptr<PlatformPort> port) {
  std::lock_guard lock(g_mutex);
  g_current = std::move(port);
}

}  // namespace gpio_dll::transport

namespace gpio_dll::platform {

void use_simulated(std::shared_ptr<SimulatedPlatform> simulated) {
  transport::set_current_platform(simulated->backend());
}

void use_system() {
  transport::set_current_platform(transport::system_platform());
}

bool system_available() {
  return transport::system_platform_available();
}

}  // namespace gpio_dll::platform
