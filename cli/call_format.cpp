#include "call_format.hpp"

#include <cctype>

#include "parse_hex_bytes.hpp"
#include "parse_number.hpp"

namespace gpio_dll::cli {

namespace {

std::string value_text(const Variant& v) {
  switch (v.type()) {
    case Variant::Type::Empty:
      return "(empty)";
    case Variant::Type::Text: {
      // Appended rather than "\"" + text: GCC 12 reports a false -Wrestrict for the latter.
      std::string quoted = "\"";
      quoted += v.to_text();
      quoted += "\"";
      return quoted;
    }
    case Variant::Type::Bytes:
      return bytes_to_hex(v.to_bytes());
    default:
      return v.to_text();
  }
}

// Numbers as numbers, texts byte for byte, byte arrays as hex digits, empty as null.
Json value_json(const Variant& v) {
  switch (v.type()) {
    case Variant::Type::Empty:
      return nullptr;
    case Variant::Type::Text:
      return json_text(v.to_text());
    case Variant::Type::Bytes:
      return bytes_to_hex(v.to_bytes());
    case Variant::Type::Int16:
      return v.to_int16();
    case Variant::Type::Int32:
      return v.to_int32();
    case Variant::Type::UInt8:
      return v.to_uint8();
  }
  return nullptr;
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
    const auto type = method.arguments[i].type;
    if (type == automation::ArgType::Bytes) {
      try {
        args.emplace_back(parse::parse_hex_bytes(words[i]));
      } catch (const parse::ParseError& e) {
        throw UsageError{std::string(method.arguments[i].name) + ": " + e.reason()};
      }
    } else if (type != automation::ArgType::Text && parse::has_leading_zero(words[i])) {
      // "010" or "-07": octal to i2c-tools, decimal to automation; the tool takes neither.
      throw UsageError{std::string(method.arguments[i].name) +
                       " has a leading 0 (write decimal without it, or 0x for hex): " + words[i]};
    } else {
      args.emplace_back(words[i]);
    }
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

std::string format_text(const CallOutcome& outcome, const std::string& message) {
  const auto& method = *outcome.method;
  if (outcome.automation_failed)
    return std::string(method.name) + ": automation error " +
           std::to_string(outcome.automation_error) + " (" + outcome.automation_message + ")\n";
  std::string text = std::string(method.name) + " = " + value_text(outcome.result);
  if (!message.empty()) text += " (" + message + ")";
  text += "\n";
  for (std::size_t i = 0; i < method.arguments.size() && i < outcome.args.size(); ++i) {
    if (!method.arguments[i].written) continue;
    text +=
        "  " + std::string(method.arguments[i].name) + " = " + value_text(outcome.args[i]) + "\n";
  }
  return text;
}

Json format_json(const CallOutcome& outcome, const std::string& message) {
  const auto& method = *outcome.method;
  Json json = {{"method", std::string(method.name)}};
  if (outcome.automation_failed) {
    json["automation_error"] = outcome.automation_error;
    json["message"] = outcome.automation_message;
  } else {
    json["result"] = value_json(outcome.result);
    if (!message.empty()) json["message"] = message;
  }
  // After an automation error too: the arguments are written back all the same.
  Json args = Json::object();
  for (std::size_t i = 0; i < method.arguments.size() && i < outcome.args.size(); ++i) {
    if (!method.arguments[i].written) continue;
    args[std::string(method.arguments[i].name)] = value_json(outcome.args[i]);
  }
  json["args"] = std::move(args);
  return json;
}

}  // namespace gpio_dll::cli
