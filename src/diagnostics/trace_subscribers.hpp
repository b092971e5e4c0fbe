// Programs that listen to the call trace: the lines a debug window's trace list gets, handed to
// callbacks as they are written, whether or not the window is shown. A subscriber hears one
// client thread's lines or every thread's. While nobody listens, the only cost on the tracing
// path is one relaxed atomic load.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace gpio_dll {
class ModuleState;
}

namespace gpio_dll::diagnostics {

using TraceCallback = std::function<void(std::string_view line)>;

namespace detail {
extern std::atomic<int> g_trace_subscribers;
}

// Whether any program listens to the trace.
inline bool trace_listened() noexcept {
  return detail::g_trace_subscribers.load(std::memory_order_relaxed) != 0;
}

// Adds a subscriber for `thread`'s lines, or for every thread's when `thread` is null. Returns its
// number, never 0.
std::uint64_t subscribe_trace(const std::shared_ptr<const ModuleState>& thread,
                              TraceCallback callback);

// Removes a subscriber; an unknown number or 0 does nothing. When it returns, the callback runs
// nowhere any more, except in calls further up the caller's own stack (a callback that
// unsubscribes itself returns normally).
void unsubscribe_trace(std::uint64_t id);

// Hands `line`, written for `thread`'s debug window, to the subscribers that hear it. Runs without
// the registry's lock held, so a callback may subscribe and unsubscribe. A callback's exception is
// dropped: it must not break the operation that traced.
void deliver_trace(const ModuleState& thread, std::string_view line);

}  // namespace gpio_dll::diagnostics
