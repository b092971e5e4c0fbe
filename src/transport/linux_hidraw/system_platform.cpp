// On Linux the operating system's HID access is hidraw.
#include "gpio_dll/platform.hpp"
#include "transport/linux_hidraw/hidraw_backend.hpp"
#include "transport/platform_registry.hpp"

namespace gpio_dll::transport {

std::shared_ptr<PlatformPort> system_platform() {
  static const auto backend = std::make_shared<HidrawBackend>();
  return backend;
}

bool system_platform_available() {
  return true;
}

}  // namespace gpio_dll::transport

namespace gpio_dll::platform {

void use_hidraw(const std::string& class_dir, const std::string& device_dir) {
  transport::set_current_platform(
      std::make_shared<transport::HidrawBackend>(class_dir, device_dir));
}

}  // namespace gpio_dll::platform
