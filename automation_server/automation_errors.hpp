// How a failed call reaches an automation client: the argument errors that automation has its
// own status for keep it, every other error number travels as an exception record whose code is
// the number in the control facility (0x800A0000 + number), which is how VBScript's Err.Number
// and VBA's Err.Number come to show it.
#pragma once

#include <ole2.h>
#include <windows.h>

#include <cstdint>
#include <string>

namespace gpio_dll::com {

// Raised when a fixed-size or locked array would have to change its length.
inline constexpr std::int32_t kArrayFixedOrLocked = 10;
// Raised by a method for an array index outside its bounds.
inline constexpr std::int32_t kSubscriptOutOfRange = 9;

// The description a client shows for an automation error number ("Overflow", ...).
std::wstring automation_error_description(std::int32_t number);

// The status Invoke returns for error `number`, filling `info` (when the caller gave one) for
// DISP_E_EXCEPTION. Without `info`, the error code itself is returned.
HRESULT report_error(std::int32_t number, EXCEPINFO* info);

// For an error that is no automation error (the server ran out of memory, or the library failed
// in a way it does not describe as one): E_OUTOFMEMORY, or DISP_E_EXCEPTION with E_FAIL and the
// library's own text.
HRESULT report_failure(HRESULT code, const std::string& text, EXCEPINFO* info);

}  // namespace gpio_dll::com
