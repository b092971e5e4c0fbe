// i2cdump: a chip's registers as a table, read a byte, a word or a block at a time.
#include <algorithm>
#include <array>
#include <cstdio>

#include "adapter.hpp"
#include "i2c_tools.hpp"
#include "smbus_calls.hpp"

namespace gpio_dll::cli::i2c_tools {

namespace {

enum class Size { Byte, ByteData, WordData, BlockData, I2cBlockData };

int help() {
  std::fprintf(stderr,
               "Usage: i2cdump [-f] [-y] [-r first-last] [-a] I2CBUS ADDRESS [MODE [BANK "
               "[BANKREG]]]\n"
               "  I2CBUS is an integer or an I2C bus name\n"
               "  ADDRESS is an integer (0x08 - 0x77, or 0x00 - 0x7f if -a is given)\n"
               "  MODE is one of:\n"
               "    b (byte, default)\n"
               "    w (word)\n"
               "    W (word on even register addresses)\n"
               "    s (SMBus block, deprecated)\n"
               "    i (I2C block)\n"
               "    c (consecutive byte)\n"
               "    Append p for SMBus PEC\n");
  return kExitUsage;
}

bool check_funcs(Size size, bool pec) {
  const unsigned long funcs = module_functionality();
  const auto need = [&](unsigned long flag, const char* what) {
    if (funcs & flag) return true;
    missing_capability(what);
    return false;
  };
  switch (size) {
    case Size::Byte:
      if (!need(kFuncReadByte, "SMBus receive byte") || !need(kFuncWriteByte, "SMBus send byte"))
        return false;
      break;
    case Size::ByteData:
      if (!need(kFuncReadByteData, "SMBus read byte")) return false;
      break;
    case Size::WordData:
      if (!need(kFuncReadWordData, "SMBus read word")) return false;
      break;
    case Size::BlockData:
      if (!need(kFuncReadBlockData, "SMBus block read")) return false;
      break;
    case Size::I2cBlockData:
      if (!need(kFuncReadI2cBlock, "I2C block read")) return false;
      break;
  }
  if (pec && !(funcs & (kFuncPec | kFuncI2c)))
    std::fprintf(stderr, "Warning: Adapter does not seem to support PEC\n");
  return true;
}

const char* mode_name(Size size) {
  switch (size) {
    case Size::BlockData:
      return "smbus block";
    case Size::I2cBlockData:
      return "i2c block";
    case Size::Byte:
      return "byte consecutive read";
    case Size::ByteData:
      return "byte";
    default:
      return "word";
  }
}

// The ASCII column's character for a byte: '.' for 0x00 and 0xff, '?' for others not printable.
char shown(int value) {
  if (value < 0) return 'X';
  if (value == 0x00 || value == 0xFF) return '.';
  if (value < 32 || value >= 127) return '?';
  return static_cast<char>(value);
}

}  // namespace

int run_i2cdump(Tool& tool, const Args& args) {
  const auto flags = parse_flags(args, "r", "r");
  if (!flags) return help();
  if (flags->version) {
    print_version("i2cdump");
    return kExitOk;
  }
  const bool yes = flags->yes, all_addresses = flags->all_addresses;
  const auto range_value = flags->values.find('r');
  const std::string* range = range_value != flags->values.end() ? &range_value->second : nullptr;
  const Args& words = flags->words;
  if (words.empty()) {
    std::fprintf(stderr, "Error: No i2c-bus specified!\n");
    return help();
  }
  const int bus = lookup_bus(words[0]);
  if (bus < 0) return help();
  if (words.size() < 2) {
    std::fprintf(stderr, "Error: No address specified!\n");
    return help();
  }
  const int address = parse_address(words[1], all_addresses);
  if (address < 0) return help();

  Size size = Size::ByteData;
  bool pec = false, even = false;
  if (words.size() < 3) {
    std::fprintf(stderr, "No size specified (using byte-data access)\n");
  } else {
    const std::string& mode = words[2];
    const bool p = mode.size() > 1 && mode[1] == 'p';
    if (mode[0] == 'b') {
      pec = p;
    } else if (mode[0] == 'w') {
      size = Size::WordData;
      pec = p;
    } else if (mode[0] == 'W') {
      size = Size::WordData;
      even = true;
    } else if (mode[0] == 's') {
      size = Size::BlockData;
      std::fprintf(stderr, "SMBus block mode is deprecated, please use i2cget instead\n");
      pec = p;
    } else if (mode[0] == 'c') {
      size = Size::Byte;
      pec = p;
    } else if (mode == "i") {
      size = Size::I2cBlockData;
    } else {
      std::fprintf(stderr, "Error: Invalid mode!\n");
      return help();
    }
  }
  long bank = 0, bankreg = 0x4E;
  if (words.size() > 3) {
    if (!parse_long(words[3], bank) || size == Size::I2cBlockData) {
      std::fprintf(stderr, "Error: Invalid bank number!\n");
      return help();
    }
    if ((size == Size::ByteData || size == Size::WordData) && (bank < 0 || bank > 15)) {
      std::fprintf(stderr, "Error: bank out of range!\n");
      return help();
    }
    if (size == Size::BlockData && (bank < 0 || bank > 0xFF)) {
      std::fprintf(stderr, "Error: block command out of range!\n");
      return help();
    }
    if (words.size() > 4) {
      if (!parse_long(words[4], bankreg) || size == Size::BlockData) {
        std::fprintf(stderr, "Error: Invalid bank register number!\n");
        return help();
      }
      if (bankreg < 0 || bankreg > 0xFF) {
        std::fprintf(stderr, "Error: bank out of range (0-0xff)!\n");
        return help();
      }
    }
  }

  int first = 0x00, last = 0xFF;
  if (range) {
    const std::string& r = *range;
    const auto dash = r.find('-', 1);
    long from = 0, to = 0;
    if (dash == std::string::npos || !parse_long(r.substr(0, dash), from) ||
        !parse_long(r.substr(dash + 1), to) || from < 0 || from > 0xFF || to < from || to > 0xFF) {
      std::fprintf(stderr, "Error: Invalid range parameter!\n");
      return kExitUsage;
    }
    first = static_cast<int>(from);
    last = static_cast<int>(to);
    const bool fits = size == Size::Byte || size == Size::ByteData || size == Size::I2cBlockData ||
                      (size == Size::WordData && (!even || (first % 2 == 0 && last % 2 == 1)));
    if (!fits) {
      std::fprintf(stderr, "Error: Range parameter not compatible with selected mode!\n");
      return kExitUsage;
    }
  }

  if (!open_bus(tool, bus) || !check_funcs(size, pec)) return kExitUsage;
  if (!yes) {
    warn_before_asking();
    std::fprintf(stderr, "I will probe file %s, address 0x%x, mode %s\n", device_file(bus).c_str(),
                 address, mode_name(size));
    if (pec) std::fprintf(stderr, "PEC checking enabled.\n");
    if (even) std::fprintf(stderr, "Only probing even register addresses.\n");
    if (bank) {
      if (size == Size::BlockData)
        std::fprintf(stderr, "Using command 0x%02lx.\n", bank);
      else
        std::fprintf(stderr, "Probing bank %ld using bank register 0x%02lx.\n", bank, bankreg);
    }
    if (range) std::fprintf(stderr, "Probe range limited to 0x%02x-0x%02x.\n", first, last);
    if (!ask_to_continue(true)) return kExitOk;
  }

  SMBusCalls smbus(tool, address);
  smbus.set_pec(pec);
  int old_bank = 0;
  if (bank && size != Size::BlockData) {
    const auto old = smbus.read_byte_data(static_cast<int>(bankreg));
    if (!old ||
        !smbus.write_byte_data(static_cast<int>(bankreg), static_cast<int>(bank) | (*old & 0xF0))) {
      std::fprintf(stderr, "Error: Bank switching failed\n");
      return kExitUsage;
    }
    old_bank = *old;
  }

  std::array<int, 256> block{};
  block.fill(-1);
  int s_length = 256;
  if (size == Size::BlockData || size == Size::I2cBlockData) {
    bool read = true;
    if (size == Size::BlockData) {
      const auto data = smbus.read_block_data(static_cast<int>(bank));
      read = data && !data->empty();
      if (read) {
        s_length = static_cast<int>(std::min<std::size_t>(data->size(), 256));
        std::copy(data->begin(), data->begin() + s_length, block.begin());
        last = s_length - 1;
      }
    } else {
      for (int reg = first; read && reg <= last;) {
        const int length = std::min(32, last + 1 - reg);
        const auto data = smbus.read_i2c_block_data(reg, length);
        read = data && !data->empty();
        if (!read) break;
        for (std::size_t k = 0; k < data->size() && reg + static_cast<int>(k) < 256; ++k)
          block[static_cast<std::size_t>(reg) + k] = (*data)[k];
        reg += static_cast<int>(data->size());
      }
    }
    if (!read) {
      std::fprintf(stderr, "Error: Block read failed, return code %d\n", smbus.return_code());
      return kExitUsage;
    }
  }
  if (size == Size::Byte && !smbus.write_byte(first)) {
    std::fprintf(stderr, "Error: Write start address failed, return code %d\n",
                 smbus.return_code());
    return kExitUsage;
  }

  if (size == Size::WordData && !even) {
    std::printf("     0,8  1,9  2,a  3,b  4,c  5,d  6,e  7,f\n");
    for (int row = first & ~7; row <= last; row += 8) {
      std::printf("%02x: ", row);
      for (int reg = row; reg < row + 8; ++reg) {
        if (reg < first || reg > last) {
          std::printf("     ");
          continue;
        }
        if (const auto word = smbus.read_word_data(reg))
          std::printf("%04x ", *word);
        else
          std::printf("XXXX ");
      }
      std::printf("\n");
    }
  } else {
    std::printf("     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f    0123456789abcdef\n");
    for (int row = first & ~15; row <= last; row += 16) {
      if (size == Size::BlockData && row >= s_length) break;
      std::printf("%02x: ", row);
      for (int reg = row; reg < row + 16; ++reg) {
        const auto cell = static_cast<std::size_t>(reg);
        if (reg < first || reg > last) {
          std::printf("%s", even ? "      " : "   ");
          if (even) ++reg;
          continue;
        }
        if (size == Size::ByteData) {
          block[cell] = smbus.read_byte_data(reg).value_or(-1);
        } else if (even) {
          const int word = smbus.read_word_data(reg).value_or(-1);
          block[cell] = word < 0 ? -1 : word & 0xFF;
          block[cell + 1] = word < 0 ? -1 : word >> 8;
        } else if (size == Size::Byte) {
          block[cell] = smbus.read_byte().value_or(-1);
        }
        if (size == Size::BlockData && reg >= s_length) {
          std::printf("   ");
        } else if (block[cell] < 0) {
          std::printf("%s", even ? "XX XX " : "XX ");
        } else {
          std::printf("%02x ", block[cell]);
          if (even) std::printf("%02x ", block[cell + 1]);
        }
        if (even) ++reg;
      }
      std::printf("   ");
      for (int reg = row; reg < row + 16; ++reg) {
        if (size == Size::BlockData && reg >= s_length) break;
        if (reg < first || reg > last) {
          std::printf(" ");
          continue;
        }
        std::printf("%c", shown(block[static_cast<std::size_t>(reg)]));
      }
      std::printf("\n");
    }
  }
  if (bank && size != Size::BlockData) smbus.write_byte_data(static_cast<int>(bankreg), old_bank);
  return kExitOk;
}

}  // namespace gpio_dll::cli::i2c_tools
