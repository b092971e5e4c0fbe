// The call trace for programs: the lines the debug window's trace list shows (each platform call
// with its result, the reports' bytes, the HID test report), handed to a callback as they are
// written, whether the window is shown or not. A subscription hears the subscribing thread's
// lines or every thread's, from the end of that thread's first call's window start-up on; it
// ends when the object is destroyed or reset.
//
//   gpio_dll::trace::Subscription trace(gpio_dll::trace::Scope::this_thread,
//                                       [](std::string_view line) { std::cerr << line << '\n'; });
//
// The callback runs on the thread that traces (a window event's lines on the thread that runs
// the event), inside the library's call: it must not wait for another thread that calls the
// library. It may subscribe, and unsubscribe itself or others. An exception it throws is dropped.
// With no subscription, tracing costs one atomic load per line.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "gpio_dll/export.hpp"
#include "gpio_dll/language_standard.hpp"

#ifndef GPIO_DLL_STANDARD_TOO_OLD

namespace gpio_dll::trace {

enum class Scope {
  this_thread,   // the lines of the thread that subscribes
  every_thread,  // the lines of every thread
};

using Callback = std::function<void(std::string_view line)>;

class GPIO_DLL_API Subscription {
 public:
  Subscription() = default;
  Subscription(Scope scope, Callback callback);
  ~Subscription() { reset(); }
  Subscription(Subscription&& other) noexcept : id_(other.id_) { other.id_ = 0; }
  Subscription& operator=(Subscription&& other) noexcept;
  Subscription(const Subscription&) = delete;
  Subscription& operator=(const Subscription&) = delete;

  // Ends the subscription. When it returns, the callback runs nowhere any more (except further up
  // the calling thread's own stack, when the callback itself resets).
  void reset() noexcept;
  bool active() const noexcept { return id_ != 0; }

 private:
  std::uint64_t id_ = 0;
};

}  // namespace gpio_dll::trace

#endif  // GPIO_DLL_STANDARD_TOO_OLD
