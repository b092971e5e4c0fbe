#include "diagnostics/win32/win32_views.hpp"

#include <commctrl.h>

#include <algorithm>
#include <climits>

#include "base/module_state.hpp"
#include "diagnostics/win32/wide_text.hpp"
#include "diagnostics/win32/win32_windowing.hpp"

namespace gpio_dll::diagnostics {

namespace {

constexpr wchar_t kClassName[] = L"GpioDllDiagnosticsWindow";
constexpr DWORD kFrameStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr int kFirstControlId = 100;
// A drop-down list's height counts its open list too.
constexpr int kDropDownHeight = 240;

HINSTANCE g_instance = nullptr;

}  // namespace

Win32View::Win32View(std::shared_ptr<ModuleState> owner, Win32Windowing& port)
    : owner_(owner), port_(port) {}

Win32View::~Win32View() {
  if (window_ != nullptr) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
  if (font_ != nullptr) DeleteObject(font_);
}

bool Win32View::register_class(HINSTANCE instance) {
  g_instance = instance;
  WNDCLASSEXW kind{};
  kind.cbSize = sizeof kind;
  kind.lpfnWndProc = &Win32View::procedure;
  kind.hInstance = instance;
  kind.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  kind.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  kind.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  kind.lpszClassName = kClassName;
  return RegisterClassExW(&kind) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void Win32View::create_window(const WindowLayout& layout) {
  RECT frame{0, 0, px(layout.width), px(layout.height)};
  AdjustWindowRectEx(&frame, kFrameStyle, FALSE, 0);
  window_ = CreateWindowExW(0, kClassName, widen(layout.caption).c_str(), kFrameStyle,
                            CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                            frame.bottom - frame.top, nullptr, nullptr, g_instance, this);
  // MS Sans Serif at 8 points: the captions fit the layout's sizes in it.
  font_ =
      CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");
  controls_["window"] = window_;
}

HWND Win32View::add(const WindowLayout& layout, const std::string& name, DWORD style) {
  const ControlLayout* c = layout.find(name);
  if (c == nullptr || window_ == nullptr) return nullptr;
  const wchar_t* kind = L"STATIC";
  DWORD ex_style = 0;
  style |= WS_CHILD | WS_VISIBLE;
  int width = px(c->width);
  int height = px(c->height);
  std::wstring caption = widen(c->caption);
  switch (c->kind) {
    case ControlKind::Label:
      // A caption wider than its box in the font at hand (a substitute under wine) runs on to
      // its right rather than being cut.
      style |= SS_LEFTNOWORDWRAP;
      width = std::max(width, text_width(caption));
      break;
    case ControlKind::TextBox:
    case ControlKind::MaskedTextBox:
      kind = L"EDIT";
      ex_style = WS_EX_CLIENTEDGE;
      style |= ES_AUTOHSCROLL | WS_TABSTOP;
      if (c->kind == ControlKind::MaskedTextBox) style |= ES_PASSWORD;
      break;
    case ControlKind::MultiLineTextBox:
      kind = L"EDIT";
      ex_style = WS_EX_CLIENTEDGE;
      style |= ES_MULTILINE | ES_AUTOVSCROLL | WS_TABSTOP;
      break;
    case ControlKind::Button:
      kind = L"BUTTON";
      style |= WS_TABSTOP;
      if ((style & BS_DEFPUSHBUTTON) == 0) style |= BS_PUSHBUTTON;
      break;
    case ControlKind::ComboBox:
      kind = L"COMBOBOX";
      style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
      height = kDropDownHeight;
      break;
    case ControlKind::CheckBox:
      // The caption "Check1" does not fit the box; only the box is drawn.
      kind = L"BUTTON";
      style |= BS_AUTOCHECKBOX | WS_TABSTOP;
      caption.clear();
      break;
    case ControlKind::List:
      kind = L"LISTBOX";
      ex_style = WS_EX_CLIENTEDGE;
      style |= WS_VSCROLL | LBS_NOINTEGRALHEIGHT | WS_TABSTOP;
      break;
    case ControlKind::ProgressBar:
      kind = PROGRESS_CLASSW;
      style |= PBS_SMOOTH;
      break;
  }
  const int id = kFirstControlId + static_cast<int>(ids_.size());
  HWND control = CreateWindowExW(
      ex_style, kind, caption.c_str(), style, px(c->left), px(c->top), width, height, window_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_instance, nullptr);
  if (control == nullptr) return nullptr;
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  controls_[name] = control;
  ids_[name] = id;
  return control;
}

int Win32View::text_width(const std::wstring& text) const {
  HDC context = GetDC(window_);
  if (context == nullptr) return 0;
  HGDIOBJ previous = SelectObject(context, font_);
  SIZE size{};
  const bool measured =
      text.size() <= INT_MAX &&
      GetTextExtentPoint32W(context, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(context, previous);
  ReleaseDC(window_, context);
  return measured ? size.cx : 0;
}

HWND Win32View::control(const std::string& name) const {
  auto it = controls_.find(name);
  return it == controls_.end() ? nullptr : it->second;
}

int Win32View::id_of(const std::string& name) const {
  auto it = ids_.find(name);
  return it == ids_.end() ? -1 : it->second;
}

void Win32View::send(std::function<void(ModuleState&)> event) {
  auto owner = owner_.lock();
  if (!owner) return;
  port_.deliver_event(owner, [owner, event] { event(*owner); });
}

void Win32View::set_shown(bool shown) {
  if (shown) {
    held_ = owner_.lock();
    if (window_ == nullptr) return;
    ShowWindow(window_, SW_SHOWNORMAL);
    SetForegroundWindow(window_);
  } else {
    if (window_ != nullptr) ShowWindow(window_, SW_HIDE);
    held_.reset();
  }
}

void Win32View::set_text(HWND control, const std::string& text) {
  if (control == nullptr) return;
  const std::wstring wide = widen(text);
  if (window_text(control) == wide) return;
  // Keep the user's cursor where it was; a field that is not being edited shows its start.
  DWORD start = 0;
  const bool focused = GetFocus() == control;
  if (focused) SendMessageW(control, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
  applying_ = true;
  SetWindowTextW(control, wide.c_str());
  applying_ = false;
  const auto position =
      static_cast<WPARAM>(focused ? std::min<std::size_t>(start, wide.size()) : 0);
  SendMessageW(control, EM_SETSEL, position, static_cast<LPARAM>(position));
}

void Win32View::set_caption(HWND control, const std::string& text) {
  const std::wstring wide = widen(text);
  if (control != nullptr && window_text(control) != wide) SetWindowTextW(control, wide.c_str());
}

bool Win32View::handle(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  switch (message) {
    case WM_COMMAND:
      if (applying_) return false;
      result = 0;
      return command(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
    default:
      return false;
  }
}

LRESULT CALLBACK Win32View::procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* view = reinterpret_cast<Win32View*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  LRESULT result = 0;
  if (view != nullptr && view->window_ == window && view->handle(message, wparam, lparam, result))
    return result;
  return DefWindowProcW(window, message, wparam, lparam);
}

std::unique_ptr<Win32View> make_win32_view(WindowModel::Kind kind,
                                           std::shared_ptr<ModuleState> owner,
                                           Win32Windowing& port) {
  if (kind == WindowModel::Kind::DebugWindow) return make_form1_window(std::move(owner), port);
  return make_gate_window(std::move(owner), port);
}

}  // namespace gpio_dll::diagnostics
