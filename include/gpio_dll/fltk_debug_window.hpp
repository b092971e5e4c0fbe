// For programs linked statically (gpio_dll::gpio_dll_fltk_static, pkg-config gpio_dll_fltk): the
// debug window's FLTK front end linked into the program. Programs on the shared library need
// none of this: the library loads the front end's module when it is installed.
#pragma once

#include "gpio_dll/language_standard.hpp"

#ifndef GPIO_DLL_STANDARD_TOO_OLD

namespace gpio_dll::debug_window {

// Makes the debug window use the linked FLTK front end instead of looking for its module. Call
// it before the first ShowDbg; without a display the windows still run headless.
void use_linked_fltk();

}  // namespace gpio_dll::debug_window

#endif  // GPIO_DLL_STANDARD_TOO_OLD
