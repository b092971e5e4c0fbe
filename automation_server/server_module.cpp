#include "server_module.hpp"

#include <atomic>
#include <mutex>

namespace gpio_dll::com {

namespace {

HMODULE g_module = nullptr;
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};
std::once_flag g_pinned;

}  // namespace

void set_server_module(HMODULE module) {
  g_module = module;
}

HMODULE server_module() {
  return g_module;
}

std::wstring server_path() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(path.size());
    const DWORD length = GetModuleFileNameW(g_module, path.data(), size);
    if (length == 0) return {};
    if (length < size) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);  // truncated: try a larger buffer
  }
}

void object_created() {
  ++g_objects;
}

void object_destroyed() {
  --g_objects;
}

void lock_server(bool lock) {
  if (lock)
    ++g_locks;
  else
    --g_locks;
}

bool server_idle() {
  return g_objects.load() == 0 && g_locks.load() == 0;
}

void pin_server() {
  std::call_once(g_pinned, [] {
    HMODULE pinned = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&pin_server), &pinned);
  });
}

}  // namespace gpio_dll::com
