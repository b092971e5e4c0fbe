#include "transport/windows_hid/device_names.hpp"

#include <cstdint>

namespace gpio_dll::transport {

std::string device_mutex_name(std::string_view device_path) {
  std::string name = "Global\\gpio_dll.module.";
  for (const char c : device_path) {
    if (c == '\\')
      name += '/';
    else if (c >= 'A' && c <= 'Z')
      name += static_cast<char>(c - 'A' + 'a');
    else
      name += c;
  }
  return name;
}

std::string last_user_record_name(std::string_view device_path, bool global) {
  const std::string mutex = device_mutex_name(device_path);
  const std::string local = "Local" + mutex.substr(mutex.find('\\'));
  return (global ? mutex : local) + ".last-user";
}

namespace {

void append_utf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::string utf8_of_utf16(const wchar_t* text, std::size_t units) {
  constexpr std::uint32_t kReplacement = 0xFFFD;
  std::string out;
  for (std::size_t i = 0; i < units && text[i] != 0; ++i) {
    const auto unit = static_cast<std::uint32_t>(static_cast<std::uint16_t>(text[i]));
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      const auto low =
          i + 1 < units ? static_cast<std::uint32_t>(static_cast<std::uint16_t>(text[i + 1])) : 0;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        ++i;
      } else {
        append_utf8(out, kReplacement);
      }
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      append_utf8(out, kReplacement);
    } else {
      append_utf8(out, unit);
    }
  }
  return out;
}

}  // namespace gpio_dll::transport
