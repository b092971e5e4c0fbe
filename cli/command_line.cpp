#include "command_line.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>

#include "i2c_tools/i2c_tools.hpp"

namespace gpio_dll::cli {

namespace {

// An option that the parser did not know: it starts with '-' and is not a number ("-1") or "--".
bool looks_like_option(const std::string& word) {
  return word.size() > 1 && word[0] == '-' && word != "--";
}

// The global options that take a value.
bool takes_value(const std::string& word) {
  return word == "--sim" || word == "--sim-script" || word == "--sim-held" || word == "--device" ||
         word == "--serial" || word == "--hidraw-dir";
}

// For a command whose words after the first are a method's (call): the index in `words` of
// METHOD, the first word after the command that is not an option, or words.size().
std::size_t method_word(const std::vector<std::string>& words) {
  std::size_t i = 0;
  for (; i < words.size(); ++i) {
    if (takes_value(words[i])) {
      ++i;
      continue;
    }
    if (words[i] == "--") return words.size();
    if (!looks_like_option(words[i])) break;
  }
  if (i >= words.size()) return words.size();
  const Command* command = find_command(words[i]);
  if (command == nullptr || !(command->flags & kFlagMethodWords)) return words.size();
  // The command's own options, then METHOD; "--" before METHOD lets it start with '-'.
  for (++i; i < words.size() && looks_like_option(words[i]); ++i)
    if (takes_value(words[i])) ++i;
  if (i < words.size() && words[i] == "--") ++i;
  return std::min(i, words.size());  // an option's value missing at the end
}

void add_command_flags(CLI::App& sub, const Command& command, CommandLine& line) {
  // Global options after the command too.
  sub.fallthrough();
  sub.allow_extras();
  sub.set_help_flag();
  sub.add_flag("-h,--help", line.help);
  if (command.flags & kFlagPec) sub.add_flag("--pec", line.options.pec);
  if (command.flags & kFlagWord) sub.add_flag("-w,--word", line.options.word_mode);
  if (command.flags & kFlagIdentify) sub.add_flag("--identify", line.options.identify_first);
  if (!(command.flags & kFlagMethodWords)) sub.add_option("words", line.args);
}

}  // namespace

void parse_command_line(int argc, char** argv, CommandLine& line) {
  std::vector<std::string> words(argv + 1, argv + argc);
  // --json and the command first, for the errors of the parser itself.
  bool command_seen = false;
  for (std::size_t i = 0; i < words.size() && words[i] != "--"; ++i) {
    if (words[i] == "--json") line.options.json = true;
    if (takes_value(words[i])) {
      ++i;
    } else if (!command_seen && !looks_like_option(words[i])) {
      command_seen = true;
      line.command = find_command(words[i]);
    }
  }
  // The method's words stay out of the parser: "-5" and "--5" are arguments there.
  const std::size_t method = method_word(words);
  line.args.assign(words.begin() + static_cast<std::ptrdiff_t>(method), words.end());
  words.resize(method);
  std::reverse(words.begin(), words.end());  // CLI11 takes them last first

  CLI::App app{"", "gpio-dll"};
  app.set_help_flag();
  app.allow_extras();
  app.require_subcommand(0, 1);  // "eeprom dump": the second word is the command's, not one more
  app.add_flag("-h,--help", line.help);
  app.add_flag("-V,-v,--version", line.version);
  std::string sim, script, held, device, serial, hidraw_dir;
  auto* sim_option =
      app.add_option("--sim", sim)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  auto* script_option =
      app.add_option("--sim-script", script)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  auto* held_option =
      app.add_option("--sim-held", held)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  auto* device_option =
      app.add_option("--device", device)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  auto* serial_option =
      app.add_option("--serial", serial)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  auto* hidraw_dir_option = app.add_option("--hidraw-dir", hidraw_dir)
                                ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.add_flag("--json", line.options.json);
  app.add_flag("--trace", line.options.trace);
  app.add_flag("-y,--yes", line.options.yes);
  for (const auto& command : commands())
    add_command_flags(*app.add_subcommand(command.name), command, line);

  try {
    app.parse(words);
  } catch (const CLI::ArgumentMismatch& e) {
    const std::string text = e.what();
    if (text.find("missing") == std::string::npos) throw UsageError{text};
    throw UsageError{text.substr(0, text.find(':')) + " needs a value"};
  } catch (const CLI::ParseError& e) {
    throw UsageError{e.what()};
  }
  if (*sim_option) line.options.sim = sim;
  if (*script_option) line.options.script = script;
  if (*held_option)
    line.options.held_ms = static_cast<std::uint32_t>(parse_number(held, 0, 3600000, "--sim-held"));
  if (*device_option) line.options.device = device;
  if (*serial_option) line.options.serial = serial;
  if (*hidraw_dir_option) line.options.hidraw_dir = hidraw_dir;

  CLI::App* sub = nullptr;
  line.command = nullptr;
  for (auto* parsed : app.get_subcommands()) {
    sub = parsed;
    line.command = find_command(parsed->get_name());
  }
  std::vector<std::string> extras = app.remaining();
  if (sub != nullptr)
    for (const auto& word : sub->remaining())
      if (word != "--") extras.push_back(word);
  for (const auto& word : extras)
    if (looks_like_option(word))
      throw UsageError{"unknown option " + word +
                       (line.command ? i2c_tools::option_hint(line.command->name, word) : "")};
  if (!extras.empty()) {
    if (line.command == nullptr && i2c_tools::is_command(extras.front()))
      throw UsageError{extras.front() +
                       " takes i2c-tools' options after its name; before it only --sim, "
                       "--device, --serial and --trace"};
    if (line.command == nullptr)
      throw UsageError{"unknown command " + extras.front() + " (see --help)"};
    throw UsageError{"unexpected word " + extras.front()};
  }
}

std::string usage_text() {
  std::size_t width = 0;
  for (const auto& c : commands())
    width = std::max(width, std::string(c.name).size());
  std::string text =
      "Usage: gpio-dll [OPTIONS] COMMAND [ARGS...]\n"
      "The USB-to-GPIO module (0451:5F00): SMBus and I2C transactions, its lines and its EEPROM,\n"
      "in the manner of i2c-tools.\n"
      "\n"
      "Commands:\n";
  for (const auto& c : commands()) {
    std::string name = c.name;
    name.resize(width + 2, ' ');
    text += "  " + name + c.summary + "\n";
  }
  text +=
      "\n"
      "Options:\n"
      "  --sim FW            the built-in simulated module with firmware FW (1.0.10 or 2.0.19)\n"
      "  --sim-script FILE   the simulated module answers from FILE first (hex answers, one\n"
      "                      per line, 'silent' for none); implies --sim 2.0.19\n"
      "  --sim-held MS       another user holds the simulated module for MS ms of its virtual\n"
      "                      time when the tool starts; implies --sim 2.0.19\n"
      "  --device PATH       the module at this hidraw node (default: the first one found)\n"
      "  --serial SN         the module whose serial number is SN\n"
      "  --hidraw-dir DIR    the modules of the hidraw tree under DIR (DIR/dev and\n"
      "                      DIR/sys/class/hidraw), such as a folder gpio-dll-sim serves at;\n"
      "                      without it the folder in GPIO_DLL_HIDRAW_DIR when that is set,\n"
      "                      else the system's own hidraw nodes\n"
      "  --json              one JSON object per result on standard output\n"
      "  --trace             the debug window's call trace on standard error\n"
      "  -y, --yes           no confirmation before writes (asked only on a terminal)\n"
      "  -h, --help          this text; 'gpio-dll COMMAND --help' for a command\n"
      "  -V, -v, --version   the tool's version\n"
      "\n"
      "\n"
      "i2c-tools 4.3's commands, their syntax, output and exit statuses, also as links of these\n"
      "names; any I2CBUS number is the module chosen by the options or the environment:\n"
      "  i2cdetect           [-y] [-a] [-q|-r] I2CBUS [FIRST LAST] | -F I2CBUS | -l\n"
      "  i2cget              [-y] [-a] I2CBUS ADDRESS [REGISTER [MODE [LENGTH]]]\n"
      "  i2cset              [-y] [-m MASK] [-r] [-a] I2CBUS ADDRESS REGISTER [VALUE]... [MODE]\n"
      "  i2cdump             [-y] [-r FIRST-LAST] [-a] I2CBUS ADDRESS [MODE]\n"
      "  i2ctransfer         [-y] [-v] [-a] I2CBUS DESC [DATA]...\n"
      "Before the name only --sim, --device, --serial and --trace stand (gpio-dll --sim 2.0.19\n"
      "i2cget -y 1 0x0b 0x0d w).\n"
      "\n"
      "Environment:\n"
      "  GPIO_DLL_SIM=FW       as --sim FW, when neither --sim nor --device is given\n"
      "  GPIO_DLL_DEVICE=PATH  as --device PATH, when neither --sim nor --device is given\n"
      "  GPIO_DLL_SERIAL=SN    as --serial SN, when --serial is not given\n"
      "\n"
      "Options may stand anywhere on the line, before or after the command.\n"
      "Numbers are decimal or 0x hex. Addresses are 7-bit, as i2c-tools take them.\n"
      "Exit status: 0 on OK, 2 on any other result code (number and message on standard\n"
      "error), 1 on usage errors.\n";
  return text;
}

int report_usage_error(const CommandLine& line, const std::string& text) {
  std::cerr << "gpio-dll: " << text << "\n";
  if (line.options.json) {
    const std::string command = line.command != nullptr ? line.command->name : "";
    std::cout << json_line({{"command", command}, {"result", "usage"}, {"message", text}}) << "\n";
  }
  return kExitUsage;
}

}  // namespace gpio_dll::cli
