#include "transport/report_exchange.hpp"

#include <algorithm>
#include <cerrno>

#include "base/module_state.hpp"
#include "transport/call_trace.hpp"
#include "transport/module_lock.hpp"
#include "transport/platform_registry.hpp"

namespace gpio_dll::transport {

namespace {

void after_call(ModuleState& state, std::int32_t result) {
  state.last_error = port_of(state).last_error();
  state.last_api_result = result;
}

void trace_report_header(ModuleState& state, std::uint8_t report_id) {
  if (!tracing(state)) return;
  trace_line(state, " Report ID: " + std::to_string(report_id));
  trace_line(state, " Report Data:");
}

}  // namespace

void discard_stale_input(ModuleState& state) {
  const std::size_t discarded = port_of(state).flush_input(state.ReadHandle);
  if (discarded != 0 && tracing(state))
    trace_line(state, "Stale input reports discarded: " + std::to_string(discarded));
}

void write_output_report(ModuleState& state, std::span<const std::uint8_t> request) {
  const std::size_t length = state.OutputReportByteLength;
  std::vector<std::uint8_t> report(length, 0);
  for (std::size_t k = 1; k < length && k - 1 < request.size(); ++k)
    report[k] = request[k - 1];

  std::uint32_t written = 0;
  const bool ok = port_of(state).write(state.HIDHandle, report, written);
  after_call(state, ok ? 1 : 0);
  api_trace(state, "WriteFile");
  if (tracing(state)) {
    trace_line(state, " OutputReportByteLength = " + std::to_string(length));
    trace_line(state, " NumberOfBytesWritten = " + std::to_string(written));
  }
  trace_report_header(state, report.empty() ? 0 : report[0]);
  report_dump(state, report, false);
}

void read_input_report(ModuleState& state, std::vector<std::uint8_t>& answer) {
  answer.assign(2, 0);
  const std::size_t length = state.InputReportByteLength;
  auto request = std::make_shared<ReadRequest>();
  request->area.assign(length, 0);
  state.read_overlapped = request;
  scroll_to_end(state);

  auto& port = port_of(state);
  const bool started = port.read(state.ReadHandle, request, state.read_event);
  after_call(state, started ? 1 : 0);
  api_trace(state, "ReadFile");
  trace_line(state, "waiting for ReadFile");
  scroll_to_end(state);

  const std::uint32_t outcome = port.wait(state.read_event, kReadTimeoutMs);
  after_call(state, static_cast<std::int32_t>(outcome));
  api_trace(state, "WaitForSingleObject");

  if (outcome == kWaitSignalled) {
    trace_line(state, "ReadFile completed successfully.");
  } else if (outcome == kWaitTimeout) {
    trace_line(state, "ReadFile timeout");
    const bool cancelled = port.cancel(state.ReadHandle);
    after_call(state, cancelled ? 1 : 0);
    trace_line(state, "************ReadFile timeout*************");
    trace_line(state, "CancelIO");
    api_trace(state, "CancelIo");
    release_handle(state, state.HIDHandle, "CloseHandle (HIDHandle)");
    release_handle(state, state.ReadHandle, "CloseHandle (ReadHandle)");
    state.module_present = false;
  } else {
    trace_line(state, "ReadFile undefined error");
    state.module_present = false;
  }

  // A read that did not complete may still belong to the platform: its area is not touched,
  // and the dump shows the empty report it would have produced.
  const bool completed = outcome == kWaitSignalled;
  const std::vector<std::uint8_t> empty(completed ? 0 : length, 0);
  const std::vector<std::uint8_t>& area = completed ? request->area : empty;
  trace_report_header(state, area.empty() ? 0 : area[0]);
  state.debug_window().received_data().clear();
  report_dump(state, area, true);
  if (completed) {
    // hidraw hands over a short report as it came, not padded to the report's length: the
    // answer is what arrived, so that a transaction finds missing bytes missing.
    const std::size_t received = std::min<std::size_t>(request->bytes_read, area.size());
    answer.assign(area.begin() + std::min<std::size_t>(1, received),
                  area.begin() + static_cast<std::ptrdiff_t>(received));
  }

  const bool reset = port.reset_event(state.read_event);
  after_call(state, reset ? 1 : 0);
  api_trace(state, "ResetEvent");
  scroll_to_end(state);
}

bool module_is_open(const ModuleState& state) {
  return state.HIDHandle != kInvalidHandle && state.ReadHandle != kInvalidHandle;
}

std::vector<std::uint8_t> exchange(ModuleState& state, std::span<const std::uint8_t> request) {
  std::vector<std::uint8_t> answer(2, 0);
  if (!module_is_open(state)) {
    state.module_present = false;
    return answer;
  }
  // Another user may hold the module; waiting for it is bounded. Nothing is sent without the
  // lock, and the module is not marked absent for it.
  if (!hold_module(state)) return answer;
  discard_stale_input(state);
  write_output_report(state, request);
  read_input_report(state, answer);
  release_module_outside_transaction(state);
  return answer;
}

void release_handle(ModuleState& state, Handle& slot, std::string_view label) {
  if (slot == kInvalidHandle) return;
  // Closing the handle gives the module lock back with it.
  if (slot == state.locked_handle) state.locked_handle = kInvalidHandle;
  const bool closed = port_of(state).close(slot);
  after_call(state, closed ? 1 : 0);
  slot = kInvalidHandle;
  api_trace(state, label);
}

void release_module_handles(ModuleState& state) {
  release_handle(state, state.HIDHandle, "CloseHandle (HIDHandle)");
  release_handle(state, state.ReadHandle, "CloseHandle (ReadHandle)");
}

void close_module(ModuleState& state) {
  auto close_one = [&](Handle& slot, std::string_view label) {
    if (slot != kInvalidHandle) return release_handle(state, slot, label);
    // Already closed: closing it again could hit a handle that reused the number.
    state.last_error = EBADF;
    state.last_api_result = 0;
    api_trace(state, label);
  };
  close_one(state.HIDHandle, "CloseHandle (HIDHandle)");
  close_one(state.ReadHandle, "CloseHandle (ReadHandle)");
}

}  // namespace gpio_dll::transport
