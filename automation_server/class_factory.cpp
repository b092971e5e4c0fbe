#include "class_factory.hpp"

#include <mutex>

#include "dispatch_object.hpp"
#include "platform_setup.hpp"
#include "server_module.hpp"

namespace gpio_dll::com {

namespace {

// Sets the platform up once; false when that failed.
bool platform_prepared() {
  static std::once_flag prepared;
  try {
    std::call_once(prepared, prepare_platform);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

ClassFactory& ClassFactory::instance() {
  static ClassFactory factory;
  return factory;
}

HRESULT ClassFactory::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
    *out = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

// References to the class object hold the server like a lock does.
ULONG ClassFactory::AddRef() {
  lock_server(true);
  return 2;
}

ULONG ClassFactory::Release() {
  lock_server(false);
  return 1;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  if (!platform_prepared()) return E_UNEXPECTED;
  return DispatchObject::create(iid, out);
}

HRESULT ClassFactory::LockServer(BOOL lock) {
  lock_server(lock != FALSE);
  return S_OK;
}

}  // namespace gpio_dll::com
