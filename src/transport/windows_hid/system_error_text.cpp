// Windows' own text for an error number, from FormatMessageA.
#include "base/system_error_text.hpp"

#include <windows.h>

namespace gpio_dll {

namespace {
constexpr DWORD kBufferCharacters = 128;
// System texts end with a carriage return and a line feed.
constexpr DWORD kLineEnd = 2;
}  // namespace

std::string system_error_text(std::int32_t error) {
  char buffer[kBufferCharacters + 1] = {};
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, static_cast<DWORD>(error), 0, buffer,
                     kBufferCharacters, nullptr);
  // 0 when the number is unknown or the text does not fit; the line end alone is no text.
  if (length <= kLineEnd) return {};
  return std::string(buffer, length - kLineEnd);
}

std::string setup_error_text(std::int32_t error) {
  return system_error_text(error);
}

}  // namespace gpio_dll
