// The debug window model and its HID test report, headless.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>

#include "diagnostics/wall_clock.hpp"
#include "diagnostics/window_layout.hpp"
#include "support/headless_windows.hpp"

namespace gpio_dll {
namespace {

using diagnostics::Form1;
using testing::bytes;
using testing::on_fresh_thread;
using testing::Requests;

class DebugWindow : public testing::HeadlessWindowsTest {
 protected:
  Form1& window() { return diagnostics::debug_window(ModuleState::current()); }
};

TEST(WindowLayout, ControlsSitWhereTheDesignPutsThem) {
  const auto& form = diagnostics::form1_layout();
  EXPECT_EQ(form.caption, "GPIO_DLL_Debug_module");
  EXPECT_EQ(form.width, 6870);
  EXPECT_EQ(form.height, 8895);
  EXPECT_EQ(form.controls.size(), 26u);
  const auto* vendor = form.find("Text3(1)");
  ASSERT_NE(vendor, nullptr);
  EXPECT_EQ((std::array{vendor->left, vendor->top, vendor->width, vendor->height}),
            (std::array{1200, 360, 975, 285}));
  EXPECT_EQ(form.find("Label1(1)")->caption, "Vendor  ID");  // two blanks
  EXPECT_EQ(form.find("Combo1(4)")->left, 6000);
  EXPECT_EQ(form.find("Check1(4)")->left, 6120);
  EXPECT_EQ(form.find("cmdOnce")->height, 372);
  const auto& gate = diagnostics::login_form_layout();
  EXPECT_EQ(gate.caption, "Check Access");
  EXPECT_EQ(gate.find("cmdOK")->caption, "Authenticate");
  EXPECT_EQ(gate.find("txtPassword")->kind, diagnostics::ControlKind::MaskedTextBox);
  EXPECT_EQ(diagnostics::px(6870), 458);
}

TEST_F(DebugWindow, StartUpFillsThePickersAndTheRequestAndIdentifies) {
  on_fresh_thread([&] {
    Form1& w = window();
    EXPECT_EQ(w.Text1, "280B010203" + std::string(118, '0'));
    EXPECT_EQ(w.Combo1, (std::array<int, 5>{0x28, 0x0B, 0x01, 0x02, 0x03}));
    EXPECT_EQ(w.Check1, (std::array<bool, 5>{}));
    EXPECT_FALSE(w.Timer1_Enabled);
    EXPECT_EQ(w.Timer1_Interval, 750u);
    EXPECT_EQ(w.cmdContinuous, "Continuous");
    EXPECT_EQ(w.Text3, (std::array<std::string, 4>{"Success", "0451", "5F00", "2.0.19"}));
    EXPECT_EQ(w.Text16, "OK.");
    EXPECT_FALSE(w.visible());
  });
}

struct RebuildCase {
  std::string typed;
  std::string field;
};

TEST_F(DebugWindow, TheRequestFieldIsRebuiltTo128UpperCaseDigits) {
  const std::string tail_zeros(118, '0');
  const std::vector<RebuildCase> cases = {
      // Lower case comes back upper case; bytes 0 to 4 follow the pickers.
      {"ffffffffffab", "280B010203AB" + std::string(116, '0')},
      // Short: padded with 0.
      {"1", "280B010203" + tail_zeros},
      // Long: cut to 128.
      {std::string(140, 'E'), "280B010203" + std::string(118, 'E')},
      // A pair that is not hex at byte 10 zeroes bytes 10 to 63.
      {std::string(20, '1') + "ZZ" + std::string(20, '1'),
       "280B010203" + std::string(10, '1') + std::string(108, '0')},
  };
  on_fresh_thread([&] {
    for (const auto& c : cases) {
      window().Text1_Change(c.typed);
      EXPECT_EQ(window().Text1, c.field) << c.typed;
    }
  });
}

TEST_F(DebugWindow, OnceSendsTheRequestAndClearSendsZeros) {
  on_fresh_thread([&] {
    Form1& w = window();
    w.show();
    mark();
    w.cmdOnce_Click();
    EXPECT_EQ(sent(4), Requests{bytes({0x28, 0x0B, 0x01, 0x02})});
    EXPECT_EQ(w.Text16, "End.");
    // The answer's digits: a Read Word of register 0x01, which the battery does not have.
    EXPECT_EQ(w.Text2.substr(0, 8), "2800FFFF");
    const auto& lines = w.ListBox1.lines();
    EXPECT_TRUE(
        testing::contains_run(lines, {"", "***** HID Test Report *****", "12/06/26 12:34:56"}));
    w.Command19_Click();
    EXPECT_EQ(w.Text1, std::string(128, '0'));
    EXPECT_EQ(w.Combo1[0], 0x28);  // pickers keep their selection until the next rebuild
    mark();
    w.cmdOnce_Click();
    EXPECT_EQ(sent(), Requests{std::vector<std::uint8_t>(64, 0)});
  });
}

TEST_F(DebugWindow, IncrementBoxesStepTheirBytesBeforeEachReport) {
  on_fresh_thread([&] {
    Form1& w = window();
    w.Check1_Click(0, true);
    w.Combo1_Click(0, 0xFF);
    w.Check1_Click(2, true);
    w.Combo1_Click(2, Form1::kNoSelection);
    mark();
    w.cmdOnce_Click();
    w.cmdOnce_Click();
    EXPECT_EQ(sent(3), (Requests{bytes({0x00, 0x0B, 0x00}), bytes({0x01, 0x0B, 0x01})}));
    EXPECT_EQ(w.Combo1[0], 1);
  });
}

TEST_F(DebugWindow, ContinuousTestingRunsEvery750MsUntilStop) {
  on_fresh_thread([&] {
    Form1& w = window();
    mark();
    w.cmdContinuous_Click();
    EXPECT_EQ(w.cmdContinuous, "STOP");
    EXPECT_EQ(sent().size(), 1u);  // one at once
    windows().advance_ms(749);
    EXPECT_EQ(sent().size(), 1u);
    windows().advance_ms(1);
    EXPECT_EQ(sent().size(), 2u);
    windows().advance_ms(1500);
    EXPECT_EQ(sent().size(), 4u);
    w.cmdContinuous_Click();
    EXPECT_EQ(w.cmdContinuous, "Continuous");
    EXPECT_FALSE(windows().timer_running());
    windows().advance_ms(5000);
    EXPECT_EQ(sent().size(), 4u);
  });
}

TEST_F(DebugWindow, WithoutAModuleTheReportSaysNoDevice) {
  on_fresh_thread([&] {
    Form1& w = window();
    platform().unplug(device());
    cls_GPIO_DLL().GPIO_ShutdownDLL();
    mark();
    w.cmdOnce_Click();
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(w.Text3[0], "No Device");
    EXPECT_EQ(w.Text16, "No Device");
  });
}

TEST_F(DebugWindow, ShortReportsGetWhatFits) {
  TearDown();
  install({.input_report_length = 9, .output_report_length = 9});
  windows_ = std::make_shared<diagnostics::HeadlessWindowing>();
  diagnostics::set_windowing(windows_);
  on_fresh_thread([&] {
    window();
    mark();
    window().cmdOnce_Click();
    EXPECT_EQ(sent(), Requests{bytes({0x28, 0x0B, 0x01, 0x02, 0x03, 0, 0, 0})});
  });
}

TEST_F(DebugWindow, TheProgressBarFollowsAnEepromTransfer) {
  on_fresh_thread([&] {
    std::vector<int> seen;
    window().set_repaint_observer([&](const Form1& w) { seen.push_back(w.ProgressBar1.value); });
    std::string fw = "2.0.19";
    ByteArray image;
    ASSERT_EQ(cls_GPIO_DLL().GPIO_FW_EEP_Read(fw, image), OK);
    ASSERT_EQ(seen.size(), 257u);  // every chunk, then back to 0
    EXPECT_EQ(seen[1], 32);
    EXPECT_EQ(seen[255], 8160);
    EXPECT_EQ(seen.back(), 0);
    EXPECT_EQ(window().ProgressBar1.max, 8191);
  });
}

// A device that holds its answer until the test lets it go.
class HeldModule : public sim::SimulatedModule {
 public:
  void on_output_report(std::span<const std::uint8_t> report, InputReportSink& sink) override {
    {
      std::unique_lock lock(mutex_);
      if (hold_) {
        inside_ = true;
        changed_.notify_all();
        changed_.wait(lock, [&] { return !hold_; });
      }
    }
    sim::SimulatedModule::on_output_report(report, sink);
    ++answered_;
  }
  int answered() const { return answered_; }
  void hold() {
    std::lock_guard lock(mutex_);
    hold_ = true;
    inside_ = false;
  }
  void wait_inside() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return inside_; });
  }
  void release() {
    std::lock_guard lock(mutex_);
    hold_ = false;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool hold_ = false;
  bool inside_ = false;
  std::atomic<int> answered_ = 0;
};

