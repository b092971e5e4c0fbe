// Which platform backend the component uses, process-wide.
#pragma once

#include <memory>

#include "base/platform_port.hpp"

namespace gpio_dll {
class ModuleState;
}

namespace gpio_dll::transport {

std::shared_ptr<PlatformPort> current_platform();
void set_current_platform(std::shared_ptr<PlatformPort> port);

// The platform `state` works on: the one its handles belong to, or else the current choice, which
// is bound to it from then on.
PlatformPort& port_of(ModuleState& state);
// Binds the current choice for a new discovery (handles of another platform are dropped).
void bind_current_platform(ModuleState& state);

// The operating system's HID access for this build.
std::shared_ptr<PlatformPort> system_platform();
bool system_platform_available();

}  // namespace gpio_dll::transport
