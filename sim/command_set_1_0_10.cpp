// Firmware "1.0.10": one command per operation, 8-bit addresses, status 1 for every failure.
#include "command_sets.hpp"

#include <algorithm>

namespace gpio_dll::sim {

namespace {

constexpr std::uint8_t kFailed = 0x01;

std::uint8_t slave(std::uint8_t eight_bit_address) {
  return static_cast<std::uint8_t>(eight_bit_address >> 1);
}

std::uint8_t status_of(BusOutcome outcome) {
  return outcome == BusOutcome::Ok ? 0 : kFailed;
}

Bytes read_reply(std::uint8_t command, const BusRead& read) {
  return read.outcome == BusOutcome::Ok ? reply(command, 0, read.data) : reply(command, kFailed);
}

Bytes block_reply(std::uint8_t command, const BusRead& read) {
  if (read.outcome == BusOutcome::EmptyBlock) return reply(command, 0, {0});
  if (read.outcome != BusOutcome::Ok) return reply(command, kFailed);
  // Sized once and filled: no reallocation while copying.
  Bytes data(1 + read.data.size());
  data[0] = static_cast<std::uint8_t>(read.data.size());
  std::copy(read.data.begin(), read.data.end(), data.begin() + 1);
  return reply(command, 0, data);
}

}  // namespace

Bytes answer_1_0_10(ModuleHardware& hw, std::span<const std::uint8_t> bytes) {
  const RequestBytes q{bytes};
  const std::uint8_t command = q[0];
  switch (command) {
    case 0x01:  // Send Byte: W, data
      return reply(command, status_of(hw.smbus_write(slave(q[1]), {q[2]})));
    case 0x02:  // Receive Byte: R
      return read_reply(command, hw.smbus_read(slave(q[1]), {}, 1));
    case 0x03:  // Write Byte: W, command, data
      return reply(command, status_of(hw.smbus_write(slave(q[1]), {q[2], q[3]})));
    case 0x04:  // Write Word: W, command, low, high
      return reply(command, status_of(hw.smbus_write(slave(q[1]), {q[2], q[3], q[4]})));
    case 0x05:  // Read Byte: W, command, R
      return read_reply(command, hw.smbus_read(slave(q[1]), {q[2]}, 1));
    case 0x06:  // Read Word: W, command, R
      return read_reply(command, hw.smbus_read(slave(q[1]), {q[2]}, 2));
    case 0x07:  // Process Call: W, command, low, high, R
      return read_reply(command, hw.smbus_read(slave(q[1]), {q[2], q[3], q[4]}, 2));
    case 0x08: {  // Block Write: W, command, n, data
      Bytes written{q[2], q[3]};
      const Bytes data = q.range(4, q[3]);
      written.insert(written.end(), data.begin(), data.end());
      return reply(command, status_of(hw.smbus_write(slave(q[1]), written)));
    }
    case 0x09:  // Block Read: W, command, R
      return block_reply(command, hw.smbus_block_read(slave(q[1]), {q[2]}));
    case 0x0A: {  // Block write-block read: W, command, n, R, data
      Bytes written{q[2], q[3]};
      const Bytes data = q.range(5, q[3]);
      written.insert(written.end(), data.begin(), data.end());
      return block_reply(command, hw.smbus_block_read(slave(q[1]), written));
    }
    case 0x0C:  // Set PMBus lines
      hw.pmbus_lines = q[1];
      return reply(command, 0);
    case 0x0F:  // Get PMBus lines: the lines in answer byte 1
      return {command, hw.pmbus_lines};
    case 0x11:  // PEC mode
      hw.pec_on = q[1] != 0;
      return reply(command, 0);
    case 0x14: {  // I2C block write: W, command, n, data
      Bytes written{q[2]};
      const Bytes data = q.range(4, q[3]);
      written.insert(written.end(), data.begin(), data.end());
      return reply(command, status_of(hw.i2c_write(slave(q[1]), written)));
    }
    case 0x15:  // I2C block read: W, command, R, n
      return read_reply(command, hw.i2c_read(slave(q[1]), {q[2]}, q[4]));
    case 0x16:  // P0: 0xFF reads, 0x00 sets, anything else sets and reads back
      if (q[1] != 0xFF) hw.p0_latch = q[2];
      if (q[1] == 0x00) return reply(command, 0);
      return reply(command, 0, {hw.p0_levels()});
    case 0x18:  // Module EEPROM write: high, low, 32, data
      return reply(command, hw.eeprom_write(q[1] * 256u + q[2], q.range(4, q[3])) ? 0 : kFailed);
    case 0x19: {  // Module EEPROM read: high, low, 32
      Bytes data;
      if (!hw.eeprom_read(q[1] * 256u + q[2], q[3], data)) return reply(command, kFailed);
      return reply(command, 0, data);
    }
    case 0x1A:  // Set P1 lines
      hw.p1 = {q[1], q[2], q[3]};
      return reply(command, 0);
    case 0x1D: {  // I2C write then read: nW + 2, W, command, data ..., byte 62 R, byte 63 nR
      Bytes written{q[3]};
      const std::size_t count = q[1] >= 2 ? q[1] - 2u : 0u;
      const Bytes data = q.range(4, count);
      written.insert(written.end(), data.begin(), data.end());
      return read_reply(command, hw.i2c_read(slave(q[2]), written, q[63]));
    }
    case 0x7F:  // Bus test
      return reply(command, hw.lines_free() ? 0 : kFailed);
    default:
      return reply(command, kFailed);
  }
}

}  // namespace gpio_dll::sim
