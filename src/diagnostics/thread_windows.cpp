#include "diagnostics/thread_windows.hpp"

#include <mutex>

#include "diagnostics/form1.hpp"
#include "diagnostics/login_form.hpp"

namespace gpio_dll::diagnostics {

namespace {

std::unique_ptr<DebugWindowSink> make_debug_window(ModuleState& owner) {
  return std::make_unique<Form1>(owner);
}

// Registered when the library is loaded, before any client thread traces.
[[maybe_unused]] const bool g_registered = (register_thread_windows(), true);

}  // namespace

void register_thread_windows() {
  register_debug_window_factory(&make_debug_window);
}

Form1& debug_window(ModuleState& state) {
  register_thread_windows();
  if (auto* window = dynamic_cast<Form1*>(&state.debug_window())) return *window;
  // A window made before the diagnostics were registered keeps nothing: make the real one.
  state.unload_debug_window();
  return dynamic_cast<Form1&>(state.debug_window());
}

Form1* existing_debug_window(ModuleState& state) {
  return dynamic_cast<Form1*>(state.existing_debug_window());
}

LoginForm& login_form(ModuleState& state) {
  if (auto* gate = existing_login_form(state)) return *gate;
  auto created = std::make_unique<LoginForm>(state);
  LoginForm& gate = *created;
  state.set_access_gate_window(std::move(created));
  gate.startup();
  return gate;
}

LoginForm* existing_login_form(ModuleState& state) {
  return dynamic_cast<LoginForm*>(state.access_gate_window());
}

void run_window_event(ModuleState& owner, const std::function<void()>& event) {
  std::lock_guard operation(owner.operation_mutex);
  event();
  if (auto* w = existing_debug_window(owner)) w->refresh();
  if (auto* g = existing_login_form(owner)) g->refresh();
}

}  // namespace gpio_dll::diagnostics
