// i2cdetect: lists the modules as adapters (-l), prints what the module can do (-F), or probes
// addresses and prints the grid of those that answered.
#include <cstdio>

#include "adapter.hpp"
#include "i2c_tools.hpp"
#include "smbus_calls.hpp"

namespace gpio_dll::cli::i2c_tools {

namespace {

enum class Mode { Auto, Quick, Read, Func };

void help() {
  std::fprintf(stderr,
               "Usage: i2cdetect [-y] [-a] [-q|-r] I2CBUS [FIRST LAST]\n"
               "       i2cdetect -F I2CBUS\n"
               "       i2cdetect -l\n"
               "  I2CBUS is an integer or an I2C bus name\n"
               "  If provided, FIRST and LAST limit the probing range.\n");
}

int usage_error() {
  help();
  return kExitUsage;
}

void list_adapters() {
  // The module runs SMBus transactions, not free I2C messages: an SMBus adapter.
  for (const auto& a : adapters())
    std::printf("i2c-%d\t%-10s\t%-32s\t%s\n", a.number, "smbus", a.name.c_str(), "SMBus adapter");
}

// Reads FIRST or LAST; prints the error and returns -1 when it is not in [min, max].
int range_end(const std::string& word, const char* which, int min, int max) {
  long value = 0;
  if (!parse_long(word, value)) {
    std::fprintf(stderr, "Error: %s argment not a number!\n", which);
    return -1;
  }
  if (value < min || value > max) {
    std::fprintf(stderr, "Error: %s argument out of range (0x%02x-0x%02x)!\n", which, min, max);
    return -1;
  }
  return static_cast<int>(value);
}

// Where the automatic mode reads (EEPROMs and chips that a quick write could upset) and where it
// writes quick.
Mode probe_for(int address) {
  return (address >= 0x30 && address <= 0x37) || (address >= 0x50 && address <= 0x5F) ? Mode::Read
                                                                                      : Mode::Quick;
}

}  // namespace

int run_i2cdetect(Tool& tool, const Args& args) {
  bool yes = false, version = false, list = false;
  Mode mode = Mode::Auto;
  int first = 0x08, last = 0x77;
  std::size_t i = 0;
  for (; i < args.size() && !args[i].empty() && args[i][0] == '-'; ++i) {
    const char option = args[i].size() > 1 ? args[i][1] : '\0';
    const auto set_mode = [&](Mode m, Mode other) {
      if (mode == other || (m == Mode::Func && mode == Mode::Func)) {
        std::fprintf(stderr, "Error: Different modes specified!\n");
        return false;
      }
      mode = m;
      return true;
    };
    switch (option) {
      case 'V':
        version = true;
        break;
      case 'y':
        yes = true;
        break;
      case 'F':
        if (!set_mode(Mode::Func, Mode::Func)) return kExitUsage;
        break;
      case 'r':
        if (!set_mode(Mode::Read, Mode::Quick)) return kExitUsage;
        break;
      case 'q':
        if (!set_mode(Mode::Quick, Mode::Read)) return kExitUsage;
        break;
      case 'l':
        list = true;
        break;
      case 'a':
        first = 0x00;
        last = 0x7F;
        break;
      default:
        std::fprintf(stderr, "Error: Unsupported option \"%s\"!\n", args[i].c_str());
        return usage_error();
    }
  }
  if (version) {
    print_version("i2cdetect");
    return kExitOk;
  }
  if (list) {
    list_adapters();
    return kExitOk;
  }
  const Args words(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
  if (words.empty()) {
    std::fprintf(stderr, "Error: No i2c-bus specified!\n");
    return usage_error();
  }
  const int bus = lookup_bus(words[0]);
  if (bus < 0) return usage_error();
  if (words.size() == 3 && mode != Mode::Func) {
    const int from = range_end(words[1], "FIRST", first, last);
    if (from < 0) return usage_error();
    first = from;
    const int to = range_end(words[2], "LAST", first, last);
    if (to < 0) return usage_error();
    last = to;
  } else if (words.size() != 1) {
    return usage_error();
  }

  if (!open_bus(tool, bus)) return kExitUsage;
  const unsigned long funcs = module_functionality();
  if (mode == Mode::Func) {
    std::printf("Functionalities implemented by %s:\n%s", device_file(bus).c_str(),
                functionality_list(funcs).c_str());
    return kExitOk;
  }
  const bool can_quick = funcs & kFuncQuick, can_read = funcs & kFuncReadByte;
  if (mode == Mode::Auto && !can_quick && !can_read) {
    std::fprintf(stderr, "Error: Bus doesn't support detection commands\n");
    return kExitUsage;
  }
  if (mode == Mode::Quick && !can_quick) {
    std::fprintf(stderr, "Error: Can't use SMBus Quick Write command on this bus\n");
    return kExitUsage;
  }
  if (mode == Mode::Read && !can_read) {
    std::fprintf(stderr, "Error: Can't use SMBus Receive Byte command on this bus\n");
    return kExitUsage;
  }
  if (mode == Mode::Auto) {
    if (!can_quick)
      std::fprintf(stderr,
                   "Warning: Can't use SMBus Quick Write command, will skip some addresses\n");
    if (!can_read)
      std::fprintf(stderr,
                   "Warning: Can't use SMBus Receive Byte command, will skip some addresses\n");
  }
  if (!yes) {
    warn_before_asking();
    std::fprintf(stderr, "I will probe file %s%s.\n", device_file(bus).c_str(),
                 mode == Mode::Quick  ? " using quick write commands"
                 : mode == Mode::Read ? " using receive byte commands"
                                      : "");
    std::fprintf(stderr, "I will probe address range 0x%02x-0x%02x.\n", first, last);
    if (!ask_to_continue(true)) return kExitOk;
  }

  std::printf("     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f\n");
  for (int row = 0; row < 128; row += 16) {
    std::printf("%02x: ", row);
    for (int address = row; address < row + 16; ++address) {
      const Mode probe = mode == Mode::Auto ? probe_for(address) : mode;
      if (address < first || address > last || (probe == Mode::Read && !can_read) ||
          (probe == Mode::Quick && !can_quick)) {
        std::printf("   ");
        continue;
      }
      // Only receive byte gets here: the module has no quick command.
      SMBusCalls smbus(tool, address);
      if (smbus.read_byte())
        std::printf("%02x ", address);
      else
        std::printf("-- ");
    }
    std::printf("\n");
  }
  return kExitOk;
}

}  // namespace gpio_dll::cli::i2c_tools
