#include "transport/call_trace.hpp"

#include <algorithm>

#include "base/hex_text.hpp"
#include "base/module_state.hpp"
#include "base/system_error_text.hpp"

namespace gpio_dll::transport {

namespace {

constexpr std::size_t kDumpRowBytes = 16;

void api_trace_with(ModuleState& state, std::string_view label,
                    std::string (*error_text)(std::int32_t)) {
  auto& window = state.debug_window();
  if (state.last_error != 0) window.process_pending_messages();
  if (window.tracing()) {
    trace_line(state, "");
    trace_line(state, label);
    trace_line(state, "  Result = " + error_text(state.last_error));
  }
  scroll_to_end(state);
}

}  // namespace

bool tracing(ModuleState& state) {
  return state.debug_window().tracing();
}

void trace_line(ModuleState& state, std::string_view line) {
  auto& window = state.debug_window();
  if (window.tracing()) window.add_trace_line(std::string(line));
  window.cut_trace_to_limit();
}

void api_trace(ModuleState& state, std::string_view label) {
  api_trace_with(state, label, system_error_text);
}

void setup_api_trace(ModuleState& state, std::string_view label) {
  api_trace_with(state, label, setup_error_text);
}

void report_dump(ModuleState& state, std::span<const std::uint8_t> report, bool to_received_field) {
  auto& window = state.debug_window();
  const bool shown = window.tracing();
  // Rows cover the bytes after the identifier; a last row that would run past the report's end
  // stops at its last byte.
  for (std::size_t row = 1; row < report.size(); row += kDumpRowBytes) {
    const std::size_t end = std::min(report.size(), row + kDumpRowBytes);
    if (shown) {
      std::string line = "  ";
      for (std::size_t i = row; i < end; ++i) {
        if (i != row) line += ' ';
        append_two_digit_hex(line, report[i]);
      }
      trace_line(state, line);
    }
    if (to_received_field)
      for (std::size_t i = row; i < end; ++i)
        append_two_digit_hex(window.received_data(), report[i]);
  }
}

void scroll_to_end(ModuleState& state) {
  state.debug_window().scroll_trace_to_end();
}

}  // namespace gpio_dll::transport
