// The English message for any result code.
#pragma once

#include <cstdint>
#include <string>

namespace gpio_dll {

// The message for `code`; codes 138 and 139 show the given read and write limits.
std::string result_message(std::int32_t code, std::uint8_t max_bytes_rd, std::uint8_t max_bytes_wr);

}  // namespace gpio_dll
