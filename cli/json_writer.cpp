#include "json_writer.hpp"

#include <cstdio>

namespace gpio_dll::cli {

std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

void JsonObject::key(const std::string& k) {
  if (!body_.empty()) body_ += ",";
  body_ += json_string(k) + ":";
}

JsonObject& JsonObject::add(const std::string& k, const std::string& text) {
  key(k);
  body_ += json_string(text);
  return *this;
}

JsonObject& JsonObject::add(const std::string& k, std::int64_t number) {
  key(k);
  body_ += std::to_string(number);
  return *this;
}

JsonObject& JsonObject::add(const std::string& k, double number) {
  key(k);
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", number);
  body_ += text;
  return *this;
}

JsonObject& JsonObject::add(const std::string& k, bool flag) {
  key(k);
  body_ += flag ? "true" : "false";
  return *this;
}

JsonObject& JsonObject::add_raw(const std::string& k, const std::string& json) {
  key(k);
  body_ += json;
  return *this;
}

std::string json_array(const std::vector<std::string>& raw_items) {
  std::string out = "[";
  for (std::size_t i = 0; i < raw_items.size(); ++i)
    out += (i ? "," : "") + raw_items[i];
  return out + "]";
}

}  // namespace gpio_dll::cli
