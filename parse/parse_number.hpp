// The one number parser of the tools: decimal or 0x hex, as i2c-tools and scripts write them.
#pragma once

#include <cstdint>
#include <string_view>

#include "parse_error.hpp"

namespace gpio_dll::parse {

// A number in decimal or 0x hex (either letter case) with one optional sign, within [min, max].
// A leading 0 before a digit is refused: i2c-tools would read "010" as octal, a reader as ten.
// Throws ParseError with the reason "is not a number", "has a leading 0 (write decimal without
// it, or 0x for hex)" or "out of range (MIN to MAX)".
std::int64_t parse_number(std::string_view word, std::int64_t min, std::int64_t max);

// True for a word that parse_number would reject only for its leading 0.
bool has_leading_zero(std::string_view word);

}  // namespace gpio_dll::parse
