#include "gpio_dll/variant.hpp"

#include <charconv>
#include <limits>

#include "gpio_dll/automation_error.hpp"

namespace gpio_dll {

namespace {

// Text converts to a number when it spells one: decimal, or hexadecimal with &H or 0x.
std::int64_t parse_number(const std::string& text) {
  std::string_view s = text;
  while (!s.empty() && s.front() == ' ')
    s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ')
    s.remove_suffix(1);
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  int base = 10;
  if (s.size() > 2 &&
      (s.starts_with("0x") || s.starts_with("0X") || s.starts_with("&H") || s.starts_with("&h"))) {
    base = 16;
    s.remove_prefix(2);
  }
  // One sign at most: from_chars would take a second one, and negate its minimum.
  if (!s.empty() && s.front() == '-')
    throw AutomationError(kTypeMismatch, "\"" + text + "\" is not a number");
  std::int64_t value = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
  if (s.empty() || ec == std::errc::result_out_of_range) {
    if (ec == std::errc::result_out_of_range) throw AutomationError(kOverflow);
    throw AutomationError(kTypeMismatch, "\"" + text + "\" is not a number");
  }
  if (ec != std::errc() || end != s.data() + s.size())
    throw AutomationError(kTypeMismatch, "\"" + text + "\" is not a number");
  return negative ? -value : value;
}

template <class T>
T narrow(std::int64_t value) {
  if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max())
    throw AutomationError(kOverflow);
  return static_cast<T>(value);
}

}  // namespace

std::int64_t Variant::to_integer() const {
  switch (type()) {
    case Type::Empty:
      return 0;
    case Type::Int16:
      return std::get<std::int16_t>(value_);
    case Type::Int32:
      return std::get<std::int32_t>(value_);
    case Type::UInt8:
      return std::get<std::uint8_t>(value_);
    case Type::Text:
      return parse_number(std::get<std::string>(value_));
    case Type::Bytes:
      break;
  }
  throw AutomationError(kTypeMismatch, "a byte array is not a number");
}

std::int16_t Variant::to_int16() const {
  return narrow<std::int16_t>(to_integer());
}
std::int32_t Variant::to_int32() const {
  return narrow<std::int32_t>(to_integer());
}
std::uint8_t Variant::to_uint8() const {
  return narrow<std::uint8_t>(to_integer());
}

std::string Variant::to_text() const {
  switch (type()) {
    case Type::Empty:
      return {};
    case Type::Int16:
      return std::to_string(std::get<std::int16_t>(value_));
    case Type::Int32:
      return std::to_string(std::get<std::int32_t>(value_));
    case Type::UInt8:
      return std::to_string(std::get<std::uint8_t>(value_));
    case Type::Text:
      return std::get<std::string>(value_);
    case Type::Bytes:
      break;
  }
  throw AutomationError(kTypeMismatch, "a byte array is not a text");
}

ByteArray Variant::to_bytes() const {
  if (type() == Type::Bytes) return std::get<ByteArray>(value_);
  if (type() == Type::Empty) return {};
  throw AutomationError(kTypeMismatch, "not a byte array");
}

}  // namespace gpio_dll