TEST_F(DebugWindow, EventsWaitUntilTheRunningOperationReturns) {
  TearDown();
  auto held = std::make_shared<HeldModule>();
  auto sim = std::make_shared<SimulatedPlatform>();
  sim->add_device(held);
  platform::use_simulated(sim);
  windows_ = std::make_shared<diagnostics::HeadlessWindowing>();
  diagnostics::set_windowing(windows_);

  std::shared_ptr<ModuleState> owner;
  std::promise<void> identified;
  int answered_before = 0;
  std::thread client([&] {
    owner = ModuleState::current_shared();
    std::string fw, vid, pid;
    cls_GPIO_DLL().GPIO_FW_VER_Read(fw, vid, pid);
    answered_before = held->answered();
    held->hold();
    identified.set_value();
    std::uint8_t lines = 0;
    cls_GPIO_DLL().GPIO_GetP0Line(lines);  // blocks inside the exchange until released
  });
  identified.get_future().wait();
  held->wait_inside();
  bool event_saw_operation_done = false;
  std::thread gui([&] {
    windows().deliver_event(owner, [&] {
      // The operation's exchange was answered before the event got in.
      event_saw_operation_done = held->answered() == answered_before + 1;
      diagnostics::debug_window(*owner).Command19_Click();
    });
  });
  std::this_thread::yield();
  held->release();
  client.join();
  gui.join();
  EXPECT_TRUE(event_saw_operation_done);
  EXPECT_EQ(diagnostics::debug_window(*owner).Text1, std::string(128, '0'));
  platform::use_system();
}

