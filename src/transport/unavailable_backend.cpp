// The system platform of a build without HID access for its operating system: no device is ever
// present. Linux builds replace it with the hidraw backend.
#include <cerrno>

#include "base/system_error_text.hpp"
#include "gpio_dll/platform.hpp"
#include "transport/platform_registry.hpp"
#include "transport/system_clock.hpp"

namespace gpio_dll::transport {

namespace {

thread_local std::int32_t t_last_error = 0;

class UnavailableBackend final : public PlatformPort {
 public:
  Guid hid_class_guid() override { return ok(kHidClassGuid); }
  InterfaceList present_interfaces() override { return ok(InterfaceList{}); }
  Handle open(const std::string&, bool) override { return fail(ENODEV, kInvalidHandle); }
  bool attributes(Handle, HidAttributes&) override { return fail(EBADF, false); }
  bool capabilities(Handle, HidCapabilities&) override { return fail(EBADF, false); }
  std::string serial_number(Handle) override { return fail(EBADF, std::string()); }
  std::string product_name(Handle) override { return fail(EBADF, std::string()); }
  bool write(Handle, std::span<const std::uint8_t>, std::uint32_t& written) override {
    written = 0;
    return fail(EBADF, false);
  }
  EventHandle create_event() override { return ok(EventHandle{1}); }
  bool reset_event(EventHandle) override { return ok(true); }
  void destroy_event(EventHandle) override {}
  std::size_t flush_input(Handle) override { return fail(EBADF, std::size_t{0}); }
  LockResult lock_device(Handle, std::uint32_t) override { return fail(EBADF, LockResult::Failed); }
  void unlock_device(Handle) override {}
  std::uint64_t swap_last_user(Handle, std::uint64_t) override { return fail(EBADF, 0); }
  bool read(Handle, std::shared_ptr<ReadRequest>, EventHandle) override {
    return fail(EBADF, false);
  }
  std::uint32_t wait(EventHandle, std::uint32_t) override { return fail(EBADF, kWaitFailed); }
  bool cancel(Handle) override { return fail(EBADF, false); }
  bool close(Handle) override { return fail(EBADF, false); }
  std::int32_t last_error() override { return t_last_error; }
  std::string error_text(std::int32_t error) override { return system_error_text(error); }
  void sleep_ms(std::uint32_t ms) override { sleep_real_ms(ms); }
  std::uint64_t now_ms() override { return monotonic_ms(); }

 private:
  template <class T>
  static T ok(T value) {
    t_last_error = 0;
    return value;
  }
  template <class T>
  static T fail(std::int32_t error, T value) {
    t_last_error = error;
    return value;
  }
};

}  // namespace

std::shared_ptr<PlatformPort> system_platform() {
  static const auto backend = std::make_shared<UnavailableBackend>();
  return backend;
}

bool system_platform_available() {
  return false;
}

}  // namespace gpio_dll::transport

namespace gpio_dll::platform {

// Without hidraw there is nothing to point at: the platform stays without devices.
void use_hidraw(const std::string&, const std::string&) {
  transport::set_current_platform(transport::system_platform());
}

void use_hidraw_device(const std::string&) {
  transport::set_current_platform(transport::system_platform());
}

void use_hidraw_device_on_this_thread(const std::string&) {
  transport::set_thread_platform(transport::system_platform());
}

}  // namespace gpio_dll::platform
