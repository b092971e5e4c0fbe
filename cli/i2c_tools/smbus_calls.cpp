#include "smbus_calls.hpp"

#include <cerrno>

namespace gpio_dll::cli::i2c_tools {

int error_number(std::int32_t result) {
  if (result >= kStatusBandOldFirmware && result < kStatusBandNewFirmware + 256) return ENXIO;
  if (result == ERROR_PEC) return EBADMSG;
  if (result == ERROR_GPIO_LEN_RD_BLOCK_MAX || result == ERROR_GPIO_LEN_WR_BLOCK_MAX)
    return EMSGSIZE;
  if (result == NO_DEV_DETECTED) return ENODEV;
  return EIO;
}

namespace {

std::int16_t command_byte(int command) {
  return static_cast<std::int16_t>(command & 0xFF);
}

}  // namespace

std::optional<int> SMBusCalls::read_byte() {
  std::int32_t value = 0;
  std::int16_t id = target();
  if (!done(tool_.dll().GPIO_ReceiveSMBusByte(value, id))) return std::nullopt;
  return value & 0xFF;
}

bool SMBusCalls::write_byte(int value) {
  std::int32_t data = value & 0xFF;
  std::int16_t id = target();
  return done(tool_.dll().GPIO_SendSMBusByte(data, id));
}

std::optional<int> SMBusCalls::read_byte_data(int command) {
  std::int16_t cmd = command_byte(command), id = target();
  std::int32_t value = 0;
  if (!done(tool_.dll().GPIO_ReadSMBusByte(cmd, value, id))) return std::nullopt;
  return value & 0xFF;
}

bool SMBusCalls::write_byte_data(int command, int value) {
  std::int16_t cmd = command_byte(command), id = target();
  std::int32_t data = value & 0xFF;
  return done(tool_.dll().GPIO_WriteSMBusByte(cmd, data, id));
}

std::optional<int> SMBusCalls::read_word_data(int command) {
  std::int16_t cmd = command_byte(command), id = target();
  std::int32_t high = 0, low = 0;
  if (!done(tool_.dll().GPIO_ReadSMBusWord(cmd, high, low, id))) return std::nullopt;
  return (high & 0xFF) << 8 | (low & 0xFF);
}

bool SMBusCalls::write_word_data(int command, int value) {
  std::int16_t cmd = command_byte(command), id = target();
  std::int32_t high = value >> 8 & 0xFF, low = value & 0xFF;
  return done(tool_.dll().GPIO_WriteSMBusWord(cmd, high, low, id));
}

std::optional<ByteArray> SMBusCalls::read_block_data(int command) {
  std::int16_t cmd = command_byte(command), id = target(), count = 0;
  ByteArray data;
  if (!done(tool_.dll().GPIO_ReadSMBusBlock(cmd, data, count, id))) return std::nullopt;
  return data;
}

bool SMBusCalls::write_block_data(int command, const ByteArray& data) {
  std::int16_t cmd = command_byte(command), id = target();
  ByteArray bytes = data;
  std::int16_t count = static_cast<std::int16_t>(bytes.size());
  return done(tool_.dll().GPIO_WriteSMBusBlock(cmd, bytes, count, id));
}

std::optional<ByteArray> SMBusCalls::read_i2c_block_data(int command, int length) {
  std::int16_t cmd = command_byte(command), id = target();
  std::int16_t count = static_cast<std::int16_t>(length);
  ByteArray data;
  if (!done(tool_.dll().GPIO_ReadI2CBlock(cmd, data, count, id))) return std::nullopt;
  return data;
}

bool SMBusCalls::write_i2c_block_data(int command, const ByteArray& data) {
  std::int16_t cmd = command_byte(command), id = target();
  ByteArray bytes = data;
  std::int16_t count = static_cast<std::int16_t>(bytes.size());
  return done(tool_.dll().GPIO_WriteI2CBlock(cmd, bytes, count, id));
}

std::optional<ByteArray> SMBusCalls::write_read_i2c(const ByteArray& written, int length) {
  std::int16_t cmd = command_byte(written.at(0)), id = target();
  ByteArray rest(written.begin() + 1, written.end()), read;
  std::int16_t count = static_cast<std::int16_t>(rest.size());
  std::int16_t read_count = static_cast<std::int16_t>(length);
  if (!done(tool_.dll().GPIO_WriteReadI2CBlock(cmd, rest, read, count, read_count, id)))
    return std::nullopt;
  return read;
}

}  // namespace gpio_dll::cli::i2c_tools
