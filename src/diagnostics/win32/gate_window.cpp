// The access gate "Check Access" as Win32 controls.
#include <windows.h>

#include <commctrl.h>

#include "base/module_state.hpp"
#include "diagnostics/win32/wide_text.hpp"
#include "diagnostics/win32/win32_views.hpp"
#include "diagnostics/win32/win32_windowing.hpp"

namespace gpio_dll::diagnostics {

namespace {

class GateWindow final : public Win32View {
 public:
  GateWindow(std::shared_ptr<ModuleState> owner, Win32Windowing& port)
      : Win32View(std::move(owner), port) {
    const WindowLayout& layout = login_form_layout();
    create_window(layout);
    add(layout, "lblLabels(0)");
    challenge_ = add(layout, "txtUserName", ES_READONLY);
    add(layout, "lblLabels(1)");
    response_ = add(layout, "txtPassword");
    if (response_ != nullptr) {
      SendMessageW(response_, EM_SETPASSWORDCHAR, L'*', 0);
      attach_response_field(response_);
    }
    add(layout, "cmdOK", BS_DEFPUSHBUTTON);
    add(layout, "cmdCancel");
  }

  void apply(const Snapshot& snapshot) override {
    const auto& s = std::get<GateSnapshot>(snapshot);
    set_text(challenge_, s.challenge);
    set_text(response_, s.response);
    if (s.focus_response && response_ != nullptr && IsWindowVisible(window_)) SetFocus(response_);
  }

 private:
  bool command(int id, int code, HWND) override {
    // Enter and Escape reach the window as the default button and as IDCANCEL.
    if (code != BN_CLICKED) return false;
    if (id == id_of("cmdOK") || id == IDOK) {
      const std::string response = narrow(window_text(response_));
      send([response](ModuleState& s) {
        if (auto* g = existing_login_form(s)) {
          g->txtPassword = response;
          g->cmdOK_Click();
        }
      });
      return true;
    }
    if (id == id_of("cmdCancel") || id == IDCANCEL) {
      send([](ModuleState& s) {
        if (auto* g = existing_login_form(s)) g->cmdCancel_Click();
      });
      return true;
    }
    return false;
  }

  bool handle(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override {
    switch (message) {
      case WM_CLOSE:
        send([](ModuleState& s) { s.unload_access_gate_window(); });
        result = 0;
        return true;
      case DM_GETDEFID:
        result = MAKELRESULT(id_of("cmdOK"), DC_HASDEFID);
        return true;
      case WM_SHOWWINDOW:
        if (wparam != 0 && response_ != nullptr) SetFocus(response_);
        return false;
      default:
        return Win32View::handle(message, wparam, lparam, result);
    }
  }

  HWND challenge_ = nullptr;
  HWND response_ = nullptr;
};

}  // namespace

std::unique_ptr<Win32View> make_gate_window(std::shared_ptr<ModuleState> owner,
                                            Win32Windowing& port) {
  return std::make_unique<GateWindow>(std::move(owner), port);
}

}  // namespace gpio_dll::diagnostics
