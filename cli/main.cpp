// gpio-dll: the command-line tool for the module, in the manner of i2c-tools.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "call_format.hpp"
#include "diagnostics/form1.hpp"
#include "gpio_dll/gpio_dll.hpp"
#include "interface/module_state.hpp"
#include "simulated_module.hpp"

namespace {

using namespace gpio_dll;
using cli::UsageError;

constexpr const char* kProgram = "gpio-dll";
constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;
constexpr int kExitResult = 2;

constexpr const char* kUsage =
    "Usage: gpio-dll [OPTIONS] COMMAND [ARGS...]\n"
    "\n"
    "Commands:\n"
    "  identify               find the module and read its firmware version\n"
    "  message CODE           the message of a result code\n"
    "  call METHOD [ARG...]   call a method of cls_GPIO_DLL by name\n"
    "  batch                  run one 'METHOD ARG...' call per line of standard input\n"
    "\n"
    "Options:\n"
    "  --sim FW               use the built-in simulated module with firmware FW (1.0.10, 2.0.19)\n"
    "  --sim-script FILE      the simulated module answers from FILE first (hex answers, one\n"
    "                         per line, 'silent' for none); implies --sim 2.0.19 if not given\n"
    "  --json                 one JSON object per call\n"
    "  --trace                show the debug window's call trace on standard error\n"
    "  -h, --help             this text; 'gpio-dll COMMAND --help' for a command\n"
    "  --version              the tool's version\n"
    "\n"
    "Numbers are decimal or 0x hex; byte arrays are hex digits (\"\" for none).\n"
    "Exit status: 0 on OK, 2 on any other result code, 1 on usage errors.\n";

const char* command_help(const std::string& command) {
  if (command == "identify")
    return "Usage: gpio-dll identify\n"
           "Runs GPIO_FW_VER_Read: finds the module and prints its firmware version, vendor and\n"
           "product identifiers.\n";
  if (command == "message")
    return "Usage: gpio-dll message CODE\n"
           "Prints the message of a result code (Check_DllErrorCode).\n";
  if (command == "call")
    return "Usage: gpio-dll call METHOD [ARG...]\n"
           "Calls a method by name through late binding, one word per argument in declaration\n"
           "order, and prints the result, its message and every by-reference argument.\n"
           "Example: gpio-dll --sim 2.0.19 call GPIO_FW_VER_Read \"\" \"\" \"\"\n";
  if (command == "batch")
    return "Usage: gpio-dll batch < CALLS\n"
           "Reads one 'METHOD ARG...' call per line from standard input and runs them all on\n"
           "one thread, in order. Blank lines and lines starting with '#' are skipped.\n";
  return nullptr;
}

struct Options {
  std::optional<std::string> sim;
  std::optional<std::string> script;
  bool json = false;
  bool trace = false;
};

void error(const std::string& message) {
  std::cerr << kProgram << ": " << message << "\n";
}

std::int64_t parse_number(const std::string& word) {
  try {
    std::size_t used = 0;
    const std::int64_t value = std::stoll(word, &used, 0);
    if (used == word.size()) return value;
  } catch (const std::exception&) {
  }
  throw UsageError{"not a number: " + word};
}

struct CallSummary {
  bool ok = true;
};

// Calls one method and prints it; false when the call failed (result other than OK, or an
// automation error).
bool run_call(cls_GPIO_DLL& dll, const Options& options, const std::string& name,
              const std::vector<std::string>& words) {
  const automation::MethodInfo* method = automation::find_method(name);
  if (method == nullptr) throw UsageError{"no method " + name};
  cli::CallOutcome outcome;
  outcome.method = method;
  outcome.args = cli::parse_arguments(*method, words);
  std::string message;
  try {
    outcome.result = automation::Invoke(dll, method->dispid, outcome.args);
  } catch (const AutomationError& e) {
    outcome.automation_failed = true;
    outcome.automation_error = e.number();
    outcome.automation_message = AutomationError::description(e.number());
  }
  bool ok = !outcome.automation_failed;
  if (ok && method->result == automation::ResultType::Int32) {
    std::int32_t code = outcome.result.to_int32();
    message = dll.Check_DllErrorCode(code);
    ok = code == OK;
  }
  std::cout << (options.json ? cli::format_json(outcome, message) + "\n"
                             : cli::format_text(outcome, message));
  std::cout.flush();
  if (outcome.automation_failed)
    error("automation error " + std::to_string(outcome.automation_error) + ": " +
          outcome.automation_message);
  else if (!ok)
    error(outcome.result.to_text() + ": " + message);
  return ok;
}

int cmd_identify(cls_GPIO_DLL& dll, const Options& options) {
  std::string fw;
  std::string vendor;
  std::string product;
  const std::int32_t result = dll.GPIO_FW_VER_Read(fw, vendor, product);
  std::int32_t code = result;
  const std::string message = dll.Check_DllErrorCode(code);
  if (options.json) {
    std::cout << "{\"method\":\"GPIO_FW_VER_Read\",\"result\":" << result
              << ",\"message\":" << cli::json_string(message)
              << ",\"args\":{\"iDevFWver\":" << cli::json_string(fw)
              << ",\"iVendorID\":" << cli::json_string(vendor)
              << ",\"iProductID\":" << cli::json_string(product) << "}}\n";
  } else {
    std::cout << "firmware: " << fw << "\nvendor:   " << vendor << "\nproduct:  " << product
              << "\n";
  }
  if (result == OK) return kExitOk;
  error(std::to_string(result) + ": " + message);
  return kExitResult;
}

int cmd_message(cls_GPIO_DLL& dll, const Options& options, const std::vector<std::string>& args) {
  if (args.size() != 1) throw UsageError{"message takes one CODE"};
  const std::int64_t value = parse_number(args[0]);
  if (value < INT32_MIN || value > INT32_MAX) throw UsageError{"CODE out of range: " + args[0]};
  std::int32_t code = static_cast<std::int32_t>(value);
  const std::string message = dll.Check_DllErrorCode(code);
  if (options.json)
    std::cout << "{\"code\":" << code << ",\"message\":" << cli::json_string(message) << "}\n";
  else
    std::cout << message << "\n";
  return kExitOk;
}

int cmd_batch(cls_GPIO_DLL& dll, const Options& options) {
  bool all_ok = true;
  bool usage_failed = false;
  std::string line;
  int number = 0;
  while (std::getline(std::cin, line)) {
    ++number;
    try {
      std::vector<std::string> words = cli::split_words(line);
      if (words.empty() || words[0].starts_with("#")) continue;
      const std::string name = words[0];
      words.erase(words.begin());
      all_ok = run_call(dll, options, name, words) && all_ok;
    } catch (const UsageError& e) {
      error("line " + std::to_string(number) + ": " + e.message);
      usage_failed = true;
    }
  }
  if (usage_failed) return kExitUsage;
  return all_ok ? kExitOk : kExitResult;
}

void set_up_platform(const Options& options) {
  if (!options.sim) return;
  sim::ModuleConfig config;
  config.firmware_version = *options.sim;
  auto setup = sim::install_simulated_module(config);
  setup.platform->set_recording(false);
  if (options.script) {
    std::ifstream in(*options.script);
    if (!in) throw UsageError{"cannot read " + *options.script};
    try {
      setup.module->play_script(sim::parse_script(in));
    } catch (const std::invalid_argument& e) {
      throw UsageError{*options.script + ": " + e.what()};
    }
  }
}

void show_trace() {
  auto& window = ModuleState::current().debug_window();
  window.set_trace_observer([](const std::string& line) { std::cerr << line << "\n"; });
  window.show();
}

int run(int argc, char** argv) {
  Options options;
  std::vector<std::string> words(argv + 1, argv + argc);
  std::size_t i = 0;
  auto value_of = [&](const std::string& option) {
    if (i + 1 >= words.size()) throw UsageError{option + " needs a value"};
    return words[++i];
  };
  for (; i < words.size() && words[i].starts_with("-"); ++i) {
    const std::string& w = words[i];
    if (w == "-h" || w == "--help") {
      std::cout << kUsage;
      return kExitOk;
    } else if (w == "--version") {
      std::cout << kProgram << " 1.0.0\n";
      return kExitOk;
    } else if (w == "--sim") {
      options.sim = value_of(w);
    } else if (w == "--sim-script") {
      options.script = value_of(w);
    } else if (w == "--json") {
      options.json = true;
    } else if (w == "--trace") {
      options.trace = true;
    } else {
      throw UsageError{"unknown option " + w};
    }
  }
  if (i == words.size()) throw UsageError{"no command given (see --help)"};
  const std::string command = words[i];
  std::vector<std::string> args(words.begin() + static_cast<std::ptrdiff_t>(i) + 1, words.end());
  const char* help = command_help(command);
  if (help == nullptr) throw UsageError{"unknown command " + command};
  for (const auto& a : args)
    if (a == "-h" || a == "--help") {
      std::cout << help;
      return kExitOk;
    }

  cls_GPIO_DLL dll;
  if (command == "message") return cmd_message(dll, options, args);

  if (options.script && !options.sim) options.sim = "2.0.19";
  if (!options.sim && !platform::system_available()) {
    error("this build has no HID access to real modules on this system yet; use --sim FW");
    return kExitUsage;
  }
  try {
    set_up_platform(options);
  } catch (const std::invalid_argument& e) {
    throw UsageError{e.what()};
  }
  if (options.trace) show_trace();

  if (command == "identify") {
    if (!args.empty()) throw UsageError{"identify takes no arguments"};
    return cmd_identify(dll, options);
  }
  if (command == "call") {
    if (args.empty()) throw UsageError{"call needs a METHOD"};
    const std::string name = args[0];
    args.erase(args.begin());
    return run_call(dll, options, name, args) ? kExitOk : kExitResult;
  }
  if (!args.empty()) throw UsageError{"batch takes no arguments"};
  return cmd_batch(dll, options);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const UsageError& e) {
    error(e.message);
    return kExitUsage;
  }
}
