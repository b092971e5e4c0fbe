#include "i2c_eeprom.hpp"

namespace gpio_dll::sim {

I2cEeprom::I2cEeprom() {
  memory_.fill(0xFF);
}

std::uint8_t I2cEeprom::at(std::uint8_t offset) const {
  std::lock_guard lock(mutex_);
  return memory_[offset];
}

std::optional<Bytes> I2cEeprom::transfer(std::uint8_t, std::span<const std::uint8_t> written,
                                         std::size_t read_count) {
  std::lock_guard lock(mutex_);
  if (!written.empty()) {
    pointer_ = written[0];
    for (std::size_t i = 1; i < written.size(); ++i)
      memory_[pointer_++] = written[i];
  }
  Bytes read(read_count);
  for (auto& byte : read)
    byte = memory_[pointer_++];
  return read;
}

}  // namespace gpio_dll::sim
