// What the i2c-tools commands share: the module as an I2C adapter (the bus argument, opening it,
// what it can do), i2c-tools' number and address conventions and its confirmation question.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tool.hpp"

namespace gpio_dll::cli::i2c_tools {

// i2c-tools' version, which the commands' syntax, output and exit statuses follow.
inline constexpr const char* kI2cToolsVersion = "4.3";

// Linux's I2C_FUNC_* flags, as i2cdetect -F names them.
enum Functionality : unsigned long {
  kFuncI2c = 0x00000001,
  kFuncPec = 0x00000008,
  kFuncBlockProcCall = 0x00008000,
  kFuncQuick = 0x00010000,
  kFuncReadByte = 0x00020000,
  kFuncWriteByte = 0x00040000,
  kFuncReadByteData = 0x00080000,
  kFuncWriteByteData = 0x00100000,
  kFuncReadWordData = 0x00200000,
  kFuncWriteWordData = 0x00400000,
  kFuncProcCall = 0x00800000,
  kFuncReadBlockData = 0x01000000,
  kFuncWriteBlockData = 0x02000000,
  kFuncReadI2cBlock = 0x04000000,
  kFuncWriteI2cBlock = 0x08000000,
};

// What the module does as an adapter: every SMBus transaction but the quick command, with PEC,
// and I2C block reads and writes that start with a command byte; no free I2C messages.
unsigned long module_functionality();

// i2cdetect -F's lines: each functionality's name and "yes" or "no".
std::string functionality_list(unsigned long funcs);

// A module as i2cdetect -l lists it.
struct Adapter {
  int number = 0;  // its place in the listing
  std::string name;
  std::string path;
};

// The modules present, in the order discovery finds them.
std::vector<Adapter> adapters();

// I2CBUS: a number (any number is the module the tool chose: GPIO_DLL_SERIAL, GPIO_DLL_DEVICE,
// else the first found) or an adapter's name as -l lists it, which chooses that module. Prints
// i2c-tools' error and returns -1 when it is neither.
int lookup_bus(const std::string& word);

// The flags i2cget, i2cset and i2cdump take before their words, one a word as they read them:
// -V, -f (accepted: no kernel driver holds a chip on the module's bus), -y, -a and the command's
// own letters, of which those in `valued` take the next word as their value.
struct Flags {
  bool yes = false;
  bool all_addresses = false;
  bool version = false;
  std::string own;                     // the command's own letters given
  std::map<char, std::string> values;  // the values of the valued letters given
  Args words;                          // the words after the flags
};

// The flags at the start of args; prints 'Error: Unsupported option "-x"!' and returns nothing for
// one the command does not take.
std::optional<Flags> parse_flags(const Args& args, std::string_view own, std::string_view valued);

// What -V prints on standard error: "NAME version 4.3".
void print_version(const char* name);

// "/dev/i2c-N", the name i2c-tools give bus N in their questions and -F.
std::string device_file(int bus);

// Opens the bus: identifies the module (nothing goes onto the bus). Prints "Error: Could not
// open file `/dev/i2c-N': TEXT" and returns false when the module is not there.
bool open_bus(Tool& tool, int bus);

// strtol(word, 0): decimal, 0x hex or 0 octal; false unless the whole word is one number.
bool parse_long(const std::string& word, long& value);

// A 7-bit chip address, 0x08 to 0x77 (0x00 to 0x7f with -a); prints i2c-tools' error and
// returns -1 when it is not.
int parse_address(const std::string& word, bool all_addresses);

// "Error: Adapter does not have WHAT capability" on standard error.
void missing_capability(const std::string& what);

// The question's last line, "Continue? [Y/n] " (or [y/N] when `yes_by_default` is false), and the
// answer read from standard input: y or Y goes on, n or N stops, anything else (an empty line)
// takes the default; the end of input before a whole line stops. Prints "Aborting on user
// request." when it stops.
bool ask_to_continue(bool yes_by_default);

// The warning every question starts with.
void warn_before_asking();

// "0x%0*x" with 2 or 4 digits.
std::string hex_value(unsigned value, int digits);

}  // namespace gpio_dll::cli::i2c_tools
