#include <cstdlib>
#include <sstream>

#include "hidraw_server.hpp"

namespace gpio_dll::sim {

namespace {

// A whole word of `text` as a number in [0, max], decimal or 0x hex.
bool number_in(const std::string& text, unsigned long max, unsigned long& value) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return false;
  char* end = nullptr;
  value = std::strtoul(text.c_str(), &end, 0);
  return end != nullptr && *end == '\0' && value <= max;
}

// Hexadecimal byte pairs ("0A0B0C"), at least one byte.
bool hex_bytes(const std::string& text, Bytes& out) {
  if (text.empty() || text.size() % 2 != 0) return false;
  out.clear();
  for (std::size_t i = 0; i < text.size(); i += 2) {
    unsigned long byte = 0;
    if (!number_in("0x" + text.substr(i, 2), 0xFF, byte)) return false;
    out.push_back(static_cast<std::uint8_t>(byte));
  }
  return true;
}

}  // namespace

bool apply_control_command(SimulatedModule& module, const std::string& command) {
  std::istringstream in(command);
  std::string word;
  if (!(in >> word)) return false;
  if (word == "silent") {
    module.set_silent(true);
  } else if (word == "answer") {
    module.set_silent(false);
    module.fall_silent_after(-1);
  } else if (word == "silent-after") {
    int count = 0;
    if (!(in >> count) || count < 0) return false;
    module.fall_silent_after(count);
  } else if (word == "fail") {
    int index = 0;
    unsigned status = 0;
    if (!(in >> index >> status) || index < 0 || status > 255) return false;
    module.fail_request(index, static_cast<std::uint8_t>(status));
  } else if (word == "stuck") {
    int sda = 0, scl = 0;
    if (!(in >> sda >> scl)) return false;
    module.set_lines_stuck(sda != 0, scl != 0);
  } else if (word == "wrong-pec") {
    int wrong = 0;
    if (!(in >> wrong)) return false;
    module.battery().set_wrong_pec(wrong != 0);
  } else if (word == "word") {
    std::string reg_text, value_text;
    unsigned long reg = 0, value = 0;
    if (!(in >> reg_text >> value_text) || !number_in(reg_text, 0xFF, reg) ||
        !number_in(value_text, 0xFFFF, value))
      return false;
    module.battery().set_word(static_cast<std::uint8_t>(reg), static_cast<std::uint16_t>(value));
  } else if (word == "block") {
    std::string reg_text, data_text;
    unsigned long reg = 0;
    Bytes data;
    if (!(in >> reg_text >> data_text) || !number_in(reg_text, 0xFF, reg) ||
        !hex_bytes(data_text, data))
      return false;
    module.battery().set_block(static_cast<std::uint8_t>(reg), std::move(data));
  } else {
    return false;
  }
  std::string rest;
  return !(in >> rest);
}

}  // namespace gpio_dll::sim
