// The gate's response field: an edit control whose typed characters and pastes pass the gate's
// filters before the field changes, and which has no other way to change (no cut, undo, delete
// or context menu).
#include <windows.h>

#include <commctrl.h>

#include "diagnostics/login_form.hpp"
#include "diagnostics/win32/clipboard.hpp"
#include "diagnostics/win32/wide_text.hpp"
#include "diagnostics/win32/win32_views.hpp"

namespace gpio_dll::diagnostics {

namespace {

constexpr UINT_PTR kSubclassId = 1;
// A clipboard text longer than this is refused by the paste filter anyway; reading stops here.
constexpr std::size_t kClipboardReadLimit = 4096;

// A WM_CHAR as the gate's key rule takes it. Control codes 1 to 26 come from Ctrl and a letter.
LoginForm::KeyStroke key_stroke(WPARAM code) {
  using Kind = LoginForm::KeyStroke::Kind;
  LoginForm::KeyStroke press;
  press.alt = GetKeyState(VK_MENU) < 0;
  switch (code) {
    case VK_BACK:
      press.kind = Kind::Backspace;
      press.control = GetKeyState(VK_CONTROL) < 0;
      return press;
    case VK_TAB:
    case VK_RETURN:
    case L'\n':
    case VK_ESCAPE:
      press.kind = Kind::Movement;
      return press;
    default:
      break;
  }
  if (code >= 1 && code <= 26) {
    press.kind = Kind::Character;
    press.control = true;
    press.character = static_cast<char>('a' + code - 1);
  } else if (code >= 0x20 && code < 0x7F) {
    press.kind = Kind::Character;
    press.control = GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0;
    press.character = static_cast<char>(code);
  }
  return press;
}

// The clipboard through the paste filter; the clipboard keeps the filtered text.
void paste(HWND edit) {
  const auto filtered = LoginForm::filter_paste(read_clipboard_text(edit, kClipboardReadLimit));
  if (!filtered) return;  // too long: nothing is pasted
  write_clipboard_text(edit, *filtered);
  SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(widen(*filtered).c_str()));
}

LRESULT CALLBACK response_procedure(HWND edit, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                    DWORD_PTR) {
  switch (message) {
    case WM_CHAR: {
      const LoginForm::KeyStroke press = key_stroke(wparam);
      switch (LoginForm::key_action(press)) {
        case LoginForm::KeyAction::Filter: {
          const int length = GetWindowTextLengthW(edit);
          const auto passed = LoginForm::filter_character(
              press.character, length > 0 ? static_cast<std::size_t>(length) : 0);
          if (!passed) return 0;
          return DefSubclassProc(edit, message, static_cast<WPARAM>(*passed), lparam);
        }
        case LoginForm::KeyAction::Paste:
          paste(edit);
          return 0;
        case LoginForm::KeyAction::Backspace:
        case LoginForm::KeyAction::Move:
          break;
        case LoginForm::KeyAction::Drop:
          return 0;
      }
      break;
    }
    case WM_KEYDOWN:
      // Delete, and Shift+Delete and Shift+Insert (cut and paste), never reach the edit.
      if (wparam == VK_DELETE || wparam == VK_INSERT) return 0;
      break;
    case WM_PASTE:
      paste(edit);
      return 0;
    case WM_CUT:
    case WM_CLEAR:
    case WM_UNDO:
    case EM_UNDO:
    case WM_CONTEXTMENU:
      return 0;
    case WM_NCDESTROY:
      RemoveWindowSubclass(edit, &response_procedure, kSubclassId);
      break;
    default:
      break;
  }
  return DefSubclassProc(edit, message, wparam, lparam);
}

}  // namespace

void attach_response_field(HWND edit) {
  SetWindowSubclass(edit, &response_procedure, kSubclassId, 0);
}

}  // namespace gpio_dll::diagnostics
