// The tool's JSON output: one object per line, built with nlohmann-json in field order.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "gpio_dll/variant.hpp"

namespace gpio_dll::cli {

using Json = nlohmann::ordered_json;

// A text of the component (from the module or the caller) as a JSON string. Texts are bytes
// without a known encoding, so every byte becomes the character of its number (ISO 8859-1): ASCII
// stays as it is and the bytes come back exactly (in Python, `text.encode("latin-1")`).
Json json_text(std::string_view bytes);

// Bytes as upper-case hex digits, two per byte ("C0FFEE").
std::string bytes_to_hex(const ByteArray& bytes);

// The object on one line, ASCII only: every character above U+007F as a \u escape.
std::string json_line(const Json& object);

}  // namespace gpio_dll::cli
