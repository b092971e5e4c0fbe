// Chooses the HID access that the component uses. The choice is process-wide and takes effect
// at each thread's next device discovery; the component reads no configuration of its own.
#pragma once

#include <memory>
#include <string>

#include "gpio_dll/export.hpp"

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

}  // namespace platform
}  // namespace gpio_dll
