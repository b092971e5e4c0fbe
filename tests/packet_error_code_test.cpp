#include <gtest/gtest.h>

#include <random>

#include "base/hex_text.hpp"
#include "transactions/packet_error_code.hpp"

namespace gpio_dll {
namespace {

// The definition, bit by bit: the digits' bit string followed by eight zero bits, divided by
// x^8 + x^2 + x + 1; characters that are not hex digits count as 0.
std::uint8_t reference_remainder(const std::string& text) {
  std::vector<int> bits;
  for (char c : text) {
    int d = 0;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    for (int b = 3; b >= 0; --b)
      bits.push_back((d >> b) & 1);
  }
  if (bits.empty()) return 0;
  for (int i = 0; i < 8; ++i)
    bits.push_back(0);
  const int poly[9] = {1, 0, 0, 0, 0, 0, 1, 1, 1};
  for (std::size_t i = 0; i + 8 < bits.size(); ++i)
    if (bits[i])
      for (int j = 0; j < 9; ++j)
        bits[i + j] ^= poly[j];
  int r = 0;
  for (std::size_t i = bits.size() - 8; i < bits.size(); ++i)
    r = r * 2 + bits[i];
  return static_cast<std::uint8_t>(r);
}

TEST(PacketErrorCode, KnownVectors) {
  std::int16_t count = -5;
  std::string message;
  EXPECT_EQ(packet_error_code("313233343536373839", count, message), 0xF4);
  EXPECT_EQ(count, 9);
  EXPECT_EQ(message, " bytes of data calculated");

  EXPECT_EQ(packet_error_code("616263"), 0x5F);
  EXPECT_EQ(packet_error_code("6162635F"), 0);
  EXPECT_EQ(packet_error_code("ff"), packet_error_code("FF"));
  EXPECT_EQ(packet_error_code("1G"), packet_error_code("10"));
}

TEST(PacketErrorCode, OddLengthReportsItselfAndKeepsTheCount) {
  std::int16_t count = 42;
  std::string message = "unchanged?";
  EXPECT_EQ(packet_error_code("abc", count, message), 0xBF);
  EXPECT_EQ(count, 42);
  EXPECT_EQ(message, "Invalid data sequence");
}

TEST(PacketErrorCode, EmptyTextIsZeroWithCountZero) {
  std::int16_t count = 7;
  std::string message;
  EXPECT_EQ(packet_error_code("", count, message), 0);
  EXPECT_EQ(count, 0);
}

TEST(PacketErrorCode, EveryInputMatchesTheDigitWiseDefinition) {
  std::mt19937 random(12345);
  const std::string alphabet = "0123456789ABCDEFabcdef-G z";
  for (int round = 0; round < 3000; ++round) {
    std::string text(random() % 40, '0');
    for (char& c : text)
      c = alphabet[random() % alphabet.size()];
    ASSERT_EQ(packet_error_code(text), reference_remainder(text)) << '"' << text << '"';
  }
}

TEST(PacketErrorCode, ATextEndingInItsOwnCodeGivesZero) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    std::vector<std::uint8_t> data(1 + random() % 124);
    std::string text;
    for (auto& b : data) {
      b = static_cast<std::uint8_t>(random());
      text += two_digit_hex(b);
    }
    const std::uint8_t code = packet_error_code(text);
    EXPECT_EQ(code, crc8(data.data(), data.size()));
    EXPECT_EQ(packet_error_code(text + two_digit_hex(code)), 0);
  }
}

TEST(TwoDigitHexForm, KeepsTheLowByte) {
  EXPECT_EQ(two_digit_hex(0), "00");
  EXPECT_EQ(two_digit_hex(10), "0A");
  EXPECT_EQ(two_digit_hex(160), "A0");
  EXPECT_EQ(two_digit_hex(255), "FF");
  EXPECT_EQ(two_digit_hex(256), "00");
  EXPECT_EQ(two_digit_hex(-1), "FF");
  EXPECT_EQ(two_digit_hex(-2), "FE");
  EXPECT_EQ(two_digit_hex(0x1234), "34");
}

TEST(HexText, IdentifiersKeepTheirLeadingZeros) {
  EXPECT_EQ(identifier_text(0x0451), "0451");
  EXPECT_EQ(identifier_text(0x5F00), "5F00");
  EXPECT_EQ(identifier_text(0x00AB), "00AB");
  EXPECT_EQ(identifier_text(0), "0000");
  EXPECT_EQ(hex_digits(0x451), "451");
  EXPECT_EQ(hex_digits(0), "0");
  EXPECT_EQ(hex_digits(0xFFFFFFFF), "FFFFFFFF");
}

}  // namespace
}  // namespace gpio_dll
