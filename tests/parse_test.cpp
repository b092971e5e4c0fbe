// The tools' number and hex-bytes parsers: what they take, what they refuse and why.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "parse_hex_bytes.hpp"
#include "parse_number.hpp"

namespace {

using gpio_dll::parse::parse_hex_bytes;
using gpio_dll::parse::parse_number;
using gpio_dll::parse::ParseError;

constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

TEST(ParseNumber, TakesDecimalAndHexWithOneSign) {
  const std::vector<std::pair<const char*, std::int64_t>> cases = {
      {"0", 0},
      {"255", 255},
      {"0xff", 255},
      {"0XFF", 255},
      {"0x0b", 11},
      {"0x00ff", 255},  // zeros after 0x are hex, not octal
      {"+7", 7},
      {"-0", 0},
      {"-0x10", -16},
      {"-9223372036854775808", kMin},
      {"-0x8000000000000000", kMin},
      {"9223372036854775807", kMax},
  };
  for (const auto& [word, value] : cases)
    EXPECT_EQ(parse_number(word, kMin, kMax), value) << word;
  // The bounds themselves are in range.
  EXPECT_EQ(parse_number("0", 0, 255), 0);
  EXPECT_EQ(parse_number("0xff", 0, 255), 255);
  EXPECT_EQ(parse_number("-0x10", -16, 0), -16);
}

// The reason a word is refused for, after checking the error names the word.
std::string refusal(const char* word, std::int64_t min, std::int64_t max) {
  try {
    parse_number(word, min, max);
    return "taken";
  } catch (const ParseError& e) {
    EXPECT_EQ(e.word(), word);
    EXPECT_EQ(std::string(e.what()), std::string(word) + ": " + e.reason());
    return e.reason();
  }
}

TEST(ParseNumber, SaysWhyAWordIsRefused) {
  for (const char* word :
       {"", "-", "0x", "0x-5", "--5", "+-5", " 5", "5 ", "5x", "0b101", "12a", "0xfg"})
    EXPECT_EQ(refusal(word, -10, 255), "is not a number") << word;
  for (const char* word : {"010", "-07", "00"})
    EXPECT_EQ(refusal(word, -10, 255), "has a leading 0 (write decimal without it, or 0x for hex)")
        << word;
  const std::string whole = "out of range (-9223372036854775808 to 9223372036854775807)";
  EXPECT_EQ(refusal("0x1FF", 0, 255), "out of range (0 to 255)");
  EXPECT_EQ(refusal("-1", 0, 255), "out of range (0 to 255)");
  EXPECT_EQ(refusal("2", 3, 0x77), "out of range (3 to 119)");
  for (const char* word : {"9223372036854775808", "-9223372036854775809", "0x10000000000000000"})
    EXPECT_EQ(refusal(word, kMin, kMax), whole) << word;
}

TEST(ParseNumber, LeadingZeroIsOnlyADigitAfterZero) {
  using gpio_dll::parse::has_leading_zero;
  for (const char* word : {"010", "+08", "-00"})
    EXPECT_TRUE(has_leading_zero(word)) << word;
  for (const char* word : {"0", "-0", "0x10", "10", "", "+", "0a"})
    EXPECT_FALSE(has_leading_zero(word)) << word;
}

TEST(ParseHexBytes, TakesPairsOfDigitsWithBlanksAnywhere) {
  const std::vector<std::pair<const char*, std::vector<std::uint8_t>>> cases = {
      {"", {}},
      {"   ", {}},
      {"C0FFEE", {0xC0, 0xFF, 0xEE}},
      {"c0ffee", {0xC0, 0xFF, 0xEE}},
      {"00 0A 00 64", {0x00, 0x0A, 0x00, 0x64}},
      {"\t2b\nff\r", {0x2B, 0xFF}},
      {"0 A", {0x0A}},
      {"09afAF", {0x09, 0xAF, 0xAF}},
  };
  for (const auto& [text, bytes] : cases)
    EXPECT_EQ(parse_hex_bytes(text), bytes) << text;
}

TEST(ParseHexBytes, SaysWhyTextIsRefused) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"2BF", "odd number of digits"},
      {"00 0", "odd number of digits"},
      {"0G", "not a hex digit: 'G' at position 2"},
      {"0x10", "not a hex digit: 'x' at position 2"},
      {"00 -1", "not a hex digit: '-' at position 4"},
      {"gg", "not a hex digit: 'g' at position 1"},
  };
  for (const auto& [text, reason] : cases) {
    try {
      parse_hex_bytes(text);
      ADD_FAILURE() << "took '" << text << "'";
    } catch (const ParseError& e) {
      EXPECT_EQ(e.reason(), reason) << text;
      EXPECT_EQ(e.word(), text);
    }
  }
}

}  // namespace