// The headless windowing's wall clock: the system's, or a virtual one that moves with the
// virtual clock.
TEST(HeadlessClock, IsTheSystemClockUnlessSetVirtual) {
  diagnostics::HeadlessWindowing windows;
  const std::string before = diagnostics::general_date_of(diagnostics::local_now());
  const std::string shown = windows.general_date();
  const std::string after = diagnostics::general_date_of(diagnostics::local_now());
  EXPECT_TRUE(shown == before || shown == after)
      << shown << " between " << before << " and " << after;
}

struct ClockStep {
  std::uint64_t advance_ms;
  const char* date;
  int hour, minute, second;
};

TEST(HeadlessClock, AVirtualWallClockMovesWithTheVirtualClock) {
  diagnostics::HeadlessWindowing windows;
  windows.advance_ms(5000);  // before the wall clock is set: does not count
  windows.set_local_time(testing::local_time(2026, 12, 31, 23, 59, 58));
  const std::vector<ClockStep> steps = {
      {0, "12/31/26 23:59:58", 23, 59, 58},
      {999, "12/31/26 23:59:58", 23, 59, 58},
      {1, "12/31/26 23:59:59", 23, 59, 59},
      {1500, "01/01/27 00:00:00", 0, 0, 0},
      {3600 * 1000 + 500, "01/01/27 01:00:01", 1, 0, 1},
  };
  for (const auto& step : steps) {
    windows.advance_ms(step.advance_ms);
    EXPECT_EQ(windows.general_date(), step.date);
    const auto time = windows.time_of_day();
    EXPECT_EQ(time.hour, step.hour) << step.date;
    EXPECT_EQ(time.minute, step.minute) << step.date;
    EXPECT_EQ(time.second, step.second) << step.date;
  }
  // A new time of day keeps the date.
  windows.set_time_of_day({10, 20, 30});
  EXPECT_EQ(windows.general_date(), "01/01/27 10:20:30");
}

}  // namespace
}  // namespace gpio_dll
