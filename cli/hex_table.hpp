// i2cdump's tables: 16 bytes per row with an ASCII column, or 8 words per row.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace gpio_dll::cli {

// cells[i] belongs at `first` + i; nullopt is a value that could not be read (XX). Rows start at
// multiples of 16; places before `first` and after the last cell stay blank. Row labels have
// `address_digits` hex digits.
std::string byte_table(const std::vector<std::optional<std::uint8_t>>& cells, std::uint32_t first,
                       int address_digits);

// Words at registers `first` + i, 8 per row (i2cdump -w's layout): XXXX for a failed read.
std::string word_table(const std::vector<std::optional<std::uint16_t>>& cells, std::uint32_t first);

}  // namespace gpio_dll::cli
