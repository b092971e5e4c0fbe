#include "gpio_dll/trace.hpp"

#include "base/module_state.hpp"
#include "diagnostics/thread_windows.hpp"
#include "diagnostics/trace_subscribers.hpp"

namespace gpio_dll::trace {

Subscription::Subscription(Scope scope, Callback callback) {
  // The real debug window must make the lines: the diagnostics register it.
  diagnostics::register_thread_windows();
  std::shared_ptr<const ModuleState> thread;
  if (scope == Scope::this_thread) thread = ModuleState::current_shared();
  id_ = diagnostics::subscribe_trace(thread, std::move(callback));
}

Subscription& Subscription::operator=(Subscription&& other) noexcept {
  if (this != &other) {
    reset();
    id_ = other.id_;
    other.id_ = 0;
  }
  return *this;
}

void Subscription::reset() noexcept {
  const std::uint64_t id = id_;
  id_ = 0;
  diagnostics::unsubscribe_trace(id);
}

}  // namespace gpio_dll::trace
