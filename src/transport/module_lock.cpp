#include "transport/module_lock.hpp"

#include <atomic>
#include <string>

#include "base/module_state.hpp"
#include "transport/call_trace.hpp"
#include "transport/platform_registry.hpp"

namespace gpio_dll::transport {

namespace {
std::atomic<std::uint32_t> g_wait_ms{kModuleLockWaitMs};
}

std::uint32_t module_lock_wait_ms() {
  return g_wait_ms.load();
}

void set_module_lock_wait_ms(std::uint32_t ms) {
  g_wait_ms.store(ms);
}

TransactionScope::TransactionScope(ModuleState& state) : state_(state) {
  ++state_.transaction_depth;
}

TransactionScope::~TransactionScope() {
  if (--state_.transaction_depth == 0) release_module(state_);
}

bool hold_module(ModuleState& state) {
  if (state.locked_handle != kInvalidHandle && state.locked_handle == state.HIDHandle) return true;
  release_module(state);
  auto& port = port_of(state);
  const std::uint32_t wait_ms = module_lock_wait_ms();
  if (!port.lock_device(state.HIDHandle, wait_ms)) {
    state.last_error = port.last_error();
    if (tracing(state))
      trace_line(state, "Module busy: another transaction held it for more than " +
                            std::to_string(wait_ms) + " ms");
    return false;
  }
  state.locked_handle = state.HIDHandle;
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
