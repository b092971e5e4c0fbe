// The operating system's own message text for an error number.
#pragma once

#include <cstdint>
#include <string>

namespace gpio_dll {

// The system's text for `error`, or an empty text when the system does not know the number or
// the text (with its line end) would not fit in 128 characters.
std::string system_error_text(std::int32_t error);

}  // namespace gpio_dll
