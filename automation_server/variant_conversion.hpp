// Arguments and results between automation VARIANTs and the library's Variant.
//
// Accepted kinds, by value or by reference (VT_BYREF): VT_EMPTY, VT_I2, VT_I4, VT_UI1, VT_BSTR,
// VT_ARRAY|VT_UI1 and VT_ARRAY|VT_VARIANT (elements converted to bytes), and VT_BYREF|VT_VARIANT
// holding any of those, which is how late-binding clients such as VBScript pass a variable. Other
// numeric kinds are taken by value only, converted to a 32-bit integer.
#pragma once

#include <ole2.h>
#include <windows.h>

#include "gpio_dll/variant.hpp"

namespace gpio_dll::com {

// The value an argument holds. Throws AutomationError: kTypeMismatch for a kind that cannot be
// an argument here, kOverflow for a number out of range.
Variant read_argument(const VARIANT& argument);

// Writes `value` into a by-reference argument, in the argument's own kind (a variable held in a
// VT_BYREF|VT_VARIANT takes the value's kind). Nothing happens to a by-value argument. Throws
// AutomationError kOverflow when the value does not fit the argument's kind, and 10 when a fixed
// or locked array would have to change its length.
void write_back(VARIANT& argument, const Variant& value);

// `value` as a new VARIANT that the caller owns (VT_EMPTY for an empty Variant).
VARIANT to_variant(const Variant& value);

}  // namespace gpio_dll::com
