// Real time, for the backends that talk to the operating system.
#pragma once

#include <cstdint>

namespace gpio_dll::transport {

void sleep_real_ms(std::uint32_t ms);
// Milliseconds of a monotonic clock.
std::uint64_t monotonic_ms();

}  // namespace gpio_dll::transport
