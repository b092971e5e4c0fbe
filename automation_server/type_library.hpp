// The type library embedded in the server DLL as its TYPELIB resource 1.
#pragma once

#include <ole2.h>
#include <windows.h>

namespace gpio_dll::com {

// Loads it from the server DLL without registering it. The caller releases the result.
HRESULT load_type_library(ITypeLib** library);

// The type information of the class's dispatch interface. The caller releases the result.
HRESULT load_interface_type_info(ITypeInfo** info);

}  // namespace gpio_dll::com
