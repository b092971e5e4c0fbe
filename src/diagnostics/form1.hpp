// The debug window "GPIO_DLL_Debug_module" as a model: identification fields, the trace list,
// the received data, EEPROM progress and the HID test report with its five byte pickers. One per
// client thread, created hidden at its first reference; lines reach the trace list only while
// it is shown. Events (clicks, picker changes, timer ticks) run through the windowing port's
// event delivery, under the owner's operation lock.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "base/thread_windows.hpp"
#include "diagnostics/thread_windows.hpp"
#include "diagnostics/trace_list.hpp"
#include "diagnostics/trace_subscribers.hpp"
#include "diagnostics/window_model.hpp"
#include "diagnostics/windowing_port.hpp"

namespace gpio_dll::diagnostics {

struct ProgressBar {
  int min = 0;
  int max = 100;
  int value = 0;
};

class Form1 final : public WindowModel, public DebugWindowSink {
 public:
  static constexpr const char* kCaption = "GPIO_DLL_Debug_module";
  static constexpr int kPickers = 5;
  static constexpr int kNoSelection = -1;
  static constexpr std::size_t kRequestDigits = 128;
  static constexpr std::uint32_t kTimerIntervalMs = 750;

  explicit Form1(ModuleState& owner);
  ~Form1() override;

  // Runs once, right after creation: fills the pickers and the request field, empties the
  // identification fields, closes the access gate again and identifies the module.
  void startup() override;

  // What the transport and the operations write. Pending window messages: the window is drawn
  // as it stands.
  bool shown() const override { return visible(); }
  // Listeners hear the lines from the end of the start-up on, as a window shown at once would.
  bool tracing() const override { return visible() || (started_ && trace_listened()); }
  void process_pending_messages() override;
  void repaint() override;
  void add_trace_line(std::string line) override;
  void cut_trace_to_limit() override { ListBox1.cut_to_limit(); }
  void scroll_trace_to_end() override { ListBox1.scroll_to_end(); }
  std::string& received_data() override { return Text2; }
  void set_identification_field(int field, std::string text) override {
    Text3.at(static_cast<std::size_t>(field)) = std::move(text);
  }
  void set_result_line(std::string text) override { Text16 = std::move(text); }
  void set_progress_range(int min, int max) override {
    ProgressBar1.min = min;
    ProgressBar1.max = max;
  }
  void set_progress(int value) override { ProgressBar1.value = value; }
  void set_trace_observer(std::function<void(const std::string&)> observer) {
    trace_observer_ = std::move(observer);
  }
  void set_repaint_observer(std::function<void(const Form1&)> observer) {
    repaint_observer_ = std::move(observer);
  }
  // A client operation has returned: the window catches up with what it wrote.
  void operation_finished() { changed(true); }

  // Window events.
  void Combo1_Click(int k, int entry);         // the user picks an entry (0 to 255)
  void Text1_Change(const std::string& text);  // the user edits the request field
  void Command19_Click();                      // "00 =>": clear the request field
  void cmdOnce_Click();
  void cmdContinuous_Click();
  void Check1_Click(int k, bool checked);
  void Timer1_Timer();

  // Controls.
  std::array<std::string, 4> Text3{"Text3", "Text3", "Text3", "Text3"};  // status, VID, PID, FW
  std::array<int, kPickers> Combo1{kNoSelection, kNoSelection, kNoSelection, kNoSelection,
                                   kNoSelection};  // selected entry of each byte picker
  std::array<bool, kPickers> Check1{};             // increment boxes
  std::string cmdContinuous = "Continuous";        // its caption
  std::string Text1 = "Text1";                     // request field
  std::string Text2 = "Text2\r\n";                 // received-data field
  TraceList ListBox1;                              // trace list
  std::string Text16;                              // result line
  ProgressBar ProgressBar1;                        // module EEPROM progress
  bool Timer1_Enabled = false;
  std::uint32_t Timer1_Interval = 0;

  // The request field as 64 bytes: cut or padded with "0" to 128 digits first.
  std::vector<std::uint8_t> request_bytes() const;

 private:
  void select(int k, int entry);  // a selection, by the user or by the window: rebuilds
  void rebuild_request();
  void test_report();
  void set_timer(bool enabled);

  std::function<void(const std::string&)> trace_observer_;
  std::function<void(const Form1&)> repaint_observer_;
  WindowingPort::TimerId timer_ = 0;
  bool started_ = false;
};

}  // namespace gpio_dll::diagnostics
