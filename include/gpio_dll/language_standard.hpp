// The C++ headers need C++20 or later. An older standard gets one error that says so, and every
// C++ header leaves its declarations out then (#ifndef GPIO_DLL_STANDARD_TOO_OLD), so that this
// error is the only one. The C header gpio_dll.h does not include this one: C and any
// C++ standard can use it.
#pragma once

#if defined(_MSVC_LANG) ? _MSVC_LANG < 202002L : __cplusplus < 202002L
#define GPIO_DLL_STANDARD_TOO_OLD 1
#error "gpio_dll's C++ headers need C++20 or later (-std=c++20, MSVC /std:c++20)"
#endif
