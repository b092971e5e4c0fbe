#include "gpio_dll/cls_gpio_dll.hpp"

#include "base/module_state.hpp"
#include "base/result_messages.hpp"
#include "base/system_error_text.hpp"
#include "diagnostics/form1.hpp"
#include "diagnostics/login_form.hpp"
#include "gpio_dll/automation_error.hpp"
#include "gpio_dll/error_codes.hpp"
#include "transactions/firmware_generation.hpp"
#include "transactions/firmware_operations.hpp"
#include "transactions/identification.hpp"
#include "transport/module_lock.hpp"
#include "transport/report_exchange.hpp"

namespace gpio_dll {

namespace {

// Runs one method on the calling thread's state, holding its operation lock so that window
// events wait until the method returns; afterwards the debug window catches up.
template <class Work>
auto with_state(Work work) {
  ModuleState& state = ModuleState::current();
  std::lock_guard lock(state.operation_mutex);
  // The method's exchanges are one transaction on the module.
  transport::TransactionScope transaction(state);
  struct CatchUp {
    ModuleState& state;
    ~CatchUp() {
      if (auto* window = diagnostics::existing_debug_window(state)) window->operation_finished();
    }
  } catch_up{state};
  return work(state);
}

// Runs the implementation of the generation named by the thread's firmware version text; an
// empty or unknown text answers without touching the module or the arguments.
template <class Method, class... Args>
std::int32_t dispatch(Method method, Args&... args) {
  return with_state([&](ModuleState& state) -> std::int32_t {
    const std::string version = state.firmware_version;
    Generation generation;
    if (const std::int32_t refused = choose_generation(version, generation); refused != OK)
      return refused;
    return (firmware_operations(generation).*method)(state, args...);
  });
}

using Ops = FirmwareOperations;

}  // namespace

cls_GPIO_DLL& predeclared_instance() {
  static cls_GPIO_DLL instance;
  return instance;
}

std::string cls_GPIO_DLL::Check_DllErrorCode(std::int32_t& lcode) {
  const ModuleState& state = ModuleState::current();
  return result_message(lcode, state.MaxBytesRd, state.MaxBytesWr);
}

std::int32_t cls_GPIO_DLL::GPIO_FW_EEP_Read(std::string& DevFWver, ByteArray& DEEPROM) {
  return with_state([&](ModuleState& s) { return module_eeprom_read(s, DevFWver, DEEPROM); });
}

std::int32_t cls_GPIO_DLL::GPIO_FW_EEP_Write(std::string& DevFWver, ByteArray& DEEPROM) {
  return with_state([&](ModuleState& s) { return module_eeprom_write(s, DevFWver, DEEPROM); });
}

std::int32_t cls_GPIO_DLL::GPIO_ReadI2CBlock(std::int16_t& iCmd, ByteArray& DataArray,
                                             std::int16_t& iNumBytesRd, std::int16_t& nTargetID) {
  return dispatch(&Ops::ReadI2CBlock, iCmd, DataArray, iNumBytesRd, nTargetID);
}

std::int32_t cls_GPIO_DLL::GPIO_WriteI2CBlock(std::int16_t& iCmd, ByteArray& DataArray,
                                              std::int16_t& iNumBytesWr, std::int16_t& nTargetID) {
  return dispatch(&Ops::WriteI2CBlock, iCmd, DataArray, iNumBytesWr, nTargetID);
}

std::int32_t cls_GPIO_DLL::GPIO_SendSMBusByte(std::int32_t& DataL, std::int16_t& nTargetID) {
  return dispatch(&Ops::SendSMBusByte, DataL, nTargetID);
}

std::int32_t cls_GPIO_DLL::GPIO_WriteSMBusByte(std::int16_t& iCmd, std::int32_t& DataL,
                                               std::int16_t& nTargetID) {
  return dispatch(&Ops::WriteSMBusByte, iCmd, DataL, nTargetID);
}

std::int32_t cls_GPIO_DLL::GPIO_WriteSMBusWord(std::int16_t& iCmd, std::int32_t& DataH,
                                               std::int32_t& DataL, std::int16_t& nTargetID) {
  return dispatch(&Ops::WriteSMBusWord, iCmd, DataH, DataL, nTargetID);
}

std::int32_t cls_GPIO_DLL::GPIO_WriteSMBusBlock(std::int16_t& iCmd, ByteArray& DataArray,
                                                std::int16_t& iNumBytesWr,
                                                std::int16_t& nTargetID) {
  return dispatch(&Ops::WriteSMBusBlock, iCmd, DataArray, iNumBytesWr, nTargetID);
}

std::int32_t cls_GPIO_DLL::GPIO_ReceiveSMBusByte(std::int32_t& DataB, std::int16_t& nTargetID) {
  return dispatch(&Ops::ReceiveSMBusByte, DataB, nTargetID);
}

std::int32_t cls_GPIO_DLL::GPIO_ReadSMBusByte(std::int16_t& iCmd, std::int32_t& DataB,
                                              std::int16_t& nTargetID) {
  return dispatch(&Ops::ReadSMBusByte, iCmd, DataB, nTargetID);
}

std::int32_t cls_GPIO_DLL::GPIO_ReadSMBusWord(std::int16_t& iCmd, std::int32_t& DataH,
                                              std::int32_t& DataL, std::int16_t& nTargetID) {
  return dispatch(&Ops::ReadSMBusWord, iCmd, DataH, DataL, nTargetID);
}

std::int32_t cls_GPIO_DLL::GPIO_ReadSMBusBlock(std::int16_t& iCmd, ByteArray& DataArray,
                                               std::int16_t& iNumBytesRd, std::int16_t& nTargetID) {
  return dispatch(&Ops::ReadSMBusBlock, iCmd, DataArray, iNumBytesRd, nTargetID);
}

std::int32_t cls_GPIO_DLL::GPIO_Test() {
  return dispatch(&Ops::Test);
}

std::int32_t cls_GPIO_DLL::GPIO_ProcessCall(std::int16_t& iCmd, std::int32_t& wDataH,
                                            std::int32_t& wDataL, std::int32_t& rDataH,
                                            std::int32_t& rDataL, std::int16_t& nTargetID) {
  return dispatch(&Ops::ProcessCall, iCmd, wDataH, wDataL, rDataH, rDataL, nTargetID);
}

std::int32_t cls_GPIO_DLL::GPIO_ReadWriteP0Line(std::uint8_t& DataA, std::uint8_t& DataB) {
  // Only the old generation has the combined P0 set-and-read.
  return with_state([&](ModuleState& state) -> std::int32_t {
    const std::string version = state.firmware_version;
    if (version == kFirmware1_0_10)
      return firmware_operations(Generation::Fw1_0_10).ReadWriteP0Line(state, DataA, DataB);
    return version.empty() ? NO_DEV_DETECTED : UNSUPPORTED_GPIO_FW_VER;
  });
}

std::int32_t cls_GPIO_DLL::GPIO_WriteReadI2CBlock(std::int16_t& iCmd, ByteArray& DataArrayW,
                                                  ByteArray& DataArrayR, std::int16_t& iNumBytesWr,
                                                  std::int16_t& iNumBytesRd,
                                                  std::int16_t& nTargetID) {
  return dispatch(&Ops::WriteReadI2CBlock, iCmd, DataArrayW, DataArrayR, iNumBytesWr, iNumBytesRd,
                  nTargetID);
}

std::int32_t cls_GPIO_DLL::GPIO_WriteReadSMBusBlock(std::int16_t& iCmd, ByteArray& DataArrayW,
                                                    ByteArray& DataArrayR,
                                                    std::int16_t& iNumBytesWr,
                                                    std::int16_t& iNumBytesRd,
                                                    std::int16_t& nTargetID) {
  return dispatch(&Ops::WriteReadSMBusBlock, iCmd, DataArrayW, DataArrayR, iNumBytesWr, iNumBytesRd,
                  nTargetID);
}

std::int32_t cls_GPIO_DLL::GPIO_CheckSdaSclLine() {
  return with_state([](ModuleState& s) { return check_sda_scl_line(s); });
}

std::int32_t cls_GPIO_DLL::GPIO_GetP0Line(std::uint8_t& DataB) {
  return dispatch(&Ops::GetP0Line, DataB);
}

std::int32_t cls_GPIO_DLL::GPIO_SetP0Line(std::uint8_t& DataB) {
  return dispatch(&Ops::SetP0Line, DataB);
}

std::int32_t cls_GPIO_DLL::GPIO_GetPMBusLine(std::uint8_t& DataB) {
  return dispatch(&Ops::GetPMBusLine, DataB);
}

std::int32_t cls_GPIO_DLL::GPIO_SetPMBusLine(std::uint8_t& DataB) {
  return dispatch(&Ops::SetPMBusLine, DataB);
}

std::int32_t cls_GPIO_DLL::GPIO_SetP1Line(std::uint8_t& DataA, std::uint8_t& DataB,
                                          std::uint8_t& DataC) {
  return dispatch(&Ops::SetP1Line, DataA, DataB, DataC);
}

std::int32_t cls_GPIO_DLL::GPIO_FW_VER_Read(std::string& iDevFWver, std::string& iVendorID,
                                            std::string& iProductID) {
  return with_state(
      [&](ModuleState& s) { return read_firmware_version(s, iDevFWver, iVendorID, iProductID); });
}

std::int32_t cls_GPIO_DLL::GPIO_DMA(ByteArray& wBlock, ByteArray& rBlock) {
  return with_state([&](ModuleState& s) { return pass_through(s, wBlock, rBlock); });
}

Variant cls_GPIO_DLL::GPIO_ShutdownDLL() {
  with_state([](ModuleState& s) {
    transport::close_module(s);
    return 0;
  });
  return Variant();
}

std::string cls_GPIO_DLL::GetErrString(std::int32_t LastError) {
  return system_error_text(LastError);
}

std::int32_t cls_GPIO_DLL::ShowDbg(std::string& optStr) {
  return with_state([&](ModuleState& s) { return diagnostics::show_debug_gate(s, optStr); });
}

}  // namespace gpio_dll
