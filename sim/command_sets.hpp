// The command sets of the two firmware generations, as the simulated module carries them out.
#pragma once

#include <span>

#include "module_hardware.hpp"

namespace gpio_dll::sim {

// The answer bytes (input report without its identifier) to one request (output report without
// its identifier). Request bytes past the end of a short report read as 0.
Bytes answer_1_0_10(ModuleHardware& hardware, std::span<const std::uint8_t> request);
Bytes answer_2_0_19(ModuleHardware& hardware, std::span<const std::uint8_t> request);

// A request as the firmware reads it: bytes past the end of a short report read as 0.
struct RequestBytes {
  std::span<const std::uint8_t> bytes;
  std::uint8_t operator[](std::size_t i) const { return i < bytes.size() ? bytes[i] : 0; }
  Bytes range(std::size_t from, std::size_t count) const {
    Bytes out(count);
    for (std::size_t i = 0; i < count; ++i)
      out[i] = (*this)[from + i];
    return out;
  }
};

// Answer byte 0 echoes the command, byte 1 is the status, data follow.
Bytes reply(std::uint8_t command, std::uint8_t status, const Bytes& data = {});

}  // namespace gpio_dll::sim
