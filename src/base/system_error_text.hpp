// The operating system's own message text for an error number.
#pragma once

#include <cstdint>
#include <string>

namespace gpio_dll {

// The system's text for `error`, or an empty text when the system does not know the number or
// the text (with its line end) would not fit in 128 characters.
std::string system_error_text(std::int32_t error);

// The text for an error number of Windows' setup library, which device discovery reports on every
// platform: on Windows the system's own; elsewhere, where the system numbers its errors otherwise,
// Windows' words for the errors discovery meets (122, 259), and the system's text for any other.
std::string setup_error_text(std::int32_t error);

}  // namespace gpio_dll
