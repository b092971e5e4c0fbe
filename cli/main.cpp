// gpio-dll: the command-line tool for the module, in the manner of i2c-tools and libgpiod's
// tools. Exit status: 0 on OK, 2 on any other result code, 1 on usage errors.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "command_line.hpp"
#include "commands.hpp"
#include "environment.hpp"
#include "file_access.hpp"
#include "gpio_dll/debug_window.hpp"
#include "gpio_dll/trace.hpp"
#include "gpio_dll/version.h"
#include "i2c_tools/i2c_tools.hpp"
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
  std::string dir = options.hidraw_dir.value_or("");
  std::string named_by = "--hidraw-dir " + dir;
  if (!options.hidraw_dir) {
    const char* value = std::getenv(platform::kHidrawDirVariable);
    dir = value != nullptr ? value : "";
    named_by = std::string(platform::kHidrawDirVariable) + "=" + dir;
  }
  if (dir.empty()) {
    platform::use_system();
    return;
  }
  // A folder without the tree is a mistyped or stopped rack, not a host without modules.
  std::error_code ec;
  const std::filesystem::path class_dir = std::filesystem::path(dir) / "sys/class/hidraw";
  if (!std::filesystem::is_directory(class_dir, ec))
    throw UsageError{named_by + ": no hidraw tree there (" + class_dir.string() +
                     " is not a folder)"};
  platform::use_hidraw_dir(dir);
}

// --trace: the lines the debug window's trace list would show, on standard error, from the
// window's start-up on (loading it first gives the lines of a program whose window is open).
trace::Subscription trace_to_standard_error() {
  debug_window::load();
  return trace::Subscription(trace::Scope::this_thread,
                             [](std::string_view text) { std::cerr << text << "\n"; });
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
    std::cout << full_help(*line.command);
    return kExitOk;
  }
  const Command& command = *line.command;
  i2c_tools::refuse_habits(command.name, line.args);
  if ((options.script || options.held_ms) && !options.sim) options.sim = "2.0.19";
  settle_module_choice(options, command.needs_module);
  if (!options.sim && !platform::system_available() && command.needs_module)
    throw UsageError{"this build has no HID access to real modules here; use --sim FW"};

  Tool tool(options);
  tool.set_command(command.name);
  // Only debug-window puts windows on a display.
  if (std::string(command.name) != "debug-window") debug_window::run_headless();
  trace::Subscription trace;
  if (command.needs_module) {
    set_up_platform(options);
    if (options.trace) trace = trace_to_standard_error();
  }
  return command.run(tool, line.args);
}

// An i2c-tools command: its name, the words after it and the gpio-dll options before it.
struct I2cToolsCall {
  std::string name;
  Args args;
  Options options;
};

// The program's name without its folder (and ".exe").
std::string program_name(const char* argv0) {
  std::string name = argv0 != nullptr ? argv0 : "";
  name = name.substr(name.find_last_of("/\\") + 1);
  if (name.size() > 4 && name.ends_with(".exe")) name.resize(name.size() - 4);
  return name;
}

// "i2cget ..." through a link of that name, or "gpio-dll [--sim FW|--device PATH|--hidraw-dir DIR]
// [--serial SN] [--trace] i2cget ...": the call, else nothing (gpio-dll's own command line).
std::optional<I2cToolsCall> i2c_tools_call(int argc, char** argv) {
  I2cToolsCall call;
  call.name = program_name(argv[0]);
  Args words(argv + 1, argv + argc);
  if (i2c_tools::is_command(call.name)) {
    call.args = std::move(words);
    return call;
  }
  std::size_t i = 0;
  for (; i < words.size(); ++i) {
    const std::string& word = words[i];
    const bool valued =
        word == "--sim" || word == "--device" || word == "--serial" || word == "--hidraw-dir";
    if (valued && i + 1 < words.size()) {
      const std::string& value = words[++i];
      (word == "--sim"          ? call.options.sim
       : word == "--device"     ? call.options.device
       : word == "--hidraw-dir" ? call.options.hidraw_dir
                                : call.options.serial) = value;
    } else if (word == "--trace") {
      call.options.trace = true;
    } else {
      break;
    }
  }
  if (i == words.size() || !i2c_tools::is_command(words[i])) return std::nullopt;
  call.name = words[i];
  call.args.assign(words.begin() + static_cast<std::ptrdiff_t>(i) + 1, words.end());
  return call;
}

// i2c-tools' exit statuses; a usage error of the module choice ("GPIO_DLL_SIM: ...") exits 1.
int run_i2c_tools(I2cToolsCall& call) {
  Options& options = call.options;
  try {
    settle_module_choice(options, true);
    debug_window::run_headless();
    set_up_platform(options);
  } catch (const UsageError& e) {
    std::cerr << call.name << ": " << e.message << "\n";
    return kExitUsage;
  }
  trace::Subscription trace;
  if (options.trace) trace = trace_to_standard_error();
  Tool tool(options);
  return i2c_tools::run(call.name, tool, call.args);
}

}  // namespace

int main(int argc, char** argv) {
  if (auto call = i2c_tools_call(argc, argv)) {
    int status = run_i2c_tools(*call);
    std::string why;
    if (!flush_standard_output(why)) {
      std::cerr << call->name << ": cannot write standard output: " << why << "\n";
      if (status == kExitOk) status = kExitUsage;
    }
    return status;
  }
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
