// The component's one public object. It holds no state of its own: every method works on the
// calling thread's module state, so two objects used on one thread share that state, and each
// thread that calls in discovers and opens the module for itself.
#pragma once

#include <cstdint>
#include <string>

#include "gpio_dll/export.hpp"
#include "gpio_dll/language_standard.hpp"
#include "gpio_dll/variant.hpp"

#ifndef GPIO_DLL_STANDARD_TOO_OLD

namespace gpio_dll {

class GPIO_DLL_API cls_GPIO_DLL {
 public:
  // Methods in interface order. Results are the codes of ErrorCodes (or 300 + s / 400 + s for a
  // module status s). Arguments are in/out; a method writes back only what it documents.
  std::string Check_DllErrorCode(std::int32_t& lcode);
  std::int32_t GPIO_FW_EEP_Read(std::string& DevFWver, ByteArray& DEEPROM);
  std::int32_t GPIO_FW_EEP_Write(std::string& DevFWver, ByteArray& DEEPROM);
  std::int32_t GPIO_ReadI2CBlock(std::int16_t& iCmd, ByteArray& DataArray,
                                 std::int16_t& iNumBytesRd, std::int16_t& nTargetID);
  std::int32_t GPIO_WriteI2CBlock(std::int16_t& iCmd, ByteArray& DataArray,
                                  std::int16_t& iNumBytesWr, std::int16_t& nTargetID);
  std::int32_t GPIO_SendSMBusByte(std::int32_t& DataL, std::int16_t& nTargetID);
  std::int32_t GPIO_WriteSMBusByte(std::int16_t& iCmd, std::int32_t& DataL,
                                   std::int16_t& nTargetID);
  std::int32_t GPIO_WriteSMBusWord(std::int16_t& iCmd, std::int32_t& DataH, std::int32_t& DataL,
                                   std::int16_t& nTargetID);
  std::int32_t GPIO_WriteSMBusBlock(std::int16_t& iCmd, ByteArray& DataArray,
                                    std::int16_t& iNumBytesWr, std::int16_t& nTargetID);
  std::int32_t GPIO_ReceiveSMBusByte(std::int32_t& DataB, std::int16_t& nTargetID);
  std::int32_t GPIO_ReadSMBusByte(std::int16_t& iCmd, std::int32_t& DataB, std::int16_t& nTargetID);
  std::int32_t GPIO_ReadSMBusWord(std::int16_t& iCmd, std::int32_t& DataH, std::int32_t& DataL,
                                  std::int16_t& nTargetID);
  std::int32_t GPIO_ReadSMBusBlock(std::int16_t& iCmd, ByteArray& DataArray,
                                   std::int16_t& iNumBytesRd, std::int16_t& nTargetID);
  std::int32_t GPIO_Test();
  std::int32_t GPIO_ProcessCall(std::int16_t& iCmd, std::int32_t& wDataH, std::int32_t& wDataL,
                                std::int32_t& rDataH, std::int32_t& rDataL,
                                std::int16_t& nTargetID);
  std::int32_t GPIO_ReadWriteP0Line(std::uint8_t& DataA, std::uint8_t& DataB);
  std::int32_t GPIO_WriteReadI2CBlock(std::int16_t& iCmd, ByteArray& DataArrayW,
                                      ByteArray& DataArrayR, std::int16_t& iNumBytesWr,
                                      std::int16_t& iNumBytesRd, std::int16_t& nTargetID);
  std::int32_t GPIO_WriteReadSMBusBlock(std::int16_t& iCmd, ByteArray& DataArrayW,
                                        ByteArray& DataArrayR, std::int16_t& iNumBytesWr,
                                        std::int16_t& iNumBytesRd, std::int16_t& nTargetID);
  std::int32_t GPIO_CheckSdaSclLine();
  std::int32_t GPIO_GetP0Line(std::uint8_t& DataB);
  std::int32_t GPIO_SetP0Line(std::uint8_t& DataB);
  std::int32_t GPIO_GetPMBusLine(std::uint8_t& DataB);
  std::int32_t GPIO_SetPMBusLine(std::uint8_t& DataB);
  std::int32_t GPIO_SetP1Line(std::uint8_t& DataA, std::uint8_t& DataB, std::uint8_t& DataC);
  std::int32_t GPIO_FW_VER_Read(std::string& iDevFWver, std::string& iVendorID,
                                std::string& iProductID);
  std::int32_t GPIO_DMA(ByteArray& wBlock, ByteArray& rBlock);
  Variant GPIO_ShutdownDLL();
  std::string GetErrString(std::int32_t LastError);
  std::int32_t ShowDbg(std::string& optStr);
};

// The predeclared instance, for callers that do not create an object of their own.
GPIO_DLL_API cls_GPIO_DLL& predeclared_instance();

}  // namespace gpio_dll

#endif  // GPIO_DLL_STANDARD_TOO_OLD
