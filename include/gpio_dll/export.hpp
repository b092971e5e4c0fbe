// Symbol visibility of the shared library.
#pragma once

#if defined(GPIO_DLL_BUILDING_SHARED)
#define GPIO_DLL_API __attribute__((visibility("default")))
#else
#define GPIO_DLL_API
#endif
