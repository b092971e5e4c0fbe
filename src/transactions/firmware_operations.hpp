// The bus and line operations that exist once per firmware generation.
#pragma once

#include <cstdint>

#include "gpio_dll/variant.hpp"
#include "transactions/firmware_generation.hpp"

namespace gpio_dll {

class ModuleState;

class FirmwareOperations {
 public:
  virtual ~FirmwareOperations() = default;

  virtual std::int32_t ReadI2CBlock(ModuleState& s, std::int16_t& iCmd, ByteArray& DataArray,
                                    std::int16_t& iNumBytesRd, std::int16_t& nTargetID) const = 0;
  virtual std::int32_t WriteI2CBlock(ModuleState& s, std::int16_t& iCmd, ByteArray& DataArray,
                                     std::int16_t& iNumBytesWr, std::int16_t& nTargetID) const = 0;
  virtual std::int32_t SendSMBusByte(ModuleState& s, std::int32_t& DataL,
                                     std::int16_t& nTargetID) const = 0;
  virtual std::int32_t WriteSMBusByte(ModuleState& s, std::int16_t& iCmd, std::int32_t& DataL,
                                      std::int16_t& nTargetID) const = 0;
  virtual std::int32_t WriteSMBusWord(ModuleState& s, std::int16_t& iCmd, std::int32_t& DataH,
                                      std::int32_t& DataL, std::int16_t& nTargetID) const = 0;
  virtual std::int32_t WriteSMBusBlock(ModuleState& s, std::int16_t& iCmd, ByteArray& DataArray,
                                       std::int16_t& iNumBytesWr,
                                       std::int16_t& nTargetID) const = 0;
  virtual std::int32_t ReceiveSMBusByte(ModuleState& s, std::int32_t& DataB,
                                        std::int16_t& nTargetID) const = 0;
  virtual std::int32_t ReadSMBusByte(ModuleState& s, std::int16_t& iCmd, std::int32_t& DataB,
                                     std::int16_t& nTargetID) const = 0;
  virtual std::int32_t ReadSMBusWord(ModuleState& s, std::int16_t& iCmd, std::int32_t& DataH,
                                     std::int32_t& DataL, std::int16_t& nTargetID) const = 0;
  virtual std::int32_t ReadSMBusBlock(ModuleState& s, std::int16_t& iCmd, ByteArray& DataArray,
                                      std::int16_t& iNumBytesRd, std::int16_t& nTargetID) const = 0;
  virtual std::int32_t Test(ModuleState& s) const = 0;
  virtual std::int32_t ProcessCall(ModuleState& s, std::int16_t& iCmd, std::int32_t& wDataH,
                                   std::int32_t& wDataL, std::int32_t& rDataH, std::int32_t& rDataL,
                                   std::int16_t& nTargetID) const = 0;
  virtual std::int32_t ReadWriteP0Line(ModuleState& s, std::uint8_t& DataA,
                                       std::uint8_t& DataB) const = 0;
  virtual std::int32_t WriteReadI2CBlock(ModuleState& s, std::int16_t& iCmd, ByteArray& DataArrayW,
                                         ByteArray& DataArrayR, std::int16_t& iNumBytesWr,
                                         std::int16_t& iNumBytesRd,
                                         std::int16_t& nTargetID) const = 0;
  virtual std::int32_t WriteReadSMBusBlock(ModuleState& s, std::int16_t& iCmd,
                                           ByteArray& DataArrayW, ByteArray& DataArrayR,
                                           std::int16_t& iNumBytesWr, std::int16_t& iNumBytesRd,
                                           std::int16_t& nTargetID) const = 0;
  virtual std::int32_t GetP0Line(ModuleState& s, std::uint8_t& DataB) const = 0;
  virtual std::int32_t SetP0Line(ModuleState& s, std::uint8_t& DataB) const = 0;
  virtual std::int32_t GetPMBusLine(ModuleState& s, std::uint8_t& DataB) const = 0;
  virtual std::int32_t SetPMBusLine(ModuleState& s, std::uint8_t& DataB) const = 0;
  virtual std::int32_t SetP1Line(ModuleState& s, std::uint8_t& DataA, std::uint8_t& DataB,
                                 std::uint8_t& DataC) const = 0;
};

// The implementation of a generation.
const FirmwareOperations& firmware_operations(Generation generation);

// Work that does not dispatch through a generation's implementation.
std::int32_t check_sda_scl_line(ModuleState& s);
std::int32_t module_eeprom_read(ModuleState& s, const std::string& DevFWver, ByteArray& DEEPROM);
std::int32_t module_eeprom_write(ModuleState& s, const std::string& DevFWver,
                                 const ByteArray& DEEPROM);
std::int32_t pass_through(ModuleState& s, ByteArray& wBlock, ByteArray& rBlock);

}  // namespace gpio_dll
