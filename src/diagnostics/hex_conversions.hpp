// The debug window's conversions between hexadecimal text and bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gpio_dll::diagnostics {

// Length 0 or odd: ERROR_LEN_STRING, `bytes` left alone. Otherwise `bytes` gets length / 2 zero
// elements and each pair of characters (either letter case) fills one; at the first pair that
// is not hexadecimal the conversion stops with FATAL_ERROR, later elements staying 0. OK else.
std::int32_t text_to_bytes(const std::string& text, std::vector<std::uint8_t>& bytes);

// Each element as two upper-case digits; an array without elements gives "" and FATAL_ERROR.
std::int32_t bytes_to_text(const std::vector<std::uint8_t>& bytes, std::string& text);

}  // namespace gpio_dll::diagnostics
