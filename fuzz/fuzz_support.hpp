// What the fuzz targets share: a failed invariant aborts with its description, and the result
// codes the component may give.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <thread>

#include "gpio_dll/error_codes.hpp"

namespace gpio_dll::fuzz {

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

// Runs `body` on a new thread, whose module state starts empty.
template <class F>
void on_fresh_thread(F&& body) {
  std::exception_ptr failure;
  std::thread thread([&] {
    try {
      body();
    } catch (...) {
      failure = std::current_exception();
    }
  });
  thread.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace gpio_dll::fuzz
