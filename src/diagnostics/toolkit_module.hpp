// The boundary between the library and its FLTK front end, which is a module of its own
// (gpio_dll_fltk.so, loaded at run time) or an archive linked into a static program. The module
// links neither the library nor its internals: what it needs of the window models and their
// owner it gets through the host table below. Both sides are built from the same tree and the
// version is checked exactly, so C++ types cross the boundary.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "diagnostics/login_form.hpp"
#include "diagnostics/window_model.hpp"
#include "diagnostics/window_snapshot.hpp"
#include "diagnostics/windowing_port.hpp"

namespace gpio_dll::diagnostics {

// Raised whenever anything that crosses the boundary changes: this header, WindowingPort,
// WindowModel or the snapshots.
inline constexpr int kToolkitAbiVersion = 1;

// A widget event on one of the owner's windows.
struct WidgetEvent {
  enum class Kind {
    Pick,         // debug window: picker `index` set to entry `value`
    Check,        // debug window: box `index` checked (value 1) or cleared
    Text1Change,  // debug window: Text1 edited to `text`
    Continuous,   // debug window buttons
    Once,
    Clear,
    CloseDebugWindow,  // the debug window's close box
    GateOk,            // access gate: OK with the response `text`
    GateCancel,
    CloseGate  // the gate's close box
  };
  Kind kind;
  int index = 0;
  int value = 0;
  std::string text;
};

// What the library does for the front end.
struct ToolkitHost {
  int abi_version;
  // The window's owner, kept alive by the pointer.
  std::shared_ptr<ModuleState> (*owner_of)(const WindowModel& window);
  // The model's content; on the thread that owns it.
  Snapshot (*snapshot_of)(const WindowModel& window);
  // Runs `event` under the owner's operation lock, then draws both of its windows again.
  void (*run_event)(ModuleState& owner, const std::function<void()>& event);
  // Carries out a widget event on the owner's window; runs inside run_event.
  void (*widget_event)(ModuleState& owner, const WidgetEvent& event);
  // The access gate's filters for the response field (LoginForm's).
  std::optional<std::string> (*filter_paste)(const std::string& clipboard);
  std::optional<char> (*filter_character)(char code, std::size_t field_length);
  LoginForm::KeyAction (*key_action)(const LoginForm::KeyStroke& key);
};

// A front end: the windowing, and what tests drive it with.
class ToolkitFrontEnd : public WindowingPort {
 public:
  // Each runs on the GUI thread and waits for it.
  virtual void click(const WindowModel& window, const std::string& control) = 0;
  virtual void type(const WindowModel& window, const std::string& control,
                    const std::string& text) = 0;
  virtual std::string text_of(const WindowModel& window, const std::string& control) = 0;
  virtual bool shown_on_screen(const WindowModel& window) = 0;
  virtual unsigned long x_window(const WindowModel& window) = 0;
  // Waits until a message box is on the screen, then closes it as its OK button would; false
  // if none came within `timeout_ms`.
  virtual bool close_message_box(int timeout_ms = 5000) = 0;
  // Waits until the GUI thread and the event thread have nothing left to do.
  virtual void settle() = 0;
  // False once the display went away (the windows then stay off screen).
  virtual bool display_alive() const = 0;
};

// The process's one front end; null when no display can be opened.
using ToolkitFactory = std::shared_ptr<ToolkitFrontEnd> (*)();

// The module's one exported function: it tells its own version through `module_abi_version`
// and, when the host's is the same, keeps the host and returns its factory; null otherwise.
using ToolkitRegister = ToolkitFactory(const ToolkitHost* host, int* module_abi_version);
inline constexpr const char* kToolkitRegisterSymbol = "gpio_dll_toolkit_register";

}  // namespace gpio_dll::diagnostics
