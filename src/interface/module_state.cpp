#include "interface/module_state.hpp"

#include "diagnostics/form1.hpp"
#include "diagnostics/login_form.hpp"
#include "transport/platform_registry.hpp"

namespace gpio_dll {

ModuleState::ModuleState() = default;

ModuleState::~ModuleState() {
  // The windows go first: they may still refer to the state while unloading.
  debug_window_.reset();
  login_form_.reset();
  // The thread is done with the component: give the handles back rather than leak them.
  if (!port_) return;
  if (HIDHandle != transport::kInvalidHandle) port_->close(HIDHandle);
  if (ReadHandle != transport::kInvalidHandle) port_->close(ReadHandle);
}

namespace {
const std::shared_ptr<ModuleState>& thread_state() {
  thread_local const std::shared_ptr<ModuleState> state = std::make_shared<ModuleState>();
  return state;
}
}  // namespace

std::shared_ptr<ModuleState> ModuleState::current_shared() {
  return thread_state();
}

ModuleState& ModuleState::current() {
  return *thread_state();
}

transport::PlatformPort& ModuleState::port() {
  if (!port_) port_ = transport::current_platform();
  return *port_;
}

void ModuleState::bind_current_port() {
  auto chosen = transport::current_platform();
  if (chosen == port_) return;
  if (port_) {
    if (HIDHandle != transport::kInvalidHandle) port_->close(HIDHandle);
    if (ReadHandle != transport::kInvalidHandle) port_->close(ReadHandle);
  }
  HIDHandle = transport::kInvalidHandle;
  ReadHandle = transport::kInvalidHandle;
  read_event = transport::kNoEvent;
  read_overlapped.reset();
  port_ = std::move(chosen);
}

diagnostics::Form1& ModuleState::debug_window() {
  if (!debug_window_) {
    // The window exists from here on, so references made by its own start-up find it.
    debug_window_ = std::make_unique<diagnostics::Form1>(*this);
    debug_window_->startup();
  }
  return *debug_window_;
}

void ModuleState::unload_debug_window() {
  debug_window_.reset();
}

diagnostics::LoginForm& ModuleState::login_form() {
  if (!login_form_) {
    login_form_ = std::make_unique<diagnostics::LoginForm>(*this);
    login_form_->startup();
  }
  return *login_form_;
}

void ModuleState::unload_login_form() {
  login_form_.reset();
}

}  // namespace gpio_dll
