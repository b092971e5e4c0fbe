// Finds the FLTK front end's module, loads it and registers the library's host table with it.
// Where none is found, it refuses the host's version or no display opens, the windows run
// headless and the reason is kept.
#include "diagnostics/toolkit_loader.hpp"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <vector>

namespace gpio_dll::diagnostics {

namespace {

std::mutex g_mutex;
ToolkitRegister* g_linked = nullptr;

// Something of this object file: dladdr names the file it was loaded from.
const char g_here = 0;

// The directory of the library, or of the program (or Python extension) linking it statically.
std::filesystem::path own_directory() {
  Dl_info info{};
  if (dladdr(&g_here, &info) == 0 || info.dli_fname == nullptr) return {};
  std::filesystem::path file = info.dli_fname;
  // The main program is named as it was started; the kernel knows its full path.
  if (!file.is_absolute()) {
    std::error_code error;
    file = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
  }
  return file.parent_path();
}

std::string display_text() {
  const char* display = std::getenv("DISPLAY");
  return display != nullptr && *display != 0 ? std::string("DISPLAY=") + display
                                             : std::string("DISPLAY is not set");
}

ToolkitLoad register_front_end(ToolkitRegister* entry, const std::string& origin) {
  int module_version = 0;
  const ToolkitFactory factory = entry(&toolkit_host(), &module_version);
  if (factory == nullptr)
    return {nullptr,
            origin + " has interface version " + std::to_string(module_version) + ", the library " +
                std::to_string(kToolkitAbiVersion) + ": they come from different builds",
            true};
  auto front_end = factory();
  if (!front_end)
    return {nullptr, origin + ": no display could be opened (" + display_text() + ")"};
  return {std::move(front_end), {}};
}

}  // namespace

// Modules stay loaded: the front end's threads and the toolkit's handlers live as long as the
// process.
ToolkitLoad load_toolkit_module(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* error = dlerror();
    return {nullptr, "cannot load " + path + ": " + (error != nullptr ? error : "unknown error")};
  }
  auto* entry = reinterpret_cast<ToolkitRegister*>(dlsym(handle, kToolkitRegisterSymbol));
  if (entry == nullptr) {
    dlclose(handle);
    return {nullptr, path + " is not the debug window's front end (no " +
                         std::string(kToolkitRegisterSymbol) + ")"};
  }
  ToolkitLoad load = register_front_end(entry, path);
  // A module of another build has run nothing but its entry point: let it go. One that could
  // not open a display stays, as the toolkit may have set up process-wide state.
  if (!load.front_end && load.refused_version) dlclose(handle);
  return load;
}

ToolkitLoad load_toolkit() {
  ToolkitRegister* linked = nullptr;
  {
    std::lock_guard lock(g_mutex);
    linked = g_linked;
  }
  if (linked != nullptr) return register_front_end(linked, "the linked FLTK front end");
  const char* chosen = std::getenv(kToolkitModuleVariable);
  if (chosen != nullptr && *chosen != 0) return load_toolkit_module(chosen);

  std::vector<std::filesystem::path> places;
  if (auto own = own_directory(); !own.empty())
    places.push_back(own / "gpio_dll" / kToolkitModuleFile);
  places.push_back(std::filesystem::path(GPIO_DLL_TOOLKIT_LIBDIR) / "gpio_dll" /
                   kToolkitModuleFile);
  std::string looked;
  for (const auto& place : places) {
    std::error_code error;
    if (std::filesystem::exists(place, error)) return load_toolkit_module(place.string());
    looked += (looked.empty() ? "" : ", ") + place.string();
  }
  return {nullptr, "the debug window's front end is not installed (looked for " + looked + ")"};
}

void use_linked_toolkit(ToolkitRegister* entry) {
  std::lock_guard lock(g_mutex);
  g_linked = entry;
}

std::shared_ptr<WindowingPort> make_toolkit_windowing(std::string& failure) {
  ToolkitLoad load = load_toolkit();
  failure = std::move(load.failure);
  return load.front_end;
}

}  // namespace gpio_dll::diagnostics
