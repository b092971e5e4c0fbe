// gpio-dll-sim's command line: `serve` and its options, checked before anything is mounted.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "device_server/hidraw_server.hpp"
#include "simulated_module.hpp"

namespace gpio_dll::sim {

// The help text (`gpio-dll-sim --help`); the man page is made from it.
extern const char* const kServeUsage;

// A command line that cannot be served, with the reason naming the argument ("--retries x: is
// not a number").
class UsageError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

struct ServeArguments {
  enum class Action { kServe, kHelp, kVersion };
  Action action = Action::kServe;
  ModuleConfig config;  // of every module; serial numbers are set per module by the caller
  ServeOptions options;
  int modules = 1;
  bool serial_given = false;
};

// The firmware generations the simulated module is meant to run. Any other version text is
// served only when asked for (--allow-unknown-fw), since hosts refuse such a module.
bool is_known_firmware(const std::string& version);

// Reads the words after the program name: the command (serve) and its options, in any order.
// Throws UsageError.
ServeArguments parse_serve_arguments(const std::vector<std::string>& args);

}  // namespace gpio_dll::sim
