#include "smart_battery.hpp"

#include <stdexcept>
#include <string>

namespace gpio_dll::sim {

SmartBattery::SmartBattery() {
  using namespace battery;
  words_ = {{kManufacturerAccess, 0x0000},
            {kTemperature, 2981},  // 25.0 degrees C
            {kVoltage, 12345},
            {kCurrent, 0xFC18},  // -1000 mA
            {kRelativeStateOfCharge, 87},
            {kRemainingCapacity, 4350},
            {kFullChargeCapacity, 5000},
            {kCycleCount, 42},
            {kSerialNumber, 0x1234}};
  auto text = [](const char* s) { return Bytes(s, s + std::char_traits<char>::length(s)); };
  blocks_ = {{kManufacturerName, text("GPIO Sim")},
             {kDeviceName, text("SIM-BAT-4S")},
             {kDeviceChemistry, text("LION")},
             {kManufacturerBlockAccess, {}}};
}

bool SmartBattery::is_block(std::uint8_t command) const {
  return blocks_.count(command) != 0;
}

std::uint16_t SmartBattery::word(std::uint8_t command) const {
  std::lock_guard lock(mutex_);
  auto it = words_.find(command);
  return it == words_.end() ? 0xFFFF : it->second;
}

void SmartBattery::set_word(std::uint8_t command, std::uint16_t value) {
  std::lock_guard lock(mutex_);
  words_[command] = value;
}

Bytes SmartBattery::block(std::uint8_t command) const {
  std::lock_guard lock(mutex_);
  auto it = blocks_.find(command);
  return it == blocks_.end() ? Bytes{} : it->second;
}

void SmartBattery::set_block(std::uint8_t command, Bytes value) {
  if (value.size() > battery::kLongestBlock)
    throw std::invalid_argument("a block holds at most " + std::to_string(battery::kLongestBlock) +
                                " bytes (its count is one byte), not " +
                                std::to_string(value.size()));
  std::lock_guard lock(mutex_);
  blocks_[command] = std::move(value);
}

std::uint16_t SmartBattery::manufacturer_access() const {
  return word(battery::kManufacturerAccess);
}

void SmartBattery::set_wrong_pec(bool wrong) {
  std::lock_guard lock(mutex_);
  wrong_pec_ = wrong;
}

int SmartBattery::refused_pec_writes() const {
  std::lock_guard lock(mutex_);
  return refused_pec_writes_;
}

Bytes SmartBattery::respond(std::uint8_t command, const Bytes& written_data) {
  if (is_block(command)) {
    // A block write-block read: ManufacturerBlockAccess keeps the block and answers with it.
    if (command == battery::kManufacturerBlockAccess && !written_data.empty())
      blocks_[command] = written_data;
    Bytes response{static_cast<std::uint8_t>(blocks_[command].size())};
    response.insert(response.end(), blocks_[command].begin(), blocks_[command].end());
    return response;
  }
  if (written_data.size() == 2) {
    // A Process Call: ManufacturerAccess takes the word and answers with its complement.
    const auto value = static_cast<std::uint16_t>(written_data[0] | written_data[1] << 8);
    words_[command] = value;
    const auto answer = static_cast<std::uint16_t>(~value);
    return {static_cast<std::uint8_t>(answer & 0xFF), static_cast<std::uint8_t>(answer >> 8)};
  }
  const std::uint16_t value = words_.count(command) ? words_[command] : 0xFFFF;
  return {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)};
}

std::optional<Bytes> SmartBattery::transfer(std::uint8_t address,
                                            std::span<const std::uint8_t> written,
                                            std::size_t read_count) {
  std::lock_guard lock(mutex_);
  const auto write_address = static_cast<std::uint8_t>(address << 1);
  const auto read_address = static_cast<std::uint8_t>(write_address | 1);
  if (read_count == 0) {
    if (written.empty()) return Bytes{};  // quick command
    if (written.size() == 1) {            // send byte: selects a register
      last_command_ = written[0];
      return Bytes{};
    }
    const std::uint8_t command = written[0];
    // The protocol of the register tells where the data end and a PEC byte would start.
    std::size_t length = is_block(command) ? 2u + written[1] : 3u;
    if (!is_block(command) && written.size() == 2) length = 2;  // write byte
    if (written.size() != length && written.size() != length + 1) return std::nullopt;
    if (written.size() == length + 1) {
      Bytes covered{write_address};
      covered.insert(covered.end(), written.begin(), written.begin() + static_cast<long>(length));
      if (smbus_pec(covered) != written[length]) {
        ++refused_pec_writes_;
        return std::nullopt;
      }
    }
    last_command_ = command;
    if (is_block(command)) {
      if (written[1] > battery::kBlockAccessLimit) return std::nullopt;
      if (command == battery::kManufacturerBlockAccess)
        blocks_[command].assign(written.begin() + 2, written.begin() + static_cast<long>(length));
    } else if (length == 3) {
      words_[command] = static_cast<std::uint16_t>(written[1] | written[2] << 8);
    } else {
      words_[command] = static_cast<std::uint16_t>((words_[command] & 0xFF00) | written[1]);
    }
    return Bytes{};
  }

  Bytes covered;
  Bytes stream;
  if (written.empty()) {
    // Receive byte: the low byte of the register selected last.
    covered = {read_address};
    stream = {static_cast<std::uint8_t>(words_[last_command_] & 0xFF)};
  } else {
    const std::uint8_t command = written[0];
    last_command_ = command;
    Bytes data;
    if (is_block(command) && written.size() >= 2)
      data.assign(
          written.begin() + 2,
          written.begin() + 2 + std::min<long>(written[1], static_cast<long>(written.size()) - 2));
    else if (written.size() >= 3)
      data.assign(written.begin() + 1, written.begin() + 3);
    stream = respond(command, data);
    covered.push_back(write_address);
    covered.insert(covered.end(), written.begin(), written.end());
    covered.push_back(read_address);
  }
  covered.insert(covered.end(), stream.begin(), stream.end());
  stream.push_back(static_cast<std::uint8_t>(smbus_pec(covered) + (wrong_pec_ ? 1 : 0)));
  stream.resize(std::max(stream.size(), read_count), 0xFF);  // the bus idles high
  stream.resize(read_count);
  return stream;
}

}  // namespace gpio_dll::sim
