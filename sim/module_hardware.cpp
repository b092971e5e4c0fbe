#include "module_hardware.hpp"

namespace gpio_dll::sim {

namespace {
// The longest block a slave can announce, plus its count and PEC bytes.
constexpr std::size_t kLongestBlockRead = 1 + 255 + 1;
}  // namespace

std::uint8_t ModuleHardware::p0_levels() const {
  std::uint8_t levels = p0_latch;
  if (sda_stuck_low) levels &= static_cast<std::uint8_t>(~0x01);
  if (scl_stuck_low) levels &= static_cast<std::uint8_t>(~0x02);
  return levels;
}

BusOutcome ModuleHardware::smbus_write(std::uint8_t address, const Bytes& bytes) {
  if (!lines_free()) return BusOutcome::LinesStuck;
  Bytes stream = bytes;
  if (pec_on) {
    Bytes covered{static_cast<std::uint8_t>(address << 1)};
    covered.insert(covered.end(), bytes.begin(), bytes.end());
    stream.push_back(smbus_pec(covered));
  }
  return bus.transfer(address, stream, 0) ? BusOutcome::Ok : BusOutcome::NotAcknowledged;
}

BusRead ModuleHardware::smbus_read(std::uint8_t address, const Bytes& written, std::size_t count) {
  if (!lines_free()) return {BusOutcome::LinesStuck, {}};
  auto read = bus.transfer(address, written, count + (pec_on ? 1 : 0));
  if (!read) return {BusOutcome::NotAcknowledged, {}};
  if (pec_on) {
    Bytes covered;
    if (!written.empty()) {
      covered.push_back(static_cast<std::uint8_t>(address << 1));
      covered.insert(covered.end(), written.begin(), written.end());
    }
    covered.push_back(static_cast<std::uint8_t>(address << 1 | 1));
    covered.insert(covered.end(), read->begin(), read->end());
    if (smbus_pec(covered) != 0) return {BusOutcome::BadPec, {}};
    read->pop_back();
  }
  return {BusOutcome::Ok, std::move(*read)};
}

BusRead ModuleHardware::smbus_block_read(std::uint8_t address, const Bytes& written) {
  if (!lines_free()) return {BusOutcome::LinesStuck, {}};
  auto read = bus.transfer(address, written, kLongestBlockRead);
  if (!read) return {BusOutcome::NotAcknowledged, {}};
  const std::size_t count = (*read)[0];
  Bytes block(read->begin(), read->begin() + 1 + static_cast<long>(count));
  if (pec_on) {
    Bytes covered{static_cast<std::uint8_t>(address << 1)};
    covered.insert(covered.end(), written.begin(), written.end());
    covered.push_back(static_cast<std::uint8_t>(address << 1 | 1));
    covered.insert(covered.end(), block.begin(), block.end());
    covered.push_back((*read)[1 + count]);
    if (smbus_pec(covered) != 0) return {BusOutcome::BadPec, {}};
  }
  if (count == 0) return {BusOutcome::EmptyBlock, {}};
  block.erase(block.begin());
  return {BusOutcome::Ok, std::move(block)};
}

BusOutcome ModuleHardware::i2c_write(std::uint8_t address, const Bytes& bytes) {
  if (!lines_free()) return BusOutcome::LinesStuck;
  return bus.transfer(address, bytes, 0) ? BusOutcome::Ok : BusOutcome::NotAcknowledged;
}

BusRead ModuleHardware::i2c_read(std::uint8_t address, const Bytes& written, std::size_t count) {
  if (!lines_free()) return {BusOutcome::LinesStuck, {}};
  auto read = bus.transfer(address, written, count);
  if (!read) return {BusOutcome::NotAcknowledged, {}};
  return {BusOutcome::Ok, std::move(*read)};
}

bool ModuleHardware::eeprom_read(std::size_t address, std::size_t count, Bytes& out) const {
  if (address + count > eeprom.size()) return false;
  out.assign(eeprom.begin() + static_cast<long>(address),
             eeprom.begin() + static_cast<long>(address + count));
  return true;
}

bool ModuleHardware::eeprom_write(std::size_t address, std::span<const std::uint8_t> data) {
  if (address + data.size() > eeprom.size()) return false;
  std::copy(data.begin(), data.end(), eeprom.begin() + static_cast<long>(address));
  return true;
}

}  // namespace gpio_dll::sim
