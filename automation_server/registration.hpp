// The server's registry entries: the programmatic identifier, the class with its in-process
// server and apartment threading model, the type library (under its own locale 0x409 and under
// the neutral locale 0, where some loaders look). Registering the type library registers its
// dual interface too, with the automation marshaller (PSOAInterface) as its proxy and stub, so
// that the interface can be called from another apartment; unregistering it removes that again.
#pragma once

#include <windows.h>

namespace gpio_dll::com {

// S_OK, SELFREG_E_CLASS when the class entries cannot be written, SELFREG_E_TYPELIB when the type
// library cannot be loaded or registered.
HRESULT register_server();

// Removes every entry that register_server writes; entries already gone are no error.
HRESULT unregister_server();

}  // namespace gpio_dll::com
