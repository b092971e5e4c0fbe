// gpio-dll: the command-line tool for the module, in the manner of i2c-tools and libgpiod's
// tools. Exit status: 0 on OK, 2 on any other result code, 1 on usage errors.
#include <fstream>
#include <iostream>

#include "base/module_state.hpp"
#include "commands.hpp"
#include "diagnostics/form1.hpp"
#include "diagnostics/headless_windowing.hpp"
#include "simulated_module.hpp"

namespace {

using namespace gpio_dll;
using namespace gpio_dll::cli;

std::string usage() {
  std::string text =
      "Usage: gpio-dll [OPTIONS] COMMAND [ARGS...]\n"
      "\n"
      "Commands:\n";
  for (const auto& c : commands()) {
    std::string name = c.name;
    name.resize(12, ' ');
    text += "  " + name + c.summary + "\n";
  }
  text +=
      "\n"
      "Options:\n"
      "  --sim FW            the built-in simulated module with firmware FW (1.0.10 or 2.0.19)\n"
      "  --sim-script FILE   the simulated module answers from FILE first (hex answers, one\n"
      "                      per line, 'silent' for none); implies --sim 2.0.19\n"
      "  --device PATH       the module at this hidraw node (default: the first one found)\n"
      "  --serial SN         the module whose serial number is SN\n"
      "  --json              one JSON object per result\n"
      "  --trace             the debug window's call trace on standard error\n"
      "  -h, --help          this text; 'gpio-dll COMMAND --help' for a command\n"
      "  --version           the tool's version\n"
      "\n"
      "Numbers are decimal or 0x hex. Addresses are 7-bit, as i2c-tools take them.\n"
      "Exit status: 0 on OK, 2 on any other result code (number and message on standard\n"
      "error), 1 on usage errors.\n";
  return text;
}

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
    if (options.script) {
      std::ifstream in(*options.script);
      if (!in) throw UsageError{"cannot read " + *options.script};
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

void show_trace() {
  auto& window = diagnostics::debug_window(ModuleState::current());
  window.set_trace_observer([](const std::string& line) { std::cerr << line << "\n"; });
  window.show();
}

int run(int argc, char** argv) {
  Options options;
  Args words;
  bool help = false;
  const Args all(argv + 1, argv + argc);
  for (std::size_t i = 0; i < all.size(); ++i) {
    const std::string& w = all[i];
    auto value = [&]() {
      if (i + 1 >= all.size()) throw UsageError{w + " needs a value"};
      return all[++i];
    };
    if (w == "--sim")
      options.sim = value();
    else if (w == "--sim-script")
      options.script = value();
    else if (w == "--device")
      options.device = value();
    else if (w == "--serial")
      options.serial = value();
    else if (w == "--json")
      options.json = true;
    else if (w == "--trace")
      options.trace = true;
    else if (w == "-h" || w == "--help")
      help = true;
    else if (w == "--version") {
      std::cout << "gpio-dll 1.0.0\n";
      return kExitOk;
    } else
      words.push_back(w);
  }
  if (words.empty()) {
    if (help) {
      std::cout << usage();
      return kExitOk;
    }
    throw UsageError{"no command given (see --help)"};
  }
  const Command* command = find_command(words[0]);
  if (command == nullptr) throw UsageError{"unknown command " + words[0] + " (see --help)"};
  if (help) {
    std::cout << command->help;
    return kExitOk;
  }
  if (options.script && !options.sim) options.sim = "2.0.19";
  if (options.sim && options.device) throw UsageError{"--sim and --device exclude each other"};
  if (!options.sim && !platform::system_available() && command->needs_module)
    throw UsageError{"this build has no HID access to real modules here; use --sim FW"};

  Args args(words.begin() + 1, words.end());
  Tool tool(options);
  // Only debug-window puts windows on a display; --trace shows the window's model here.
  if (std::string(command->name) != "debug-window")
    diagnostics::set_windowing(std::make_shared<diagnostics::HeadlessWindowing>());
  if (command->needs_module) {
    set_up_platform(options);
    if (options.trace) show_trace();
  }
  return command->run(tool, args);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const UsageError& e) {
    std::cerr << "gpio-dll: " << e.message << "\n";
    return kExitUsage;
  }
}
