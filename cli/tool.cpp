#include "tool.hpp"

#include <cstdio>
#include <iostream>

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
  if (result == OK) return true;
  exit_status = finish("identify", result, JsonObject(), "");
  return false;
}

int Tool::finish(const std::string& command, std::int32_t result, JsonObject fields,
                 const std::string& text) {
  const std::string text_of_result = message(result);
  if (options_.json) {
    JsonObject head;
    head.add("command", command).add("result", std::int64_t{result}).add("message", text_of_result);
    std::string body = fields.str();
    std::string merged = head.str();
    if (body.size() > 2) merged = merged.substr(0, merged.size() - 1) + "," + body.substr(1);
    std::cout << merged << "\n";
  } else if (result == OK && !text.empty()) {
    std::cout << text << (text.back() == '\n' ? "" : "\n");
  }
  std::cout.flush();
  if (result == OK) return kExitOk;
  error(std::to_string(result) + ": " + text_of_result);
  return kExitResult;
}

std::int64_t parse_number(const std::string& word, std::int64_t min, std::int64_t max,
                          const std::string& what) {
  std::int64_t value = 0;
  try {
    std::size_t used = 0;
    value = std::stoll(word, &used, 0);
    if (used != word.size()) throw std::invalid_argument(word);
  } catch (const std::exception&) {
    throw UsageError{what + " is not a number: " + word};
  }
  if (value < min || value > max)
    throw UsageError{what + " out of range (" + std::to_string(min) + " to " + std::to_string(max) +
                     "): " + word};
  return value;
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

bool take_pec(Args& args) {
  bool pec = false;
  for (auto it = args.begin(); it != args.end();) {
    if (*it == "--pec") {
      pec = true;
      it = args.erase(it);
    } else {
      ++it;
    }
  }
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

void expect_count(const Args& args, std::size_t count, const std::string& usage) {
  if (args.size() != count) throw UsageError{"usage: " + usage};
}

}  // namespace gpio_dll::cli
