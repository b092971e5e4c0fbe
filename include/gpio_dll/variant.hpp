// The self-describing value type of the automation interface.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "gpio_dll/export.hpp"
#include "gpio_dll/language_standard.hpp"

#ifndef GPIO_DLL_STANDARD_TOO_OLD

namespace gpio_dll {

using ByteArray = std::vector<std::uint8_t>;

// Holds nothing, or one value of the argument types the interface uses.
class GPIO_DLL_API Variant {
 public:
  enum class Type { Empty, Int16, Int32, UInt8, Text, Bytes };

  Variant() = default;
  Variant(std::int16_t v) : value_(v) {}
  Variant(std::int32_t v) : value_(v) {}
  Variant(std::uint8_t v) : value_(v) {}
  Variant(std::string v) : value_(std::move(v)) {}
  Variant(const char* v) : value_(std::string(v)) {}
  Variant(ByteArray v) : value_(std::move(v)) {}

  Type type() const { return static_cast<Type>(value_.index()); }
  bool is_empty() const { return type() == Type::Empty; }

  // Conversions as an automation server applies them to its arguments: integers convert to each
  // other within range (else AutomationError kOverflow), text converts to a number when it spells
  // one; anything else is AutomationError kTypeMismatch.
  std::int16_t to_int16() const;
  std::int32_t to_int32() const;
  std::uint8_t to_uint8() const;
  std::string to_text() const;
  ByteArray to_bytes() const;

  friend bool operator==(const Variant&, const Variant&) = default;

 private:
  std::int64_t to_integer() const;

  std::variant<std::monostate, std::int16_t, std::int32_t, std::uint8_t, std::string, ByteArray>
      value_;
};

}  // namespace gpio_dll

#endif  // GPIO_DLL_STANDARD_TOO_OLD
