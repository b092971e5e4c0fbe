// The question before a write that changes a device or the module's EEPROM, as i2cset asks it.
#pragma once

#include <string>

#include "tool.hpp"

namespace gpio_dll::cli {

// True to go on. Asks "WARNING! ... Continue? [Y/n]" on standard error and reads the answer
// from standard input only when that is a terminal and -y was not given: scripts and pipes are
// never asked. An empty answer or one starting with y or Y goes on.
bool confirm(const Tool& tool, const std::string& what);

// The exit of a write the user declined: "aborting on user request" (JSON too), status 1.
int declined(const Tool& tool, const std::string& command);

}  // namespace gpio_dll::cli
