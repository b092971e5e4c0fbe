// On Windows the operating system's HID access is the HID class driver through hid.dll and
// setupapi.dll.
#include "gpio_dll/platform.hpp"
#include "transport/platform_registry.hpp"
#include "transport/windows_hid/windows_hid_backend.hpp"

namespace gpio_dll::transport {

std::shared_ptr<PlatformPort> system_platform() {
  static const auto backend = std::make_shared<WindowsHidBackend>();
  return backend;
}

bool system_platform_available() {
  return true;
}

}  // namespace gpio_dll::transport

namespace gpio_dll::platform {

// hidraw is Linux's: on Windows these choose the system's HID access, and a device path chooses
// the module with that HID interface path.
void use_hidraw(const std::string&, const std::string&) {
  transport::set_current_platform(transport::system_platform());
}

void use_hidraw_device(const std::string& device_path) {
  transport::set_current_platform(transport::system_platform());
  use_module_at(device_path);
}

void use_hidraw_device_on_this_thread(const std::string& device_path) {
  transport::set_thread_platform(transport::system_platform());
  use_module_at(device_path);
}

}  // namespace gpio_dll::platform
