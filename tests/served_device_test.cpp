// The Linux hidraw backend end to end through the kernel, against the simulated module served
// as a hidraw-like file by gpio-dll-sim (FUSE). Real time: one test waits the full 6 s time-out.
// They need root and /dev/fuse; elsewhere they skip, unless GPIO_DLL_REQUIRE_SERVED_DEVICE is
// set (CI), where a missing prerequisite fails them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "gpio_dll/gpio_dll.hpp"
#include "support/served_module.hpp"
#include "support/test_support.hpp"

namespace gpio_dll {
namespace {

using Clock = std::chrono::steady_clock;
using testing::bytes;
using testing::Server;

// The firmware version of the module identified on the calling thread; empty on a failure.
std::string identify(cls_GPIO_DLL& dll) {
  std::string fw, vid, pid;
  return dll.GPIO_FW_VER_Read(fw, vid, pid) == OK ? fw : "";
}

// The battery's word at `reg`, or -1 on a failure.
int read_word(cls_GPIO_DLL& dll, std::int16_t reg, std::int16_t target = 0x16) {
  std::int32_t high = 0, low = 0;
  return dll.GPIO_ReadSMBusWord(reg, high, low, target) == OK ? high << 8 | low : -1;
}

// A fresh folder to serve modules at, and the platform looking there for them.
class ServedFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_SERVED_DEVICE();
    char pattern[] = "/tmp/gpio-dll-served.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    platform::use_hidraw(dir_ + "/sys/class/hidraw", dir_ + "/dev");
  }
  void TearDown() override {
    platform::use_system();
    server_.stop();
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  bool control(const std::string& command, const std::string& file = "control") {
    std::ofstream out(dir_ + "/" + file);
    out << command << std::flush;
    return out.good();
  }
  std::vector<std::string> listed_serials() {
    std::vector<std::string> serials;
    for (const auto& device : platform::list_devices())
      serials.push_back(device.serial_number);
    return serials;
  }

  std::string dir_;
  Server server_;
};

// One module served there.
class ServedDevice : public ServedFolder {
 protected:
  void SetUp() override {
    ServedFolder::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(server_.start(dir_));
  }
};

TEST_F(ServedDevice, MovesWordsTwoSegmentBlocksAndAWholeEepromImage) {
  testing::on_fresh_thread([&] {
    cls_GPIO_DLL dll;
    std::string fw, vid, pid;
    ASSERT_EQ(dll.GPIO_FW_VER_Read(fw, vid, pid), OK);
    EXPECT_EQ(fw + " " + vid + " " + pid, "2.0.19 0451 5F00");
    std::int16_t cmd = 0x00, target = 0x17;  // with PEC
    std::int32_t high = 0x12, low = 0x34;
    ASSERT_EQ(dll.GPIO_WriteSMBusWord(cmd, high, low, target), OK);
    EXPECT_EQ(read_word(dll, cmd, target), 0x1234);

    ByteArray block(100), image(8192), read;
    for (std::size_t i = 0; i < image.size(); ++i)
      image[i] = static_cast<std::uint8_t>(i * 7 + 1);
    std::copy_n(image.begin(), block.size(), block.begin());
    std::int16_t count = 100, got = 0;
    cmd = 0x44;
    target = 0x16;
    ASSERT_EQ(dll.GPIO_WriteSMBusBlock(cmd, block, count, target), OK);
    ASSERT_EQ(dll.GPIO_ReadSMBusBlock(cmd, read, got, target), OK);
    EXPECT_EQ(read, block);
    ASSERT_EQ(dll.GPIO_FW_EEP_Write(fw, image), OK);
    ASSERT_EQ(dll.GPIO_FW_EEP_Read(fw, read), OK);
    EXPECT_EQ(read, image);
  });
}

TEST_F(ServedDevice, ASilentModuleTimesOutAfterSixSeconds) {
  testing::on_fresh_thread([&] {
    cls_GPIO_DLL dll;
    ASSERT_EQ(identify(dll), "2.0.19");
    control("silent");
    std::uint8_t lines = 0;
    const auto start = Clock::now();
    EXPECT_EQ(dll.GPIO_GetP0Line(lines), FATAL_ERROR);
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(5900));
    EXPECT_LT(waited, std::chrono::seconds(9));
    control("answer");
    EXPECT_EQ(dll.GPIO_GetP0Line(lines), OK);  // rediscovered and reopened
    EXPECT_EQ(lines, 0xFF);
  });
}

