// The debug window "GPIO_DLL_Debug_module" as Win32 controls.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>

#include "base/module_state.hpp"
#include "diagnostics/win32/wide_text.hpp"
#include "diagnostics/win32/win32_views.hpp"
#include "diagnostics/win32/win32_windowing.hpp"

namespace gpio_dll::diagnostics {

namespace {

std::string indexed(const char* name, int index) {
  std::string text = name;
  text += "(";
  text += std::to_string(index);
  text += ")";
  return text;
}

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

}  // namespace

std::unique_ptr<Win32View> make_form1_window(std::shared_ptr<ModuleState> owner,
                                             Win32Windowing& port) {
  return std::make_unique<Form1Window>(std::move(owner), port);
}

}  // namespace gpio_dll::diagnostics
