// gpio-dll: the command-line tool for the module, in the manner of i2c-tools and libgpiod's
// tools. Exit status: 0 on OK, 2 on any other result code, 1 on usage errors.
#include <iostream>
#include <sstream>

#include "command_line.hpp"
#include "commands.hpp"
#include "file_access.hpp"
#include "gpio_dll/debug_window.hpp"
#include "gpio_dll/trace.hpp"
#include "gpio_dll/version.h"
#include "simulated_module.hpp"

namespace {

using namespace gpio_dll;
using namespace gpio_dll::cli;

// The longest script of answers read: one run of the tool plays it, and a whole EEPROM transfer
// (256 chunks and the identification) written with a blank between bytes takes about 50 KB, so
// 1 MiB holds twenty of them, comments included, and reads at once.
constexpr std::size_t kLongestScript = 1 << 20;

void set_up_platform(const Options& options) {
  if (options.serial) platform::use_module_with_serial(*options.serial);
  if (options.sim) {
    sim::ModuleConfig config;
    config.firmware_version = *options.sim;
    sim::SimulatedSetup setup;
    try {
      setup = sim::install_simulated_module(config);
    } catch (const std::invalid_argument& e) {
      throw UsageError{e.what()};
    }
    setup.platform->set_recording(false);
    setup.module->set_recording(false);
    if (options.held_ms) setup.platform->hold_lock_elsewhere(setup.device, *options.held_ms);
    if (options.script) {
      std::istringstream in(
          read_file(*options.script, kLongestScript, "a script answers one run of the tool"));
      try {
        setup.module->play_script(sim::parse_script(in));
      } catch (const std::invalid_argument& e) {
        throw UsageError{*options.script + ": " + e.what()};
      }
    }
    return;
  }
  if (options.device) {
    platform::use_hidraw_device(*options.device);
    return;
  }
  platform::use_system();
}

int run(CommandLine& line) {
  Options& options = line.options;
  if (line.version) {
    std::cout << "gpio-dll " << GPIO_DLL_VERSION_STRING << "\n";
    return kExitOk;
  }
  if (line.command == nullptr) {
    if (line.help) {
      std::cout << usage_text();
      return kExitOk;
    }
    throw UsageError{"no command given (see --help)"};
  }
  if (line.help) {
    std::cout << line.command->help;
    return kExitOk;
  }
  if ((options.script || options.held_ms) && !options.sim) options.sim = "2.0.19";
  if (options.sim && options.device) throw UsageError{"--sim and --device exclude each other"};
  const Command& command = *line.command;
  if (!options.sim && !platform::system_available() && command.needs_module)
    throw UsageError{"this build has no HID access to real modules here; use --sim FW"};

  Tool tool(options);
  // Only debug-window puts windows on a display.
  if (std::string(command.name) != "debug-window") debug_window::run_headless();
  // --trace: the lines the debug window's trace list would show, on standard error.
  trace::Subscription trace;
  if (command.needs_module) {
    set_up_platform(options);
    if (options.trace) {
      debug_window::load();
      trace = trace::Subscription(trace::Scope::this_thread,
                                  [](std::string_view text) { std::cerr << text << "\n"; });
    }
  }
  return command.run(tool, line.args);
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine line;
  int status = kExitOk;
  try {
    parse_command_line(argc, argv, line);
    status = run(line);
  } catch (const UsageError& e) {
    status = report_usage_error(line, e.message);
  }
  // Output that never arrived (a full disk, a closed pipe) is a failure, not a success.
  std::string why;
  if (!flush_standard_output(why)) {
    std::cerr << "gpio-dll: cannot write standard output: " << why << "\n";
    if (status == kExitOk) status = kExitUsage;
  }
  return status;
}
