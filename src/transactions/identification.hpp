// Module identification: rediscover the module, ask for its firmware version, store the text
// that selects the implementation of every bus operation.
#pragma once

#include <cstdint>
#include <string>

namespace gpio_dll {

class ModuleState;

inline constexpr const char* kRetryVersionText = "0.0.10";
inline constexpr int kVersionRetries = 10;
inline constexpr std::uint32_t kVersionQueryPauseMs = 50;

// Identifies the module: discovery (always afresh), the preliminary request, then version queries
// while the module answers "0.0.10" (at most 11). Returns OK, FATAL_ERROR, NO_DEV_DETECTED or
// UNSUPPORTED_GPIO_FW_VER; fills the three texts.
std::int32_t identify_module(ModuleState& state, std::string& firmware_version, std::string& vendor,
                             std::string& product);

// GPIO_FW_VER_Read: identification, then the outcome stored as the thread's firmware version
// text and shown in the debug window.
std::int32_t read_firmware_version(ModuleState& state, std::string& iDevFWver,
                                   std::string& iVendorID, std::string& iProductID);

}  // namespace gpio_dll
