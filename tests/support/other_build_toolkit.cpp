// A front end's module from another build: its entry point speaks the next interface version
// and so refuses the library's host table.
#include "diagnostics/toolkit_module.hpp"

extern "C" __attribute__((visibility("default"))) gpio_dll::diagnostics::ToolkitFactory
gpio_dll_toolkit_register(const gpio_dll::diagnostics::ToolkitHost*, int* module_abi_version) {
  *module_abi_version = gpio_dll::diagnostics::kToolkitAbiVersion + 1;
  return nullptr;
}
