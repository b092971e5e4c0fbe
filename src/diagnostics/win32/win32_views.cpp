#include "diagnostics/win32/win32_views.hpp"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <cstdio>

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

std::string indexed(const char* name, int index) {
  std::string text = name;
  text += "(";
  text += std::to_string(index);
  text += ")";
  return text;
}

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

namespace {

class Form1Window final : public Win32View {
 public:
  Form1Window(std::shared_ptr<ModuleState> owner, Win32Windowing& port)
      : Win32View(std::move(owner), port) {
    const WindowLayout& layout = form1_layout();
    create_window(layout);
    for (int i = 0; i < 4; ++i)
      add(layout, indexed("Label1", i));
    for (int i = 0; i < 4; ++i)
      text3_[i] = add(layout, indexed("Text3", i), ES_READONLY);
    continuous_ = add(layout, "cmdContinuous");
    add(layout, "cmdOnce");
    add(layout, "Command19");
    for (int k = 0; k < Form1::kPickers; ++k) {
      combo_[k] = add(layout, indexed("Combo1", k));
      for (int e = 0; e < 256 && combo_[k] != nullptr; ++e) {
        wchar_t entry[4];
        std::swprintf(entry, 4, L"%02X", e);
        SendMessageW(combo_[k], CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
      }
      check_[k] = add(layout, indexed("Check1", k));
    }
    text1_ = add(layout, "Text1");
    text2_ = add(layout, "Text2", ES_READONLY);
    progress_ = add(layout, "ProgressBar1");
    list_ = add(layout, "ListBox1");
    text16_ = add(layout, "Text16", ES_READONLY);
  }

  void apply(const Snapshot& snapshot) override {
    const auto& s = std::get<Form1Snapshot>(snapshot);
    for (int i = 0; i < 4; ++i)
      set_text(text3_[i], s.text3[i]);
    set_caption(continuous_, s.continuous);
    for (int k = 0; k < Form1::kPickers; ++k) {
      SendMessageW(combo_[k], CB_SETCURSEL, static_cast<WPARAM>(s.combo[k]), 0);
      SendMessageW(check_[k], BM_SETCHECK, s.check[k] ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    set_text(text1_, s.text1);
    set_text(text2_, s.text2);
    set_text(text16_, s.text16);
    SendMessageW(progress_, PBM_SETRANGE32, static_cast<WPARAM>(s.progress.min),
                 static_cast<LPARAM>(s.progress.max));
    SendMessageW(progress_, PBM_SETPOS, static_cast<WPARAM>(s.progress.value), 0);
    apply_lines(s.lines);
    if (s.selected >= 0 && static_cast<std::size_t>(s.selected) < lines_.size())
      SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(s.selected), 0);
  }

 private:
  // The trace list mostly grows at its end: then only the new lines are added. Cutting it to its
  // limit (at most 500 lines, once every 100) fills it afresh.
  void apply_lines(const std::vector<std::string>& lines) {
    if (lines == lines_ || list_ == nullptr) return;
    const bool grown =
        lines.size() > lines_.size() && std::equal(lines_.begin(), lines_.end(), lines.begin());
    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    if (!grown) {
      SendMessageW(list_, LB_RESETCONTENT, 0, 0);
      lines_.clear();
    }
    for (std::size_t i = lines_.size(); i < lines.size(); ++i)
      SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(lines[i]).c_str()));
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);
    lines_ = lines;
  }

  bool command(int id, int code, HWND control) override {
    if (control == nullptr) return false;
    if (code == BN_CLICKED) {
      if (id == id_of("cmdContinuous")) return event([](Form1& w) { w.cmdContinuous_Click(); });
      if (id == id_of("cmdOnce")) return event([](Form1& w) { w.cmdOnce_Click(); });
      if (id == id_of("Command19")) return event([](Form1& w) { w.Command19_Click(); });
      for (int k = 0; k < Form1::kPickers; ++k) {
        if (control != check_[k]) continue;
        const bool checked = SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
        send([k, checked](ModuleState& s) {
          if (auto* w = existing_debug_window(s)) w->Check1_Click(k, checked);
        });
        return true;
      }
    }
    if (code == CBN_SELCHANGE) {
      for (int k = 0; k < Form1::kPickers; ++k) {
        if (control != combo_[k]) continue;
        const LRESULT entry = SendMessageW(control, CB_GETCURSEL, 0, 0);
        if (entry < 0 || entry > 255) return true;
        send([k, entry](ModuleState& s) {
          if (auto* w = existing_debug_window(s)) w->Combo1_Click(k, static_cast<int>(entry));
        });
        return true;
      }
    }
    if (code == EN_CHANGE && control == text1_) {
      const std::string text = narrow(window_text(control));
      send([text](ModuleState& s) {
        if (auto* w = existing_debug_window(s)) w->Text1_Change(text);
      });
      return true;
    }
    return false;
  }

  bool handle(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override {
    if (message == WM_CLOSE) {
      // Closing the window hides and unloads it.
      send([](ModuleState& s) { s.unload_debug_window(); });
      result = 0;
      return true;
    }
    if (message == WM_CTLCOLORSTATIC) {
      // The identification and received-data fields read as text boxes, not as labels.
      const auto control = reinterpret_cast<HWND>(lparam);
      if (control == text2_ ||
          std::find(std::begin(text3_), std::end(text3_), control) != std::end(text3_)) {
        SetBkColor(reinterpret_cast<HDC>(wparam), GetSysColor(COLOR_WINDOW));
        result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
        return true;
      }
    }
    return Win32View::handle(message, wparam, lparam, result);
  }

  bool event(void (*run)(Form1&)) {
    send([run](ModuleState& s) {
      if (auto* w = existing_debug_window(s)) run(*w);
    });
    return true;
  }

  HWND text3_[4] = {};
  HWND continuous_ = nullptr;
  HWND combo_[Form1::kPickers] = {};
  HWND check_[Form1::kPickers] = {};
  HWND text1_ = nullptr;
  HWND text2_ = nullptr;
  HWND progress_ = nullptr;
  HWND list_ = nullptr;
  HWND text16_ = nullptr;
  std::vector<std::string> lines_;
};

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

std::unique_ptr<Win32View> make_win32_view(WindowModel::Kind kind,
                                           std::shared_ptr<ModuleState> owner,
                                           Win32Windowing& port) {
  if (kind == WindowModel::Kind::DebugWindow)
    return std::make_unique<Form1Window>(std::move(owner), port);
  return std::make_unique<GateWindow>(std::move(owner), port);
}

}  // namespace gpio_dll::diagnostics
