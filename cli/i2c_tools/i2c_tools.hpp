// The i2c-tools commands (i2cdetect, i2cget, i2cset, i2cdump, i2ctransfer) with i2c-tools 4.3's
// syntax, output, questions and exit statuses, on the module as the adapter: the gpio-dll binary
// runs them when called by one of these names (a link) or given one as its command.
#pragma once

#include <string>

#include "tool.hpp"

namespace gpio_dll::cli::i2c_tools {

// Whether `name` is one of the i2c-tools commands.
bool is_command(const std::string& name);

// Runs the i2c-tools command `name` on its words (those after the name); returns its exit status.
int run(const std::string& name, Tool& tool, const Args& args);

int run_i2cdetect(Tool& tool, const Args& args);
int run_i2cget(Tool& tool, const Args& args);
int run_i2cset(Tool& tool, const Args& args);
int run_i2cdump(Tool& tool, const Args& args);
int run_i2ctransfer(Tool& tool, const Args& args);

// gpio-dll's own commands keep their syntax: an i2c-tools habit in their words (scan's bus
// number, a mode letter after smbus's arguments, dump's "A-B" range) throws a UsageError that
// names the i2c-tools command which takes it.
void refuse_habits(const std::string& command, const Args& args);
// The same for an option gpio-dll's `command` does not have (dump -r): the text to add to
// "unknown option", or "".
std::string option_hint(const std::string& command, const std::string& option);

}  // namespace gpio_dll::cli::i2c_tools
