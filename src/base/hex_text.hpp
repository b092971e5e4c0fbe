// Hexadecimal forms used in traces, identifiers and packet error codes.
#pragma once

#include <cstdint>
#include <string>

namespace gpio_dll {

// The value of a hexadecimal digit (either letter case), -1 for any other character.
int hex_digit_value(char c);

// Upper-case hexadecimal without leading zeros ("0" for 0).
std::string hex_digits(std::uint32_t value);

// The low 8 bits as two upper-case digits: 5 gives "05", -2 gives "FE", 0x1234 gives "34".
std::string two_digit_hex(std::int32_t value);
void append_two_digit_hex(std::string& text, std::uint8_t value);

// Splits a word into its high and low byte; a negative value counts from 65536.
void split_word(std::int32_t value, std::int32_t& high, std::int32_t& low);

// Two bytes as four upper-case digits, the high byte first ("0451" for 0x04, 0x51).
std::string two_bytes_as_hex(std::int32_t high, std::int32_t low);

// A 16-bit identifier as four upper-case digits ("0451").
std::string identifier_text(std::uint16_t value);

}  // namespace gpio_dll
