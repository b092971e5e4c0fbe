#include "transport/platform_registry.hpp"

#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "base/module_state.hpp"
#include "gpio_dll/hid_types.hpp"
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

void set_thread_platform(std::shared_ptr<PlatformPort> port) {
  ModuleState::current().platform_choice = std::move(port);
}

std::shared_ptr<PlatformPort> chosen_platform(const ModuleState& state) {
  return state.platform_choice ? state.platform_choice : current_platform();
}

PlatformPort& port_of(ModuleState& state) {
  if (!state.bound_port()) state.bind_port(chosen_platform(state));
  return *state.bound_port();
}

void bind_current_platform(ModuleState& state) {
  state.bind_port(chosen_platform(state));
}

}  // namespace gpio_dll::transport

namespace gpio_dll::platform {

void use_simulated(std::shared_ptr<SimulatedPlatform> simulated) {
  transport::set_current_platform(simulated->backend());
}

void use_system() {
  transport::set_current_platform(transport::system_platform());
}

void use_simulated_on_this_thread(std::shared_ptr<SimulatedPlatform> simulated) {
  transport::set_thread_platform(simulated->backend());
}

void use_process_platform_on_this_thread() {
  transport::set_thread_platform(nullptr);
}

bool system_available() {
  return transport::system_platform_available();
}

void use_hidraw_dir(const std::string& dir) {
  const std::filesystem::path root(dir);
  use_hidraw((root / "sys/class/hidraw").string(), (root / "dev").string());
}

bool use_hidraw_dir_from_environment() {
  const char* dir = std::getenv(kHidrawDirVariable);
  if (dir == nullptr || *dir == '\0') return false;
  use_hidraw_dir(dir);
  return true;
}

void use_module_at(const std::string& device_path) {
  ModuleState::current().module_choice = ModuleChoice{device_path, {}};
}

void use_module_with_serial(const std::string& serial_number) {
  ModuleState::current().module_choice = ModuleChoice{{}, serial_number};
}

void use_first_module() {
  ModuleState::current().module_choice = ModuleChoice{};
}

std::vector<HidDeviceInfo> list_devices() {
  auto port = transport::chosen_platform(ModuleState::current());
  std::vector<HidDeviceInfo> devices;
  const transport::InterfaceList present = port->present_interfaces();
  for (const auto& iface : present.interfaces) {
    HidDeviceInfo info;
    info.path = iface.path;
    const transport::Handle handle = port->open(iface.path, false);
    if (handle != transport::kInvalidHandle) {
      HidAttributes attributes;
      info.opened = port->attributes(handle, attributes);
      info.vendor_id = attributes.vendor_id;
      info.product_id = attributes.product_id;
      info.is_module = info.opened && attributes.vendor_id == kModuleVendorId &&
                       attributes.product_id == kModuleProductId;
      info.serial_number = port->serial_number(handle);
      info.product_name = port->product_name(handle);
      port->close(handle);
    } else {
      info.open_error = port->error_text(port->last_error());
    }
    devices.push_back(info);
  }
  return devices;
}

}  // namespace gpio_dll::platform
