#include <gtest/gtest.h>

#include "base/module_state.hpp"
#include "diagnostics/form1.hpp"
#include "gpio_dll/gpio_dll.hpp"
#include "support/test_support.hpp"
#include "transport/device_discovery.hpp"
#include "transport/report_exchange.hpp"
#include "transport/simulated/simulated_backend.hpp"

namespace gpio_dll {
namespace {

using testing::bytes;
using testing::contains_run;
using testing::on_fresh_thread;
using Kind = SimulatedEvent::Kind;

class Exchange : public testing::SimulatedModuleTest {
 protected:
  // An identified thread with its window shown and its trace and events emptied.
  ModuleState& ready() {
    ModuleState& state = ModuleState::current();
    auto& window = diagnostics::debug_window(state);
    window.show();
    window.ListBox1.clear();
    platform().clear_events();
    return state;
  }
  const std::vector<std::string>& trace() {
    return diagnostics::debug_window(ModuleState::current()).ListBox1.lines();
  }
  std::size_t count(Kind kind) {
    const auto events = platform().events();
    return static_cast<std::size_t>(
        std::count_if(events.begin(), events.end(), [&](const auto& e) { return e.kind == kind; }));
  }
};

TEST_F(Exchange, SendsRequestBytesBehindReportIdZeroAndNeverTheLastElement) {
  on_fresh_thread([&] {
    ModuleState& state = ready();
    std::vector<std::uint8_t> request(65, 0);
    for (std::size_t i = 0; i < 64; ++i)
      request[i] = static_cast<std::uint8_t>(i + 1);
    request[64] = 0xAA;
    transport::exchange(state, request);
    const auto written = platform().written_reports(device());
    ASSERT_EQ(written.size(), 1u);
    ASSERT_EQ(written[0].size(), 65u);
    EXPECT_EQ(written[0][0], 0);
    for (std::size_t k = 1; k < 65; ++k)
      EXPECT_EQ(written[0][k], request[k - 1]);
    EXPECT_TRUE(contains_run(trace(), {"", "WriteFile", "  Result = " + system_error_text(0),
                                       " OutputReportByteLength = 65", " NumberOfBytesWritten = 65",
                                       " Report ID: 0", " Report Data:"}));
  });
}

TEST_F(Exchange, HandsBackTheAnswerWithoutTheReportIdAndFillsTheReceivedField) {
  on_fresh_thread([&] {
    ModuleState& state = ready();
    module().play_script({bytes({0x7F, 0x00, 0x05})});
    const auto answer = transport::exchange(state, std::vector<std::uint8_t>(65, 0));
    ASSERT_EQ(answer.size(), 64u);
    EXPECT_EQ(testing::head(answer, 4), bytes({0x7F, 0x00, 0x05, 0x00}));
    const auto& text2 = diagnostics::debug_window(state).Text2;
    EXPECT_EQ(text2, "7F0005" + std::string(122, '0'));
    EXPECT_TRUE(contains_run(
        trace(), {"", "WaitForSingleObject", "  Result = " + system_error_text(0),
                  "ReadFile completed successfully.", " Report ID: 0",
                  " Report Data:", "  7F 00 05 00 00 00 00 00 00 00 00 00 00 00 00 00"}));
    EXPECT_TRUE(contains_run(trace(), {"", "ResetEvent", "  Result = " + system_error_text(0)}));
    EXPECT_EQ(diagnostics::debug_window(state).ListBox1.selected(),
              static_cast<int>(diagnostics::debug_window(state).ListBox1.count()) - 1);
  });
}

TEST_F(Exchange, ASilentModuleTimesOutAfter6SecondsAndClosesTheModule) {
  on_fresh_thread([&] {
    ModuleState& state = ready();
    module().set_silent(true);
    const auto start = platform().now_ms();
    const auto answer = transport::exchange(state, std::vector<std::uint8_t>(65, 0));
    EXPECT_EQ(answer, bytes({0, 0}));
    EXPECT_EQ(platform().now_ms() - start, 6000u);
    EXPECT_FALSE(state.module_present);
    EXPECT_EQ(platform().open_handle_count(), 0);
    EXPECT_EQ(count(Kind::Cancel), 1u);
    EXPECT_TRUE(
        contains_run(trace(), {"ReadFile timeout", "************ReadFile timeout*************",
                               "CancelIO", "", "CancelIo", "  Result = " + system_error_text(0), "",
                               "CloseHandle (HIDHandle)", "  Result = " + system_error_text(0), "",
                               "CloseHandle (ReadHandle)", "  Result = " + system_error_text(0)}));
    EXPECT_EQ(diagnostics::debug_window(state).Text2, std::string(128, '0'));

    // An exchange on the closed handles sends nothing and answers at once.
    module().set_silent(false);
    platform().clear_events();
    EXPECT_EQ(transport::exchange(state, std::vector<std::uint8_t>(65, 0)), bytes({0, 0}));
    EXPECT_TRUE(platform().events().empty());

    // The next operation's presence check rediscovers before it writes.
    ASSERT_TRUE(transport::module_presence_check(state));
    EXPECT_EQ(transport::exchange(state, std::vector<std::uint8_t>(65, 0)).size(), 64u);
    const auto events = platform().events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front().kind, Kind::Open);
  });
}

// A module with an answer delay answers that much virtual time after the write: a wait shorter
// than the delay times out, the 6 s read completes at write + delay.
TEST_F(Exchange, ADelayedAnswerArrivesThatMuchVirtualTimeAfterTheWrite) {
  on_fresh_thread([&] {
    ModuleState& state = ready();
    module().set_answer_delay_ms(250);
    const auto written = platform().now_ms();
    transport::write_output_report(state, std::vector<std::uint8_t>(65, 0));
    auto& port = *platform().backend();
    auto early = std::make_shared<transport::ReadRequest>();
    early->area.assign(65, 0);
    EXPECT_FALSE(port.read(state.ReadHandle, early, state.read_event));
    EXPECT_EQ(port.wait(state.read_event, 249), transport::kWaitTimeout);
    EXPECT_FALSE(early->completed);
    std::vector<std::uint8_t> answer;
    transport::read_input_report(state, answer);
    EXPECT_EQ(answer.size(), 64u);
    EXPECT_EQ(platform().now_ms(), written + 250);
  });
}

TEST_F(Exchange, AFailedWaitMarksTheModuleAbsentWithoutWaiting) {
  on_fresh_thread([&] {
    ModuleState& state = ready();
    platform().set_wait_fails(device(), true);
    const auto start = platform().now_ms();
    EXPECT_EQ(transport::exchange(state, std::vector<std::uint8_t>(65, 0)), bytes({0, 0}));
    EXPECT_EQ(platform().now_ms(), start);
    EXPECT_FALSE(state.module_present);
    EXPECT_NE(std::find(trace().begin(), trace().end(), "ReadFile undefined error"), trace().end());
    // The handles stay open until the next discovery replaces them.
    EXPECT_EQ(platform().open_handle_count(), 2);
    platform().set_wait_fails(device(), false);
    ASSERT_TRUE(transport::module_presence_check(state));
    EXPECT_EQ(platform().open_handle_count(), 2);
  });
}

TEST_F(Exchange, UnpluggingDuringAReadFailsTheWaitInsteadOfHanging) {
  on_fresh_thread([&] {
    ModuleState& state = ready();
    platform().set_reads_never_complete(device(), true);
    transport::write_output_report(state, std::vector<std::uint8_t>(65, 0));
    platform().unplug(device());
    std::vector<std::uint8_t> answer = bytes({9, 9, 9});
    const auto start = platform().now_ms();
    transport::read_input_report(state, answer);
    EXPECT_EQ(answer, bytes({0, 0}));
    EXPECT_EQ(platform().now_ms(), start);
    EXPECT_FALSE(state.module_present);
    EXPECT_FALSE(transport::module_presence_check(state));
  });
}

TEST_F(Exchange, AReadThatNeverCompletesIsCancelledAndItsAreaOutlivesTheCall) {
  on_fresh_thread([&] {
    ModuleState& state = ready();
    platform().set_reads_never_complete(device(), true);
    const auto answer = transport::exchange(state, std::vector<std::uint8_t>(65, 0));
    EXPECT_EQ(answer, bytes({0, 0}));
    EXPECT_EQ(count(Kind::Cancel), 1u);
    ASSERT_TRUE(state.read_overlapped);
    EXPECT_FALSE(state.read_overlapped->completed);
    EXPECT_EQ(state.read_overlapped->area.size(), 65u);
  });
}

TEST_F(Exchange, CloseTracesBothHandlesAndNeverClosesOneTwice) {
  on_fresh_thread([&] {
    ModuleState& state = ready();
    transport::close_module(state);
    EXPECT_EQ(platform().open_handle_count(), 0);
    EXPECT_EQ(count(Kind::Close), 2u);
    EXPECT_TRUE(contains_run(
        trace(), {"", "CloseHandle (HIDHandle)", "  Result = " + system_error_text(0), "",
                  "CloseHandle (ReadHandle)", "  Result = " + system_error_text(0)}));
    transport::close_module(state);
    EXPECT_EQ(count(Kind::Close), 2u);
    EXPECT_TRUE(contains_run(
        trace(), {"", "CloseHandle (HIDHandle)", "  Result = " + system_error_text(EBADF)}));
  });
}

TEST_F(Exchange, AReportWhoseLengthIsNotRowsOf16IsDumpedUpToItsLastByte) {
  TearDown();
  install({.input_report_length = 21, .output_report_length = 21});
  on_fresh_thread([&] {
    ModuleState& state = ready();
    module().play_script(
        {bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20})});
    const auto answer = transport::exchange(state, std::vector<std::uint8_t>(20, 0));
    EXPECT_EQ(answer.size(), 20u);
    EXPECT_TRUE(contains_run(
        trace(), {"  01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10", "  11 12 13 14"}));
    EXPECT_EQ(diagnostics::debug_window(state).Text2, "0102030405060708090A0B0C0D0E0F1011121314");
  });
}

}  // namespace
}  // namespace gpio_dll
