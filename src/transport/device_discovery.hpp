// Finding and opening the module among the present HID interfaces.
#pragma once

#include <string>

namespace gpio_dll {
class ModuleState;
}

namespace gpio_dll::transport {

// Walks the present HID interfaces and stops at the first with the module's vendor and product
// identifiers; opens it for writing and, a second time, for overlapped reading, and learns its
// report lengths. `vendor` and `product` receive the identifiers of the last interface examined
// (four hex digits each). Sets and returns the module-present flag. Handles of an earlier
// discovery are closed first.
bool discover_module(ModuleState& state, std::string& vendor, std::string& product);

// Runs discovery when the module is not known to be open; true when it is open afterwards.
bool module_presence_check(ModuleState& state);

}  // namespace gpio_dll::transport
