// Texts between the library (UTF-8) and automation (BSTR, UTF-16).
#pragma once

#include <ole2.h>
#include <windows.h>

#include <string>
#include <string_view>

namespace gpio_dll::com {

// A null BSTR is the empty text.
std::string to_utf8(BSTR text);
std::string to_utf8(std::wstring_view text);
std::wstring to_wide(std::string_view text);

// A new BSTR; throws std::bad_alloc when none can be allocated.
BSTR to_bstr(std::string_view text);

}  // namespace gpio_dll::com
