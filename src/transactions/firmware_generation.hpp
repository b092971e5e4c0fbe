// The choice of implementation by firmware generation.
#pragma once

#include <cstdint>
#include <string_view>

namespace gpio_dll {

enum class Generation { Fw1_0_10, Fw2_0_19 };

inline constexpr std::string_view kFirmware1_0_10 = "1.0.10";
inline constexpr std::string_view kFirmware2_0_19 = "2.0.19";

// Exact, case-sensitive comparison: OK with `generation` set; NO_DEV_DETECTED for an empty text;
// UNSUPPORTED_GPIO_FW_VER for any other text.
std::int32_t choose_generation(std::string_view version, Generation& generation);

}  // namespace gpio_dll
