// Which platform backend the component uses: process-wide, or a thread's own choice.
#pragma once

#include <memory>

#include "base/platform_port.hpp"

namespace gpio_dll {
class ModuleState;
}

namespace gpio_dll::transport {

std::shared_ptr<PlatformPort> current_platform();
void set_current_platform(std::shared_ptr<PlatformPort> port);

// The calling thread's own platform from its next discovery on; null goes back to the
// process-wide one.
void set_thread_platform(std::shared_ptr<PlatformPort> port);
// The platform a new discovery on `state` uses: its thread's own choice, else the process-wide one.
std::shared_ptr<PlatformPort> chosen_platform(const ModuleState& state);

// The platform `state` works on: the one its handles belong to, or else the chosen one, which is
// bound to it from then on.
PlatformPort& port_of(ModuleState& state);
// Binds the chosen platform for a new discovery (handles of another platform are dropped).
void bind_current_platform(ModuleState& state);

// The operating system's HID access for this build.
std::shared_ptr<PlatformPort> system_platform();
bool system_platform_available();

}  // namespace gpio_dll::transport
