// What the fuzz targets share: a failed invariant aborts with its description, and the result
// codes the component may give.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <thread>

#include "gpio_dll/error_codes.hpp"
#include "support/fresh_thread.hpp"

namespace gpio_dll::fuzz {

using testing::on_fresh_thread;

inline void require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

// A result code of ErrorCodes, or a module status s (1 to 255) in the band of a generation.
inline bool defined_result(std::int32_t code) {
  if (code >= 0 && code < kErrorCodeCount) return true;
  for (std::int32_t band : {kStatusBandOldFirmware, kStatusBandNewFirmware})
    if (code > band && code <= band + 255) return true;
  return false;
}

}  // namespace gpio_dll::fuzz
