#include "transport/module_lock.hpp"

#include <atomic>
#include <string>

#include "base/module_state.hpp"
#include "transport/call_trace.hpp"
#include "transport/platform_registry.hpp"

namespace gpio_dll::transport {

namespace {

std::atomic<std::uint32_t> g_wait_ms{kModuleLockWaitMs};

// "15 s", or "200 ms" for a bound that is no whole number of seconds.
std::string duration_text(std::uint32_t ms) {
  return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

platform::LockFailure lock_failure(ModuleState& state, LockResult result, std::uint32_t wait_ms) {
  platform::LockFailure failure;
  failure.path = state.device_path;
  failure.busy = result == LockResult::Busy;
  failure.error = state.last_error;
  failure.text = failure.busy
                     ? "module busy: held by another user for more than " + duration_text(wait_ms)
                     : "cannot lock the module: " + port_of(state).error_text(state.last_error);
  return failure;
}

}  // namespace

std::uint32_t module_lock_wait_ms() {
  return g_wait_ms.load();
}

void set_module_lock_wait_ms(std::uint32_t ms) {
  g_wait_ms.store(ms);
}

TransactionScope::TransactionScope(ModuleState& state) : state_(state) {
  if (state_.transaction_depth++ > 0) return;
  // A new method: its own wait, and nothing yet to say about the lock.
  state_.lock_deadline_ms.reset();
  state_.lock_refused = false;
  state_.last_lock_failure.reset();
}

TransactionScope::~TransactionScope() {
  if (--state_.transaction_depth > 0) return;
  release_module(state_);
  state_.lock_deadline_ms.reset();
  state_.lock_refused = false;
}

bool hold_module(ModuleState& state) {
  if (state.locked_handle != kInvalidHandle && state.locked_handle == state.HIDHandle) return true;
  release_module(state);
  // A method whose wait already failed does not wait again: it ends with what it has.
  if (state.lock_refused) return false;
  auto& port = port_of(state);
  const std::uint32_t wait_ms = module_lock_wait_ms();
  const std::uint64_t now = port.now_ms();
  if (!state.lock_deadline_ms) state.lock_deadline_ms = now + wait_ms;
  const std::uint64_t left = *state.lock_deadline_ms > now ? *state.lock_deadline_ms - now : 0;
  const LockResult result = port.lock_device(state.HIDHandle, static_cast<std::uint32_t>(left));
  state.last_error = port.last_error();
  // Outside a method every exchange waits on its own.
  if (state.transaction_depth == 0) state.lock_deadline_ms.reset();
  if (result != LockResult::Locked) {
    state.last_lock_failure = lock_failure(state, result, wait_ms);
    if (state.transaction_depth > 0) state.lock_refused = true;
    trace_line(state, state.last_lock_failure->text);
    return false;
  }
  state.locked_handle = state.HIDHandle;
  // The module keeps its own settings (its PEC mode) between transactions; when someone else
  // has used it since this thread's last one, what this thread remembers of them is stale.
  if (port.swap_last_user(state.HIDHandle, state.user_token) != state.user_token)
    state.remembered_pec_mode = 0;
  state.last_error = port.last_error();
  return true;
}

void release_module_outside_transaction(ModuleState& state) {
  if (state.transaction_depth == 0) release_module(state);
}

void release_module(ModuleState& state) {
  if (state.locked_handle == kInvalidHandle) return;
  port_of(state).unlock_device(state.locked_handle);
  state.locked_handle = kInvalidHandle;
}

}  // namespace gpio_dll::transport

namespace gpio_dll::platform {

std::optional<LockFailure> last_lock_failure() {
  return ModuleState::current().last_lock_failure;
}

}  // namespace gpio_dll::platform
