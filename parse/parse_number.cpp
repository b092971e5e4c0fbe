#include "parse_number.hpp"

#include <charconv>
#include <string>

namespace gpio_dll::parse {

namespace {

bool is_digit(char c, int base) {
  if (c >= '0' && c <= '9') return true;
  return base == 16 && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'));
}

std::string_view without_sign(std::string_view word) {
  if (!word.empty() && (word.front() == '-' || word.front() == '+')) word.remove_prefix(1);
  return word;
}

}  // namespace

bool has_leading_zero(std::string_view word) {
  const std::string_view digits = without_sign(word);
  return digits.size() > 1 && digits[0] == '0' && digits[1] >= '0' && digits[1] <= '9';
}

std::int64_t parse_number(std::string_view word, std::int64_t min, std::int64_t max) {
  const std::string text(word);
  const auto out_of_range = [&] {
    return ParseError{text,
                      "out of range (" + std::to_string(min) + " to " + std::to_string(max) + ")"};
  };
  const bool negative = !word.empty() && word.front() == '-';
  std::string_view digits = without_sign(word);
  int base = 10;
  if (digits.starts_with("0x") || digits.starts_with("0X")) {
    base = 16;
    digits.remove_prefix(2);
  } else if (has_leading_zero(word)) {
    throw ParseError{text, "has a leading 0 (write decimal without it, or 0x for hex)"};
  }
  if (digits.empty()) throw ParseError{text, "is not a number"};
  for (char c : digits)
    if (!is_digit(c, base)) throw ParseError{text, "is not a number"};
  std::uint64_t magnitude = 0;
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
  const std::uint64_t largest = negative ? std::uint64_t{1} << 63 : INT64_MAX;
  if (error != std::errc() || end != digits.data() + digits.size() || magnitude > largest)
    throw out_of_range();
  // Two's complement: 2^63 with a minus sign is INT64_MIN.
  const auto value = static_cast<std::int64_t>(negative ? 0 - magnitude : magnitude);
  if (value < min || value > max) throw out_of_range();
  return value;
}

}  // namespace gpio_dll::parse
