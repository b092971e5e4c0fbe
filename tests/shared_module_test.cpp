// One module used by several threads: every open handle of a device receives every input report,
// so answers would cross without the stale-report discard and the per-module transaction lock.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <functional>
#include <thread>

#include "base/module_state.hpp"
#include "base/system_error_text.hpp"
#include "support/test_support.hpp"
#include "transport/module_lock.hpp"
#include "transport/platform_registry.hpp"

namespace gpio_dll {
namespace {

using testing::on_fresh_thread;
using testing::SimulatedModuleTest;

constexpr std::int16_t kBattery = 0x16;

std::int32_t identify() {
  std::string version, vid, pid;
  return cls_GPIO_DLL().GPIO_FW_VER_Read(version, vid, pid);
}

// Reads word register `reg` of the battery; the value, or -1 when the call failed.
int read_word(std::uint8_t reg) {
  std::int16_t cmd = reg, target = kBattery;
  std::int32_t high = 0, low = 0;
  if (cls_GPIO_DLL().GPIO_ReadSMBusWord(cmd, high, low, target) != OK) return -1;
  return high * 256 + low;
}

ByteArray block_of(std::uint8_t seed, std::size_t n) {
  ByteArray b(n);
  for (std::size_t i = 0; i < n; ++i)
    b[i] = static_cast<std::uint8_t>(seed + i * 7);
  return b;
}

class SharedModule : public SimulatedModuleTest {
 protected:
  // Word registers with a value of their own per user, and a long block per user (two segments
  // on "2.0.19").
  void give_each_user_registers(int users) {
    for (int u = 0; u < users; ++u) {
      module().battery().set_word(static_cast<std::uint8_t>(0x08 + u), word_of(u));
      module().battery().set_block(static_cast<std::uint8_t>(0x30 + u),
                                   block_of(static_cast<std::uint8_t>(u * 31), 90));
    }
  }
  static std::uint16_t word_of(int user) {
    return static_cast<std::uint16_t>(0x1100 * (user + 1) + user);
  }
};

// A thread that identified and then sat idle while another did hundreds of transactions reads
// its own register, not an answer left over from the other thread.
TEST_F(SharedModule, AnIdleUserReadsItsOwnAnswer) {
  for (const char* fw : {"1.0.10", "2.0.19"}) {
    SCOPED_TRACE(fw);
    TearDown();
    install({.firmware_version = fw});
    give_each_user_registers(2);
    std::atomic<int> stage{0};
    std::thread idle([&] {
      ASSERT_EQ(identify(), OK);
      stage = 1;
      while (stage != 2)
        std::this_thread::yield();
      for (int i = 0; i < 10; ++i)
        EXPECT_EQ(read_word(0x08), word_of(0)) << "read " << i;
    });
    while (stage != 1)
      std::this_thread::yield();
    on_fresh_thread([&] {
      ASSERT_EQ(identify(), OK);
      for (int i = 0; i < 300; ++i)
        ASSERT_EQ(read_word(0x09), word_of(1));
    });
    stage = 2;
    idle.join();
  }
}

// Users at the same time, each with its own registers: words, two-segment blocks and whole
// module EEPROM reads never come back with another user's data.
TEST_F(SharedModule, ConcurrentUsersNeverSeeEachOthersAnswers) {
  constexpr int kUsers = 4;
  constexpr int kRounds = 150;
  // Answers come a little after their requests (virtual time), as from a real module: a user
  // that let the module go before reading its answer would find another user's first.
  module().set_answer_delay_ms(1);
  give_each_user_registers(kUsers);
  ByteArray image(8192);
  for (std::size_t i = 0; i < image.size(); ++i)
    image[i] = static_cast<std::uint8_t>(i * 13 + 5);
  {
    std::lock_guard lock(module().mutex());
    module().hardware().eeprom = image;
  }
  std::atomic<int> wrong{0}, failed{0};
  std::vector<std::thread> users;
  for (int u = 0; u < kUsers; ++u)
    users.emplace_back([&, u] {
      if (const auto r = identify(); r != OK) {
        ADD_FAILURE() << "identify " << r;
        return void(++failed);
      }
      for (int round = 0; round < kRounds; ++round) {
        const int value = read_word(static_cast<std::uint8_t>(0x08 + u));
        if (value < 0)
          ++failed;
        else if (value != word_of(u))
          ++wrong;
        std::int16_t cmd = static_cast<std::int16_t>(0x30 + u), count = 0, target = kBattery;
        ByteArray block;
        if (cls_GPIO_DLL().GPIO_ReadSMBusBlock(cmd, block, count, target) != OK)
          ++failed;
        else if (block != block_of(static_cast<std::uint8_t>(u * 31), 90))
          ++wrong;
        if (round % 50 == u) {
          std::string version = "2.0.19";
          ByteArray read;
          if (cls_GPIO_DLL().GPIO_FW_EEP_Read(version, read) != OK)
            ++failed;
          else if (read != image)
            ++wrong;
        }
      }
    });
  for (auto& t : users)
    t.join();
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(failed, 0);
}

// Another user (another process) holds the module past the 15 s a method waits for it in all,
// however many exchanges it has: the method sends nothing, and says why, also when the holder
// lets go before it has ended (during identification's pause). Once the holder has let go the
// same call works and there is nothing to say.
TEST_F(SharedModule, EachMethodWaitsForTheModuleOnceAndSaysWhy) {
  struct Case {
    const char* name;
    const char* firmware;
    std::function<std::int32_t()> call;
    std::uint64_t pauses_ms;  // the method's own pauses (identification's before its query)
    std::uint64_t held_ms = 40000;
  };
  const Case cases[] = {
      // The window's start-up identifies too: two pauses.
      {"identify", "2.0.19", identify, 100, transport::kModuleLockWaitMs + 10},
      {"word with a PEC switch", "1.0.10",
       [] {
         std::int16_t cmd = 0x0D, target = 0x17;
         std::int32_t high = 0, low = 0;
         return cls_GPIO_DLL().GPIO_ReadSMBusWord(cmd, high, low, target);
       },
       0},
      {"two-segment block", "2.0.19",
       [] {
         std::int16_t cmd = 0x44, count = 120, target = kBattery;
         ByteArray data(120, 0x5A);
         return cls_GPIO_DLL().GPIO_WriteSMBusBlock(cmd, data, count, target);
       },
       0},
      {"EEPROM transfer", "2.0.19",
       [] {
         std::string version = "2.0.19";
         ByteArray image;
         return cls_GPIO_DLL().GPIO_FW_EEP_Read(version, image);
       },
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    install({.firmware_version = c.firmware});
    on_fresh_thread([&] {
      const bool identifies = std::string(c.name) == "identify";
      if (!identifies) {
        ASSERT_EQ(identify(), OK);
      }
      platform().hold_lock_elsewhere(device(), c.held_ms);
      mark();
      const auto start = platform().now_ms();
      EXPECT_EQ(c.call(), FATAL_ERROR);
      EXPECT_EQ(platform().now_ms() - start, transport::kModuleLockWaitMs + c.pauses_ms);
      EXPECT_TRUE(sent().empty());
      const auto failure = platform::last_lock_failure();
      ASSERT_TRUE(failure.has_value());
      EXPECT_TRUE(failure->busy);
      EXPECT_EQ(failure->path, platform().device_path(device()));
      EXPECT_EQ(failure->text, "module busy: held by another user for more than 15 s");

      platform().advance_ms(40000);
      EXPECT_EQ(c.call(), OK);
      EXPECT_FALSE(platform::last_lock_failure().has_value());
    });
  }
}

// A module the system cannot lock is not used unguarded: the call fails at once with the
// system's reason.
TEST_F(SharedModule, AModuleThatCannotBeLockedIsNotUsed) {
  on_fresh_thread([&] {
    ASSERT_EQ(identify(), OK);
    platform().set_lock_error(device(), ENOLCK);
    mark();
    const auto start = platform().now_ms();
    EXPECT_EQ(read_word(0x09), -1);
    EXPECT_EQ(platform().now_ms(), start);
    EXPECT_TRUE(sent().empty());
    const auto failure = platform::last_lock_failure();
    ASSERT_TRUE(failure.has_value());
    EXPECT_FALSE(failure->busy);
    EXPECT_EQ(failure->error, ENOLCK);
    EXPECT_EQ(failure->text, "cannot lock the module: " + system_error_text(ENOLCK));
    platform().set_lock_error(device(), 0);
    EXPECT_EQ(read_word(0x09), 12345);
  });
}

// The module keeps its PEC mode, whoever set it. A user that asks for PEC from a slave whose
// PEC bytes are wrong never gets OK, and a user that does not ask for it never gets a PEC
// failure, however the users take turns; one user alone pays no extra exchange.
TEST_F(SharedModule, PecAndPlainUsersTakingTurnsEachGetTheModeTheyAskFor) {
  for (const char* fw : {"1.0.10", "2.0.19"}) {
    SCOPED_TRACE(fw);
    TearDown();
    install({.firmware_version = fw});
    module().battery().set_wrong_pec(true);
    const std::int32_t bad_pec = std::string(fw) == "1.0.10" ? 301 : 411;
    auto read = [](std::int16_t target) {
      std::int16_t cmd = 0x0D;
      std::int32_t high = 0, low = 0;
      const std::int32_t result = cls_GPIO_DLL().GPIO_ReadSMBusWord(cmd, high, low, target);
      return result == OK ? high * 256 + low : -result;
    };
    auto other_user = [&](std::int16_t target, int expected) {
      on_fresh_thread([&] {
        ASSERT_EQ(identify(), OK);
        EXPECT_EQ(read(target), expected);
      });
    };
    for (const std::int16_t mine : {std::int16_t{0x17}, std::int16_t{0x16}}) {
      const std::int16_t theirs = mine == 0x17 ? 0x16 : 0x17;
      const int my_result = mine == 0x17 ? -bad_pec : 87;
      const int their_result = theirs == 0x17 ? -bad_pec : 87;
      on_fresh_thread([&] {
        ASSERT_EQ(identify(), OK);
        EXPECT_EQ(read(mine), my_result);
        mark();
        EXPECT_EQ(read(mine), my_result);
        EXPECT_EQ(sent().size(), 1u) << "no mode exchange while nobody else used the module";
        other_user(theirs, their_result);
        EXPECT_EQ(read(mine), my_result);
        EXPECT_EQ(read(mine), my_result);
        // A user outside this process: what it left the mode at is unknown.
        platform().hold_lock_elsewhere(device(), 0);
        mark();
        EXPECT_EQ(read(mine), my_result);
        EXPECT_EQ(sent().size(), 2u) << "the mode is switched again";
      });
    }
  }
}

// A long run with the records on (the default) keeps the newest events only: memory stays flat.
TEST_F(SharedModule, ALongRunKeepsOnlyTheNewestEvents) {
  on_fresh_thread([&] {
    ASSERT_EQ(identify(), OK);
    for (int i = 0; i < 15000; ++i)
      ASSERT_EQ(read_word(0x09), 12345);
  });
  const auto events = platform().events();
  EXPECT_EQ(events.size(), 65536u);
  EXPECT_EQ(events.back().kind, SimulatedEvent::Kind::Close);  // the thread's end
}

// Everything a thread holds on the platform goes when the thread ends.
TEST_F(SharedModule, AnEndedThreadLeavesNothingOpen) {
  for (int i = 0; i < 200; ++i)
    on_fresh_thread([] { ASSERT_EQ(identify(), OK); });
  EXPECT_EQ(platform().open_handle_count(), 0);
  EXPECT_EQ(platform().event_count(), 0);
}

}  // namespace
}  // namespace gpio_dll

namespace gpio_dll {
namespace {

// Two modules on one host: each thread uses the one it chose, by serial number or node path,
// and a thread that chose nothing uses the first one found. A third module on a platform of its
// own, which a thread may use in place of the process-wide one.
TEST_F(SharedModule, EachThreadUsesTheModuleItChose) {
  module().battery().set_word(0x08, 0x1111);
  auto second =
      std::make_shared<sim::SimulatedModule>(sim::ModuleConfig{.serial_number = "SIM0002"});
  second->battery().set_word(0x08, 0x2222);
  const auto second_id = platform().add_device(second);
  const std::string second_path = platform().device_path(second_id);
  auto own = std::make_shared<SimulatedPlatform>();
  auto third = std::make_shared<sim::SimulatedModule>();
  third->battery().set_word(0x08, 0x3333);
  own->add_device(third);

  const auto listed = platform::list_devices();
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].serial_number, "SIM0001");
  EXPECT_EQ(listed[1].serial_number, "SIM0002");
  EXPECT_EQ(listed[1].product_name, "Texas Instruments USB-GPIO module (simulated)");

