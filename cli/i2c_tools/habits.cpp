// i2c-tools habits in gpio-dll's own commands, answered with the i2c-tools command that takes
// them.
#include <algorithm>

#include "i2c_tools.hpp"

namespace gpio_dll::cli::i2c_tools {

namespace {

std::string use(const std::string& command, const std::string& example) {
  return "; use `gpio-dll " + command + "` for i2c-tools syntax (gpio-dll " + command + " " +
         example + ")";
}

// An i2c-tools mode word: one of `letters`, with an optional p (PEC).
bool is_mode(const std::string& word, const std::string& letters) {
  return (word.size() == 1 || (word.size() == 2 && word[1] == 'p')) &&
         letters.find(word[0]) != std::string::npos;
}

bool is_bus_number(const std::string& word) {
  return !word.empty() && word.size() <= 3 &&
         std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool is_range(const std::string& word) {
  const auto dash = word.find('-', 1);
  return dash != std::string::npos && dash + 1 < word.size();
}

bool is_read(const std::string& op) {
  return op.starts_with("read") || op == "receive-byte";
}

}  // namespace

void refuse_habits(const std::string& command, const Args& args) {
  if (command == "scan" && (args.size() == 1 || args.size() == 3) && is_bus_number(args[0]))
    throw UsageError{"scan takes no bus number: " + args[0] + " is i2cdetect's I2CBUS" +
                     use("i2cdetect", "-y -r " + args[0])};
  if (command == "smbus" && !args.empty()) {
    if (is_bus_number(args[0]))
      throw UsageError{"smbus takes an operation first, not a bus number" +
                       use("i2cget", "-y " + args[0] + " 0x0b 0x0d w") + " or `gpio-dll i2cset`"};
    // "p" alone stays gpio-dll's packet error checking.
    if (args.size() > 2 && args.back() != "p" && is_mode(args.back(), "bwcsi")) {
      const std::string tool = is_read(args[0]) ? "i2cget" : "i2cset";
      std::string example = "-y 1";
      for (std::size_t i = 1; i < args.size(); ++i)
        example += " " + args[i];
      throw UsageError{"smbus " + args[0] + " takes no mode letter '" + args.back() +
                       "': the operation names the transaction" + use(tool, example)};
    }
  }
  if (command == "dump") {
    for (const auto& word : args)
      if (is_range(word))
        throw UsageError{"dump takes FIRST LAST as two words, not " + word +
                         use("i2cdump", "-y -r " + word + " 1 ADDRESS")};
    if (!args.empty() && is_mode(args.back(), "cWsi"))
      throw UsageError{"dump has no mode '" + args.back() + "'" +
                       use("i2cdump", "-y 1 ADDRESS " + args.back())};
  }
  if (command == "transfer" && !args.empty() && is_bus_number(args[0]))
    throw UsageError{"transfer takes no bus number: " + args[0] + " is i2ctransfer's I2CBUS" +
                     use("i2ctransfer", "-y " + args[0] + " w1@0x0b 0x0d r2")};
}

std::string option_hint(const std::string& command, const std::string& option) {
  if (command == "dump" && option.starts_with("-r"))
    return " (dump takes FIRST LAST" + use("i2cdump", "-y -r 0x08-0x1f 1 ADDRESS") + ")";
  if (command == "scan" &&
      (option == "-r" || option == "-q" || option == "-a" || option == "-F" || option == "-l"))
    return " (" + option + " is i2cdetect's" + use("i2cdetect", option + " 1") + ")";
  if (command == "transfer" && option == "-f")
    return " (" + option + " is i2ctransfer's" + use("i2ctransfer", "-y 1 w1@0x0b 0x0d r2") + ")";
  if ((command == "smbus" || command == "i2c") &&
      (option == "-f" || option == "-a" || option == "-m" || option == "-r"))
    return " (" + option + " is i2cget's or i2cset's" + use("i2cset", option + " ...") + ")";
  return "";
}

}  // namespace gpio_dll::cli::i2c_tools
