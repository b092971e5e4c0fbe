// The server DLL itself: its module handle, its path, and the count of live objects and server
// locks that decides whether it may be unloaded.
#pragma once

#include <windows.h>

#include <string>

namespace gpio_dll::com {

void set_server_module(HMODULE module);
HMODULE server_module();

// The full path of the server DLL, as it is registered.
std::wstring server_path();

void object_created();
void object_destroyed();
void lock_server(bool lock);

// True while no object is alive and no lock is held.
bool server_idle();

// Keeps the DLL loaded for the rest of the process. The library keeps per-thread state (the
// module state, the debug window) with destructors that run when each thread ends: unloading the
// DLL under a thread that has called in would leave those pointing into freed code.
void pin_server();

}  // namespace gpio_dll::com
