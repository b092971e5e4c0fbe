#include "transactions/packet_error_code.hpp"

#include "base/hex_text.hpp"

#include <algorithm>
#include <array>
#include <bit>

namespace gpio_dll {

namespace {

constexpr std::uint32_t kPolynomial = 0x107;

constexpr std::array<std::uint8_t, 256> make_table() {
  std::array<std::uint8_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned crc = i;
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 0x80) ? ((crc << 1) ^ kPolynomial) : (crc << 1);
    table[i] = static_cast<std::uint8_t>(crc);
  }
  return table;
}
constexpr std::array<std::uint8_t, 256> kTable = make_table();

// Digit by digit, reducing after every digit; works for any length and any characters.
std::uint8_t digit_wise(std::string_view text) {
  std::uint32_t a = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    a = a * 16 + static_cast<std::uint32_t>(std::max(0, hex_digit_value(text[i])));
    if (i + 1 == text.size()) a *= 256;
    while (a >= 256) {
      const int k = std::bit_width(a);
      a ^= kPolynomial << (k - 9);
    }
  }
  return static_cast<std::uint8_t>(a);
}

}  // namespace

std::uint8_t crc8(const std::uint8_t* bytes, std::size_t count) {
  std::uint8_t crc = 0;
  for (std::size_t i = 0; i < count; ++i)
    crc = kTable[crc ^ bytes[i]];
  return crc;
}

std::uint8_t packet_error_code(std::string_view text) {
  if (text.size() % 2 != 0) return digit_wise(text);
  // Byte-wise through the table while the text holds valid digit pairs.
  std::uint8_t crc = 0;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = hex_digit_value(text[i]);
    const int low = hex_digit_value(text[i + 1]);
    if (high < 0 || low < 0) return digit_wise(text);
    crc = kTable[crc ^ static_cast<std::uint8_t>(high * 16 + low)];
  }
  return crc;
}

std::uint8_t packet_error_code(std::string_view text, std::int16_t& byte_count,
                               std::string& message) {
  if (text.size() % 2 == 0) {
    byte_count = static_cast<std::int16_t>(text.size() / 2);
    message = kPecCountMessage;
  } else {
    message = kPecOddLengthMessage;
  }
  return packet_error_code(text);
}

}  // namespace gpio_dll