TEST_F(ServedDevice, AModuleThatGoesAwayAndComesBackIsFoundAgain) {
  testing::on_fresh_thread([&] {
    cls_GPIO_DLL dll;
    ASSERT_EQ(identify(dll), "2.0.19");
    server_.stop();  // unplugged
    std::uint8_t lines = 0;
    const auto start = Clock::now();
    const std::int32_t gone = dll.GPIO_GetP0Line(lines);
    EXPECT_TRUE(gone == FATAL_ERROR || gone == NO_DEV_DETECTED) << gone;
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));  // a failed wait, not a time-out
    EXPECT_EQ(dll.GPIO_GetP0Line(lines), NO_DEV_DETECTED);
    ASSERT_TRUE(server_.start(dir_));  // plugged in again
    EXPECT_EQ(dll.GPIO_GetP0Line(lines), OK);
  });
}

// The server killed (SIGKILL) while an EEPROM image is read, with the module gone silent after a
// few chunks or answering at full speed (images read one after another): the read fails at once
// instead of waiting out its 6 s time-out, and a server started again at the same mount is
// identified and read as before.
class ServerKilled : public ServedDevice, public ::testing::WithParamInterface<bool> {};

TEST_P(ServerKilled, DuringAnEepromReadFailsTheReadAndCanBeStartedAgain) {
  const bool silent = GetParam();
  testing::on_fresh_thread([&] {
    cls_GPIO_DLL dll;
    std::string fw = identify(dll);
    ASSERT_EQ(fw, "2.0.19");
    if (silent) control("silent-after 5");  // a few chunks answered, then the read waits
    std::int32_t result = OK;
    Clock::time_point ended;
    std::thread reader([&] {
      ByteArray image;
      while ((result = dll.GPIO_FW_EEP_Read(fw, image)) == OK && !silent) {
      }
      ended = Clock::now();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(silent ? 300 : 100));
    const auto killed = Clock::now();
    server_.kill_hard();
    reader.join();
    EXPECT_TRUE(result == FATAL_ERROR || result == NO_DEV_DETECTED) << result;
    // Not the 6 s time-out: well short of it, with room for a loaded machine or an emulator
    // (4.3 s seen under qemu-aarch64 with a build beside it).
    EXPECT_LT(ended - killed, std::chrono::seconds(5));

    ASSERT_TRUE(server_.start(dir_));
    ASSERT_EQ(identify(dll), "2.0.19");
    ByteArray image;
    ASSERT_EQ(dll.GPIO_FW_EEP_Read(fw, image), OK);
    EXPECT_EQ(image.size(), 8192u);
  });
}

INSTANTIATE_TEST_SUITE_P(Module, ServerKilled, ::testing::Values(true, false),
                         [](const auto& param_info) {
                           return std::string(param_info.param ? "Silent" : "AtFullSpeed");
                         });

// A node that hands back sizes and lengths of its own making: the library neither reads nor
// writes past what it asked for, and goes on with what it got or gives up cleanly.
struct HostileCase {
  const char* name;
  const char* command;  // written to the control file
  std::int32_t identified;
  const char* firmware;
  std::int32_t eeprom = OK;  // a module EEPROM read after identification
};

class HostileNode : public ServedDevice, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileNode, CannotMakeTheLibraryReadOrWritePastItsBuffers) {
  const HostileCase& c = GetParam();
  control(c.command);
  testing::on_fresh_thread([&] {
    cls_GPIO_DLL dll;
    std::string fw, vid, pid;
    EXPECT_EQ(dll.GPIO_FW_VER_Read(fw, vid, pid), c.identified);
    EXPECT_EQ(fw, c.firmware);
    if (fw == "2.0.19") {
      EXPECT_EQ(read_word(dll, 0x0D), 87);
      ByteArray image;
      EXPECT_EQ(dll.GPIO_FW_EEP_Read(fw, image), c.eeprom);
    }
  });
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileNode,
    ::testing::Values(
        // HIDIOCGRDESC writes back a size larger than was asked for: only the asked-for bytes
        // count.
        HostileCase{"DescriptorLengthPastTheRecord", "descriptor-length 8192", OK, "2.0.19"},
        HostileCase{"DescriptorLengthNearlyFourGigabytes", "descriptor-length 0xFFFFFFF0", OK,
                    "2.0.19"},
        // A descriptor size no descriptor has: the sysfs copy is used instead.
        HostileCase{"DescriptorSizePastTheMaximum", "descriptor-size 100000", OK, "2.0.19"},
        HostileCase{"NegativeDescriptorSize", "descriptor-size -1", OK, "2.0.19"},
        // Reports cut short: what the node did not send is missing, never zero. Five bytes hold
        // a version and a word, not an EEPROM chunk.
        HostileCase{"ShortReports", "report-length 3", FATAL_ERROR, ""},
        HostileCase{"ReportsJustLongEnoughForAWord", "report-length 5", OK, "2.0.19", FATAL_ERROR},
        // Reports longer than asked for: the kernel refuses them, the read fails.
        HostileCase{"LongReports", "report-length 200", FATAL_ERROR, ""},
        // Empty reads: the node is gone, a failed read and no waiting for the time-out.
        HostileCase{"EmptyReads", "report-length 0", FATAL_ERROR, ""}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(ServedDevice, ANodeThatRefusesToOpenIsNamedWithTheSystemsReason) {
  control("open-error 13");
  testing::on_fresh_thread([&] {
    cls_GPIO_DLL dll;
    std::string fw, vid, pid;
    EXPECT_EQ(dll.GPIO_FW_VER_Read(fw, vid, pid), NO_DEV_DETECTED);
    const auto failure = platform::last_open_failure();
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->path, dir_ + "/dev/hidraw0");
    EXPECT_EQ(failure->error, EACCES);
    EXPECT_EQ(failure->text, "Permission denied");
    EXPECT_TRUE(failure->permission_denied());
    control("open-error 0");
    EXPECT_EQ(identify(dll), "2.0.19");
    EXPECT_FALSE(platform::last_open_failure().has_value());
  });
}

// An answer delay holds each answer back from the node's readers for that long after the write.
TEST_F(ServedDevice, ADelayedAnswerReachesTheNodeOnlyAfterTheDelay) {
  ASSERT_TRUE(control("answer-delay 300"));
  const int node = open((dir_ + "/dev/hidraw0").c_str(), O_RDWR);
  ASSERT_GE(node, 0);
  const std::uint8_t query[65] = {0x00, 0x01, 0x00};  // report id 0, version query
  const auto written = Clock::now();
  ASSERT_EQ(write(node, query, sizeof query), 65);
  pollfd p{node, POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 5000), 1);
  EXPECT_GE(Clock::now() - written, std::chrono::milliseconds(300));
  std::uint8_t answer[64] = {};
  ASSERT_EQ(read(node, answer, sizeof answer), 64);
  EXPECT_EQ(std::vector<std::uint8_t>(answer, answer + 4), bytes({0x01, 2, 0, 19}));
  close(node);
}

