// The library's side of the FLTK front end's module: the host table it hands over, and finding,
// loading and registering the module (or the front end a static program linked in).
#pragma once

#include <memory>
#include <string>

#include "diagnostics/toolkit_module.hpp"

namespace gpio_dll::diagnostics {

// The library's host table for the front end.
const ToolkitHost& toolkit_host();

// The module's file name, and where it is looked for, in order: $GPIO_DLL_FLTK_MODULE (a full
// path, the only place looked at when set), gpio_dll/ beside the library (or the program that
// links it statically), gpio_dll/ in the configured library directory.
inline constexpr const char* kToolkitModuleFile = "gpio_dll_fltk.so";
inline constexpr const char* kToolkitModuleVariable = "GPIO_DLL_FLTK_MODULE";

struct ToolkitLoad {
  std::shared_ptr<ToolkitFrontEnd> front_end;  // null: the windows run headless
  std::string failure;                         // why there is none
  bool refused_version = false;                // the module comes from another build
};

// Loads the module at `path`, registers the host with it and asks it for the front end.
ToolkitLoad load_toolkit_module(const std::string& path);
// The front end from the first module found where modules are looked for.
ToolkitLoad load_toolkit();

// A static program's linked front end: used from then on instead of any module.
void use_linked_toolkit(ToolkitRegister* entry);

}  // namespace gpio_dll::diagnostics
