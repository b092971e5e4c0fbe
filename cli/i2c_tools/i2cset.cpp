// i2cset: writes a register of a chip (a byte, a word or a block), with -m's mask and -r's read
// back.
#include <cstdio>

#include "adapter.hpp"
#include "i2c_tools.hpp"
#include "smbus_calls.hpp"

namespace gpio_dll::cli::i2c_tools {

namespace {

enum class Size { Byte, ByteData, WordData, BlockData, I2cBlockData };

constexpr std::size_t kBlockMax = 32;

int help() {
  std::fprintf(stderr,
               "Usage: i2cset [-f] [-y] [-m MASK] [-r] [-a] I2CBUS CHIP-ADDRESS DATA-ADDRESS "
               "[VALUE] ... [MODE]\n"
               "  I2CBUS is an integer or an I2C bus name\n"
               "  ADDRESS is an integer (0x08 - 0x77, or 0x00 - 0x7f if -a is given)\n"
               "  MODE is one of:\n"
               "    c (byte, no value)\n"
               "    b (byte data, default)\n"
               "    w (word data)\n"
               "    i (I2C block data)\n"
               "    s (SMBus block data)\n"
               "    Append p for SMBus PEC\n");
  return kExitUsage;
}

int digits(Size size) {
  return size == Size::WordData ? 4 : 2;
}

bool check_funcs(Size size, bool pec) {
  const unsigned long funcs = module_functionality();
  struct Need {
    Size size;
    unsigned long flag;
    const char* what;
  };
  static constexpr Need kNeeds[] = {
      {Size::Byte, kFuncWriteByte, "SMBus send byte"},
      {Size::ByteData, kFuncWriteByteData, "SMBus write byte"},
      {Size::WordData, kFuncWriteWordData, "SMBus write word"},
      {Size::BlockData, kFuncWriteBlockData, "SMBus block write"},
      {Size::I2cBlockData, kFuncWriteI2cBlock, "I2C block write"},
  };
  for (const auto& need : kNeeds) {
    if (need.size == size && !(funcs & need.flag)) {
      missing_capability(need.what);
      return false;
    }
  }
  if (pec && !(funcs & (kFuncPec | kFuncI2c)))
    std::fprintf(stderr, "Warning: Adapter does not seem to support PEC\n");
  return true;
}

bool confirm(int bus, int address, Size size, int daddress, int value, bool masked,
             const ByteArray& block, bool pec) {
  bool dont = false;
  warn_before_asking();
  if (address >= 0x50 && address <= 0x57) {
    std::fprintf(stderr,
                 "DANGEROUS! Writing to a serial EEPROM on a memory DIMM\n"
                 "may render your memory USELESS and make your system UNBOOTABLE!\n");
    dont = true;
  }
  std::fprintf(stderr, "I will write to device file %s, chip address 0x%02x,\n",
               device_file(bus).c_str(), address);
  if (size != Size::Byte) std::fprintf(stderr, "data address 0x%02x, ", daddress);
  if (size == Size::BlockData || size == Size::I2cBlockData) {
    std::fprintf(stderr, "data");
    for (auto b : block)
      std::fprintf(stderr, " 0x%02x", b);
    std::fprintf(stderr, ", mode %s.\n", size == Size::BlockData ? "smbus block" : "i2c block");
  } else {
    std::fprintf(stderr, "data 0x%02x%s, mode %s.\n", size == Size::Byte ? daddress : value,
                 masked ? " (masked)" : "", size == Size::WordData ? "word" : "byte");
  }
  if (pec) std::fprintf(stderr, "PEC checking enabled.\n");
  return ask_to_continue(!dont);
}

}  // namespace

int run_i2cset(Tool& tool, const Args& args) {
  const auto flags = parse_flags(args, "mr", "m");
  if (!flags) return help();
  if (flags->version) {
    print_version("i2cset");
    return kExitOk;
  }
  const bool yes = flags->yes, all_addresses = flags->all_addresses;
  const bool readback = flags->own.find('r') != std::string::npos;
  const auto mask_value = flags->values.find('m');
  const std::string* mask_word = mask_value != flags->values.end() ? &mask_value->second : nullptr;
  const Args& words = flags->words;
  if (words.size() < 3) return help();
  const int bus = lookup_bus(words[0]);
  if (bus < 0) return help();
  const int address = parse_address(words[1], all_addresses);
  if (address < 0) return help();
  long number = 0;
  if (!parse_long(words[2], number) || number < 0 || number > 0xFF) {
    std::fprintf(stderr, "Error: Data address invalid!\n");
    return help();
  }
  const int daddress = static_cast<int>(number);

  // The mode is the last word when it is not a number; the values stand between.
  Size size = words.size() == 3 ? Size::Byte : Size::ByteData;
  bool pec = false;
  std::size_t values_end = words.size();
  if (words.size() > 3 && !parse_long(words.back(), number)) {
    const std::string& mode = words.back();
    const bool with_pec = mode.size() == 2 && mode[1] == 'p';
    if (mode.size() != 1 && !with_pec) {
      std::fprintf(stderr, "Error: Invalid mode '%s'!\n", mode.c_str());
      return help();
    }
    switch (mode[0]) {
      case 'c':
        size = Size::Byte;
        break;
      case 'b':
        size = Size::ByteData;
        break;
      case 'w':
        size = Size::WordData;
        break;
      case 's':
        size = Size::BlockData;
        break;
      case 'i':
        size = Size::I2cBlockData;
        break;
      default:
        std::fprintf(stderr, "Error: Invalid mode '%s'!\n", mode.c_str());
        return help();
    }
    pec = with_pec;
    --values_end;
  }
  const std::size_t values = values_end - 3;
  const bool block_mode = size == Size::BlockData || size == Size::I2cBlockData;
  if (block_mode) {
    if (pec && size == Size::I2cBlockData) {
      std::fprintf(stderr, "Error: PEC not supported for I2C block writes!\n");
      return help();
    }
    if (mask_word) {
      std::fprintf(stderr, "Error: Mask not supported for block writes!\n");
      return help();
    }
    if (values > kBlockMax) {
      std::fprintf(stderr, "Error: Too many arguments!\n");
      return help();
    }
    if (values == 0) {
      std::fprintf(stderr, "Error: Data value invalid!\n");
      return help();
    }
  } else if (values > (size == Size::Byte ? 0u : 1u)) {
    std::fprintf(stderr, "Error: Too many arguments!\n");
    return help();
  } else if (size != Size::Byte && values == 0) {
    return help();
  }

  int value = -1;
  ByteArray block;
  const long max = size == Size::WordData ? 0xFFFF : 0xFF;
  for (std::size_t k = 3; k < values_end; ++k) {
    if (!parse_long(words[k], number)) {
      std::fprintf(stderr, "Error: Data value invalid!\n");
      return help();
    }
    if (number < 0 || number > max) {
      std::fprintf(stderr, "Error: Data value out of range!\n");
      return help();
    }
    value = static_cast<int>(number);
    block.push_back(static_cast<std::uint8_t>(number));
  }
  if (size == Size::Byte) value = daddress;  // a short write sends the data address alone
  int mask = 0;
  if (mask_word) {
    long m = 0;
    if (!parse_long(*mask_word, m) || m == 0) {
      std::fprintf(stderr, "Error: Data value mask invalid!\n");
      return help();
    }
    if (m < 0 || m > max) {
      std::fprintf(stderr, "Error: Data value mask out of range!\n");
      return help();
    }
    mask = static_cast<int>(m);
  }

  if (!open_bus(tool, bus) || !check_funcs(size, pec)) return kExitUsage;
  if (!yes && !confirm(bus, address, size, daddress, value, mask != 0, block, pec)) return kExitOk;

  SMBusCalls smbus(tool, address);
  smbus.set_pec(pec);
  const auto read_current = [&]() -> std::optional<int> {
    switch (size) {
      case Size::Byte:
        return smbus.read_byte();
      case Size::WordData:
        return smbus.read_word_data(daddress);
      default:
        return smbus.read_byte_data(daddress);
    }
  };
  if (mask != 0) {
    const auto old = read_current();
    if (!old) {
      std::fprintf(stderr, "Error: Failed to read old value\n");
      return kExitUsage;
    }
    value = (value & mask) | (*old & ~mask);
    if (!yes) {
      const int d = digits(size);
      std::fprintf(stderr, "Old value 0x%0*x, write mask 0x%0*x, will write 0x%0*x\n", d, *old, d,
                   mask, d, value);
      if (!ask_to_continue(true)) return kExitOk;
    }
  }

  bool written = false;
  switch (size) {
    case Size::Byte:
      written = smbus.write_byte(value);
      break;
    case Size::WordData:
      written = smbus.write_word_data(daddress, value);
      break;
    case Size::BlockData:
      written = smbus.write_block_data(daddress, block);
      break;
    case Size::I2cBlockData:
      written = smbus.write_i2c_block_data(daddress, block);
      break;
    case Size::ByteData:
      written = smbus.write_byte_data(daddress, value);
      break;
  }
  if (!written) {
    std::fprintf(stderr, "Error: Write failed\n");
    return kExitUsage;
  }
  if (!readback || block_mode) return kExitOk;

  smbus.set_pec(false);
  const auto read = read_current();
  const int d = digits(size);
  if (!read)
    std::printf("Warning - readback failed\n");
  else if (*read != value)
    std::printf("Warning - data mismatch - wrote 0x%0*x, read back 0x%0*x\n", d, value, d, *read);
  else
    std::printf("Value 0x%0*x written, readback matched\n", d, value);
  return kExitOk;
}

}  // namespace gpio_dll::cli::i2c_tools
