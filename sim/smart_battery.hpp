// A smart battery on the bus (7-bit address 0x0B by default): word and block data registers as
// smart batteries lay them out (Smart Battery Data, SBS 1.1), a writable ManufacturerAccess word
// that a Process Call answers, and a ManufacturerBlockAccess block that keeps what is written to
// it. It computes and checks PEC like an SMBus slave: a write that ends in a wrong PEC byte is not
// acknowledged, and reads append the PEC of the whole transaction.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "bus.hpp"
#include "gpio_dll/language_standard.hpp"

#ifndef GPIO_DLL_STANDARD_TOO_OLD

namespace gpio_dll::sim {

namespace battery {
inline constexpr std::uint8_t kManufacturerAccess = 0x00;
inline constexpr std::uint8_t kTemperature = 0x08;            // 0.1 K
inline constexpr std::uint8_t kVoltage = 0x09;                // mV
inline constexpr std::uint8_t kCurrent = 0x0A;                // mA, signed
inline constexpr std::uint8_t kRelativeStateOfCharge = 0x0D;  // %
inline constexpr std::uint8_t kRemainingCapacity = 0x0F;      // mAh
inline constexpr std::uint8_t kFullChargeCapacity = 0x10;     // mAh
inline constexpr std::uint8_t kCycleCount = 0x17;
inline constexpr std::uint8_t kSerialNumber = 0x1C;
inline constexpr std::uint8_t kManufacturerName = 0x20;
inline constexpr std::uint8_t kDeviceName = 0x21;
inline constexpr std::uint8_t kDeviceChemistry = 0x22;
inline constexpr std::uint8_t kManufacturerBlockAccess = 0x44;
inline constexpr std::uint8_t kDefaultAddress = 0x0B;
inline constexpr std::size_t kBlockAccessLimit = 120;
// A block read sends its length in one count byte first.
inline constexpr std::size_t kLongestBlock = 255;
}  // namespace battery

class SmartBattery : public BusDevice {
 public:
  SmartBattery();

  std::optional<Bytes> transfer(std::uint8_t address, std::span<const std::uint8_t> written,
                                std::size_t read_count) override;

  std::uint16_t word(std::uint8_t command) const;
  void set_word(std::uint8_t command, std::uint16_t value);
  Bytes block(std::uint8_t command) const;
  // Throws std::invalid_argument for a block longer than its count byte can say
  // (battery::kLongestBlock), leaving the register as it was.
  void set_block(std::uint8_t command, Bytes value);
  // The last ManufacturerAccess value written.
  std::uint16_t manufacturer_access() const;

  // Fault: every PEC byte the battery sends is off by one.
  void set_wrong_pec(bool wrong);
  // How many writes were refused for a wrong PEC byte.
  int refused_pec_writes() const;

 private:
  bool is_block(std::uint8_t command) const;
  Bytes respond(std::uint8_t command, const Bytes& written_data);

  mutable std::mutex mutex_;
  std::map<std::uint8_t, std::uint16_t> words_;
  std::map<std::uint8_t, Bytes> blocks_;
  std::uint8_t last_command_ = 0;
  bool wrong_pec_ = false;
  int refused_pec_writes_ = 0;
};

}  // namespace gpio_dll::sim

#endif  // GPIO_DLL_STANDARD_TOO_OLD
