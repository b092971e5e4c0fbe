#include "diagnostics/form1.hpp"

#include <algorithm>

#include "base/module_state.hpp"
#include "base/result_messages.hpp"
#include "diagnostics/hex_conversions.hpp"
#include "transactions/identification.hpp"
#include "transport/call_trace.hpp"
#include "transport/device_discovery.hpp"
#include "transport/report_exchange.hpp"

namespace gpio_dll::diagnostics {

namespace {
constexpr int kEntries = 256;
const int kStartupEntries[Form1::kPickers] = {0x28, 0x0B, 0x01, 0x02, 0x03};
constexpr std::size_t kRequestBytes = 64;
}  // namespace

Form1::Form1(ModuleState& owner) : WindowModel(owner, Kind::DebugWindow) {
  windowing().window_created(*this);
}

Form1::~Form1() {
  if (timer_ != 0) windowing().stop_timer(timer_);
  windowing().window_unloaded(*this);
}

void Form1::startup() {
  ModuleState& state = owner();
  Text1 = std::string(kRequestDigits, '0');
  for (int k = 0; k < kPickers; ++k)
    select(k, kStartupEntries[k]);
  Check1.fill(false);
  for (auto& field : Text3)
    field.clear();
  state.access_gate.gate_passed = false;
  set_timer(false);
  Timer1_Interval = kTimerIntervalMs;
  Text16.clear();
  changed(true);

  std::string vendor;
  std::string product;
  state.firmware_version.clear();
  const std::int32_t result = identify_module(state, state.firmware_version, vendor, product);
  Text3[1] = vendor;
  Text3[2] = product;
  Text3[3] = state.firmware_version;
  Text16 = result_message(result, state.MaxBytesRd, state.MaxBytesWr);
  changed();
  started_ = true;
}

void Form1::process_pending_messages() {
  changed(true);
  windowing().process_pending_messages();
}

void Form1::repaint() {
  if (repaint_observer_) repaint_observer_(*this);
  changed(true);
}

void Form1::add_trace_line(std::string line) {
  if (started_ && trace_listened()) deliver_trace(owner(), line);
  if (!visible()) return;
  if (trace_observer_) trace_observer_(line);
  ListBox1.add(std::move(line));
  changed();
}

std::vector<std::uint8_t> Form1::request_bytes() const {
  std::string digits = Text1.substr(0, std::min(Text1.size(), kRequestDigits));
  digits.resize(kRequestDigits, '0');
  std::vector<std::uint8_t> bytes(kRequestBytes, 0);
  text_to_bytes(digits, bytes);  // a pair that is not hex leaves it and the rest 0
  return bytes;
}

void Form1::rebuild_request() {
  for (int k = 0; k < kPickers; ++k) {
    std::vector<std::uint8_t> bytes = request_bytes();
    if (Combo1[static_cast<std::size_t>(k)] != kNoSelection)
      bytes[static_cast<std::size_t>(k)] =
          static_cast<std::uint8_t>(Combo1[static_cast<std::size_t>(k)]);
    bytes_to_text(bytes, Text1);
  }
  changed();
}

void Form1::select(int k, int entry) {
  if (k < 0 || k >= kPickers || entry < kNoSelection || entry >= kEntries) return;
  Combo1[static_cast<std::size_t>(k)] = entry;
  rebuild_request();
}

void Form1::Combo1_Click(int k, int entry) {
  select(k, entry);
}

void Form1::Text1_Change(const std::string& text) {
  Text1 = text;
  rebuild_request();
}

void Form1::Check1_Click(int k, bool checked) {
  if (k < 0 || k >= kPickers) return;
  Check1[static_cast<std::size_t>(k)] = checked;
  changed();
}

void Form1::Command19_Click() {
  Text1 = std::string(kRequestDigits, '0');
  changed();
}

void Form1::cmdOnce_Click() {
  test_report();
}

void Form1::cmdContinuous_Click() {
  if (cmdContinuous == "Continuous") {
    cmdContinuous = "STOP";
    set_timer(true);
    test_report();
  } else {
    cmdContinuous = "Continuous";
    set_timer(false);
  }
  changed();
}

void Form1::Timer1_Timer() {
  if (Timer1_Enabled) test_report();
}

void Form1::set_timer(bool enabled) {
  Timer1_Enabled = enabled;
  if (timer_ != 0) {
    windowing().stop_timer(timer_);
    timer_ = 0;
  }
  if (!enabled) return;
  // A tick is a window event: it reaches this window, if it still exists, under the owner's lock.
  std::weak_ptr<ModuleState> owner_weak = owner_shared();
  timer_ = windowing().start_timer(Timer1_Interval, [owner_weak] {
    auto state = owner_weak.lock();
    if (!state) return;
    windowing().deliver_event(state, [state] {
      if (Form1* window = existing_debug_window(*state)) window->Timer1_Timer();
    });
  });
}

void Form1::test_report() {
  ModuleState& state = owner();
  Text16.clear();
  changed(true);
  transport::trace_line(state, "");
  transport::trace_line(state, "***** HID Test Report *****");
  transport::trace_line(state, windowing().general_date());
  if (transport::module_presence_check(state)) {
    for (int k = 0; k < kPickers; ++k) {
      if (!Check1[static_cast<std::size_t>(k)]) continue;
      const int current = Combo1[static_cast<std::size_t>(k)];
      select(k, current == kNoSelection || current == kEntries - 1 ? 0 : current + 1);
    }
    const std::vector<std::uint8_t> bytes = request_bytes();
    // A module with shorter reports gets what fits.
    std::vector<std::uint8_t> request(state.OutputReportByteLength, 0);
    std::copy_n(bytes.begin(), std::min(bytes.size(), request.size()), request.begin());
    transport::exchange(state, request);
    Text16 = "End.";
  } else {
    Text3[0] = "No Device";
    Text16 = "No Device";
  }
  transport::scroll_to_end(state);
  changed();
}

}  // namespace gpio_dll::diagnostics
