// One output report written to the module and one input report read back, with a time-out;
// closing the module's handles.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "base/platform_port.hpp"

namespace gpio_dll {
class ModuleState;
}

namespace gpio_dll::transport {

inline constexpr std::uint32_t kReadTimeoutMs = 6000;

// Discards the input reports already waiting on the read handle: they belong to another user's
// request, or to one whose read timed out.
void discard_stale_input(ModuleState& state);

// Writes `request` as one output report: report identifier 0, then request bytes 0 to
// OutputReportByteLength - 2 (missing bytes go out as 0). A failed write is only traced.
void write_output_report(ModuleState& state, std::span<const std::uint8_t> request);

// Reads one input report into `answer`: the bytes received after the identifier (at most
// InputReportByteLength - 1; a device may send fewer, and nothing stands in for the missing
// ones), or the 2-byte zero failure answer after a time-out or a failed wait (the module is then
// marked absent; a time-out also closes its handles).
void read_input_report(ModuleState& state, std::vector<std::uint8_t>& answer);

// Whether both of the module's handles are open.
bool module_is_open(const ModuleState& state);

// Write then read, holding the module's lock from before the write until the answer is read.
// With the module's handles closed (after a time-out within a sequence of exchanges, or after a
// shutdown) nothing is sent: the module is marked absent and the answer is the failure answer.
// When the lock cannot be had nothing is sent either, and the answer is the failure answer.
std::vector<std::uint8_t> exchange(ModuleState& state, std::span<const std::uint8_t> request);

// Closes both handles, traced. A handle that is already closed is not closed again.
void close_module(ModuleState& state);

// Closes `slot` if it holds an open handle, traced with `label`, and marks it closed.
void release_handle(ModuleState& state, Handle& slot, std::string_view label);
void release_module_handles(ModuleState& state);

}  // namespace gpio_dll::transport
