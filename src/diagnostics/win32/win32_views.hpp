// The two windows as Win32 windows of standard controls, made and changed only on the GUI thread
// from the models' snapshots. Control events become window events of the owner through the
// windowing's event delivery; a window keeps its owner's state alive while it is shown.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>

#include "diagnostics/window_layout.hpp"
#include "diagnostics/window_snapshot.hpp"

namespace gpio_dll::diagnostics {

class Win32Windowing;

class Win32View {
 public:
  virtual ~Win32View();
  Win32View(const Win32View&) = delete;
  Win32View& operator=(const Win32View&) = delete;

  virtual void apply(const Snapshot& snapshot) = 0;
  void set_shown(bool shown);
  HWND window() const { return window_; }
  // The control of that name in the window's layout ("window" for the window itself).
  HWND control(const std::string& name) const;

  // The window class of both windows, registered once by the GUI thread; false if it cannot be.
  static bool register_class(HINSTANCE instance);

 protected:
  Win32View(std::shared_ptr<ModuleState> owner, Win32Windowing& port);

  // Makes the top-level window for `layout`'s client area, hidden, and its font.
  void create_window(const WindowLayout& layout);
  // Makes the control of that name where the layout puts it. `style` adds to the kind's own.
  HWND add(const WindowLayout& layout, const std::string& name, DWORD style = 0);
  // A control event becomes a window event of the owner.
  void send(std::function<void(ModuleState&)> event);
  // Sets a control's text unless it already reads so; a focused edit keeps its cursor.
  void set_text(HWND control, const std::string& text);
  // Sets a button's caption unless it already reads so.
  void set_caption(HWND control, const std::string& text);

  // The window's messages; returns true when it handled `message` and `result` holds the answer.
  virtual bool command(int id, int code, HWND control) = 0;
  virtual bool handle(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);
  int id_of(const std::string& name) const;
  // The width of `text` in the window's font, in pixels.
  int text_width(const std::wstring& text) const;

  std::weak_ptr<ModuleState> owner_;
  std::shared_ptr<ModuleState> held_;
  Win32Windowing& port_;
  HWND window_ = nullptr;
  HFONT font_ = nullptr;
  bool applying_ = false;  // control notifications caused by apply() are not user events
  std::map<std::string, HWND> controls_;
  std::map<std::string, int> ids_;

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
};

std::unique_ptr<Win32View> make_form1_window(std::shared_ptr<ModuleState> owner,
                                             Win32Windowing& port);
std::unique_ptr<Win32View> make_gate_window(std::shared_ptr<ModuleState> owner,
                                            Win32Windowing& port);
std::unique_ptr<Win32View> make_win32_view(WindowModel::Kind kind,
                                           std::shared_ptr<ModuleState> owner,
                                           Win32Windowing& port);

// The response field's key rules: typed characters and pastes through the gate's filters.
void attach_response_field(HWND edit);

}  // namespace gpio_dll::diagnostics
