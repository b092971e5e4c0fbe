// A 256-byte I2C EEPROM (7-bit address 0x50 by default) addressed by its first written byte,
// with an address pointer that advances and wraps as bytes are written or read.
#pragma once

#include <array>
#include <mutex>

#include "bus.hpp"
#include "gpio_dll/language_standard.hpp"

#ifndef GPIO_DLL_STANDARD_TOO_OLD

namespace gpio_dll::sim {

class I2cEeprom : public BusDevice {
 public:
  static constexpr std::uint8_t kDefaultAddress = 0x50;

  I2cEeprom();
  std::optional<Bytes> transfer(std::uint8_t address, std::span<const std::uint8_t> written,
                                std::size_t read_count) override;
  std::uint8_t at(std::uint8_t offset) const;

 private:
  mutable std::mutex mutex_;
  std::array<std::uint8_t, 256> memory_{};
  std::uint8_t pointer_ = 0;
};

}  // namespace gpio_dll::sim

#endif  // GPIO_DLL_STANDARD_TOO_OLD