// Run by served_device_namespace.sh inside a private mount namespace, with the served files
// bound over /dev/hidraw0 and /sys/class/hidraw: the backend runs with its default paths.
TEST(DefaultPaths, TheBackendFindsTheModuleWhereTheKernelPutsIt) {
  if (std::getenv("GPIO_DLL_IN_SERVED_NAMESPACE") == nullptr)
    GTEST_SKIP() << "runs inside served_device_namespace.sh";
  platform::use_system();
  testing::on_fresh_thread([] {
    cls_GPIO_DLL dll;
    ASSERT_EQ(identify(dll), "2.0.19");
    EXPECT_EQ(read_word(dll, 0x0D), 87);
  });
}

// Two served modules listed as hidraw0 and hidraw1 of one tree of symbolic links, as the kernel
// lists them: each thread picks its module by the serial number the node reports.
TEST_F(ServedFolder, EachThreadPicksOneOfTwoServersModulesBySerialNumber) {
  const std::filesystem::path rack = dir_;
  Server second;
  ASSERT_TRUE(server_.start(rack / "a", "2.0.19", "RACK-A"));
  ASSERT_TRUE(second.start(rack / "b", "1.0.10", "RACK-B"));
  std::filesystem::create_directories(rack / "sys/class/hidraw");
  std::filesystem::create_directories(rack / "dev");
  for (const auto& [name, served] : {std::pair{"hidraw0", "a"}, std::pair{"hidraw1", "b"}}) {
    std::filesystem::create_directory_symlink(rack / served / "sys/class/hidraw/hidraw0",
                                              rack / "sys/class/hidraw" / name);
    std::filesystem::create_symlink(rack / served / "dev/hidraw0", rack / "dev" / name);
  }
  EXPECT_EQ(listed_serials(), (std::vector<std::string>{"RACK-A", "RACK-B"}));
  for (const auto& [serial, firmware] :
       {std::pair{"RACK-B", "1.0.10"}, std::pair{"RACK-A", "2.0.19"}}) {
    testing::on_fresh_thread([&, serial = serial, firmware = firmware] {
      platform::use_module_with_serial(serial);
      cls_GPIO_DLL dll;
      EXPECT_EQ(identify(dll), firmware) << serial;
    });
  }
  second.stop();
}

