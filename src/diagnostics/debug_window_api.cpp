#include <chrono>
#include <thread>

#include "diagnostics/form1.hpp"
#include "diagnostics/headless_windowing.hpp"
#include "diagnostics/login_form.hpp"
#include "gpio_dll/debug_window.hpp"
#include "interface/module_state.hpp"

namespace gpio_dll::debug_window {

bool open() {
  ModuleState& state = ModuleState::current();
  std::lock_guard lock(state.operation_mutex);
  const auto* gate = state.existing_login_form();
  const auto* window = state.existing_debug_window();
  return (gate != nullptr && gate->visible()) || (window != nullptr && window->visible());
}

void wait_until_closed() {
  while (open())
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

bool on_display() {
  return dynamic_cast<diagnostics::HeadlessWindowing*>(&diagnostics::windowing()) == nullptr;
}

}  // namespace gpio_dll::debug_window
