// One module used by several threads: every open handle of a device receives every input report,
// so answers would cross without the stale-report discard and the per-module transaction lock.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "base/module_state.hpp"
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

// A user that holds the module past the bound makes another user's call fail, not hang; once
// the holder lets go the other user's next call works.
TEST_F(SharedModule, WaitingForTheModuleIsBounded) {
  give_each_user_registers(2);
  transport::set_module_lock_wait_ms(30);
  std::atomic<int> stage{0};
  std::thread holder([&] {
    ModuleState& state = ModuleState::current();
    ASSERT_EQ(identify(), OK);
    {
      transport::TransactionScope transaction(state);
      ASSERT_TRUE(transport::hold_module(state));
      stage = 1;
      while (stage != 2)
        std::this_thread::yield();
    }
  });
  while (stage != 1)
    std::this_thread::yield();
  on_fresh_thread([&] {
    EXPECT_NE(identify(), OK);  // the module is held: identification cannot ask it
    stage = 2;
    holder.join();
    EXPECT_EQ(identify(), OK);
    EXPECT_EQ(read_word(0x09), word_of(1));
  });
  transport::set_module_lock_wait_ms(transport::kModuleLockWaitMs);
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
