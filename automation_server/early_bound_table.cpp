#include "early_bound_table.hpp"

#include <algorithm>
#include <array>
#include <string_view>

#include "com_identity.hpp"
#include "gpio_dll/automation.hpp"

namespace gpio_dll::com {

namespace {

VARIANT of_kind(VARTYPE kind) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = kind;
  return v;
}

// An argument as Invoke takes it: a reference to the caller's variable of the declared kind, or
// the value itself for the one argument passed by value.
VARIANT argument(short* value) {
  VARIANT v = of_kind(VT_BYREF | VT_I2);
  V_I2REF(&v) = value;
  return v;
}
VARIANT argument(LONG* value) {
  VARIANT v = of_kind(VT_BYREF | VT_I4);
  V_I4REF(&v) = value;
  return v;
}
VARIANT argument(unsigned char* value) {
  VARIANT v = of_kind(VT_BYREF | VT_UI1);
  V_UI1REF(&v) = value;
  return v;
}
VARIANT argument(BSTR* value) {
  VARIANT v = of_kind(VT_BYREF | VT_BSTR);
  V_BSTRREF(&v) = value;
  return v;
}
VARIANT argument(SAFEARRAY** value) {
  VARIANT v = of_kind(VT_BYREF | VT_ARRAY | VT_UI1);
  V_ARRAYREF(&v) = value;
  return v;
}
VARIANT argument(LONG value) {
  VARIANT v = of_kind(VT_I4);
  V_I4(&v) = value;
  return v;
}

template <typename T>
bool is_null(T* pointer) {
  return pointer == nullptr;
}
bool is_null(LONG) {
  return false;
}

// An output-only parameter holds nothing the callee may free: it starts empty.
void clear(LONG* result) {
  *result = 0;
}
void clear(BSTR* result) {
  *result = nullptr;
}
void clear(VARIANT* result) {
  VariantInit(result);
}

// Moves Invoke's result into the output parameter, converted to its declared kind.
HRESULT take(VARIANT& value, LONG* result) {
  const HRESULT hr = VariantChangeType(&value, &value, 0, VT_I4);
  if (SUCCEEDED(hr)) *result = V_I4(&value);
  VariantClear(&value);
  return hr;
}
HRESULT take(VARIANT& value, BSTR* result) {
  const HRESULT hr = VariantChangeType(&value, &value, 0, VT_BSTR);
  if (FAILED(hr)) {
    VariantClear(&value);
    return hr;
  }
  *result = V_BSTR(&value);  // the caller frees it
  return S_OK;
}
HRESULT take(VARIANT& value, VARIANT* result) {
  *result = value;
  return S_OK;
}

// The failure Invoke described, as the call's status, with the thread's error information set
// from it, so that a client that asks ISupportErrorInfo and then GetErrorInfo finds its text.
HRESULT raise(EXCEPINFO& exception) {
  const HRESULT code = FAILED(exception.scode) ? exception.scode : DISP_E_EXCEPTION;
  ICreateErrorInfo* created = nullptr;
  if (SUCCEEDED(CreateErrorInfo(&created))) {
    created->SetGUID(kInterfaceId);
    created->SetSource(exception.bstrSource);
    created->SetDescription(exception.bstrDescription);
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(created->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
      SetErrorInfo(0, info);
      info->Release();
    }
    created->Release();
  }
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  return code;
}

}  // namespace

template <typename Result, typename... Arguments>
HRESULT EarlyBoundTable::call(std::string_view method, Result* result, Arguments... arguments) {
  const automation::MethodInfo* info = automation::find_method(method);
  if (info == nullptr) return E_UNEXPECTED;
  if (result == nullptr || (is_null(arguments) || ...)) return E_POINTER;
  clear(result);
  // DISPPARAMS holds the last argument first.
  std::array<VARIANT, sizeof...(Arguments)> references{argument(arguments)...};
  std::reverse(references.begin(), references.end());
  DISPPARAMS params{references.data(), nullptr, static_cast<UINT>(references.size()), 0};
  VARIANT value;
  VariantInit(&value);
  EXCEPINFO exception{};
  const HRESULT hr = Invoke(info->dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                            &value, &exception, nullptr);
  if (hr == DISP_E_EXCEPTION) return raise(exception);
  if (FAILED(hr)) return hr;
  return take(value, result);
}

// Each entry calls the method of its own name.

