// The class object of cls_GPIO_DLL, which DllGetClassObject hands out.
#pragma once

#include <ole2.h>
#include <windows.h>

namespace gpio_dll::com {

class ClassFactory final : public IClassFactory {
 public:
  // The one class object of the server: it lives as long as the DLL and counts no references.
  static ClassFactory& instance();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;
};

}  // namespace gpio_dll::com
