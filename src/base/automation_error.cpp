#include "gpio_dll/automation_error.hpp"

namespace gpio_dll {

AutomationError::AutomationError(std::int32_t number)
    : std::runtime_error(description(number)), number_(number) {}

AutomationError::AutomationError(std::int32_t number, const std::string& detail)
    : std::runtime_error(description(number) + ": " + detail), number_(number) {}

std::string AutomationError::description(std::int32_t number) {
  switch (number) {
    case kOverflow:
      return "Overflow";
    case kTypeMismatch:
      return "Type mismatch";
    case kMemberNotFound:
      return "Object doesn't support this property or method";
    case kWrongNumberOfArguments:
      return "Wrong number of arguments or invalid property assignment";
    default:
      return "Automation error " + std::to_string(number);
  }
}

}  // namespace gpio_dll