// One server with --modules N: N nodes, N modules with state of their own.
TEST_F(ServedFolder, EachThreadReadsTheRegistersOfItsOwnModule) {
  ASSERT_TRUE(server_.start(dir_, "2.0.19", "RACK", 2));
  EXPECT_EQ(listed_serials(), (std::vector<std::string>{"RACK-1", "RACK-2"}));
  ASSERT_TRUE(control("word 0x0D 11", "control-hidraw0"));
  ASSERT_TRUE(control("word 0x0D 22", "control-hidraw1"));

  // Both threads at once, many reads each: a report delivered to the other module's files would
  // hand one of them the wrong value.
  int wrong[2] = {0, 0};
  std::vector<std::thread> threads;
  for (int k = 0; k < 2; ++k)
    threads.emplace_back([&, k] {
      platform::use_module_with_serial(k == 0 ? "RACK-1" : "RACK-2");
      cls_GPIO_DLL dll;
      if (identify(dll).empty()) return void(++wrong[k]);
      for (int i = 0; i < 200; ++i)
        wrong[k] += read_word(dll, 0x0D) != 11 * (k + 1);
    });
  for (auto& t : threads)
    t.join();
  EXPECT_EQ(wrong[0], 0);
  EXPECT_EQ(wrong[1], 0);
}

TEST_F(ServedFolder, WithoutASerialTheModulesAreNumberedAndControlIsTheFirstModules) {
  ASSERT_TRUE(server_.start(dir_, "2.0.19", "", 3));
  EXPECT_EQ(listed_serials(), (std::vector<std::string>{"SIM0001", "SIM0002", "SIM0003"}));
  ASSERT_TRUE(control("word 0x0D 7"));
  ASSERT_TRUE(control("word 0x0D 9", "control-hidraw2"));
  EXPECT_FALSE(control("no-such-command", "control-hidraw1"));
  std::vector<int> values;
  for (const char* serial : {"SIM0001", "SIM0002", "SIM0003"})
    testing::on_fresh_thread([&] {
      platform::use_module_with_serial(serial);
      cls_GPIO_DLL dll;
      ASSERT_EQ(identify(dll), "2.0.19") << serial;
      values.push_back(read_word(dll, 0x0D));
    });
  EXPECT_EQ(values, (std::vector<int>{7, 87, 9}));  // 87: the battery's own value
}

