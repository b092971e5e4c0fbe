#include <chrono>
#include <thread>

#include "base/module_state.hpp"
#include "diagnostics/form1.hpp"
#include "diagnostics/headless_windowing.hpp"
#include "diagnostics/login_form.hpp"
#include "gpio_dll/debug_window.hpp"

namespace gpio_dll::debug_window {

bool open() {
  ModuleState& state = ModuleState::current();
  std::lock_guard lock(state.operation_mutex);
  const auto* gate = diagnostics::existing_login_form(state);
  const auto* window = diagnostics::existing_debug_window(state);
  return (gate != nullptr && gate->visible()) || (window != nullptr && window->visible());
}

void wait_until_closed() {
  while (open())
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

bool on_display() {
  return dynamic_cast<diagnostics::HeadlessWindowing*>(&diagnostics::windowing()) == nullptr;
}

std::string headless_reason() {
  return diagnostics::headless_reason();
}

}  // namespace gpio_dll::debug_window
