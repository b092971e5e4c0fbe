#include "diagnostics/hex_conversions.hpp"

#include "base/hex_text.hpp"
#include "gpio_dll/error_codes.hpp"

namespace gpio_dll::diagnostics {

std::int32_t text_to_bytes(const std::string& text, std::vector<std::uint8_t>& bytes) {
  if (text.empty() || text.size() % 2 != 0) return ERROR_LEN_STRING;
  bytes.assign(text.size() / 2, 0);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const int high = hex_digit_value(text[2 * i]);
    const int low = hex_digit_value(text[2 * i + 1]);
    if (high < 0 || low < 0) return FATAL_ERROR;
    bytes[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return OK;
}

std::int32_t bytes_to_text(const std::vector<std::uint8_t>& bytes, std::string& text) {
  text.clear();
  if (bytes.empty()) return FATAL_ERROR;
  for (std::uint8_t b : bytes)
    append_two_digit_hex(text, b);
  return OK;
}

}  // namespace gpio_dll::diagnostics
