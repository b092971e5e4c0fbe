#include <cstdlib>
#include <limits>
#include <sstream>

#include "hidraw_server.hpp"

namespace gpio_dll::sim {

namespace {

// A decimal or 0x hex number in [min, max], and nothing after it in the word.
template <class T>
bool number_in(std::istream& in, long long min, long long max, T& out) {
  std::string word;
  if (!(in >> word)) return false;
  long long value = 0;
  try {
    std::size_t used = 0;
    value = std::stoll(word, &used, 0);
    if (used != word.size()) return false;
  } catch (const std::exception&) {
    return false;
  }
  if (value < min || value > max) return false;
  out = static_cast<T>(value);
  return true;
}

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

bool apply_node_command(NodeFaults& faults, const std::string& command) {
  std::istringstream in(command);
  std::string word;
  if (!(in >> word)) return false;
  NodeFaults changed = faults;
  bool parsed = true;
  if (word == "kernel") {
    changed = NodeFaults{};
  } else if (word == "open-error") {
    parsed = number_in(in, 0, 4095, changed.open_error);
  } else if (word == "descriptor-size") {
    int size = 0;
    parsed = number_in(in, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), size);
    changed.descriptor_size = size;
  } else if (word == "descriptor-length") {
    std::uint32_t length = 0;
    parsed = number_in(in, 0, 0xFFFFFFFF, length);
    changed.descriptor_length = length;
  } else if (word == "report-length") {
    std::size_t length = 0;
    parsed = number_in(in, 0, 65536, length);
    changed.report_length = length;
  } else {
    return false;
  }
  std::string rest;
  if (!parsed || in >> rest) return false;
  faults = changed;
  return true;
}

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
