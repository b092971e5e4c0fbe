// One JSON object on one line, built field by field.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gpio_dll::cli {

std::string json_string(const std::string& text);

class JsonObject {
 public:
  JsonObject& add(const std::string& key, const std::string& text);
  JsonObject& add(const std::string& key, const char* text) { return add(key, std::string(text)); }
  JsonObject& add(const std::string& key, std::int64_t number);
  JsonObject& add(const std::string& key, int number) { return add(key, std::int64_t{number}); }
  JsonObject& add(const std::string& key, double number);
  JsonObject& add(const std::string& key, bool flag);
  // `json` is inserted as it is (an object, an array or null).
  JsonObject& add_raw(const std::string& key, const std::string& json);
  std::string str() const { return "{" + body_ + "}"; }

 private:
  void key(const std::string& k);
  std::string body_;
};

std::string json_array(const std::vector<std::string>& raw_items);

}  // namespace gpio_dll::cli
