// smbus, i2c and scan.
#include <iostream>

#include "commands.hpp"
#include "confirm.hpp"

namespace gpio_dll::cli {

namespace {

std::int16_t command_byte(const std::string& word) {
  return static_cast<std::int16_t>(parse_number(word, 0, 255, "command"));
}

Json target_fields(std::int16_t target) {
  return {{"address", target >> 1}, {"pec", (target & 1) != 0}};
}

// The bus command's target and command byte.
Json command_fields(std::int16_t target, std::int16_t cmd) {
  Json fields = target_fields(target);
  fields["cmd"] = cmd;
  return fields;
}

}  // namespace

int run_smbus(Tool& tool, Args& args) {
  const char* usage = "gpio-dll smbus OPERATION ADDRESS [ARGS...] (see gpio-dll smbus --help)";
  if (args.empty()) throw UsageError{std::string("usage: ") + usage};
  const std::string op = args[0];
  args.erase(args.begin());
  const bool pec = take_pec(tool, args);
  if (args.empty()) throw UsageError{"usage: gpio-dll smbus " + op + " ADDRESS ..."};
  std::int16_t target = parse_target(args[0], pec);
  const std::string name = "smbus " + op;
  tool.set_command(name);
  auto& dll = tool.dll();

  // Arguments first, so that a usage error never reaches the module.
  const auto ask = [&] {
    return confirm(tool, "write to the device at " + hex2(static_cast<std::uint32_t>(target >> 1)) +
                             " (smbus " + op + ")");
  };
  if (op == "send-byte") {
    expect_count(args, 2, "gpio-dll smbus send-byte ADDRESS DATA");
    std::int32_t data = static_cast<std::int32_t>(parse_number(args[1], 0, 255, "data"));
    if (!ask()) return declined(tool, name);
    int status = kExitOk;
    if (!tool.identify(status)) return status;
    return tool.finish(name, dll.GPIO_SendSMBusByte(data, target), target_fields(target), "");
  }
  if (op == "receive-byte") {
    expect_count(args, 1, "gpio-dll smbus receive-byte ADDRESS");
    int status = kExitOk;
    if (!tool.identify(status)) return status;
    std::int32_t value = 0;
    const std::int32_t r = dll.GPIO_ReceiveSMBusByte(value, target);
    return tool.finish(name, r, read_fields(tool, r, target_fields(target), "value", value),
                       hex2(value));
  }
  if (op == "write-byte" || op == "write-word" || op == "process-call") {
    expect_count(args, 3,
                 "gpio-dll smbus " + op + " ADDRESS CMD " + (op == "write-byte" ? "DATA" : "WORD"));
    std::int16_t cmd = command_byte(args[1]);
    const auto value = parse_number(args[2], 0, op == "write-byte" ? 255 : 0xFFFF, "data");
    if (!ask()) return declined(tool, name);
    int status = kExitOk;
    if (!tool.identify(status)) return status;
    const Json fields = command_fields(target, cmd);
    if (op == "write-byte") {
      std::int32_t data = static_cast<std::int32_t>(value);
      return tool.finish(name, dll.GPIO_WriteSMBusByte(cmd, data, target), fields, "");
    }
    std::int32_t high = static_cast<std::int32_t>(value >> 8);
    std::int32_t low = static_cast<std::int32_t>(value & 0xFF);
    if (op == "write-word")
      return tool.finish(name, dll.GPIO_WriteSMBusWord(cmd, high, low, target), fields, "");
    std::int32_t read_high = 0, read_low = 0;
    const std::int32_t r = dll.GPIO_ProcessCall(cmd, high, low, read_high, read_low, target);
    const std::uint32_t word = static_cast<std::uint32_t>(read_high << 8 | read_low);
    return tool.finish(name, r, read_fields(tool, r, fields, "value", word), hex4(word));
  }
  if (op == "read-byte" || op == "read-word" || op == "read-block") {
    expect_count(args, 2, "gpio-dll smbus " + op + " ADDRESS CMD");
    std::int16_t cmd = command_byte(args[1]);
    int status = kExitOk;
    if (!tool.identify(status)) return status;
    const Json fields = command_fields(target, cmd);
    if (op == "read-byte") {
      std::int32_t value = 0;
      const std::int32_t r = dll.GPIO_ReadSMBusByte(cmd, value, target);
      return tool.finish(name, r, read_fields(tool, r, fields, "value", value), hex2(value));
    }
    if (op == "read-word") {
      std::int32_t high = 0, low = 0;
      const std::int32_t r = dll.GPIO_ReadSMBusWord(cmd, high, low, target);
      const std::uint32_t word = static_cast<std::uint32_t>(high << 8 | low);
      return tool.finish(name, r, read_fields(tool, r, fields, "value", word), hex4(word));
    }
    ByteArray block;
    std::int16_t count = 0;
    const std::int32_t r = dll.GPIO_ReadSMBusBlock(cmd, block, count, target);
    return tool.finish(name, r, read_fields(tool, r, fields, "data", bytes_to_hex(block)),
                       format_bytes(block));
  }
  if (op == "write-block" || op == "block-process-call") {
    if (args.size() < 3) throw UsageError{"usage: gpio-dll smbus " + op + " ADDRESS CMD BYTE..."};
    std::int16_t cmd = command_byte(args[1]);
    ByteArray data = parse_data_bytes(args, 2);
    if (!ask()) return declined(tool, name);
    int status = kExitOk;
    if (!tool.identify(status)) return status;
    const Json fields = command_fields(target, cmd);
    std::int16_t count = static_cast<std::int16_t>(data.size());
    if (op == "write-block") {
      const std::int32_t r = dll.GPIO_WriteSMBusBlock(cmd, data, count, target);
      refuse_over_limit(tool, r, "smbus block write");
      return tool.finish(name, r, fields, "");
    }
    // The new firmware wants room for the count byte and the command in the array.
    ByteArray written = data;
    written.resize(data.size() + 2, 0);
    ByteArray read;
    std::int16_t read_count = 0;
    const std::int32_t r =
        dll.GPIO_WriteReadSMBusBlock(cmd, written, read, count, read_count, target);
    // A read length above the limit is the slave's (its count byte): a result, not a usage error.
    if (r == ERROR_GPIO_LEN_WR_BLOCK_MAX) refuse_over_limit(tool, r, "block process call");
    return tool.finish(name, r, read_fields(tool, r, fields, "data", bytes_to_hex(read)),
                       format_bytes(read));
  }
  throw UsageError{"unknown smbus operation " + op + " (see gpio-dll smbus --help)"};
}

int run_i2c(Tool& tool, Args& args) {
  if (args.size() < 3)
    throw UsageError{"usage: gpio-dll i2c write|read|write-read ADDRESS CMD ..."};
  const std::string op = args[0];
  if (op != "write" && op != "read" && op != "write-read")
    throw UsageError{"unknown i2c operation " + op + " (see gpio-dll i2c --help)"};
  std::int16_t target = parse_target(args[1], false);
  std::int16_t cmd = command_byte(args[2]);
  const std::string name = "i2c " + op;
  tool.set_command(name);
  auto& dll = tool.dll();
  const Json fields = command_fields(target, cmd);
  const std::string what =
      "write to the device at " + hex2(static_cast<std::uint32_t>(target >> 1)) + " (" + name + ")";
  if (op == "write") {
    ByteArray data = parse_data_bytes(args, 3);
    std::int16_t count = static_cast<std::int16_t>(data.size());
    if (!confirm(tool, what)) return declined(tool, name);
    int status = kExitOk;
    if (!tool.identify(status)) return status;
    const std::int32_t r = dll.GPIO_WriteI2CBlock(cmd, data, count, target);
    refuse_over_limit(tool, r, "i2c write");
    return tool.finish(name, r, fields, "");
  }
  if (args.size() < 4 || (op == "read" && args.size() != 4))
    throw UsageError{"usage: gpio-dll i2c " + op + " ADDRESS CMD COUNT" +
                     (op == "read" ? "" : " BYTE...")};
  std::int16_t count = static_cast<std::int16_t>(parse_number(args[3], 1, INT16_MAX, "COUNT"));
  ByteArray written = parse_data_bytes(args, 4);
  if (!written.empty() && !confirm(tool, what)) return declined(tool, name);
  int status = kExitOk;
  if (!tool.identify(status)) return status;
  ByteArray read;
  std::int32_t r = 0;
  if (op == "read") {
    r = dll.GPIO_ReadI2CBlock(cmd, read, count, target);
  } else {
    std::int16_t written_count = static_cast<std::int16_t>(written.size());
    r = dll.GPIO_WriteReadI2CBlock(cmd, written, read, written_count, count, target);
  }
  refuse_over_limit(tool, r, name);
  return tool.finish(name, r, read_fields(tool, r, fields, "data", bytes_to_hex(read)),
                     format_bytes(read));
}

int run_scan(Tool& tool, Args& args) {
  if (args.size() != 0 && args.size() != 2) throw UsageError{"usage: gpio-dll scan [FIRST LAST]"};
  const int first = args.empty() ? 0x03 : parse_target(args[0], false) >> 1;
  const int last = args.empty() ? 0x77 : parse_target(args[1], false) >> 1;
  if (first > last) throw UsageError{"FIRST " + args[0] + " is above LAST " + args[1]};
  int status = kExitOk;
  if (!tool.identify(status)) return status;
  std::vector<int> found;
  std::string grid = "     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f";
  for (int address = 0; address < 0x80; ++address) {
    if (address % 16 == 0) {
      char row[8];
      std::snprintf(row, sizeof row, "\n%02x:", address);
      grid += row;
    }
    if (address < first || address > last) {
      grid += "   ";
      continue;
    }
    std::int32_t value = 0;
    std::int16_t target = static_cast<std::int16_t>(address << 1);
    const std::int32_t r = tool.dll().GPIO_ReceiveSMBusByte(value, target);
    // A module status means nobody acknowledged; anything else stops the scan.
    if (r != OK && !(r >= kStatusBandOldFirmware && r < kStatusBandNewFirmware + 256))
      return tool.finish("scan", r, Json{{"address", address}}, "");
    if (r == OK) found.push_back(address);
    char cell[8];
    std::snprintf(cell, sizeof cell, r == OK ? " %02x" : " --", address);
    grid += cell;
  }
  return tool.finish("scan", OK, Json{{"devices", found}}, grid);
}

}  // namespace gpio_dll::cli
