#include "call_format.hpp"

#include <cctype>

namespace gpio_dll::cli {

namespace {

ByteArray parse_hex(const std::string& word) {
  std::string digits;
  for (char c : word)
    if (!std::isspace(static_cast<unsigned char>(c))) digits += c;
  if (digits.size() % 2 != 0) throw UsageError{"odd number of hex digits: " + word};
  ByteArray bytes;
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    const std::string pair = digits.substr(i, 2);
    if (!std::isxdigit(static_cast<unsigned char>(pair[0])) ||
        !std::isxdigit(static_cast<unsigned char>(pair[1])))
      throw UsageError{"not hexadecimal: " + word};
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(pair, nullptr, 16)));
  }
  return bytes;
}

std::string value_text(const Variant& v, bool json) {
  switch (v.type()) {
    case Variant::Type::Empty:
      return json ? "null" : "(empty)";
    case Variant::Type::Text: {
      if (json) return json_string(v.to_text());
      // Appended rather than "\"" + text: GCC 12 reports a false -Wrestrict for the latter.
      std::string quoted = "\"";
      quoted += v.to_text();
      quoted += "\"";
      return quoted;
    }
    case Variant::Type::Bytes:
      return json ? json_string(bytes_to_hex(v.to_bytes())) : bytes_to_hex(v.to_bytes());
    default:
      return v.to_text();
  }
}

}  // namespace

std::vector<Variant> parse_arguments(const automation::MethodInfo& method,
                                     const std::vector<std::string>& words) {
  if (words.size() != method.arguments.size())
    throw UsageError{std::string(method.name) + " takes " +
                     std::to_string(method.arguments.size()) + " argument(s), got " +
                     std::to_string(words.size())};
  std::vector<Variant> args;
  for (std::size_t i = 0; i < words.size(); ++i) {
    // Numbers and texts travel as text; the automation layer converts them to the declared
    // type, with its overflow and type-mismatch errors.
    if (method.arguments[i].type == automation::ArgType::Bytes)
      args.emplace_back(parse_hex(words[i]));
    else
      args.emplace_back(words[i]);
  }
  return args;
}

std::vector<std::string> split_words(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      in_word = true;
    } else if (!quoted && std::isspace(static_cast<unsigned char>(c))) {
      if (in_word) words.push_back(word);
      word.clear();
      in_word = false;
    } else {
      word += c;
      in_word = true;
    }
  }
  if (quoted) throw UsageError{"unterminated quote"};
  if (in_word) words.push_back(word);
  return words;
}

std::string bytes_to_hex(const ByteArray& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (std::uint8_t b : bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 0xF];
  }
  return text;
}

std::string format_text(const CallOutcome& outcome, const std::string& message) {
  const auto& method = *outcome.method;
  if (outcome.automation_failed)
    return std::string(method.name) + ": automation error " +
           std::to_string(outcome.automation_error) + " (" + outcome.automation_message + ")\n";
  std::string text = std::string(method.name) + " = " + value_text(outcome.result, false);
  if (!message.empty()) text += " (" + message + ")";
  text += "\n";
  for (std::size_t i = 0; i < method.arguments.size() && i < outcome.args.size(); ++i) {
    if (method.arguments[i].direction != automation::Direction::InOut) continue;
    text += "  " + std::string(method.arguments[i].name) + " = " +
            value_text(outcome.args[i], false) + "\n";
  }
  return text;
}

std::string format_json(const CallOutcome& outcome, const std::string& message) {
  const auto& method = *outcome.method;
  std::string json = "{\"method\":" + json_string(std::string(method.name));
  if (outcome.automation_failed)
    return json + ",\"automation_error\":" + std::to_string(outcome.automation_error) +
           ",\"message\":" + json_string(outcome.automation_message) + "}";
  json += ",\"result\":" + value_text(outcome.result, true);
  if (!message.empty()) json += ",\"message\":" + json_string(message);
  json += ",\"args\":{";
  bool first = true;
  for (std::size_t i = 0; i < method.arguments.size() && i < outcome.args.size(); ++i) {
    if (method.arguments[i].direction != automation::Direction::InOut) continue;
    if (!first) json += ",";
    first = false;
    json += json_string(std::string(method.arguments[i].name)) + ":" +
            value_text(outcome.args[i], true);
  }
  return json + "}}";
}

}  // namespace gpio_dll::cli
