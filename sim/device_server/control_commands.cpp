#include <limits>
#include <sstream>
#include <stdexcept>

#include "hidraw_server.hpp"
#include "parse_hex_bytes.hpp"
#include "parse_number.hpp"

namespace gpio_dll::sim {

namespace {

// The next word of `in`; throws "WHAT missing".
std::string word_in(std::istream& in, const std::string& what) {
  std::string word;
  if (!(in >> word)) throw std::invalid_argument(what + " missing");
  return word;
}

// The next word of `in` as a decimal or 0x hex number in [min, max]; throws "WHAT REASON: WORD".
template <class T>
T number_in(std::istream& in, const std::string& what, std::int64_t min, std::int64_t max) {
  const std::string word = word_in(in, what);
  try {
    return static_cast<T>(parse::parse_number(word, min, max));
  } catch (const parse::ParseError& e) {
    throw std::invalid_argument(what + " " + e.reason() + ": " + word);
  }
}

// The next word of `in` as hexadecimal byte pairs ("0A0B0C"), at least one byte.
Bytes hex_bytes_in(std::istream& in, const std::string& what) {
  Bytes bytes;
  try {
    bytes = parse::parse_hex_bytes(word_in(in, what));
  } catch (const parse::ParseError& e) {
    throw std::invalid_argument(what + ": " + e.reason());
  }
  return bytes;
}

// Nothing may follow a command's arguments.
void expect_end(std::istream& in) {
  std::string rest;
  if (in >> rest) throw std::invalid_argument("unexpected word " + rest);
}

}  // namespace

bool apply_node_command(NodeFaults& faults, const std::string& command) {
  std::istringstream in(command);
  std::string word;
  if (!(in >> word)) return false;
  NodeFaults changed = faults;
  if (word == "kernel") {
    changed = NodeFaults{};
  } else if (word == "open-error") {
    changed.open_error = number_in<int>(in, "ERRNO", 0, 4095);
  } else if (word == "descriptor-size") {
    changed.descriptor_size =
        number_in<int>(in, "N", std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
  } else if (word == "descriptor-length") {
    changed.descriptor_length = number_in<std::uint32_t>(in, "N", 0, 0xFFFFFFFF);
  } else if (word == "report-length") {
    changed.report_length = number_in<std::size_t>(in, "N", 0, 65536);
  } else {
    return false;
  }
  expect_end(in);
  faults = changed;
  return true;
}

bool apply_control_command(SimulatedModule& module, const std::string& command) {
  std::istringstream in(command);
  std::string word;
  if (!(in >> word)) return false;
  // Every argument is read and checked before anything changes.
  if (word == "silent" || word == "answer") {
    expect_end(in);
    module.set_silent(word == "silent");
    if (word == "answer") module.fall_silent_after(-1);
  } else if (word == "silent-after") {
    const int count = number_in<int>(in, "N", 0, std::numeric_limits<int>::max());
    expect_end(in);
    module.fall_silent_after(count);
  } else if (word == "fail") {
    const int index = number_in<int>(in, "N", 0, std::numeric_limits<int>::max());
    const auto status = number_in<std::uint8_t>(in, "STATUS", 0, 0xFF);
    expect_end(in);
    module.fail_request(index, status);
  } else if (word == "stuck") {
    const int sda = number_in<int>(in, "SDA", 0, 1);
    const int scl = number_in<int>(in, "SCL", 0, 1);
    expect_end(in);
    module.set_lines_stuck(sda != 0, scl != 0);
  } else if (word == "wrong-pec") {
    const int wrong = number_in<int>(in, "the value", 0, 1);
    expect_end(in);
    module.battery().set_wrong_pec(wrong != 0);
  } else if (word == "word") {
    const auto reg = number_in<std::uint8_t>(in, "REG", 0, 0xFF);
    const auto value = number_in<std::uint16_t>(in, "VALUE", 0, 0xFFFF);
    expect_end(in);
    module.battery().set_word(reg, value);
  } else if (word == "block") {
    const auto reg = number_in<std::uint8_t>(in, "REG", 0, 0xFF);
    Bytes data = hex_bytes_in(in, "HEX");
    expect_end(in);
    module.battery().set_block(reg, std::move(data));  // refuses more than a block holds
  } else if (word == "answer-delay") {
    const auto ms = number_in<std::uint32_t>(in, "MS", 0, kLongestAnswerDelayMs);
    expect_end(in);
    module.set_answer_delay_ms(ms);
  } else {
    return false;
  }
  return true;
}

}  // namespace gpio_dll::sim
