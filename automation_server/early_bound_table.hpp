// The early-bound half of the dual interface _cls_GPIO_DLL, as widl declares it from the type
// library's IDL: table entry 7 + i is method i of the method table. Each entry hands its arguments
// as references to the object's own IDispatch::Invoke under the method's dispatch identifier, so
// that argument conversion, write-back and automation errors are those of a late-bound call, and
// stores the method's value in the last, output-only parameter. The call returns S_OK, except
// for an automation error (0x800A0000 + its number, with the thread's error information set, as
// compiled VB clients read Err) and for an argument pointer that is null (E_POINTER).
#pragma once

#include <gpio_dll_interface.h>

#include <string_view>

namespace gpio_dll::com {

class EarlyBoundTable : public _cls_GPIO_DLL {
 public:
  HRESULT STDMETHODCALLTYPE Check_DllErrorCode(LONG* lcode, BSTR* result) override;
  HRESULT STDMETHODCALLTYPE GPIO_FW_EEP_Read(BSTR* DevFWver, SAFEARRAY** DEEPROM,
                                             LONG* result) override;
  HRESULT STDMETHODCALLTYPE GPIO_FW_EEP_Write(BSTR* DevFWver, SAFEARRAY** DEEPROM,
                                              LONG* result) override;
  HRESULT STDMETHODCALLTYPE GPIO_ReadI2CBlock(short* iCmd, SAFEARRAY** DataArray,
                                              short* iNumBytesRd, short* nTargetID,
                                              LONG* result) override;
  HRESULT STDMETHODCALLTYPE GPIO_WriteI2CBlock(short* iCmd, SAFEARRAY** DataArray,
                                               short* iNumBytesWr, short* nTargetID,
                                               LONG* result) override;
  HRESULT STDMETHODCALLTYPE GPIO_SendSMBusByte(LONG* DataL, short* nTargetID,
                                               LONG* result) override;
  HRESULT STDMETHODCALLTYPE GPIO_WriteSMBusByte(short* iCmd, LONG* DataL, short* nTargetID,
                                                LONG* result) override;
  HRESULT STDMETHODCALLTYPE GPIO_WriteSMBusWord(short* iCmd, LONG* DataH, LONG* DataL,
                                                short* nTargetID, LONG* result) override;
  HRESULT STDMETHODCALLTYPE GPIO_WriteSMBusBlock(short* iCmd, SAFEARRAY** DataArray,
                                                 short* iNumBytesWr, short* nTargetID,
                                                 LONG* result) override;
  HRESULT STDMETHODCALLTYPE GPIO_ReceiveSMBusByte(LONG* DataB, short* nTargetID,
                                                  LONG* result) override;
  HRESULT STDMETHODCALLTYPE GPIO_ReadSMBusByte(short* iCmd, LONG* DataB, short* nTargetID,
                                               LONG* result) override;
  HRESULT STDMETHODCALLTYPE GPIO_ReadSMBusWord(short* iCmd, LONG* DataH, LONG* DataL,
                                               short* nTargetID, LONG* result) override;
  HRESULT STDMETHODCALLTYPE GPIO_ReadSMBusBlock(short* iCmd, SAFEARRAY** DataArray,
                                                short* iNumBytesRd, short* nTargetID,
                                                LONG* result) override;
  HRESULT STDMETHODCALLTYPE GPIO_Test(LONG* result) override;
  HRESULT STDMETHODCALLTYPE GPIO_ProcessCall(short* iCmd, LONG* wDataH, LONG* wDataL, LONG* rDataH,
                                             LONG* rDataL, short* nTargetID, LONG* result) override;
  HRESULT STDMETHODCALLTYPE GPIO_ReadWriteP0Line(unsigned char* DataA, unsigned char* DataB,
                                                 LONG* result) override;
  HRESULT STDMETHODCALLTYPE GPIO_WriteReadI2CBlock(short* iCmd, SAFEARRAY** DataArrayW,
                                                   SAFEARRAY** DataArrayR, short* iNumBytesWr,
                                                   short* iNumBytesRd, short* nTargetID,
                                                   LONG* result) override;
  HRESULT STDMETHODCALLTYPE GPIO_WriteReadSMBusBlock(short* iCmd, SAFEARRAY** DataArrayW,
                                                     SAFEARRAY** DataArrayR, short* iNumBytesWr,
                                                     short* iNumBytesRd, short* nTargetID,
                                                     LONG* result) override;
  HRESULT STDMETHODCALLTYPE GPIO_CheckSdaSclLine(LONG* result) override;
  HRESULT STDMETHODCALLTYPE GPIO_GetP0Line(unsigned char* DataB, LONG* result) override;
  HRESULT STDMETHODCALLTYPE GPIO_SetP0Line(unsigned char* DataB, LONG* result) override;
  HRESULT STDMETHODCALLTYPE GPIO_GetPMBusLine(unsigned char* DataB, LONG* result) override;
  HRESULT STDMETHODCALLTYPE GPIO_SetPMBusLine(unsigned char* DataB, LONG* result) override;
  HRESULT STDMETHODCALLTYPE GPIO_SetP1Line(unsigned char* DataA, unsigned char* DataB,
                                           unsigned char* DataC, LONG* result) override;
  HRESULT STDMETHODCALLTYPE GPIO_FW_VER_Read(BSTR* iDevFWver, BSTR* iVendorID, BSTR* iProductID,
                                             LONG* result) override;
  HRESULT STDMETHODCALLTYPE GPIO_DMA(SAFEARRAY** wBlock, SAFEARRAY** rBlock, LONG* result) override;
  HRESULT STDMETHODCALLTYPE GPIO_ShutdownDLL(VARIANT* result) override;
  HRESULT STDMETHODCALLTYPE GetErrString(LONG LastError, BSTR* result) override;
  HRESULT STDMETHODCALLTYPE ShowDbg(BSTR* optStr, LONG* result) override;

 private:
  // Calls `method` of the method table with `arguments` through Invoke.
  template <typename Result, typename... Arguments>
  HRESULT call(std::string_view method, Result* result, Arguments... arguments);
};

}  // namespace gpio_dll::com
