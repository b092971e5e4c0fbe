// The bus, line and EEPROM work of this build is not available yet: every such call ends with an
// automation error rather than a made-up result.
#include "gpio_dll/automation_error.hpp"
#include "transactions/firmware_operations.hpp"

namespace gpio_dll {

namespace {

[[noreturn]] void unavailable(const char* what) {
  throw AutomationError(kActionNotSupported, std::string(what) + " is not available in this build");
}

class UnavailableOperations final : public FirmwareOperations {
 public:
  std::int32_t ReadI2CBlock(ModuleState&, std::int16_t&, ByteArray&, std::int16_t&,
                            std::int16_t&) const override {
    unavailable("GPIO_ReadI2CBlock");
  }
  std::int32_t WriteI2CBlock(ModuleState&, std::int16_t&, ByteArray&, std::int16_t&,
                             std::int16_t&) const override {
    unavailable("GPIO_WriteI2CBlock");
  }
  std::int32_t SendSMBusByte(ModuleState&, std::int32_t&, std::int16_t&) const override {
    unavailable("GPIO_SendSMBusByte");
  }
  std::int32_t WriteSMBusByte(ModuleState&, std::int16_t&, std::int32_t&,
                              std::int16_t&) const override {
    unavailable("GPIO_WriteSMBusByte");
  }
  std::int32_t WriteSMBusWord(ModuleState&, std::int16_t&, std::int32_t&, std::int32_t&,
                              std::int16_t&) const override {
    unavailable("GPIO_WriteSMBusWord");
  }
  std::int32_t WriteSMBusBlock(ModuleState&, std::int16_t&, ByteArray&, std::int16_t&,
                               std::int16_t&) const override {
    unavailable("GPIO_WriteSMBusBlock");
  }
  std::int32_t ReceiveSMBusByte(ModuleState&, std::int32_t&, std::int16_t&) const override {
    unavailable("GPIO_ReceiveSMBusByte");
  }
  std::int32_t ReadSMBusByte(ModuleState&, std::int16_t&, std::int32_t&,
                             std::int16_t&) const override {
    unavailable("GPIO_ReadSMBusByte");
  }
  std::int32_t ReadSMBusWord(ModuleState&, std::int16_t&, std::int32_t&, std::int32_t&,
                             std::int16_t&) const override {
    unavailable("GPIO_ReadSMBusWord");
  }
  std::int32_t ReadSMBusBlock(ModuleState&, std::int16_t&, ByteArray&, std::int16_t&,
                              std::int16_t&) const override {
    unavailable("GPIO_ReadSMBusBlock");
  }
  std::int32_t Test(ModuleState&) const override { unavailable("GPIO_Test"); }
  std::int32_t ProcessCall(ModuleState&, std::int16_t&, std::int32_t&, std::int32_t&, std::int32_t&,
                           std::int32_t&, std::int16_t&) const override {
    unavailable("GPIO_ProcessCall");
  }
  std::int32_t ReadWriteP0Line(ModuleState&, std::uint8_t&, std::uint8_t&) const override {
    unavailable("GPIO_ReadWriteP0Line");
  }
  std::int32_t WriteReadI2CBlock(ModuleState&, std::int16_t&, ByteArray&, ByteArray&, std::int16_t&,
                                 std::int16_t&, std::int16_t&) const override {
    unavailable("GPIO_WriteReadI2CBlock");
  }
  std::int32_t WriteReadSMBusBlock(ModuleState&, std::int16_t&, ByteArray&, ByteArray&,
                                   std::int16_t&, std::int16_t&, std::int16_t&) const override {
    unavailable("GPIO_WriteReadSMBusBlock");
  }
  std::int32_t GetP0Line(ModuleState&, std::uint8_t&) const override {
    unavailable("GPIO_GetP0Line");
  }
  std::int32_t SetP0Line(ModuleState&, std::uint8_t&) const override {
    unavailable("GPIO_SetP0Line");
  }
  std::int32_t GetPMBusLine(ModuleState&, std::uint8_t&) const override {
    unavailable("GPIO_GetPMBusLine");
  }
  std::int32_t SetPMBusLine(ModuleState&, std::uint8_t&) const override {
    unavailable("GPIO_SetPMBusLine");
  }
  std::int32_t SetP1Line(ModuleState&, std::uint8_t&, std::uint8_t&, std::uint8_t&) const override {
    unavailable("GPIO_SetP1Line");
  }
};

}  // namespace

const FirmwareOperations& firmware_operations(Generation) {
  static const UnavailableOperations operations;
  return operations;
}

std::int32_t check_sda_scl_line(ModuleState&) {
  unavailable("GPIO_CheckSdaSclLine");
}
std::int32_t module_eeprom_read(ModuleState&, const std::string&, ByteArray&) {
  unavailable("GPIO_FW_EEP_Read");
}
std::int32_t module_eeprom_write(ModuleState&, const std::string&, const ByteArray&) {
  unavailable("GPIO_FW_EEP_Write");
}
std::int32_t pass_through(ModuleState&, ByteArray&, ByteArray&) {
  unavailable("GPIO_DMA");
}

}  // namespace gpio_dll
