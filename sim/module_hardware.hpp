// What the simulated module drives: its bus master with packet error checking, the P0, P1 and
// PMBus lines (P0 bit 0 is SDA, bit 1 is SCL), its own 8192-byte EEPROM, and the state that a
// two-segment block transfer keeps between requests.
#pragma once

#include <array>
#include <optional>

#include "bus.hpp"
#include "gpio_dll/language_standard.hpp"

#ifndef GPIO_DLL_STANDARD_TOO_OLD

namespace gpio_dll::sim {

// Outcome of a bus transaction as the module's firmware sees it.
enum class BusOutcome { Ok, NotAcknowledged, BadPec, EmptyBlock, LinesStuck };

struct BusRead {
  BusOutcome outcome = BusOutcome::Ok;
  Bytes data;
};

class ModuleHardware {
 public:
  static constexpr std::size_t kEepromBytes = 8192;

  Bus bus;
  std::uint8_t p0_latch = 0xFF;
  bool sda_stuck_low = false;
  bool scl_stuck_low = false;
  std::array<std::uint8_t, 3> p1{};
  std::uint8_t pmbus_lines = 0xFF;
  Bytes eeprom = Bytes(kEepromBytes, 0xFF);
  bool pec_on = false;

  // "2.0.19" block write of more than 60 bytes: the first segment waits for the rest.
  struct PendingWrite {
    std::uint8_t command;  // the module command that started it
    std::uint8_t address;
    std::uint8_t register_command;
    std::size_t total;
    Bytes data;
  };
  std::optional<PendingWrite> pending_write;
  // "2.0.19" block read of more than 60 bytes: the rest, for the repeated request.
  struct PendingRead {
    std::uint8_t address;
    std::uint8_t register_command;
    Bytes rest;
  };
  std::optional<PendingRead> pending_read;

  // P0 as read back: the latch, with a stuck line reading low.
  std::uint8_t p0_levels() const;
  bool lines_free() const { return !sda_stuck_low && !scl_stuck_low; }

  // SMBus transactions with the module's PEC handling: when PEC is on, writes carry a PEC byte
  // and reads take one more byte and check it.
  BusOutcome smbus_write(std::uint8_t address, const Bytes& bytes);
  BusRead smbus_read(std::uint8_t address, const Bytes& written, std::size_t count);
  // A block read (count byte, data); an empty block is EmptyBlock.
  BusRead smbus_block_read(std::uint8_t address, const Bytes& written);
  // Plain I2C: no PEC, whatever the mode.
  BusOutcome i2c_write(std::uint8_t address, const Bytes& bytes);
  BusRead i2c_read(std::uint8_t address, const Bytes& written, std::size_t count);

  // Module EEPROM chunk access; false when the chunk runs past the end.
  bool eeprom_read(std::size_t address, std::size_t count, Bytes& out) const;
  bool eeprom_write(std::size_t address, std::span<const std::uint8_t> data);
};

}  // namespace gpio_dll::sim

#endif  // GPIO_DLL_STANDARD_TOO_OLD
