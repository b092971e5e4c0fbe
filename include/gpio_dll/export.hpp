// Which symbols the shared library exports. On Windows the library is built with
// GPIO_DLL_BUILDING_SHARED and its consumers see GPIO_DLL_IMPORTS (set by the gpio_dll target);
// elsewhere only the visibility of the symbols changes.
#pragma once

#if defined(_WIN32)
#if defined(GPIO_DLL_BUILDING_SHARED)
#define GPIO_DLL_API __declspec(dllexport)
#elif defined(GPIO_DLL_IMPORTS)
#define GPIO_DLL_API __declspec(dllimport)
#else
#define GPIO_DLL_API
#endif
#elif defined(GPIO_DLL_BUILDING_SHARED)
#define GPIO_DLL_API __attribute__((visibility("default")))
#else
#define GPIO_DLL_API
#endif
