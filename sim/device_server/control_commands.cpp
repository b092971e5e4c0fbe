#include <limits>
#include <sstream>

#include "hidraw_server.hpp"
#include "parse_hex_bytes.hpp"
#include "parse_number.hpp"

namespace gpio_dll::sim {

namespace {

// The next word of `in` as a decimal or 0x hex number in [min, max].
template <class T>
bool number_in(std::istream& in, std::int64_t min, std::int64_t max, T& out) {
  std::string word;
  if (!(in >> word)) return false;
  try {
    out = static_cast<T>(parse::parse_number(word, min, max));
    return true;
  } catch (const parse::ParseError&) {
    return false;
  }
}

// The next word of `in` as hexadecimal byte pairs ("0A0B0C"), at least one byte.
bool hex_bytes_in(std::istream& in, Bytes& out) {
  std::string word;
  if (!(in >> word)) return false;
  try {
    out = parse::parse_hex_bytes(word);
  } catch (const parse::ParseError&) {
    return false;
  }
  return !out.empty();
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
    if (!number_in(in, 0, std::numeric_limits<int>::max(), count)) return false;
    module.fall_silent_after(count);
  } else if (word == "fail") {
    int index = 0;
    std::uint8_t status = 0;
    if (!number_in(in, 0, std::numeric_limits<int>::max(), index) ||
        !number_in(in, 0, 0xFF, status))
      return false;
    module.fail_request(index, status);
  } else if (word == "stuck") {
    int sda = 0, scl = 0;
    if (!number_in(in, 0, 1, sda) || !number_in(in, 0, 1, scl)) return false;
    module.set_lines_stuck(sda != 0, scl != 0);
  } else if (word == "wrong-pec") {
    int wrong = 0;
    if (!number_in(in, 0, 1, wrong)) return false;
    module.battery().set_wrong_pec(wrong != 0);
  } else if (word == "word") {
    std::uint8_t reg = 0;
    std::uint16_t value = 0;
    if (!number_in(in, 0, 0xFF, reg) || !number_in(in, 0, 0xFFFF, value)) return false;
    module.battery().set_word(reg, value);
  } else if (word == "block") {
    std::uint8_t reg = 0;
    Bytes data;
    if (!number_in(in, 0, 0xFF, reg) || !hex_bytes_in(in, data)) return false;
    module.battery().set_block(reg, std::move(data));
  } else {
    return false;
  }
  std::string rest;
  return !(in >> rest);
}

}  // namespace gpio_dll::sim
