// The four entry points of the in-process server.
#include <objbase.h>
#include <windows.h>

#include "class_factory.hpp"
#include "com_identity.hpp"
#include "registration.hpp"
#include "server_module.hpp"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) gpio_dll::com::set_server_module(instance);
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsEqualCLSID(clsid, gpio_dll::com::kClassId)) return CLASS_E_CLASSNOTAVAILABLE;
  return gpio_dll::com::ClassFactory::instance().QueryInterface(iid, out);
}

STDAPI DllCanUnloadNow() {
  return gpio_dll::com::server_idle() ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
  return gpio_dll::com::register_server();
}

STDAPI DllUnregisterServer() {
  return gpio_dll::com::unregister_server();
}
