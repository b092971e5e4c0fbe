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

void load() {
  ModuleState& state = ModuleState::current();
  std::lock_guard lock(state.operation_mutex);
  diagnostics::debug_window(state);
}

void observe_progress(ProgressObserver observer) {
  ModuleState& state = ModuleState::current();
  std::lock_guard lock(state.operation_mutex);
  auto& window = diagnostics::debug_window(state);
  if (!observer) {
    window.set_repaint_observer(nullptr);
    return;
  }
  window.set_repaint_observer([observer = std::move(observer)](const diagnostics::Form1& w) {
    observer(w.ProgressBar1.min, w.ProgressBar1.max, w.ProgressBar1.value);
  });
}

BlockLimits block_limits() {
  const ModuleState& state = ModuleState::current();
  return {state.MaxBytesRd, state.MaxBytesWr};
}

void run_headless() {
  diagnostics::set_windowing(std::make_shared<diagnostics::HeadlessWindowing>());
}

}  // namespace gpio_dll::debug_window
