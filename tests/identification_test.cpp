#include <gtest/gtest.h>

#include "base/module_state.hpp"
#include "diagnostics/form1.hpp"
#include "gpio_dll/gpio_dll.hpp"
#include "support/test_support.hpp"

namespace gpio_dll {
namespace {

using testing::bytes;
using testing::head;
using testing::on_fresh_thread;

class Identification : public testing::SimulatedModuleTest {
 protected:
  std::int32_t identify() {
    fw = vid = pid = "stale";
    return cls_GPIO_DLL().GPIO_FW_VER_Read(fw, vid, pid);
  }
  // The requests' first two bytes, in order.
  std::vector<std::vector<std::uint8_t>> commands() const {
    std::vector<std::vector<std::uint8_t>> out;
    for (const auto& r : requests())
      out.push_back(head(r, 2));
    return out;
  }
  std::string fw, vid, pid;
};

struct VersionCase {
  std::vector<std::uint8_t> answer;
  const char* text;
};

TEST_F(Identification, FormsTheVersionTextFromThreeDecimalNumbers) {
  const std::vector<VersionCase> cases = {{bytes({0, 1, 0, 10}), "1.0.10"},
                                          {bytes({0, 2, 0, 0x13}), "2.0.19"},
                                          {bytes({0, 1, 2, 3}), "1.2.3"},
                                          {bytes({0, 0x0A, 0, 0x64}), "10.0.100"},
                                          {bytes({0xFF, 255, 255, 255}), "255.255.255"}};
  for (const auto& c : cases) {
    on_fresh_thread([&] {
      diagnostics::debug_window(
          ModuleState::current());  // start-up's own identification out of the way
      // The preliminary answer is never examined, even all zero.
      module().play_script({bytes({0, 0}), c.answer});
      EXPECT_EQ(identify(), OK);
      EXPECT_EQ(fw, c.text);
      EXPECT_EQ(vid, "0451");
      EXPECT_EQ(pid, "5F00");
      EXPECT_EQ(ModuleState::current().firmware_version, c.text);
    });
  }
}

TEST_F(Identification, AFreshThreadIdentifiesTwiceThenOnce) {
  on_fresh_thread([&] {
    EXPECT_EQ(identify(), OK);
    EXPECT_EQ(commands(),
              (std::vector{bytes({0, 0}), bytes({1, 0}), bytes({0, 0}), bytes({1, 0})}));
    // The handles of the window's inner identification were closed, not leaked.
    EXPECT_EQ(platform().open_handle_count(), 2);
    EXPECT_EQ(identify(), OK);
    EXPECT_EQ(requests().size(), 6u);
    EXPECT_EQ(platform().open_handle_count(), 2);
  });
}

TEST_F(Identification, RetriesWhileTheModuleAnswers0_0_10WithAPauseBeforeEveryQuery) {
  on_fresh_thread([&] {
    diagnostics::debug_window(ModuleState::current());
    module().set_retry_answers(2);
    platform().clear_events();
    EXPECT_EQ(identify(), OK);
    EXPECT_EQ(fw, "2.0.19");
    // The window's start-up identified once before the retries were set up.
    EXPECT_EQ(commands(), (std::vector{bytes({0, 0}), bytes({1, 0}), bytes({0, 0}), bytes({1, 0}),
                                       bytes({1, 0}), bytes({1, 0})}));
    // Every version query follows a 50 ms pause; the preliminary request does not.
    bool paused = false;
    int queries = 0;
    for (const auto& e : platform().events()) {
      if (e.kind == SimulatedEvent::Kind::Sleep) {
        EXPECT_EQ(e.duration_ms, 50u);
        paused = true;
      } else if (e.kind == SimulatedEvent::Kind::Write) {
        EXPECT_EQ(paused, e.report[1] == 0x01);
        queries += e.report[1] == 0x01;
        paused = false;
      }
    }
    EXPECT_EQ(queries, 3);
  });
}

TEST_F(Identification, GivesUpAfterEleventhQueryAnswered0_0_10) {
  on_fresh_thread([&] {
    diagnostics::debug_window(ModuleState::current());
    module().set_retry_answers(1000);
    const auto start = platform().now_ms();
    const auto sent_before = requests().size();
    EXPECT_EQ(identify(), UNSUPPORTED_GPIO_FW_VER);
    EXPECT_EQ(fw, "0.0.10");
    EXPECT_EQ(ModuleState::current().firmware_version, "0.0.10");
    const auto sent = commands();
    EXPECT_EQ(std::count(sent.begin() + static_cast<std::ptrdiff_t>(sent_before), sent.end(),
                         bytes({1, 0})),
              11);
    EXPECT_EQ(platform().now_ms() - start, 11u * 50u);
    std::uint8_t b = 0;
    EXPECT_EQ(cls_GPIO_DLL().GPIO_GetP0Line(b), UNSUPPORTED_GPIO_FW_VER);
  });
}

TEST_F(Identification, ASilentModuleTimesOutIntoFatalErrorAndLocksTheMethods) {
  on_fresh_thread([&] {
    diagnostics::debug_window(ModuleState::current());
    module().set_silent(true);
    const auto start = platform().now_ms();
    EXPECT_EQ(identify(), FATAL_ERROR);
    EXPECT_EQ(fw, "");
    EXPECT_EQ(vid, "0451");
    EXPECT_FALSE(ModuleState::current().module_present);
    EXPECT_EQ(platform().open_handle_count(), 0);
    // One 6 s time-out: the version query finds the handles closed and sends nothing.
    EXPECT_EQ(platform().now_ms() - start, 6000u + 50u);
    std::int16_t cmd = 1, target = 0x16;
    std::int32_t h = 0, l = 0;
    EXPECT_EQ(cls_GPIO_DLL().GPIO_ReadSMBusWord(cmd, h, l, target), NO_DEV_DETECTED);
    // It answers again: the next identification finds it.
    module().set_silent(false);
    EXPECT_EQ(identify(), OK);
  });
}

TEST_F(Identification, NoModuleGives131AndAnEmptyText) {
  platform().unplug(device());
  platform().add_device(std::make_shared<PassiveHidDevice>(0x046D, 0xC52B));
  on_fresh_thread([&] {
    EXPECT_EQ(identify(), NO_DEV_DETECTED);
    EXPECT_EQ(fw, "");
    EXPECT_EQ(vid, "046D");
    EXPECT_EQ(pid, "C52B");
    EXPECT_EQ(ModuleState::current().firmware_version, "");
    EXPECT_FALSE(ModuleState::current().module_present);
  });
}

TEST_F(Identification, ShowsTheOutcomeInTheDebugWindow) {
  on_fresh_thread([&] {
    EXPECT_EQ(identify(), OK);
    const auto& window = diagnostics::debug_window(ModuleState::current());
    EXPECT_EQ(window.Text3[0], "Success");
    EXPECT_EQ(window.Text3[1], "0451");
    EXPECT_EQ(window.Text3[2], "5F00");
    EXPECT_EQ(window.Text3[3], "2.0.19");
    EXPECT_EQ(window.Text16, "OK.");
    platform().unplug(device());
    EXPECT_EQ(identify(), NO_DEV_DETECTED);
    EXPECT_EQ(window.Text3[3], "");
    EXPECT_EQ(window.Text16, "USB device not detected.");
  });
}

TEST_F(Identification, TheWindowsStartUpIdentifiesAndClosesTheGate) {
  on_fresh_thread([&] {
    ModuleState& state = ModuleState::current();
    state.access_gate.gate_passed = true;
    auto& window = diagnostics::debug_window(state);
    EXPECT_FALSE(state.access_gate.gate_passed);
    EXPECT_FALSE(window.visible());
    EXPECT_EQ(state.firmware_version, "2.0.19");
    EXPECT_EQ(window.Text3[1], "0451");
    EXPECT_EQ(window.Text3[3], "2.0.19");
    EXPECT_EQ(window.Text16, "OK.");
    EXPECT_EQ(window.ListBox1.count(), 0u);  // hidden: nothing traced
  });
}

TEST_F(Identification, ReplugIsFoundAgain) {
  on_fresh_thread([&] {
    EXPECT_EQ(identify(), OK);
    platform().unplug(device());
    EXPECT_EQ(identify(), NO_DEV_DETECTED);
    platform().replug(device());
    EXPECT_EQ(identify(), OK);
    EXPECT_EQ(fw, "2.0.19");
  });
}

}  // namespace
}  // namespace gpio_dll
