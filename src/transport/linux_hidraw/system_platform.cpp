// On Linux the operating system's HID access is hidraw.
#include <filesystem>

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

namespace {

std::shared_ptr<transport::PlatformPort> single_node(const std::string& device_path) {
  // A served node DIR/dev/hidrawN has its sysfs-like tree at DIR/sys/class/hidraw.
  const std::filesystem::path served_class =
      std::filesystem::path(device_path).parent_path().parent_path() / "sys/class/hidraw";
  std::error_code ec;
  const std::string class_dir = std::filesystem::is_directory(served_class, ec)
                                    ? served_class.string()
                                    : transport::HidrawBackend::kDefaultClassDir;
  return transport::HidrawBackend::single_node(device_path, class_dir);
}

}  // namespace

void use_hidraw_device(const std::string& device_path) {
  transport::set_current_platform(single_node(device_path));
}

void use_hidraw_device_on_this_thread(const std::string& device_path) {
  transport::set_thread_platform(single_node(device_path));
}

}  // namespace gpio_dll::platform