  struct Case {
    const char* name;
    std::function<void()> choose;
    std::int32_t identified;
    int value;
  };
  const Case cases[] = {
      {"nothing chosen", [] {}, OK, 0x1111},
      {"by serial", [] { platform::use_module_with_serial("SIM0002"); }, OK, 0x2222},
      {"by path", [&] { platform::use_module_at(second_path); }, OK, 0x2222},
      {"first again", [] { platform::use_first_module(); }, OK, 0x1111},
      {"no such serial", [] { platform::use_module_with_serial("SIM0003"); }, NO_DEV_DETECTED, -1},
      {"own platform", [&] { platform::use_simulated_on_this_thread(own); }, OK, 0x3333},
      {"own platform, a module path of the process's",
       [&] {
         platform::use_simulated_on_this_thread(own);
         platform::use_module_at(second_path);
       },
       NO_DEV_DETECTED, -1},
      {"own platform, then the process's again",
       [&] {
         platform::use_simulated_on_this_thread(own);
         platform::use_process_platform_on_this_thread();
       },
       OK, 0x1111},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    on_fresh_thread([&] {
      c.choose();
      ASSERT_EQ(identify(), c.identified);
      EXPECT_EQ(read_word(0x08), c.value);
    });
  }

  // The thread's own platform is taken up at its next identification, lists its own devices, and
  // leaves the other threads on the process-wide one.
  on_fresh_thread([&] {
    ASSERT_EQ(identify(), OK);
    platform::use_simulated_on_this_thread(own);
    EXPECT_EQ(read_word(0x08), 0x1111);
    EXPECT_EQ(platform::list_devices().size(), 1u);
    ASSERT_EQ(identify(), OK);
    EXPECT_EQ(read_word(0x08), 0x3333);
    on_fresh_thread([] {
      ASSERT_EQ(identify(), OK);
      EXPECT_EQ(read_word(0x08), 0x1111);
    });
    EXPECT_EQ(read_word(0x08), 0x3333);
  });
  EXPECT_EQ(platform::list_devices().size(), 2u);
}

}  // namespace
}  // namespace gpio_dll
