// The module's SMBus/I2C bus: addressed slave devices and the transactions the module runs on
// them. A transaction is a write part (the bytes after the address) and an optional read part
// after a repeated start; a slave that is not there does not acknowledge.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "gpio_dll/language_standard.hpp"

#ifndef GPIO_DLL_STANDARD_TOO_OLD

namespace gpio_dll::sim {

using Bytes = std::vector<std::uint8_t>;

// SMBus packet error code (CRC-8, x^8 + x^2 + x + 1) over bus bytes, bit by bit.
std::uint8_t smbus_pec(std::span<const std::uint8_t> bytes);

class BusDevice {
 public:
  virtual ~BusDevice() = default;
  // One transaction addressed to this device (`address` is its 7-bit address). `written` holds
  // the bytes after the write address; with `read_count` > 0 the master then reads that many
  // bytes, which the device supplies (a bus reads 0xFF past what a slave drives). nullopt when
  // the device does not acknowledge.
  virtual std::optional<Bytes> transfer(std::uint8_t address, std::span<const std::uint8_t> written,
                                        std::size_t read_count) = 0;
};

class Bus {
 public:
  void attach(std::uint8_t address, std::shared_ptr<BusDevice> device);
  void detach(std::uint8_t address);
  bool has(std::uint8_t address) const { return devices_.count(address) != 0; }

  // nullopt when no device acknowledges the address (or the device refuses the transfer).
  std::optional<Bytes> transfer(std::uint8_t address, std::span<const std::uint8_t> written,
                                std::size_t read_count);

 private:
  std::map<std::uint8_t, std::shared_ptr<BusDevice>> devices_;
};

}  // namespace gpio_dll::sim

#endif  // GPIO_DLL_STANDARD_TOO_OLD
