// The server's identity as COM types: GUIDs parsed at compile time from the library's identity
// texts, so that the two can never disagree.
#pragma once

#include <windows.h>

#include <string_view>

#include "gpio_dll/automation.hpp"

namespace gpio_dll::com {

namespace detail {

constexpr unsigned hex_digit(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
  throw "not a hexadecimal digit";  // fails the constant evaluation
}

// The value of `count` hex digits at `text[pos]`.
constexpr unsigned long hex_value(std::string_view text, std::size_t pos, std::size_t count) {
  unsigned long value = 0;
  for (std::size_t i = 0; i < count; ++i)
    value = value * 16 + hex_digit(text[pos + i]);
  return value;
}

}  // namespace detail

// "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" without braces.
constexpr GUID parse_guid(std::string_view text) {
  if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-')
    throw "not a GUID";
  GUID guid{};
  guid.Data1 = detail::hex_value(text, 0, 8);
  guid.Data2 = static_cast<unsigned short>(detail::hex_value(text, 9, 4));
  guid.Data3 = static_cast<unsigned short>(detail::hex_value(text, 14, 4));
  constexpr std::size_t kByteOffsets[8] = {19, 21, 24, 26, 28, 30, 32, 34};
  for (std::size_t i = 0; i < 8; ++i)
    guid.Data4[i] = static_cast<unsigned char>(detail::hex_value(text, kByteOffsets[i], 2));
  return guid;
}

inline constexpr GUID kClassId = parse_guid(automation::kClassId);
inline constexpr GUID kInterfaceId = parse_guid(automation::kInterfaceId);
inline constexpr GUID kLibraryId = parse_guid(automation::kLibraryId);

}  // namespace gpio_dll::com