// The control file takes the tools' numbers and hex bytes and refuses a command with a bad
// argument as a whole (the write fails), leaving the module as it was; reading the file then
// gives the reason.
TEST_F(ServedFolder, ControlCommandsWithBadArgumentsAreRefusedWhole) {
  ASSERT_TRUE(server_.start(dir_, "2.0.19", "", 1));
  const std::string longest_block = std::string(2 * 255, 'A');
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"word 0x1FF 1", "REG out of range (0 to 255): 0x1FF"},
      {"word 0x0D 0x10000", "VALUE out of range (0 to 65535): 0x10000"},
      {"word 0x0D -1", "VALUE out of range (0 to 65535): -1"},
      {"word 013 1", "REG has a leading 0 (write decimal without it, or 0x for hex): 013"},
      {"word 0x0D", "VALUE missing"},
      {"word 0x0D 1 2", "unexpected word 2"},
      {"block 0x0D 0A0", "HEX: odd number of digits"},
      {"block 0x0D 0G", "HEX: not a hex digit: 'G' at position 2"},
      {"block 0x0D", "HEX missing"},
      // One byte more than the count byte of a block read can say.
      {"block 0x0D " + longest_block + "AA",
       "a block holds at most 255 bytes (its count is one byte), not 256"},
      {"stuck 2 0", "SDA out of range (0 to 1): 2"},
      {"fail -1 4", "N out of range (0 to 2147483647): -1"},
      {"fail 0 256", "STATUS out of range (0 to 255): 256"},
      {"silent-after x", "N is not a number: x"},
      {"wrong-pec 0x", "the value is not a number: 0x"},
      {"answer-delay 1001", "MS out of range (0 to 1000): 1001"},
      {"silent now", "unexpected word now"},
      {"word 0x0d 70000", "VALUE out of range (0 to 65535): 70000"},
      {"frobnicate 1", "unknown command frobnicate (gpio-dll-sim --help lists them)"},
      {" ", "no command given (gpio-dll-sim --help lists them)"},
  };
  for (const auto& [command, reason] : refused) {
    EXPECT_FALSE(control(command)) << command;
    std::ifstream status(dir_ + "/control");
    const std::string text((std::istreambuf_iterator<char>(status)), {});
    EXPECT_EQ(text, "refused: " + command + ": " + reason + "\n");
  }
  ASSERT_TRUE(control("block 0x21 " + longest_block));
  ASSERT_TRUE(control("block 0x7E 0102FF"));
  ASSERT_TRUE(control("word 13 0x002A"));
  testing::on_fresh_thread([&] {
    cls_GPIO_DLL dll;
    ASSERT_EQ(identify(dll), "2.0.19");
    EXPECT_EQ(read_word(dll, 0x0D), 42);
    std::int16_t cmd = 0x7E, count = 0, target = 0x16;
    ByteArray block;
    ASSERT_EQ(dll.GPIO_ReadSMBusBlock(cmd, block, count, target), OK);
    EXPECT_EQ(block, bytes({0x01, 0x02, 0xFF}));
  });
}

// Any program can use the nodes with write, poll and read (and ioctl: served_ioctl_test.cpp); an
// answer from module 1 reaches hidraw1's files, never hidraw0's.
TEST_F(ServedFolder, AnyProgramCanUseTheNodesAndGetsOnlyItsOwnModulesReports) {
  ASSERT_TRUE(server_.start(dir_, "2.0.19", "", 2));
  const int first = open((dir_ + "/dev/hidraw0").c_str(), O_RDWR | O_NONBLOCK);
  const int second = open((dir_ + "/dev/hidraw1").c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(first, 0);
  ASSERT_GE(second, 0);
  std::uint8_t report[65] = {0x00, 0x01, 0x00};  // report id 0, version query
  ASSERT_EQ(write(second, report, sizeof report), 65);
  pollfd p{second, POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 2000), 1);
  std::uint8_t answer[64] = {};
  ASSERT_EQ(read(second, answer, sizeof answer), 64);  // no identifier byte, as hidraw
  EXPECT_EQ(std::vector<std::uint8_t>(answer, answer + 4), bytes({0x01, 2, 0, 19}));
  errno = 0;
  EXPECT_EQ(read(first, answer, sizeof answer), -1);
  EXPECT_EQ(errno, EAGAIN);
  close(first);
  close(second);
}

}  // namespace
}  // namespace gpio_dll
