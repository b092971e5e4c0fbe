// Programs listening to the call trace through the public subscription: which lines reach whom,
// and that they are the debug window's own.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "gpio_dll/trace.hpp"
#include "support/headless_windows.hpp"

namespace gpio_dll {
namespace {

using diagnostics::Form1;
using testing::on_fresh_thread;
using trace::Scope;
using trace::Subscription;

using Lines = std::vector<std::string>;

// Collects the lines a subscription hears; safe from any thread.
struct Heard {
  std::mutex mutex;
  Lines lines;
  trace::Callback callback() {
    return [this](std::string_view line) {
      std::lock_guard lock(mutex);
      lines.emplace_back(line);
    };
  }
  Lines take() {
    std::lock_guard lock(mutex);
    return std::exchange(lines, {});
  }
};

// The lines with the handles' values left out: every run opens the module with new handles.
Lines without_handles(Lines lines) {
  const std::string handle = "  Returned handle: ";
  for (auto& line : lines)
    if (line.rfind(handle, 0) == 0) line = handle;
  return lines;
}

class TraceSubscription : public testing::HeadlessWindowsTest {
 protected:
  static Form1& window() { return diagnostics::debug_window(ModuleState::current()); }
  static void read_version() {
    std::string fw, vid, pid;
    ASSERT_EQ(cls_GPIO_DLL().GPIO_FW_VER_Read(fw, vid, pid), OK);
  }
  static void read_word() {
    std::int16_t cmd = 0x0d, target = 0x16;
    std::int32_t high = 0, low = 0;
    cls_GPIO_DLL().GPIO_ReadSMBusWord(cmd, high, low, target);
  }
};

// The same calls give the listener exactly what the shown window's trace list holds: the platform
// calls with their results, the reports' bytes and the HID test report.
TEST_F(TraceSubscription, ListenersGetTheLinesTheShownWindowKeeps) {
  on_fresh_thread([&] {
    Form1& w = window();
    w.show();
    Heard heard;
    Subscription s(Scope::this_thread, heard.callback());
    read_version();
    read_word();
    w.cmdOnce_Click();
    const Lines lines = heard.take();
    EXPECT_EQ(lines, w.ListBox1.lines());
    EXPECT_TRUE(testing::contains_run(lines, {"", "***** HID Test Report *****"}));
    // Report dumps: 16 bytes a line after the identifier, "  " first.
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
      return l.size() == 2 + 16 * 3 - 1 && l.rfind("  ", 0) == 0;
    }));
  });
}

// A hidden window keeps nothing, yet the listener hears what the shown window would keep.
TEST_F(TraceSubscription, AHiddenWindowStillFeedsItsListeners) {
  Lines hidden;
  on_fresh_thread([&] {
    Heard heard;
    Subscription s(Scope::this_thread, heard.callback());
    Form1& w = window();
    read_version();
    hidden = heard.take();
    EXPECT_EQ(w.ListBox1.count(), 0u);
  });
  on_fresh_thread([&] {
    Form1& w = window();
    w.show();
    read_version();
    EXPECT_EQ(without_handles(hidden), without_handles(w.ListBox1.lines()));
  });
  EXPECT_GT(hidden.size(), 10u);
}

// Creating the window runs its start-up identification, which no listener hears, as no window
// can be shown before it exists.
TEST_F(TraceSubscription, TheWindowsStartUpIsNotHeard) {
  on_fresh_thread([&] {
    Heard heard;
    Subscription s(Scope::this_thread, heard.callback());
    Form1& w = window();
    EXPECT_EQ(ModuleState::current().firmware_version, "2.0.19");  // it did identify
    EXPECT_TRUE(heard.take().empty());
    w.show();
    read_version();
    EXPECT_EQ(heard.take(), w.ListBox1.lines());
  });
}

TEST_F(TraceSubscription, AThreadSubscriptionHearsOnlyItsThread) {
  on_fresh_thread([&] {
    Heard own, every;
    Subscription mine(Scope::this_thread, own.callback());
    Subscription all(Scope::every_thread, every.callback());
    on_fresh_thread([&] { read_version(); });
    EXPECT_TRUE(own.take().empty());
    const Lines other = every.take();
    EXPECT_FALSE(other.empty());
    read_version();
    const Lines mine_heard = own.take();
    EXPECT_FALSE(mine_heard.empty());
    EXPECT_EQ(mine_heard, every.take());
  });
}

TEST_F(TraceSubscription, NothingArrivesAfterTheSubscriptionEnds) {
  on_fresh_thread([&] {
    Heard reset_one, destroyed_one, moved_one;
    Subscription reset(Scope::this_thread, reset_one.callback());
    Subscription moved_from(Scope::every_thread, moved_one.callback());
    {
      Subscription destroyed(Scope::every_thread, destroyed_one.callback());
      read_version();
    }
    reset.reset();
    EXPECT_FALSE(reset.active());
    Subscription moved_to = std::move(moved_from);
    EXPECT_FALSE(moved_from.active());
    destroyed_one.take();
    reset_one.take();
    moved_one.take();
    read_version();
    EXPECT_TRUE(destroyed_one.take().empty());
    EXPECT_TRUE(reset_one.take().empty());
    EXPECT_FALSE(moved_one.take().empty());  // still heard through the object it moved to
    moved_to = Subscription();
    read_version();
    EXPECT_TRUE(moved_one.take().empty());
  });
}

TEST_F(TraceSubscription, ACallbackMayEndItsOwnSubscription) {
  on_fresh_thread([&] {
    Lines heard;
    Subscription s;
    s = Subscription(Scope::this_thread, [&](std::string_view line) {
      heard.emplace_back(line);
      s.reset();  // returns at once: only calls further up this stack are in flight
    });
    read_version();
    EXPECT_EQ(heard.size(), 1u);
    EXPECT_FALSE(s.active());
  });
}

TEST_F(TraceSubscription, ACallbackThatThrowsDoesNotBreakTheCall) {
  on_fresh_thread([&] {
    int calls = 0;
    Subscription s(Scope::this_thread, [&](std::string_view) {
      ++calls;
      throw std::runtime_error("listener failed");
    });
    std::string fw, vid, pid;
    EXPECT_EQ(cls_GPIO_DLL().GPIO_FW_VER_Read(fw, vid, pid), OK);
    EXPECT_EQ(fw, "2.0.19");
    EXPECT_GT(calls, 10);
  });
}

}  // namespace
}  // namespace gpio_dll
