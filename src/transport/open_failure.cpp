#include "transport/open_failure.hpp"

#include "base/module_state.hpp"

namespace gpio_dll::transport {

void OpenFailureCollector::note(const std::string& path, std::int32_t error, std::string text) {
  platform::OpenFailure failure{path, error, std::move(text)};
  // The first failure, unless a permission failure comes after failures of other kinds.
  if (kept_ && (kept_->permission_denied() || !failure.permission_denied())) return;
  kept_ = std::move(failure);
}

void OpenFailureCollector::note_unusable_module(const std::string& path, std::int32_t error,
                                                std::string text) {
  kept_ = platform::OpenFailure{path, error, std::move(text)};
}

void OpenFailureCollector::publish(bool module_found) const {
  ModuleState::current().last_open_failure = module_found ? std::nullopt : kept_;
}

}  // namespace gpio_dll::transport

namespace gpio_dll::platform {

std::optional<OpenFailure> last_open_failure() {
  return ModuleState::current().last_open_failure;
}

}  // namespace gpio_dll::platform
