#include "bus.hpp"

namespace gpio_dll::sim {

std::uint8_t smbus_pec(std::span<const std::uint8_t> bytes) {
  std::uint8_t crc = 0;
  for (std::uint8_t byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit)
      crc = static_cast<std::uint8_t>((crc & 0x80) ? (crc << 1) ^ 0x07 : crc << 1);
  }
  return crc;
}

void Bus::attach(std::uint8_t address, std::shared_ptr<BusDevice> device) {
  devices_[address] = std::move(device);
}

void Bus::detach(std::uint8_t address) {
  devices_.erase(address);
}

std::optional<Bytes> Bus::transfer(std::uint8_t address, std::span<const std::uint8_t> written,
                                   std::size_t read_count) {
  auto it = devices_.find(address);
  if (it == devices_.end()) return std::nullopt;
  return it->second->transfer(address, written, read_count);
}

}  // namespace gpio_dll::sim
