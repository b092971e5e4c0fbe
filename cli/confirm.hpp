// The question before a write that changes a device or the module's EEPROM, as i2cset asks it.
#pragma once

#include <string>
#include <string_view>

#include "tool.hpp"

namespace gpio_dll::cli {

// True to go on. Asks "WARNING! ... Continue? [Y/n]" on standard error and reads the answer
// from standard input only when that is a terminal and -y was not given: scripts and pipes are
// never asked. An empty answer or one starting with y or Y goes on.
bool confirm(const Tool& tool, const std::string& what);

// The exit of a write the user declined: "aborting on user request" on standard error, with
// --json also {"command":COMMAND,"result":"declined","message":"aborting on user request"};
// status 1.
int declined(const Tool& tool, const std::string& command);

// True for a method that writes to a device on the bus, sets the module's lines, writes its
// EEPROM or passes a raw request through: call and batch ask before them.
bool method_writes(std::string_view method);

}  // namespace gpio_dll::cli
