// The hidraw backend against files that stand in for a node and its sysfs entry. A regular file
// answers no hidraw ioctl, so the backend takes identifiers and descriptor from sysfs and reads
// reports with plain read(): what those files hold is as untrusted as anything a device says.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "simulated_module.hpp"
#include "transport/linux_hidraw/hidraw_backend.hpp"

namespace gpio_dll::transport {
namespace {

struct UeventCase {
  const char* name;
  std::string text;
  bool parsed;
  std::uint16_t vendor = 0;
  std::uint16_t product = 0;
};

class Uevent : public ::testing::TestWithParam<UeventCase> {};

TEST_P(Uevent, IdentifiersComeOnlyFromAWellFormedHidIdLine) {
  const UeventCase& c = GetParam();
  HidAttributes attributes;
  attributes.vendor_id = 0xAAAA;
  attributes.product_id = 0xBBBB;
  EXPECT_EQ(ids_from_uevent_text(c.text, attributes), c.parsed);
  EXPECT_EQ(attributes.vendor_id, c.parsed ? c.vendor : 0xAAAA);
  EXPECT_EQ(attributes.product_id, c.parsed ? c.product : 0xBBBB);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Uevent,
    ::testing::Values(UeventCase{"Module", "HID_ID=0003:00000451:00005F00", true, 0x0451, 0x5F00},
                      UeventCase{"AmongOtherLines",
                                 "DRIVER=hid-generic\nHID_ID=0003:0000046D:0000C52B\nX=1\n", true,
                                 0x046D, 0xC52B},
                      UeventCase{"LowerCase", "HID_ID=3:451:5f00\n", true, 0x0451, 0x5F00},
                      UeventCase{"VendorPast16Bits", "HID_ID=0003:00010451:00005F00", false},
                      UeventCase{"ProductPast16Bits", "HID_ID=0003:00000451:FFFF5F00", false},
                      UeventCase{"NineDigits", "HID_ID=0003:000000451:00005F00", false},
                      UeventCase{"MissingProduct", "HID_ID=0003:00000451", false},
                      UeventCase{"EmptyField", "HID_ID=0003::00005F00", false},
                      UeventCase{"TrailingJunk", "HID_ID=0003:00000451:00005F00x", false},
                      UeventCase{"NotHex", "HID_ID=0003:0000045G:00005F00", false},
                      UeventCase{"NoHidId", "DRIVER=hid-generic\nHID_NAME=x\n", false},
                      UeventCase{"Empty", "", false}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// DIR/dev/hidraw0 (a regular file) and DIR/sys/class/hidraw/hidraw0/device/{uevent,
// report_descriptor}.
class FileNode : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::path(::testing::TempDir()) /
           ("gpio_dll_hidraw_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_ / "dev");
    std::filesystem::create_directories(device_dir());
    write(dir_ / "dev/hidraw0", {});
    write(device_dir() / "uevent", "HID_ID=0003:00000451:00005F00\n");
    const auto& d = sim::SimulatedModule::report_descriptor();
    write(device_dir() / "report_descriptor", std::string(d.begin(), d.end()));
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path device_dir() const { return dir_ / "sys/class/hidraw/hidraw0/device"; }
  static void write(const std::filesystem::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
  }
  HidrawBackend backend() const {
    return HidrawBackend((dir_ / "sys/class/hidraw").string(), (dir_ / "dev").string());
  }
  std::string node() const { return (dir_ / "dev/hidraw0").string(); }

  std::filesystem::path dir_;
};

TEST_F(FileNode, TakesIdentifiersAndLengthsFromSysfs) {
  HidrawBackend b = backend();
  const Handle h = b.open(node(), false);
  ASSERT_NE(h, kInvalidHandle);
  HidAttributes attributes;
  ASSERT_TRUE(b.attributes(h, attributes));
  EXPECT_EQ(attributes.vendor_id, 0x0451);
  EXPECT_EQ(attributes.product_id, 0x5F00);
  HidCapabilities caps;
  ASSERT_TRUE(b.capabilities(h, caps));
  EXPECT_EQ(caps.input_report_byte_length, 65);
  EXPECT_EQ(caps.output_report_byte_length, 65);
  b.close(h);
}

TEST_F(FileNode, AFileLongerThanAnyDescriptorOrUeventIsRefused) {
  // A descriptor of the module followed by more than the kernel's 4096-byte maximum allows.
  const auto& d = sim::SimulatedModule::report_descriptor();
  write(device_dir() / "report_descriptor", std::string(d.begin(), d.end()) + std::string(5000, 0));
  write(device_dir() / "uevent", std::string(5000, '#') + "\nHID_ID=0003:00000451:00005F00\n");
  HidrawBackend b = backend();
  const Handle h = b.open(node(), false);
  ASSERT_NE(h, kInvalidHandle);
  HidAttributes attributes;
  EXPECT_FALSE(b.attributes(h, attributes));
  HidCapabilities caps;
  EXPECT_FALSE(b.capabilities(h, caps));
  b.close(h);
}

TEST_F(FileNode, ADescriptorOfTheLargestSizeIsRead) {
  const auto& d = sim::SimulatedModule::report_descriptor();
  // Padding with zero bytes (Input items of no data) up to exactly 4096 bytes.
  write(device_dir() / "report_descriptor",
        std::string(d.begin(), d.end()) + std::string(4096 - d.size(), 0));
  HidrawBackend b = backend();
  const Handle h = b.open(node(), false);
  HidCapabilities caps;
  ASSERT_TRUE(b.capabilities(h, caps));
  EXPECT_EQ(caps.input_report_byte_length, 65);
  b.close(h);
}

// Two open files of one node exclude each other and share its record of the last user; another
// node has a record of its own.
TEST_F(FileNode, OpenFilesOfOneNodeShareItsLockAndLastUser) {
  write(dir_ / "dev/hidraw1", {});
  HidrawBackend b = backend();
  const Handle mine = b.open(node(), false), theirs = b.open(node(), false);
  const Handle elsewhere = b.open((dir_ / "dev/hidraw1").string(), false);
  ASSERT_EQ(b.lock_device(mine, 0), LockResult::Locked);
  EXPECT_EQ(b.lock_device(theirs, 0), LockResult::Busy);
  EXPECT_EQ(b.last_error(), EBUSY);
  EXPECT_EQ(b.lock_device(elsewhere, 0), LockResult::Locked);
  // Marks of this run: a record outlives its node, and a new file may reuse an old one's number.
  const std::uint64_t a = 0xA000000000000000u | static_cast<std::uint64_t>(::getpid());
  const std::uint64_t c = a + 1, d = a + 2;
  b.swap_last_user(mine, a);
  b.swap_last_user(elsewhere, c);
  b.unlock_device(mine);
  ASSERT_EQ(b.lock_device(theirs, 0), LockResult::Locked);
  EXPECT_EQ(b.swap_last_user(theirs, d), a);
  EXPECT_EQ(b.swap_last_user(mine, a), d);
  EXPECT_EQ(b.swap_last_user(elsewhere, c), c);
  for (const Handle h : {mine, theirs, elsewhere})
    b.close(h);
}

struct ReadCase {
  const char* name;
  std::size_t node_bytes;  // what the node holds: one read() gets up to that many
  std::size_t area;        // the report area, identifier byte included
  std::uint32_t bytes_read;
};

class FileNodeRead : public FileNode, public ::testing::WithParamInterface<ReadCase> {};

// The node's unnumbered reports come without their identifier byte; the area gets a 0 in front.
TEST_P(FileNodeRead, NeverWritesPastTheAreaNorCountsMoreThanItHolds) {
  const ReadCase& c = GetParam();
  std::string content;
  for (std::size_t i = 0; i < c.node_bytes; ++i)
    content.push_back(static_cast<char>(0x80 + i % 64));
  write(node(), content);
  HidrawBackend b = backend();
  const Handle h = b.open(node(), true);
  ASSERT_NE(h, kInvalidHandle);
  const EventHandle event = b.create_event();
  auto request = std::make_shared<ReadRequest>();
  request->area.assign(c.area, 0x55);
  const bool started = b.read(h, request, event);
  if (c.node_bytes == 0) {  // end of file: the node went away
    EXPECT_FALSE(started);
    EXPECT_EQ(b.wait(event, 0), kWaitFailed);
    b.close(h);
    return;
  }
  ASSERT_TRUE(started);
  EXPECT_EQ(b.wait(event, 0), kWaitSignalled);
  EXPECT_TRUE(request->completed);
  EXPECT_EQ(request->bytes_read, c.bytes_read);
  ASSERT_EQ(request->area.size(), c.area);
  if (c.area > 0) {
    EXPECT_EQ(request->area[0], 0);
  }
  for (std::size_t i = 1; i < c.area; ++i)
    EXPECT_EQ(request->area[i], i <= c.node_bytes ? 0x80 + (i - 1) % 64 : 0x55) << i;
  b.close(h);
}

INSTANTIATE_TEST_SUITE_P(Cases, FileNodeRead,
                         ::testing::Values(ReadCase{"WholeReport", 64, 65, 65},
                                           ReadCase{"ShortReport", 3, 65, 4},
                                           ReadCase{"MoreThanTheAreaHolds", 1000, 65, 65},
                                           ReadCase{"AreaOfTheIdentifierOnly", 10, 1, 0},
                                           ReadCase{"NoArea", 10, 0, 0},
                                           ReadCase{"NodeAtEnd", 0, 65, 0}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
}  // namespace gpio_dll::transport
