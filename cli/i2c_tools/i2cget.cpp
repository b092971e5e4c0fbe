// i2cget: reads one register (or the current one, or a block) of a chip.
#include <cstdio>

#include "adapter.hpp"
#include "i2c_tools.hpp"
#include "smbus_calls.hpp"

namespace gpio_dll::cli::i2c_tools {

namespace {

enum class Size { Byte, ByteData, WordData, BlockData, I2cBlockData };

constexpr int kBlockMax = 32;

int help() {
  std::fprintf(stderr,
               "Usage: i2cget [-f] [-y] [-a] I2CBUS CHIP-ADDRESS [DATA-ADDRESS [MODE [LENGTH]]]\n"
               "  I2CBUS is an integer or an I2C bus name\n"
               "  ADDRESS is an integer (0x08 - 0x77, or 0x00 - 0x7f if -a is given)\n"
               "  MODE is one of:\n"
               "    b (read byte data, default)\n"
               "    w (read word data)\n"
               "    c (write byte/read byte)\n"
               "    s (read SMBus block data)\n"
               "    i (read I2C block data)\n"
               "    Append p for SMBus PEC\n"
               "  LENGTH is the I2C block data length (between 1 and %d, default %d)\n",
               kBlockMax, kBlockMax);
  return kExitUsage;
}

bool check_funcs(Size size, int daddress, bool pec) {
  const unsigned long funcs = module_functionality();
  const auto need = [&](unsigned long flag, const char* what) {
    if (funcs & flag) return true;
    missing_capability(what);
    return false;
  };
  switch (size) {
    case Size::Byte:
      if (!need(kFuncReadByte, "SMBus receive byte")) return false;
      if (daddress >= 0 && !need(kFuncWriteByte, "SMBus send byte")) return false;
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

const char* transaction_name(Size size, int daddress) {
  switch (size) {
    case Size::Byte:
      return daddress < 0 ? "read byte" : "write byte/read byte";
    case Size::ByteData:
      return "read byte data";
    case Size::BlockData:
      return "read SMBus block data";
    default:
      return "read word data";
  }
}

bool confirm(int bus, int address, Size size, int daddress, bool pec, int length) {
  bool dont = false;
  warn_before_asking();
  // An EEPROM takes a PEC byte for data.
  if (address >= 0x50 && address <= 0x57 && pec) {
    std::fprintf(stderr,
                 "STOP! EEPROMs are I2C devices, not SMBus devices. Using PEC\n"
                 "on I2C devices may result in unexpected results, such as\n"
                 "trashing the contents of EEPROMs. We can't let you do that, sorry.\n");
    return false;
  }
  if (size == Size::Byte && daddress >= 0 && pec) {
    std::fprintf(stderr,
                 "WARNING! All I2C chips and some SMBus chips will interpret a write\n"
                 "byte command with PEC as awrite byte data command, effectively writing a\n"
                 "value into a register!\n");
    dont = true;
  }
  std::fprintf(stderr, "I will read from device file %s, chip address 0x%02x, ",
               device_file(bus).c_str(), address);
  if (daddress < 0)
    std::fprintf(stderr, "current data\naddress");
  else
    std::fprintf(stderr, "data address\n0x%02x", daddress);
  if (size == Size::I2cBlockData)
    std::fprintf(stderr, ", %d %s using read I2C block data.\n", length,
                 length > 1 ? "bytes" : "byte");
  else
    std::fprintf(stderr, ", using %s.\n", transaction_name(size, daddress));
  if (pec) std::fprintf(stderr, "PEC checking enabled.\n");
  return ask_to_continue(!dont);
}

}  // namespace

int run_i2cget(Tool& tool, const Args& args) {
  const auto flags = parse_flags(args, "", "");
  if (!flags) return help();
  if (flags->version) {
    print_version("i2cget");
    return kExitOk;
  }
  const bool yes = flags->yes, all_addresses = flags->all_addresses;
  const Args& words = flags->words;
  if (words.size() < 2) return help();
  const int bus = lookup_bus(words[0]);
  if (bus < 0) return help();
  const int address = parse_address(words[1], all_addresses);
  if (address < 0) return help();

  Size size = Size::Byte;
  int daddress = -1;
  if (words.size() > 2) {
    size = Size::ByteData;
    long value = 0;
    if (!parse_long(words[2], value) || value < 0 || value > 0xFF) {
      std::fprintf(stderr, "Error: Data address invalid!\n");
      return help();
    }
    daddress = static_cast<int>(value);
  }
  bool pec = false;
  if (words.size() > 3) {
    switch (words[3][0]) {
      case 'b':
        size = Size::ByteData;
        break;
      case 'w':
        size = Size::WordData;
        break;
      case 'c':
        size = Size::Byte;
        break;
      case 's':
        size = Size::BlockData;
        break;
      case 'i':
        size = Size::I2cBlockData;
        break;
      default:
        std::fprintf(stderr, "Error: Invalid mode!\n");
        return help();
    }
    pec = words[3].size() > 1 && words[3][1] == 'p';
    if (size == Size::I2cBlockData && pec) {
      std::fprintf(stderr, "Error: PEC not supported for I2C block data!\n");
      return help();
    }
  }
  int length = kBlockMax;
  if (words.size() > 4) {
    if (size != Size::I2cBlockData) {
      std::fprintf(stderr, "Error: Length only valid for I2C block data!\n");
      return help();
    }
    long value = 0;
    if (!parse_long(words[4], value) || value < 1 || value > kBlockMax) {
      std::fprintf(stderr, "Error: Length invalid!\n");
      return help();
    }
    length = static_cast<int>(value);
  }

  if (!open_bus(tool, bus) || !check_funcs(size, daddress, pec)) return kExitUsage;
  if (!yes && !confirm(bus, address, size, daddress, pec, length)) return kExitOk;

  SMBusCalls smbus(tool, address);
  smbus.set_pec(pec);
  std::optional<int> value;
  std::optional<ByteArray> block;
  switch (size) {
    case Size::Byte:
      if (daddress >= 0 && !smbus.write_byte(daddress))
        std::fprintf(stderr, "Warning - write failed\n");
      value = smbus.read_byte();
      break;
    case Size::WordData:
      value = smbus.read_word_data(daddress);
      break;
    case Size::BlockData:
      block = smbus.read_block_data(daddress);
      break;
    case Size::I2cBlockData:
      block = smbus.read_i2c_block_data(daddress, length);
      break;
    case Size::ByteData:
      value = smbus.read_byte_data(daddress);
      break;
  }
  if (!value && !block) {
    std::fprintf(stderr, "Error: Read failed\n");
    return kExitResult;
  }
  if (block) {
    std::string line;
    for (std::size_t k = 0; k < block->size(); ++k)
      line += (k ? " " : "") + hex_value((*block)[k], 2);
    std::printf("%s\n", line.c_str());
  } else {
    std::printf("%s\n",
                hex_value(static_cast<unsigned>(*value), size == Size::WordData ? 4 : 2).c_str());
  }
  return kExitOk;
}

}  // namespace gpio_dll::cli::i2c_tools
