#include "base/hex_text.hpp"

namespace gpio_dll {

namespace {
constexpr char kDigits[] = "0123456789ABCDEF";
}

int hex_digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string hex_digits(std::uint32_t value) {
  char buffer[8];
  int n = 0;
  do {
    buffer[n++] = kDigits[value & 0xF];
    value >>= 4;
  } while (value != 0);
  std::string text;
  text.reserve(static_cast<std::size_t>(n));
  while (n > 0)
    text += buffer[--n];
  return text;
}

std::string two_digit_hex(std::int32_t value) {
  std::string text;
  append_two_digit_hex(text, static_cast<std::uint8_t>(value & 0xFF));
  return text;
}

void append_two_digit_hex(std::string& text, std::uint8_t value) {
  text += kDigits[value >> 4];
  text += kDigits[value & 0xF];
}

void split_word(std::int32_t value, std::int32_t& high, std::int32_t& low) {
  if (value < 0) value += 65536;
  const std::int32_t word = value % 65536;
  high = word / 256;
  low = word % 256;
}

std::string two_bytes_as_hex(std::int32_t high, std::int32_t low) {
  return two_digit_hex(high) + two_digit_hex(low);
}

std::string identifier_text(std::uint16_t value) {
  std::int32_t high = 0;
  std::int32_t low = 0;
  split_word(value, high, low);
  return two_bytes_as_hex(high, low);
}

}  // namespace gpio_dll
