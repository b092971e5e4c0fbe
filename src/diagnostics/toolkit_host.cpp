// The host table the library hands to its FLTK front end: everything the front end does to the
// window models and their owner goes through it.
#include "base/module_state.hpp"
#include "diagnostics/form1.hpp"
#include "diagnostics/login_form.hpp"
#include "diagnostics/thread_windows.hpp"
#include "diagnostics/toolkit_loader.hpp"

namespace gpio_dll::diagnostics {

namespace {

std::shared_ptr<ModuleState> owner_of(const WindowModel& window) {
  return window.owner_shared();
}

void widget_event(ModuleState& owner, const WidgetEvent& event) {
  using Kind = WidgetEvent::Kind;
  switch (event.kind) {
    case Kind::CloseDebugWindow:
      owner.unload_debug_window();
      return;
    case Kind::CloseGate:
      owner.unload_access_gate_window();
      return;
    case Kind::GateOk:
    case Kind::GateCancel:
      if (auto* g = existing_login_form(owner)) {
        if (event.kind == Kind::GateCancel) return g->cmdCancel_Click();
        g->txtPassword = event.text;
        g->cmdOK_Click();
      }
      return;
    default:
      break;
  }
  Form1* w = existing_debug_window(owner);
  if (w == nullptr) return;
  switch (event.kind) {
    case Kind::Pick:
      return w->Combo1_Click(event.index, event.value);
    case Kind::Check:
      return w->Check1_Click(event.index, event.value != 0);
    case Kind::Text1Change:
      return w->Text1_Change(event.text);
    case Kind::Continuous:
      return w->cmdContinuous_Click();
    case Kind::Once:
      return w->cmdOnce_Click();
    case Kind::Clear:
      return w->Command19_Click();
    default:
      return;
  }
}

constexpr ToolkitHost kHost{kToolkitAbiVersion,
                            &owner_of,
                            &snapshot_of,
                            &run_window_event,
                            &widget_event,
                            &LoginForm::filter_paste,
                            &LoginForm::filter_character,
                            &LoginForm::key_action};

}  // namespace

const ToolkitHost& toolkit_host() {
  return kHost;
}

}  // namespace gpio_dll::diagnostics
