#include "adapter.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace gpio_dll::cli::i2c_tools {

namespace {

struct FunctionalityName {
  unsigned long flag;
  const char* name;
};

// i2cdetect -F's order and names.
constexpr FunctionalityName kFunctionalities[] = {
    {kFuncI2c, "I2C"},
    {kFuncQuick, "SMBus Quick Command"},
    {kFuncWriteByte, "SMBus Send Byte"},
    {kFuncReadByte, "SMBus Receive Byte"},
    {kFuncWriteByteData, "SMBus Write Byte"},
    {kFuncReadByteData, "SMBus Read Byte"},
    {kFuncWriteWordData, "SMBus Write Word"},
    {kFuncReadWordData, "SMBus Read Word"},
    {kFuncProcCall, "SMBus Process Call"},
    {kFuncWriteBlockData, "SMBus Block Write"},
    {kFuncReadBlockData, "SMBus Block Read"},
    {kFuncBlockProcCall, "SMBus Block Process Call"},
    {kFuncPec, "SMBus PEC"},
    {kFuncWriteI2cBlock, "I2C Block Write"},
    {kFuncReadI2cBlock, "I2C Block Read"},
};

}  // namespace

unsigned long module_functionality() {
  return kFuncPec | kFuncBlockProcCall | kFuncReadByte | kFuncWriteByte | kFuncReadByteData |
         kFuncWriteByteData | kFuncReadWordData | kFuncWriteWordData | kFuncProcCall |
         kFuncReadBlockData | kFuncWriteBlockData | kFuncReadI2cBlock | kFuncWriteI2cBlock;
}

std::string functionality_list(unsigned long funcs) {
  std::string text;
  for (const auto& f : kFunctionalities) {
    char line[64];
    std::snprintf(line, sizeof line, "%-32s %s\n", f.name, (funcs & f.flag) ? "yes" : "no");
    text += line;
  }
  return text;
}

std::vector<Adapter> adapters() {
  std::vector<Adapter> found;
  for (const auto& device : platform::list_devices()) {
    if (!device.is_module || !device.opened) continue;
    Adapter a;
    a.number = static_cast<int>(found.size());
    a.path = device.path;
    a.name = "gpio-dll " + (device.serial_number.empty() ? device.path : device.serial_number);
    found.push_back(std::move(a));
  }
  return found;
}

int lookup_bus(const std::string& word) {
  char* end = nullptr;
  errno = 0;
  const unsigned long number = std::strtoul(word.c_str(), &end, 0);
  if (!word.empty() && *end == '\0') {
    if (number > 0xFFFFF || errno == ERANGE) {
      std::fprintf(stderr, "Error: I2C bus out of range!\n");
      return -1;
    }
    return static_cast<int>(number);
  }
  // Not a number: an adapter's name.
  int bus = -1;
  for (const auto& a : adapters()) {
    if (a.name != word) continue;
    if (bus >= 0) {
      std::fprintf(stderr, "Error: I2C bus name is not unique!\n");
      return -1;
    }
    bus = a.number;
    platform::use_module_at(a.path);
  }
  if (bus < 0) std::fprintf(stderr, "Error: I2C bus name doesn't match any bus present!\n");
  return bus;
}

std::string device_file(int bus) {
  return "/dev/i2c-" + std::to_string(bus);
}

bool open_bus(Tool& tool, int bus) {
  std::string firmware, vendor, product;
  const std::int32_t result = tool.dll().GPIO_FW_VER_Read(firmware, vendor, product);
  if (result == OK) return true;
  std::fprintf(stderr, "Error: Could not open file `%s': %s\n", device_file(bus).c_str(),
               tool.message(result).c_str());
  if (const std::string reason = failure_reason(result); !reason.empty())
    std::fprintf(stderr, "%s\n", reason.c_str());
  return false;
}

std::optional<Flags> parse_flags(const Args& args, std::string_view own, std::string_view valued) {
  Flags flags;
  std::size_t i = 0;
  for (; i < args.size() && !args[i].empty() && args[i][0] == '-'; ++i) {
    const char letter = args[i].size() > 1 ? args[i][1] : '\0';
    if (letter == 'V') {
      flags.version = true;
    } else if (letter == 'f') {
    } else if (letter == 'y') {
      flags.yes = true;
    } else if (letter == 'a') {
      flags.all_addresses = true;
    } else if (letter != '\0' && own.find(letter) != std::string_view::npos) {
      flags.own += letter;
      // A valued flag without its word leaves no words: the command's usage follows.
      if (valued.find(letter) != std::string_view::npos && ++i < args.size())
        flags.values[letter] = args[i];
    } else {
      std::fprintf(stderr, "Error: Unsupported option \"%s\"!\n", args[i].c_str());
      return std::nullopt;
    }
  }
  flags.words.assign(args.begin() + static_cast<std::ptrdiff_t>(std::min(i, args.size())),
                     args.end());
  return flags;
}

void print_version(const char* name) {
  std::fprintf(stderr, "%s version %s\n", name, kI2cToolsVersion);
}

bool parse_long(const std::string& word, long& value) {
  if (word.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtol(word.c_str(), &end, 0);
  return *end == '\0' && errno != ERANGE;
}

int parse_address(const std::string& word, bool all_addresses) {
  long address = 0;
  if (!parse_long(word, address)) {
    std::fprintf(stderr, "Error: Chip address is not a number!\n");
    return -1;
  }
  const long min = all_addresses ? 0x00 : 0x08;
  const long max = all_addresses ? 0x7F : 0x77;
  if (address < min || address > max) {
    std::fprintf(stderr, "Error: Chip address out of range (0x%02lx-0x%02lx)!\n", min, max);
    return -1;
  }
  return static_cast<int>(address);
}

void missing_capability(const std::string& what) {
  std::fprintf(stderr, "Error: Adapter does not have %s capability\n", what.c_str());
}

void warn_before_asking() {
  std::fprintf(stderr,
               "WARNING! This program can confuse your I2C bus, cause data loss and worse!\n");
}

bool ask_to_continue(bool yes_by_default) {
  std::fprintf(stderr, "Continue? [%s] ", yes_by_default ? "Y/n" : "y/N");
  std::fflush(stderr);
  // As i2c-tools read it: the first character decides, the rest of the line is skipped, and the
  // end of input before the line's end is a no.
  bool go_on = false;
  int c = std::getchar();
  if (c != EOF) {
    go_on = c == 'y' || c == 'Y' ? true : c == 'n' || c == 'N' ? false : yes_by_default;
    while (c != '\n') {
      c = std::getchar();
      if (c == EOF) {
        go_on = false;
        break;
      }
    }
  }
  if (!go_on) std::fprintf(stderr, "Aborting on user request.\n");
  return go_on;
}

std::string hex_value(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*x", digits, value);
  return text;
}

}  // namespace gpio_dll::cli::i2c_tools
