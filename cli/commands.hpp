// The commands of the gpio-dll tool.
#pragma once

#include "tool.hpp"

namespace gpio_dll::cli {

// Options and word handling that only some commands have.
enum CommandFlags : unsigned {
  kFlagPec = 1,          // --pec
  kFlagWord = 2,         // -w, --word
  kFlagIdentify = 4,     // --identify
  kFlagMethodWords = 8,  // the words after the first are a method's arguments, taken as given
};

struct Command {
  const char* name;
  const char* summary;
  const char* help;
  bool needs_module;  // runs against a platform (simulated or real)
  int (*run)(Tool& tool, Args& args);
  unsigned flags = 0;
};

const std::vector<Command>& commands();
// The text of `gpio-dll COMMAND --help`: the command's help, and for call the method names.
std::string full_help(const Command& command);
const Command* find_command(const std::string& name);

int run_identify(Tool& tool, Args& args);
int run_list(Tool& tool, Args& args);
int run_message(Tool& tool, Args& args);
int run_call(Tool& tool, Args& args);
int run_batch(Tool& tool, Args& args);
int run_smbus(Tool& tool, Args& args);
int run_i2c(Tool& tool, Args& args);
int run_scan(Tool& tool, Args& args);
int run_transfer(Tool& tool, Args& args);
int run_dump(Tool& tool, Args& args);
int run_lines(Tool& tool, Args& args);
int run_check_bus(Tool& tool, Args& args);
int run_bus_test(Tool& tool, Args& args);
int run_eeprom(Tool& tool, Args& args);
int run_dma(Tool& tool, Args& args);
int run_battery(Tool& tool, Args& args);
int run_debug_window(Tool& tool, Args& args);

}  // namespace gpio_dll::cli
