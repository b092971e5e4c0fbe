#include "parse_hex_bytes.hpp"

#include <string>

namespace gpio_dll::parse {

namespace {

int digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

std::vector<std::uint8_t> parse_hex_bytes(std::string_view text) {
  std::vector<std::uint8_t> bytes;
  int high = -1;  // the first digit of a byte, until its second comes
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (is_blank(text[i])) continue;
    const int value = digit_value(text[i]);
    if (value < 0)
      throw ParseError{std::string(text), std::string("not a hex digit: '") + text[i] +
                                              "' at position " + std::to_string(i + 1)};
    if (high < 0) {
      high = value;
    } else {
      bytes.push_back(static_cast<std::uint8_t>(high << 4 | value));
      high = -1;
    }
  }
  if (high >= 0) throw ParseError{std::string(text), "odd number of digits"};
  return bytes;
}

}  // namespace gpio_dll::parse
