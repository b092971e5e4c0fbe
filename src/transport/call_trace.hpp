// The call trace: what the transport does, line by line, in the thread's debug window. Lines are
// written only while the window is shown or a program listens to the trace; any tracing operation
// creates the window (hidden) first.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace gpio_dll {
class ModuleState;
}

namespace gpio_dll::transport {

// True while the thread's debug window is shown or its trace is listened to, so that callers build
// a composed line only when it will be kept. Creates the window at its first reference.
bool tracing(ModuleState& state);

void trace_line(ModuleState& state, std::string_view line);

// After a platform call: an empty line, the label, and "  Result = " with the system's text for
// the last error value; then scrolls to the end.
void api_trace(ModuleState& state, std::string_view label);
// The same after a call of Windows' setup library, whose error numbers are Windows' on every
// platform: the text is Windows' for them.
void setup_api_trace(ModuleState& state, std::string_view label);

// The report's bytes after the identifier, 16 per line; with `to_received_field` each byte's two
// digits are also appended to the debug window's received-data field.
void report_dump(ModuleState& state, std::span<const std::uint8_t> report, bool to_received_field);

void scroll_to_end(ModuleState& state);

}  // namespace gpio_dll::transport
