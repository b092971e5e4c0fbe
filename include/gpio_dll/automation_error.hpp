// Errors that an automation client sees as a failed call instead of a result code.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "gpio_dll/export.hpp"
#include "gpio_dll/language_standard.hpp"

#ifndef GPIO_DLL_STANDARD_TOO_OLD

namespace gpio_dll {

// Automation error numbers, as an automation client reports them.
enum AutomationErrorNumber : std::int32_t {
  kOverflow = 6,                 // a value does not fit the type it must be converted to
  kTypeMismatch = 13,            // an argument of the wrong kind
  kMemberNotFound = 438,         // no method of that name or dispatch identifier
  kWrongNumberOfArguments = 450  // too few or too many arguments
};

// Raised by a method when an argument cannot be converted (for example a byte value that comes
// out negative), and by late binding for a call it cannot make. Arrays too short for a count
// are result codes (136 for a write), never an error here. The module state stays as the method
// left it.
class GPIO_DLL_API AutomationError : public std::runtime_error {
 public:
  explicit AutomationError(std::int32_t number);
  AutomationError(std::int32_t number, const std::string& detail);

  std::int32_t number() const noexcept { return number_; }

  // The client-facing description of an automation error number ("Overflow", ...).
  static std::string description(std::int32_t number);

 private:
  std::int32_t number_;
};

}  // namespace gpio_dll

#endif  // GPIO_DLL_STANDARD_TOO_OLD
