// The calling thread's access gate and debug window, opened by cls_GPIO_DLL::ShowDbg.
#pragma once

#include <string>

#include "gpio_dll/export.hpp"
#include "gpio_dll/language_standard.hpp"

#ifndef GPIO_DLL_STANDARD_TOO_OLD

namespace gpio_dll::debug_window {

// Whether the calling thread's access gate or debug window is open.
GPIO_DLL_API bool open();

// Blocks the calling thread until its gate and debug window are both closed. Their events run
// meanwhile (they run on the library's own threads, against this thread's state).
GPIO_DLL_API void wait_until_closed();

// Whether the windows are drawn on a display; false when they run headless (no display, or a
// build without the toolkit).
GPIO_DLL_API bool on_display();

// Why the windows run headless: the debug window's front end not installed or from another
// build, or no display; empty when they are drawn on a display.
GPIO_DLL_API std::string headless_reason();

}  // namespace gpio_dll::debug_window

#endif  // GPIO_DLL_STANDARD_TOO_OLD
