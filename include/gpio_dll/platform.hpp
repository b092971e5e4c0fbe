// Chooses the HID access that the component uses: for the whole process, or for the calling
// thread alone. A choice takes effect at a thread's next device discovery; the component reads no
// configuration of its own.
#pragma once

#include <cerrno>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gpio_dll/export.hpp"
#include "gpio_dll/language_standard.hpp"

#ifndef GPIO_DLL_STANDARD_TOO_OLD

namespace gpio_dll {

class SimulatedPlatform;

namespace platform {

// Every following discovery uses the simulated platform.
GPIO_DLL_API void use_simulated(std::shared_ptr<SimulatedPlatform> simulated);

// Every following discovery uses the operating system's HID access (the default).
GPIO_DLL_API void use_system();

// Whether this build has HID access to real devices on this operating system.
GPIO_DLL_API bool system_available();

// Linux: hidraw devices listed in `class_dir` (normally /sys/class/hidraw, one entry per node
// with device/uevent and device/report_descriptor) and opened in `device_dir` (normally /dev).
// For nodes served from elsewhere, such as the simulated module served by gpio-dll-sim.
GPIO_DLL_API void use_hidraw(const std::string& class_dir, const std::string& device_dir);

// Linux: the hidraw tree under `dir`, use_hidraw(DIR/sys/class/hidraw, DIR/dev): a folder that
// gpio-dll-sim serve serves at, with every module it serves ("/" is the system's own tree).
GPIO_DLL_API void use_hidraw_dir(const std::string& dir);

// The environment variable that names such a folder to the programs that honour it: the gpio-dll
// tool, the Python package when it is imported, and programs that call the function below.
inline constexpr char kHidrawDirVariable[] = "GPIO_DLL_HIDRAW_DIR";

// When GPIO_DLL_HIDRAW_DIR is set and not empty: use_hidraw_dir(its value), and true. Otherwise
// nothing changes, and false. The component reads the variable only when this is called.
GPIO_DLL_API bool use_hidraw_dir_from_environment();

// Linux: the one hidraw node at `device_path` (a real /dev/hidrawN, or a served node such as
// DIR/dev/hidraw0, whose sysfs-like tree DIR/sys/class/hidraw is used when it is there).
// Windows: the module whose HID interface has this path (as `gpio-dll list` shows it).
GPIO_DLL_API void use_hidraw_device(const std::string& device_path);

// The calling thread's own HID access, in place of the process-wide choice above: a simulated
// platform, or the one device of use_hidraw_device (Linux: the hidraw node at `device_path`;
// Windows: the module whose HID interface has this path). Other threads and the process-wide
// choice are not changed, and the process-wide functions above do not change it. Like the module
// choice below, it belongs to the calling thread and takes effect at its next identification;
// use_process_platform_on_this_thread() goes back to the process-wide choice.
GPIO_DLL_API void use_simulated_on_this_thread(std::shared_ptr<SimulatedPlatform> simulated);
GPIO_DLL_API void use_hidraw_device_on_this_thread(const std::string& device_path);
GPIO_DLL_API void use_process_platform_on_this_thread();

// Which module the calling thread uses when several are present: the one at `device_path`, the
// one whose serial number is `serial_number`, or (the default) the first one found. The choice
// belongs to the calling thread, takes effect at its next identification and changes nothing
// else about the methods: a thread whose module is not present gets "USB device not detected."
GPIO_DLL_API void use_module_at(const std::string& device_path);
GPIO_DLL_API void use_module_with_serial(const std::string& serial_number);
GPIO_DLL_API void use_first_module();

// A HID interface present on the current platform.
struct HidDeviceInfo {
  std::string path;
  std::uint16_t vendor_id = 0;
  std::uint16_t product_id = 0;
  bool is_module = false;     // vendor 0x0451, product 0x5F00
  bool opened = false;        // false when it could not be opened
  std::string open_error;     // then the system's text for why ("Permission denied")
  std::string serial_number;  // the HID unique id, empty when the device has none
  std::string product_name;
};

// Every HID interface the calling thread's platform (its own choice, else the process-wide one)
// reports, with its identifiers.
GPIO_DLL_API std::vector<HidDeviceInfo> list_devices();

// A device that discovery could not open.
struct OpenFailure {
  std::string path;        // the device path (on Linux the hidraw node) that was tried
  std::int32_t error = 0;  // the system's error number (errno values: ENOENT, EACCES, ...)
  std::string text;        // the system's text for `error`, such as "Permission denied"

  // The process lacks the rights to the device: on Linux, the node's owner and mode, which the
  // udev rule that the library installs sets for the module.
  bool permission_denied() const { return error == EACCES || error == EPERM; }
};

// Why the calling thread's most recent device discovery did not get to the module, as far as the
// system said: when that discovery (run by GPIO_FW_VER_Read, and by any operation that finds the
// module absent) ended without the module and at least one device could not be opened, the first
// such failure, a permission failure ahead of any other. Nothing when that discovery found the
// module, when every device listed was opened and none was the module, when none was listed, and
// on a thread that has not run a discovery. A failed call returns NO_DEV_DETECTED (131) in all
// these cases; this tells a caller what to say about it.
GPIO_DLL_API std::optional<OpenFailure> last_open_failure();

// Why a method could not have the module to itself. Each method runs its exchanges as one
// transaction under the module's lock, shared with every other thread and process that uses the
// module; it waits at most 15 s for the lock in all, and sends nothing once a wait has failed.
struct LockFailure {
  std::string path;        // the module's device path
  bool busy = false;       // another user held the module for longer than the wait
  std::int32_t error = 0;  // otherwise the system's error for why it could not lock the module
  // What to tell a user: "module busy: held by another user for more than 15 s", or "cannot
  // lock the module: " and the system's text.
  std::string text;
};

// Why the calling thread's most recent method failed for the module's lock (it then returns
// FATAL_ERROR, 14); nothing when that method had the module whenever it asked for it.
GPIO_DLL_API std::optional<LockFailure> last_lock_failure();

}  // namespace platform
}  // namespace gpio_dll

#endif  // GPIO_DLL_STANDARD_TOO_OLD
