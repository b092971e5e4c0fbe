// SMBus packet error code (CRC-8, polynomial x^8 + x^2 + x + 1, initial value 0, no reflection,
// no final inversion) over bytes given as hexadecimal text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace gpio_dll {

inline constexpr const char* kPecCountMessage = " bytes of data calculated";
inline constexpr const char* kPecOddLengthMessage = "Invalid data sequence";

// The remainder of the text's bit string (four bits per digit, any character that is not a
// hexadecimal digit counting as 0) followed by eight zero bits, divided by the polynomial. For
// an even-length text this is the SMBus PEC of the bytes it spells, so a text that ends with
// its own PEC gives 0. Writes `message` always and `byte_count` only for an even length.
std::uint8_t packet_error_code(std::string_view text, std::int16_t& byte_count,
                               std::string& message);

// The same, for callers that only want the code.
std::uint8_t packet_error_code(std::string_view text);

// The byte-wise CRC-8 of raw bytes; equal to packet_error_code of their hexadecimal text.
std::uint8_t crc8(const std::uint8_t* bytes, std::size_t count);

}  // namespace gpio_dll
