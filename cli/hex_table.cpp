#include "hex_table.hpp"

#include <cstdio>

namespace gpio_dll::cli {

namespace {

std::string row_label(std::uint32_t address, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*x: ", digits, address);
  return text;
}

char shown(std::uint8_t b) {
  return b >= 0x20 && b < 0x7F ? static_cast<char>(b) : '.';
}

}  // namespace

std::string byte_table(const std::vector<std::optional<std::uint8_t>>& cells, std::uint32_t first,
                       int address_digits) {
  const std::string indent(static_cast<std::size_t>(address_digits) + 3, ' ');
  std::string text =
      indent + "0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f    0123456789abcdef\n";
  const std::uint32_t end = first + static_cast<std::uint32_t>(cells.size());
  for (std::uint32_t row = first & ~0xFu; row < end; row += 16) {
    std::string hex = row_label(row, address_digits);
    std::string ascii;
    for (std::uint32_t a = row; a < row + 16; ++a) {
      if (a < first || a >= end) {
        hex += "   ";
        ascii += ' ';
        continue;
      }
      const auto& cell = cells[a - first];
      if (!cell) {
        hex += "XX ";
        ascii += 'X';
        continue;
      }
      char byte[4];
      std::snprintf(byte, sizeof byte, "%02x ", *cell);
      hex += byte;
      ascii += shown(*cell);
    }
    text += hex + "   " + ascii + "\n";
  }
  return text;
}

std::string word_table(const std::vector<std::optional<std::uint16_t>>& cells,
                       std::uint32_t first) {
  std::string text = "     0,8  1,9  2,a  3,b  4,c  5,d  6,e  7,f\n";
  const std::uint32_t end = first + static_cast<std::uint32_t>(cells.size());
  for (std::uint32_t row = first & ~0x7u; row < end; row += 8) {
    std::string line = row_label(row, 2);
    for (std::uint32_t a = row; a < row + 8; ++a) {
      if (a < first || a >= end) {
        line += "     ";
      } else if (const auto& cell = cells[a - first]) {
        char word[8];
        std::snprintf(word, sizeof word, "%04x ", *cell);
        line += word;
      } else {
        line += "XXXX ";
      }
    }
    while (!line.empty() && line.back() == ' ')
      line.pop_back();
    text += line + "\n";
  }
  return text;
}

}  // namespace gpio_dll::cli
