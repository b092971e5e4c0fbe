#include "text_conversion.hpp"

#include <limits>
#include <new>

namespace gpio_dll::com {

std::string to_utf8(std::wstring_view text) {
  if (text.empty()) return {};
  if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
    throw std::bad_alloc();
  const int length = static_cast<int>(text.size());
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), length, out.data(), size, nullptr, nullptr);
  return out;
}

std::string to_utf8(BSTR text) {
  if (text == nullptr) return {};
  return to_utf8(std::wstring_view(text, SysStringLen(text)));
}

std::wstring to_wide(std::string_view text) {
  if (text.empty()) return {};
  if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
    throw std::bad_alloc();
  const int length = static_cast<int>(text.size());
  // Bytes that are not UTF-8 become U+FFFD rather than failing the call.
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  if (size <= 0) return {};
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), length, out.data(), size);
  return out;
}

BSTR to_bstr(std::string_view text) {
  const std::wstring wide = to_wide(text);
  BSTR out = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (out == nullptr) throw std::bad_alloc();
  return out;
}

}  // namespace gpio_dll::com
