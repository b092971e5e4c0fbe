// The front end's one entry point: the library hands over its host table and gets the factory
// of the FLTK front end back. Exported from the module; a static program reaches it through
// use_linked_fltk().
#include "diagnostics/fltk/fltk_windowing.hpp"
#include "diagnostics/toolkit_module.hpp"

namespace {

const gpio_dll::diagnostics::ToolkitHost* g_host = nullptr;

std::shared_ptr<gpio_dll::diagnostics::ToolkitFrontEnd> create_front_end() {
  return gpio_dll::diagnostics::FltkWindowing::create(*g_host);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) gpio_dll::diagnostics::ToolkitFactory
gpio_dll_toolkit_register(const gpio_dll::diagnostics::ToolkitHost* host, int* module_abi_version) {
  using gpio_dll::diagnostics::kToolkitAbiVersion;
  if (module_abi_version != nullptr) *module_abi_version = kToolkitAbiVersion;
  if (host == nullptr || host->abi_version != kToolkitAbiVersion) return nullptr;
  g_host = host;
  return &create_front_end;
}
