// The calling thread's record of why its most recent device discovery did not reach the module,
// behind gpio_dll::platform::last_open_failure().
#pragma once

#include <optional>

#include "gpio_dll/platform.hpp"

namespace gpio_dll::transport {

// Collects the failed opens of one discovery and keeps the one worth telling: a module found but
// unusable, else the first permission failure, else the first failure.
class OpenFailureCollector {
 public:
  void note(const std::string& path, std::int32_t error, std::string text);
  // The module itself was found but cannot be used (`text` says why; `error` 0 when no failed
  // system call is behind it): that is the reason to tell, ahead of any other device's.
  void note_unusable_module(const std::string& path, std::int32_t error, std::string text);
  // Makes the outcome the thread's record: nothing when the module was found.
  void publish(bool module_found) const;

 private:
  std::optional<platform::OpenFailure> kept_;
};

}  // namespace gpio_dll::transport
