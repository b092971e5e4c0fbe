// Which platform backend the component uses, process-wide.
#pragma once

#include <memory>

#include "transport/platform_port.hpp"

namespace gpio_dll::transport {

std::shared_ptr<PlatformPort> current_platform();
void set_current_platform(std::shared_ptr<PlatformPort> port);

// The operating system's HID access for this build.
std::shared_ptr<PlatformPort> system_platform();
bool system_platform_available();

}  // namespace gpio_dll::transport
