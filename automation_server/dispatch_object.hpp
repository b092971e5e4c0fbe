// The creatable class cls_GPIO_DLL: IDispatch written over the library's method table, so that
// every by-reference kind a late-binding client passes (VBScript passes its variables as
// VT_BYREF|VT_VARIANT) reaches the method, and the arguments the method writes are written back;
// the dual interface's early-bound table calls through it, and the error information of a failed
// early-bound call is offered.
#pragma once

#include <ole2.h>
#include <windows.h>

#include <atomic>

#include "early_bound_table.hpp"
#include "gpio_dll/cls_gpio_dll.hpp"

namespace gpio_dll::com {

class DispatchObject final : public EarlyBoundTable, public ISupportErrorInfo {
 public:
  // A new object, asked for `iid`.
  static HRESULT create(REFIID iid, void** out);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argument_error) override;

  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

 private:
  DispatchObject();
  ~DispatchObject();

  std::atomic<ULONG> references_{1};
  // Holds no state: every method works on the calling thread's module state.
  cls_GPIO_DLL object_;
};

}  // namespace gpio_dll::com
