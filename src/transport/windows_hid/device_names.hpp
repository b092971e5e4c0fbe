// Names the Windows backend derives from device paths and device texts.
#pragma once

#include <string>
#include <string_view>

namespace gpio_dll::transport {

// The name of the mutex that guards one device's transactions, shared by every process of the
// machine. Device paths differ in case only as spellings of one device; a backslash may not
// appear in a mutex name after its namespace.
std::string device_mutex_name(std::string_view device_path);

// The name of the shared memory that records the device's last user, beside its mutex: in the
// machine's namespace (`global`) or, where the process may not create objects there, in its
// session's.
std::string last_user_record_name(std::string_view device_path, bool global);

// UTF-8 from a device's UTF-16 text of at most `units` code units, ending at its first NUL.
// Invalid sequences become U+FFFD.
std::string utf8_of_utf16(const wchar_t* text, std::size_t units);

}  // namespace gpio_dll::transport
