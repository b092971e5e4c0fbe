// The call trace's subscriptions from C: numbered, each the C++ subscription kept here until it
// is ended by its number.
#include <map>
#include <mutex>
#include <string>

#include "gpio_dll/gpio_dll.h"
#include "gpio_dll/trace.hpp"

namespace {

struct Subscriptions {
  std::mutex mutex;
  std::map<std::uint64_t, gpio_dll::trace::Subscription> open;
  std::uint64_t next = 1;
};

// Never destroyed: a thread may still trace while the process ends.
Subscriptions& subscriptions() {
  static auto* instance = new Subscriptions;
  return *instance;
}

}  // namespace

extern "C" {

uint64_t gpio_dll_trace_subscribe(int32_t scope, gpio_dll_trace_callback callback,
                                  void* user_data) {
  if (callback == nullptr ||
      (scope != GPIO_DLL_TRACE_THIS_THREAD && scope != GPIO_DLL_TRACE_EVERY_THREAD))
    return 0;
  try {
    gpio_dll::trace::Subscription subscription(scope == GPIO_DLL_TRACE_THIS_THREAD
                                                   ? gpio_dll::trace::Scope::this_thread
                                                   : gpio_dll::trace::Scope::every_thread,
                                               [callback, user_data](std::string_view line) {
                                                 callback(std::string(line).c_str(), user_data);
                                               });
    Subscriptions& s = subscriptions();
    std::lock_guard lock(s.mutex);
    const std::uint64_t number = s.next++;
    s.open.emplace(number, std::move(subscription));
    return number;
  } catch (...) {
    return 0;
  }
}

void gpio_dll_trace_unsubscribe(uint64_t subscription) {
  gpio_dll::trace::Subscription ended;
  {
    Subscriptions& s = subscriptions();
    std::lock_guard lock(s.mutex);
    auto it = s.open.find(subscription);
    if (it == s.open.end()) return;
    ended = std::move(it->second);
    s.open.erase(it);
  }
  // Ended outside the lock: it waits for the callback's calls in flight, which may subscribe or
  // unsubscribe themselves.
  ended.reset();
}

}  // extern "C"