HRESULT EarlyBoundTable::Check_DllErrorCode(LONG* lcode, BSTR* result) {
  return call(__func__, result, lcode);
}
HRESULT EarlyBoundTable::GPIO_FW_EEP_Read(BSTR* DevFWver, SAFEARRAY** DEEPROM, LONG* result) {
  return call(__func__, result, DevFWver, DEEPROM);
}
HRESULT EarlyBoundTable::GPIO_FW_EEP_Write(BSTR* DevFWver, SAFEARRAY** DEEPROM, LONG* result) {
  return call(__func__, result, DevFWver, DEEPROM);
}
HRESULT EarlyBoundTable::GPIO_ReadI2CBlock(short* iCmd, SAFEARRAY** DataArray, short* iNumBytesRd,
                                           short* nTargetID, LONG* result) {
  return call(__func__, result, iCmd, DataArray, iNumBytesRd, nTargetID);
}
HRESULT EarlyBoundTable::GPIO_WriteI2CBlock(short* iCmd, SAFEARRAY** DataArray, short* iNumBytesWr,
                                            short* nTargetID, LONG* result) {
  return call(__func__, result, iCmd, DataArray, iNumBytesWr, nTargetID);
}
HRESULT EarlyBoundTable::GPIO_SendSMBusByte(LONG* DataL, short* nTargetID, LONG* result) {
  return call(__func__, result, DataL, nTargetID);
}
HRESULT EarlyBoundTable::GPIO_WriteSMBusByte(short* iCmd, LONG* DataL, short* nTargetID,
                                             LONG* result) {
  return call(__func__, result, iCmd, DataL, nTargetID);
}
HRESULT EarlyBoundTable::GPIO_WriteSMBusWord(short* iCmd, LONG* DataH, LONG* DataL,
                                             short* nTargetID, LONG* result) {
  return call(__func__, result, iCmd, DataH, DataL, nTargetID);
}
HRESULT EarlyBoundTable::GPIO_WriteSMBusBlock(short* iCmd, SAFEARRAY** DataArray,
                                              short* iNumBytesWr, short* nTargetID, LONG* result) {
  return call(__func__, result, iCmd, DataArray, iNumBytesWr, nTargetID);
}
HRESULT EarlyBoundTable::GPIO_ReceiveSMBusByte(LONG* DataB, short* nTargetID, LONG* result) {
  return call(__func__, result, DataB, nTargetID);
}
HRESULT EarlyBoundTable::GPIO_ReadSMBusByte(short* iCmd, LONG* DataB, short* nTargetID,
                                            LONG* result) {
  return call(__func__, result, iCmd, DataB, nTargetID);
}
HRESULT EarlyBoundTable::GPIO_ReadSMBusWord(short* iCmd, LONG* DataH, LONG* DataL, short* nTargetID,
                                            LONG* result) {
  return call(__func__, result, iCmd, DataH, DataL, nTargetID);
}
HRESULT EarlyBoundTable::GPIO_ReadSMBusBlock(short* iCmd, SAFEARRAY** DataArray, short* iNumBytesRd,
                                             short* nTargetID, LONG* result) {
  return call(__func__, result, iCmd, DataArray, iNumBytesRd, nTargetID);
}
HRESULT EarlyBoundTable::GPIO_Test(LONG* result) {
  return call(__func__, result);
}
HRESULT EarlyBoundTable::GPIO_ProcessCall(short* iCmd, LONG* wDataH, LONG* wDataL, LONG* rDataH,
                                          LONG* rDataL, short* nTargetID, LONG* result) {
  return call(__func__, result, iCmd, wDataH, wDataL, rDataH, rDataL, nTargetID);
}
HRESULT EarlyBoundTable::GPIO_ReadWriteP0Line(unsigned char* DataA, unsigned char* DataB,
                                              LONG* result) {
  return call(__func__, result, DataA, DataB);
}
HRESULT EarlyBoundTable::GPIO_WriteReadI2CBlock(short* iCmd, SAFEARRAY** DataArrayW,
                                                SAFEARRAY** DataArrayR, short* iNumBytesWr,
                                                short* iNumBytesRd, short* nTargetID,
                                                LONG* result) {
  return call(__func__, result, iCmd, DataArrayW, DataArrayR, iNumBytesWr, iNumBytesRd, nTargetID);
}
HRESULT EarlyBoundTable::GPIO_WriteReadSMBusBlock(short* iCmd, SAFEARRAY** DataArrayW,
                                                  SAFEARRAY** DataArrayR, short* iNumBytesWr,
                                                  short* iNumBytesRd, short* nTargetID,
                                                  LONG* result) {
  return call(__func__, result, iCmd, DataArrayW, DataArrayR, iNumBytesWr, iNumBytesRd, nTargetID);
}
HRESULT EarlyBoundTable::GPIO_CheckSdaSclLine(LONG* result) {
  return call(__func__, result);
}
HRESULT EarlyBoundTable::GPIO_GetP0Line(unsigned char* DataB, LONG* result) {
  return call(__func__, result, DataB);
}
HRESULT EarlyBoundTable::GPIO_SetP0Line(unsigned char* DataB, LONG* result) {
  return call(__func__, result, DataB);
}
HRESULT EarlyBoundTable::GPIO_GetPMBusLine(unsigned char* DataB, LONG* result) {
  return call(__func__, result, DataB);
}
HRESULT EarlyBoundTable::GPIO_SetPMBusLine(unsigned char* DataB, LONG* result) {
  return call(__func__, result, DataB);
}
HRESULT EarlyBoundTable::GPIO_SetP1Line(unsigned char* DataA, unsigned char* DataB,
                                        unsigned char* DataC, LONG* result) {
  return call(__func__, result, DataA, DataB, DataC);
}
HRESULT EarlyBoundTable::GPIO_FW_VER_Read(BSTR* iDevFWver, BSTR* iVendorID, BSTR* iProductID,
                                          LONG* result) {
  return call(__func__, result, iDevFWver, iVendorID, iProductID);
}
HRESULT EarlyBoundTable::GPIO_DMA(SAFEARRAY** wBlock, SAFEARRAY** rBlock, LONG* result) {
  return call(__func__, result, wBlock, rBlock);
}
HRESULT EarlyBoundTable::GPIO_ShutdownDLL(VARIANT* result) {
  return call(__func__, result);
}
HRESULT EarlyBoundTable::GetErrString(LONG LastError, BSTR* result) {
  return call(__func__, result, LastError);
}
HRESULT EarlyBoundTable::ShowDbg(BSTR* optStr, LONG* result) {
  return call(__func__, result, optStr);
}

}  // namespace gpio_dll::com
