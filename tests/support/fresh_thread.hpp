// Runs code on a new thread, whose module state starts empty; shared by the tests and the fuzz
// targets (no test framework here).
#pragma once

#include <exception>
#include <thread>

namespace gpio_dll::testing {

// Runs `body` on a new thread and rethrows what it threw.
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

}  // namespace gpio_dll::testing
