#include "registration.hpp"

#include <ole2.h>
#include <olectl.h>

#include <string>

#include "com_identity.hpp"
#include "server_module.hpp"
#include "text_conversion.hpp"
#include "type_library.hpp"

namespace gpio_dll::com {

namespace {

#ifdef _WIN64
constexpr const wchar_t* kPlatform = L"win64";
constexpr SYSKIND kSysKind = SYS_WIN64;
#else
constexpr const wchar_t* kPlatform = L"win32";
constexpr SYSKIND kSysKind = SYS_WIN32;
#endif

std::wstring braced(std::string_view id) {
  return L"{" + to_wide(id) + L"}";
}

std::wstring class_key() {
  return L"CLSID\\" + braced(automation::kClassId);
}

std::wstring library_key() {
  return L"TypeLib\\" + braced(automation::kLibraryId);
}

std::wstring version_text() {
  return std::to_wstring(automation::kLibraryVersionMajor) + L"." +
         std::to_wstring(automation::kLibraryVersionMinor);
}

// Sets a text value (the key's default value when `name` is null), creating the key.
bool set_text(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &handle, nullptr) != ERROR_SUCCESS)
    return false;
  const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  const LONG status =
      RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
  RegCloseKey(handle);
  return status == ERROR_SUCCESS;
}

bool create_key(const std::wstring& key) {
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &handle, nullptr) != ERROR_SUCCESS)
    return false;
  RegCloseKey(handle);
  return true;
}

void delete_tree(const std::wstring& key) {
  RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
  RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
}

// Deletes `key` when nothing is left under it.
void delete_if_empty(const std::wstring& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return;
  DWORD subkeys = 0;
  DWORD values = 0;
  const LONG status = RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, &subkeys, nullptr,
                                       nullptr, &values, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(handle);
  if (status == ERROR_SUCCESS && subkeys == 0 && values == 0)
    RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
}

bool register_class(const std::wstring& path) {
  const std::wstring prog_id = to_wide(automation::kProgId);
  const std::wstring clsid = braced(automation::kClassId);
  const std::wstring key = class_key();
  return set_text(key, nullptr, prog_id) && set_text(key + L"\\InprocServer32", nullptr, path) &&
         set_text(key + L"\\InprocServer32", L"ThreadingModel",
                  to_wide(automation::kThreadingModel)) &&
         set_text(key + L"\\ProgID", nullptr, prog_id) &&
         set_text(key + L"\\VERSION", nullptr, version_text()) &&
         set_text(key + L"\\TypeLib", nullptr, braced(automation::kLibraryId)) &&
         create_key(key + L"\\Programmable") && set_text(prog_id, nullptr, prog_id) &&
         set_text(prog_id + L"\\Clsid", nullptr, clsid);
}

bool register_library(const std::wstring& path) {
  ITypeLib* library = nullptr;
  if (FAILED(load_type_library(&library))) return false;
  std::wstring writable = path;  // the declaration takes a non-const text
  const HRESULT hr = RegisterTypeLib(library, writable.data(), nullptr);
  library->Release();
  if (FAILED(hr)) return false;
  return set_text(library_key() + L"\\" + version_text() + L"\\0\\" + kPlatform, nullptr, path);
}

}  // namespace

HRESULT register_server() {
  const std::wstring path = server_path();
  if (path.empty() || !register_class(path)) return SELFREG_E_CLASS;
  if (!register_library(path)) return SELFREG_E_TYPELIB;
  return S_OK;
}

HRESULT unregister_server() {
  delete_tree(class_key());
  delete_tree(to_wide(automation::kProgId));
  // The neutral-locale entry first: the type library's own unregistration keeps the version key
  // while it finds another locale under it.
  const std::wstring version = library_key() + L"\\" + version_text();
  delete_tree(version + L"\\0\\" + kPlatform);
  delete_if_empty(version + L"\\0");
  UnRegisterTypeLib(kLibraryId, static_cast<WORD>(automation::kLibraryVersionMajor),
                    static_cast<WORD>(automation::kLibraryVersionMinor), automation::kLocale,
                    kSysKind);
  delete_if_empty(library_key());
  return S_OK;
}

}  // namespace gpio_dll::com
