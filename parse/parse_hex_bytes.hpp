// The one hex-bytes parser of the tools: "C0FFEE", "c0 ff ee" or "00 0A 00 64".
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "parse_error.hpp"

namespace gpio_dll::parse {

// Two hex digits (either letter case) per byte; blanks anywhere are ignored, so bytes may be
// written apart. No digits gives no bytes. Throws ParseError with the reason "odd number of
// digits" or "not a hex digit: 'C' at position N" (N counted from 1 in `text`).
std::vector<std::uint8_t> parse_hex_bytes(std::string_view text);

}  // namespace gpio_dll::parse
