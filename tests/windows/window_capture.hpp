// A window as it stands on the screen, frame and all, saved as a 24-bit BMP file.
#pragma once

#include <windows.h>

#include <string>

namespace gpio_dll::testing {

// Draws the window and its controls first. False when the window or the file cannot be had.
bool save_window_bitmap(HWND window, const std::string& path);

}  // namespace gpio_dll::testing
