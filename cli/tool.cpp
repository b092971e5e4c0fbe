#include "tool.hpp"

#include <cstdint>
#include <cstdio>
#include <iostream>

#include "gpio_dll/debug_window.hpp"
#include "parse_hex_bytes.hpp"
#include "parse_number.hpp"

namespace gpio_dll::cli {

std::string Tool::message(std::int32_t code) {
  return dll_.Check_DllErrorCode(code);
}

void Tool::error(const std::string& text) const {
  std::cerr << "gpio-dll: " << text << "\n";
}

bool Tool::identify(int& exit_status) {
  std::string vendor, product;
  const std::int32_t result = dll_.GPIO_FW_VER_Read(firmware_, vendor, product);
  const std::string reason = identification_reason(result);
  if (result == OK) return true;
  exit_status = finish(command_, result, Json::object(), "", reason);
  return false;
}

std::string Tool::identification_reason(std::int32_t result) {
  const bool first = identifications_++ == 0;
  if (result != FATAL_ERROR || platform::last_lock_failure()) return failure_reason(result);
  // An identification fails with 14 when the version query gets no usable answer: a read that
  // waited its 6 s in vain. The library identifies a thread's module once for its debug window
  // before the first identification that a caller asks for, so the first one waits twice.
  if (!first) return "the module did not answer within 6 s";
  return "the module did not answer within 6 s; it was asked twice, 12 s in all (a thread's "
         "first identification also identifies the module for the library's debug window)";
}

void Tool::print_json(const Json& object) const {
  std::cout << json_line(object) << "\n";
}

std::string no_device_reason() {
  const auto failure = platform::last_open_failure();
  if (!failure) return {};
  // Error 0: the module opened, but cannot be used (the text says why).
  std::string reason =
      (failure->error != 0 ? "cannot open " : "cannot use ") + failure->path + ": " + failure->text;
  if (failure->permission_denied())
    reason +=
        " (the module's node needs the udev rule: see \"Real modules on Linux: "
        "permissions\" in the README)";
  return reason;
}

std::string failure_reason(std::int32_t result) {
  if (result == NO_DEV_DETECTED) return no_device_reason();
  if (result == FATAL_ERROR) {
    if (const auto failure = platform::last_lock_failure()) return failure->text;
  }
  return {};
}

std::string result_meaning(std::int32_t result, int address) {
  if (result != kStatusBandNewFirmware + 6) return {};
  return "no acknowledge from " +
         (address < 0 ? std::string("the target") : hex2(static_cast<std::uint32_t>(address)));
}

Json read_fields(Tool& tool, std::int32_t result, Json fields, const std::string& key, Json value) {
  if (result == OK) {
    fields[key] = std::move(value);
    return fields;
  }
  fields[key] = nullptr;
  fields["errors"] = Json{{key, tool.message(result)}};
  return fields;
}

int Tool::finish(const std::string& command, std::int32_t result, const Json& fields,
                 const std::string& text) {
  return finish(command, result, fields, text, failure_reason(result));
}

int Tool::finish(const std::string& command, std::int32_t result, const Json& fields,
                 const std::string& text, const std::string& reason) {
  // The code and its message stay the same; what the system said about the module's node, and
  // what a module status means, come with them.
  const std::string text_of_result = message(result);
  const auto address = fields.find("address");
  const std::string meaning = result_meaning(
      result, address != fields.end() && address->is_number_integer() ? address->get<int>() : -1);
  if (options_.json) {
    Json line = {{"command", command}, {"result", result}, {"message", text_of_result}};
    if (!meaning.empty()) line["meaning"] = meaning;
    if (!reason.empty()) line["reason"] = json_text(reason);
    for (const auto& [key, value] : fields.items())
      line[key] = value;
    print_json(line);
  } else if (result == OK && !text.empty()) {
    std::cout << text << (text.back() == '\n' ? "" : "\n");
  }
  std::cout.flush();
  if (result == OK) return kExitOk;
  error(std::to_string(result) + ": " + text_of_result +
        (meaning.empty() ? "" : " (" + meaning + ")"));
  if (!reason.empty()) error(reason);
  return kExitResult;
}

std::int64_t parse_number(const std::string& word, std::int64_t min, std::int64_t max,
                          const std::string& what) {
  try {
    return parse::parse_number(word, min, max);
  } catch (const parse::ParseError& e) {
    throw UsageError{what + " " + e.reason() + ": " + word};
  }
}

ByteArray parse_hex(const std::string& word, const std::string& what) {
  try {
    return parse::parse_hex_bytes(word);
  } catch (const parse::ParseError& e) {
    throw UsageError{what + ": " + e.reason()};
  }
}

std::int16_t parse_target(const std::string& word, bool pec) {
  const auto address = parse_number(word, 0x03, 0x77, "address");
  return static_cast<std::int16_t>(address << 1 | (pec ? 1 : 0));
}

ByteArray parse_data_bytes(const Args& words, std::size_t from) {
  ByteArray bytes;
  for (std::size_t i = from; i < words.size(); ++i)
    bytes.push_back(static_cast<std::uint8_t>(parse_number(words[i], 0, 255, "data byte")));
  return bytes;
}

bool take_pec(const Tool& tool, Args& args) {
  bool pec = tool.options().pec;
  if (!args.empty() && args.back() == "p") {
    pec = true;
    args.pop_back();
  }
  return pec;
}

std::string hex2(std::uint32_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02x", value & 0xFF);
  return text;
}

std::string identifier(std::uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", value);
  return text;
}

std::string hex4(std::uint32_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04x", value & 0xFFFF);
  return text;
}

std::string format_bytes(const ByteArray& bytes) {
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i) text += ' ';
    text += hex2(bytes[i]);
  }
  return text;
}

void refuse_over_limit(const Tool& tool, std::int32_t result, const std::string& operation) {
  if (result != ERROR_GPIO_LEN_RD_BLOCK_MAX && result != ERROR_GPIO_LEN_WR_BLOCK_MAX) return;
  const debug_window::BlockLimits limits = debug_window::block_limits();
  const bool read = result == ERROR_GPIO_LEN_RD_BLOCK_MAX;
  throw UsageError{std::string(read ? "read count" : "write count") + " above what firmware " +
                   tool.firmware() + " takes in one " + operation + ": at most " +
                   std::to_string(read ? limits.read : limits.write) + " bytes"};
}

void expect_count(const Args& args, std::size_t count, const std::string& usage) {
  if (args.size() != count) throw UsageError{"usage: " + usage};
}

}  // namespace gpio_dll::cli
