// Firmware "2.0.19": 7-bit addresses, the general write-then-read command 0x21 (which leaves the
// slave's PEC byte to the host), blocks of up to 120 bytes in two segments.
#include "command_sets.hpp"

#include <algorithm>

namespace gpio_dll::sim {

namespace {

// Status values of this firmware.
constexpr std::uint8_t kLinesStuck = 0x02;
constexpr std::uint8_t kWriteError = 0x06;
constexpr std::uint8_t kBadPec = 0x0B;
constexpr std::uint8_t kEmptyBlock = 0x0E;
constexpr std::uint8_t kUnknownCommand = 0x01;

constexpr std::size_t kSegment = 60;

std::uint8_t status_of(BusOutcome outcome) {
  switch (outcome) {
    case BusOutcome::Ok:
      return 0;
    case BusOutcome::BadPec:
      return kBadPec;
    case BusOutcome::EmptyBlock:
      return kEmptyBlock;
    case BusOutcome::LinesStuck:
      return kLinesStuck;
    case BusOutcome::NotAcknowledged:
      break;
  }
  return kWriteError;
}

Bytes read_reply(std::uint8_t command, const BusRead& read) {
  return read.outcome == BusOutcome::Ok ? reply(command, 0, read.data)
                                        : reply(command, status_of(read.outcome));
}

// Block writes of more than 60 bytes arrive in two requests; the bus sees one transaction.
Bytes block_write(ModuleHardware& hw, std::uint8_t command, std::uint8_t address,
                  std::uint8_t register_command, std::size_t count, const Bytes& data, bool smbus) {
  auto& pending = hw.pending_write;
  if (pending && pending->command == command && pending->address == address &&
      pending->register_command == register_command &&
      pending->data.size() + count == pending->total) {
    pending->data.insert(pending->data.end(), data.begin(),
                         data.begin() + static_cast<long>(count));
    count = pending->total;
  } else if (count > kSegment) {
    pending = ModuleHardware::PendingWrite{command, address, register_command, count,
                                           Bytes(data.begin(), data.begin() + kSegment)};
    return reply(command, 0);
  } else {
    pending = ModuleHardware::PendingWrite{command, address, register_command, count, data};
  }
  Bytes written{register_command};
  if (smbus) written.push_back(static_cast<std::uint8_t>(count));
  written.insert(written.end(), pending->data.begin(), pending->data.end());
  pending.reset();
  const BusOutcome outcome =
      smbus ? hw.smbus_write(address, written) : hw.i2c_write(address, written);
  return reply(command, status_of(outcome));
}

// A block read of more than 60 bytes answers with its first 60 and keeps the rest for the
// repeated request.
Bytes block_read(ModuleHardware& hw, std::uint8_t command, std::uint8_t address,
                 std::uint8_t register_command) {
  auto& pending = hw.pending_read;
  Bytes block;
  std::size_t announced = 0;
  if (pending && pending->address == address && pending->register_command == register_command) {
    block = std::move(pending->rest);
    announced = block.size();
    pending.reset();
  } else {
    pending.reset();
    const BusRead read = hw.smbus_block_read(address, {register_command});
    if (read.outcome != BusOutcome::Ok) return reply(command, status_of(read.outcome));
    block = read.data;
    announced = block.size();
    if (block.size() > kSegment) {
      pending = ModuleHardware::PendingRead{address, register_command,
                                            Bytes(block.begin() + kSegment, block.end())};
      block.resize(kSegment);
    }
  }
  Bytes data(1 + block.size());
  data[0] = static_cast<std::uint8_t>(announced);
  std::copy(block.begin(), block.end(), data.begin() + 1);
  return reply(command, 0, data);
}

}  // namespace

Bytes answer_2_0_19(ModuleHardware& hw, std::span<const std::uint8_t> bytes) {
  const RequestBytes q{bytes};
  const std::uint8_t command = q[0];
  switch (command) {
    case 0x03:  // Set P1 lines
      hw.p1 = {q[1], q[2], q[3]};
      return reply(command, 0);
    case 0x04:  // Module EEPROM write: high, low, 32, data
      return reply(command,
                   hw.eeprom_write(q[1] * 256u + q[2], q.range(4, q[3])) ? 0 : kWriteError);
    case 0x05: {  // Module EEPROM read: high, low, 32
      Bytes data;
      if (!hw.eeprom_read(q[1] * 256u + q[2], q[3], data)) return reply(command, kWriteError);
      return reply(command, 0, data);
    }
    case 0x06:  // PEC mode
      hw.pec_on = q[1] != 0;
      return reply(command, 0);
    case 0x07:  // Bus test
      return reply(command, hw.lines_free() ? 0 : kLinesStuck);
    case 0x20: {  // I2C block write: A, r + 1, command, data
      const std::size_t count = q[2] >= 1 ? q[2] - 1u : 0u;
      return block_write(hw, command, q[1], q[3], count, q.range(4, std::min(count, kSegment)),
                         false);
    }
    case 0x21: {  // Write then read: A, w, r, the w bytes
      const Bytes written = q.range(4, q[2]);
      if (q[3] == 0) return reply(command, status_of(hw.i2c_write(q[1], written)));
      return read_reply(command, hw.i2c_read(q[1], written, q[3]));
    }
    case 0x22:  // Send Byte: A, data
      return reply(command, status_of(hw.smbus_write(q[1], {q[2]})));
    case 0x23:  // Write Byte: A, command, data
      return reply(command, status_of(hw.smbus_write(q[1], {q[2], q[3]})));
    case 0x24:  // Write Word: A, command, low, high
      return reply(command, status_of(hw.smbus_write(q[1], {q[2], q[3], q[4]})));
    case 0x25:  // Block Write: A, command, r, data
      return block_write(hw, command, q[1], q[2], q[3],
                         q.range(4, std::min<std::size_t>(q[3], kSegment)), true);
    case 0x27:  // Read Byte: A, command
      return read_reply(command, hw.smbus_read(q[1], {q[2]}, 1));
    case 0x28:  // Read Word: A, command
      return read_reply(command, hw.smbus_read(q[1], {q[2]}, 2));
    case 0x29:  // Block Read: A, command
      return block_read(hw, command, q[1], q[2]);
    case 0x2A:  // Set P0 lines: 0xFF, value
      hw.p0_latch = q[2];
      return reply(command, 0);
    case 0x2B:  // Get P0 lines: 0xFF
      return reply(command, 0, {hw.p0_levels()});
    default:
      return reply(command, kUnknownCommand);
  }
}

Bytes reply(std::uint8_t command, std::uint8_t status, const Bytes& data) {
  // Sized once and filled: no reallocation while copying.
  Bytes answer(2 + data.size());
  answer[0] = command;
  answer[1] = status;
  std::copy(data.begin(), data.end(), answer.begin() + 2);
  return answer;
}

}  // namespace gpio_dll::sim
