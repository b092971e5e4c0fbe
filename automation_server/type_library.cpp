#include "type_library.hpp"

#include "com_identity.hpp"
#include "server_module.hpp"

namespace gpio_dll::com {

HRESULT load_type_library(ITypeLib** library) {
  if (library == nullptr) return E_POINTER;
  *library = nullptr;
  const std::wstring path = server_path();
  if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
  return LoadTypeLibEx(path.c_str(), REGKIND_NONE, library);
}

HRESULT load_interface_type_info(ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  ITypeLib* library = nullptr;
  HRESULT hr = load_type_library(&library);
  if (FAILED(hr)) return hr;
  hr = library->GetTypeInfoOfGuid(kInterfaceId, info);
  library->Release();
  return hr;
}

}  // namespace gpio_dll::com
