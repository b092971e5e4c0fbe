// The calling thread's access gate and debug window, opened by cls_GPIO_DLL::ShowDbg.
#pragma once

#include <functional>
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

// Loads the calling thread's debug window, hidden, unless it is loaded already: its start-up
// identifies the module, as the thread's first traced call otherwise does. A program that traces
// from the start (gpio-dll --trace) loads it first, so that its trace begins where the shown
// window's would.
GPIO_DLL_API void load();

// From now on the windows run headless in this process, never on a display (a program that shows
// nothing, such as a command-line tool, keeps ShowDbg from opening windows): their models still
// run, their message boxes are answered at once.
GPIO_DLL_API void run_headless();

// The calling thread's debug window's module EEPROM progress bar: `observer` gets its range and
// value each time the window is drawn again during a transfer (on the calling thread); an empty
// function stops it.
using ProgressObserver = std::function<void(int min, int max, int value)>;
GPIO_DLL_API void observe_progress(ProgressObserver observer);

// The most bytes the calling thread's module takes in one block read and one block write, as its
// firmware, identified at its last call, sets them (the limits that results 138 and 139 name).
struct BlockLimits {
  int read = 0;
  int write = 0;
};
GPIO_DLL_API BlockLimits block_limits();

}  // namespace gpio_dll::debug_window

#endif  // GPIO_DLL_STANDARD_TOO_OLD
