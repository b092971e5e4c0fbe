// The module choice from the environment, for scripts that cannot pass options (the i2c-tools
// commands called through their links): GPIO_DLL_SIM, GPIO_DLL_DEVICE and GPIO_DLL_SERIAL.
#pragma once

#include "tool.hpp"

namespace gpio_dll::cli {

// Fills what the command line left open: GPIO_DLL_SIM=FW (the built-in simulated module) or
// GPIO_DLL_DEVICE=PATH (the module at that node) when neither --sim nor --device was given, and
// GPIO_DLL_SERIAL=SN (the module with that serial number) when --serial was not. Empty variables
// count as unset. Throws UsageError when GPIO_DLL_SIM and GPIO_DLL_DEVICE are both set.
void apply_environment(Options& options);

// The module choice made whole: --hidraw-dir with --sim or --device is refused, then the
// environment fills what is left open (when `from_environment`), then --sim with --device is
// refused. Throws UsageError.
void settle_module_choice(Options& options, bool from_environment);

}  // namespace gpio_dll::cli
