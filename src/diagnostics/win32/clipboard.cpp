#include "diagnostics/win32/clipboard.hpp"

#include <algorithm>
#include <cwchar>

#include "diagnostics/win32/wide_text.hpp"

namespace gpio_dll::diagnostics {

std::string read_clipboard_text(HWND owner, std::size_t limit) {
  std::string text;
  if (!OpenClipboard(owner)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    const SIZE_T bytes = GlobalSize(data);
    if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
      // Not past the memory block, whatever its text claims.
      const std::size_t room = std::min<std::size_t>(bytes / sizeof(wchar_t), limit);
      text = narrow(std::wstring_view(wide, wcsnlen(wide, room)));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

void write_clipboard_text(HWND owner, const std::string& text) {
  const std::wstring wide = widen(text);
  if (!OpenClipboard(owner)) return;
  EmptyClipboard();
  if (HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t))) {
    auto* copy = static_cast<wchar_t*>(GlobalLock(data));
    if (copy != nullptr) {
      std::wmemcpy(copy, wide.c_str(), wide.size() + 1);
      GlobalUnlock(data);
    }
    if (copy == nullptr || SetClipboardData(CF_UNICODETEXT, data) == nullptr) GlobalFree(data);
  }
  CloseClipboard();
}

}  // namespace gpio_dll::diagnostics
