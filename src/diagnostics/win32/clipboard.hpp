// The system clipboard's plain text, read and written by the GUI thread.
#pragma once

#include <windows.h>

#include <string>

namespace gpio_dll::diagnostics {

// Reads at most `limit` characters; empty when the clipboard holds no text or is busy.
std::string read_clipboard_text(HWND owner, std::size_t limit);
// Replaces the clipboard's content with `text`.
void write_clipboard_text(HWND owner, const std::string& text);

}  // namespace gpio_dll::diagnostics
