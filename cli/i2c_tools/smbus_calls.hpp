// libi2c's SMBus calls (i2c_smbus_read_byte_data and its kind) on the module: what the
// i2c-tools commands send, each one call of cls_GPIO_DLL. A failed call gives nothing (nullopt or
// false); the result code stays in last_result().
#pragma once

#include <optional>

#include "tool.hpp"

namespace gpio_dll::cli::i2c_tools {

// The system's error number for why a call failed, as Linux's I2C drivers give it: ENXIO for
// a chip that does not acknowledge, EBADMSG for a wrong PEC, EMSGSIZE for a length over the
// limit, ENODEV without a module, EIO otherwise.
int error_number(std::int32_t result);

class SMBusCalls {
 public:
  SMBusCalls(Tool& tool, int address) : tool_(tool), address_(address) {}

  // Packet error checking on the calls from now on (the PEC bit of nTargetID).
  void set_pec(bool pec) { pec_ = pec; }
  std::int32_t last_result() const { return result_; }
  // What i2c-tools print as a failed call's "return code": the negative error number.
  int return_code() const { return -error_number(result_); }

  std::optional<int> read_byte();
  bool write_byte(int value);
  std::optional<int> read_byte_data(int command);
  bool write_byte_data(int command, int value);
  std::optional<int> read_word_data(int command);
  bool write_word_data(int command, int value);
  std::optional<ByteArray> read_block_data(int command);
  bool write_block_data(int command, const ByteArray& data);
  std::optional<ByteArray> read_i2c_block_data(int command, int length);
  bool write_i2c_block_data(int command, const ByteArray& data);
  // An I2C write of `written` (its first byte the command byte) and a read of `length` bytes after
  // a repeated start.
  std::optional<ByteArray> write_read_i2c(const ByteArray& written, int length);

 private:
  std::int16_t target() const { return static_cast<std::int16_t>(address_ << 1 | (pec_ ? 1 : 0)); }
  bool done(std::int32_t result) {
    result_ = result;
    return result == OK;
  }

  Tool& tool_;
  int address_;
  bool pec_ = false;
  std::int32_t result_ = OK;
};

}  // namespace gpio_dll::cli::i2c_tools
