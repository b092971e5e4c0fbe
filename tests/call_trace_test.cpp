#include <gtest/gtest.h>

#include "base/module_state.hpp"
#include "diagnostics/form1.hpp"
#include "gpio_dll/gpio_dll.hpp"
#include "support/test_support.hpp"
#include "transport/call_trace.hpp"

namespace gpio_dll {
namespace {

using testing::on_fresh_thread;

class CallTrace : public testing::SimulatedModuleTest {};

TEST_F(CallTrace, TheFirstTraceCreatesTheWindowHiddenAndAddsNothing) {
  on_fresh_thread([&] {
    ModuleState& state = ModuleState::current();
    EXPECT_FALSE(state.has_debug_window());
    transport::trace_line(state, "first");
    ASSERT_TRUE(state.has_debug_window());
    // Creating it ran the start-up's identification.
    EXPECT_EQ(state.firmware_version, "2.0.19");
    EXPECT_EQ(diagnostics::debug_window(state).ListBox1.count(), 0u);
  });
}

TEST_F(CallTrace, LinesAreAddedOnlyWhileTheWindowIsShown) {
  on_fresh_thread([&] {
    ModuleState& state = ModuleState::current();
    auto& window = diagnostics::debug_window(state);
    window.show();
    transport::trace_line(state, "one");
    window.hide();
    transport::trace_line(state, "hidden");
    transport::api_trace(state, "CreateFile");
    std::string fw, vid, pid;
    ASSERT_EQ(cls_GPIO_DLL().GPIO_FW_VER_Read(fw, vid, pid), OK);  // works the same hidden
    window.show();
    transport::trace_line(state, "two");
    EXPECT_EQ(window.ListBox1.lines(), (std::vector<std::string>{"one", "two"}));
  });
}

TEST_F(CallTrace, AnApiTraceShowsTheSystemsTextForTheLastError) {
  on_fresh_thread([&] {
    ModuleState& state = ModuleState::current();
    auto& window = diagnostics::debug_window(state);
    window.show();
    state.last_error = 2;
    transport::api_trace(state, "CreateFile");
    state.last_error = 99999;
    transport::api_trace(state, "ReadFile");
    EXPECT_EQ(window.ListBox1.lines(),
              (std::vector<std::string>{"", "CreateFile", "  Result = " + system_error_text(2), "",
                                        "ReadFile", "  Result = "}));
    EXPECT_EQ(window.ListBox1.selected(), 5);
  });
}

// The setup library's errors keep Windows' numbers everywhere; where the system numbers its own
// errors otherwise, their texts are Windows' words.
TEST_F(CallTrace, ASetupCallShowsWindowsTextForItsErrors) {
#if defined(_WIN32)
  const std::string too_small = system_error_text(122), no_more = system_error_text(259);
#else
  const std::string too_small = "The data area passed to a system call is too small.";
  const std::string no_more = "No more data is available.";
#endif
  struct Case {
    std::int32_t error;
    std::string text;
  };
  for (const Case& c : {Case{122, too_small}, Case{259, no_more}, Case{0, system_error_text(0)},
                        Case{2, system_error_text(2)}}) {
    on_fresh_thread([&] {
      ModuleState& state = ModuleState::current();
      auto& window = diagnostics::debug_window(state);
      window.show();
      state.last_error = c.error;
      transport::setup_api_trace(state, "SetupDiEnumDeviceInterfaces");
      EXPECT_EQ(
          window.ListBox1.lines(),
          (std::vector<std::string>{"", "SetupDiEnumDeviceInterfaces", "  Result = " + c.text}))
          << c.error;
      EXPECT_FALSE(c.text.empty()) << c.error;
    });
  }
}

TEST_F(CallTrace, TheListIsCutBy100OddPositionsAbove500Lines) {
  on_fresh_thread([&] {
    ModuleState& state = ModuleState::current();
    auto& window = diagnostics::debug_window(state);
    window.show();
    for (int i = 0; i < 500; ++i)
      transport::trace_line(state, std::to_string(i));
    EXPECT_EQ(window.ListBox1.count(), 500u);
    transport::trace_line(state, "500");
    const auto& lines = window.ListBox1.lines();
    ASSERT_EQ(lines.size(), 401u);
    EXPECT_EQ(lines[0], "0");
    // The lines that stood at positions 1, 3, ... 199 are gone.
    for (int k = 1; k <= 100; ++k)
      EXPECT_EQ(lines[static_cast<std::size_t>(k)], std::to_string(2 * k));
    EXPECT_EQ(lines[101], "201");
    EXPECT_EQ(lines.back(), "500");
  });
}

TEST_F(CallTrace, AReportIsDumpedInRowsOf16) {
  on_fresh_thread([&] {
    ModuleState& state = ModuleState::current();
    auto& window = diagnostics::debug_window(state);
    window.show();
    window.ListBox1.clear();
    std::vector<std::uint8_t> report(65, 0);
    report[1] = 0x01;
    transport::report_dump(state, report, false);
    const std::string zeros = "  00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00";
    EXPECT_EQ(window.ListBox1.lines(),
              (std::vector<std::string>{"  01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00", zeros,
                                        zeros, zeros}));
  });
}

TEST_F(CallTrace, ScrollToEndSelectsTheLastLineOrNothing) {
  on_fresh_thread([&] {
    ModuleState& state = ModuleState::current();
    auto& window = diagnostics::debug_window(state);
    window.ListBox1.clear();
    transport::scroll_to_end(state);
    EXPECT_EQ(window.ListBox1.selected(), -1);
    window.show();
    transport::trace_line(state, "a");
    transport::trace_line(state, "b");
    transport::scroll_to_end(state);
    EXPECT_EQ(window.ListBox1.selected(), 1);
  });
}

TEST_F(CallTrace, AnObserverSeesEveryLineAdded) {
  on_fresh_thread([&] {
    ModuleState& state = ModuleState::current();
    auto& window = diagnostics::debug_window(state);
    std::vector<std::string> seen;
    window.set_trace_observer([&](const std::string& line) { seen.push_back(line); });
    window.show();
    std::string fw, vid, pid;
    ASSERT_EQ(cls_GPIO_DLL().GPIO_FW_VER_Read(fw, vid, pid), OK);
    EXPECT_EQ(seen, window.ListBox1.lines());
    EXPECT_GT(seen.size(), 100u);
  });
}

}  // namespace
}  // namespace gpio_dll
