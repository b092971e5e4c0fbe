// A static program's FLTK front end, linked in rather than loaded.
#include "diagnostics/toolkit_loader.hpp"
#include "diagnostics/toolkit_module.hpp"
#include "gpio_dll/fltk_debug_window.hpp"

extern "C" gpio_dll::diagnostics::ToolkitRegister gpio_dll_toolkit_register;

namespace gpio_dll::debug_window {

void use_linked_fltk() {
  diagnostics::use_linked_toolkit(&gpio_dll_toolkit_register);
}

}  // namespace gpio_dll::debug_window
