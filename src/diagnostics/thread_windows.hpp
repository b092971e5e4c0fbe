// A client thread's two windows, the debug window and the access gate, as the diagnostics and the
// layers above them reach them. The first reference creates a window hidden and runs its
// start-up; the module state owns it from then on.
#pragma once

#include <functional>

#include "base/module_state.hpp"

namespace gpio_dll::diagnostics {

class Form1;
class LoginForm;

// Gives the module state the factory that makes the real debug window. Runs when the library is
// loaded and again, harmlessly, on every reference below.
void register_thread_windows();

Form1& debug_window(ModuleState& state);
Form1* existing_debug_window(ModuleState& state);

LoginForm& login_form(ModuleState& state);
LoginForm* existing_login_form(ModuleState& state);

// A window event (a click, a key, a timer tick) of a toolkit front end: runs under the owner's
// operation lock, then both of its windows are drawn again.
void run_window_event(ModuleState& owner, const std::function<void()>& event);

}  // namespace gpio_dll::diagnostics
