// The hidraw ioctls of a served node, as a 64-bit program and as a 32-bit one makes them. The
// kernel hands a 32-bit program's ioctl to the file as a compat ioctl; the hidraw ioctls'
// arguments have the same layout for both, so both get the same answer, as from the kernel's
// hidraw. Needs root and /dev/fuse, as every served-device test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "simulated_module.hpp"
#include "support/served_module.hpp"

namespace gpio_dll {
namespace {

#if defined(__x86_64__)
// The i386 system call number of ioctl.
constexpr long kIoctlI386 = 54;

// An answer: the call's result, its errno when it failed, and the argument's bytes after it.
struct Answer {
  int result = 0;
  int error = 0;
  std::vector<std::uint8_t> bytes;
};

// The ioctl with a zeroed argument of `size` bytes below 4 GB, as a 64-bit program makes it or,
// `as_32bit`, as a 32-bit one: the i386 system call, which the kernel takes from a 64-bit process
// too and hands to the file as a compat ioctl.
Answer call_ioctl(int fd, unsigned long request, std::size_t size, bool as_32bit) {
  void* area =
      mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
  if (area == MAP_FAILED) return Answer{-1, errno, {}};
  long result = 0;
  if (as_32bit) {
    asm volatile("int $0x80"
                 : "=a"(result)
                 : "a"(kIoctlI386), "b"(static_cast<long>(fd)), "c"(request), "d"(area)
                 : "memory", "r8", "r9", "r10", "r11");
  } else {
    result = ioctl(fd, request, area);
    if (result < 0) result = -errno;
  }
  const int value = static_cast<int>(result);
  const auto* bytes = static_cast<const std::uint8_t*>(area);
  Answer answer{value < 0 ? -1 : value, value < 0 ? -value : 0, {bytes, bytes + size}};
  munmap(area, size);
  return answer;
}

// Whether the kernel takes i386 system calls: a kernel built with IA-32 emulation can still have
// it switched off at boot (ia32_emulation=0), and then int 0x80 kills the caller. Tried in a
// child process, with getpid.
bool takes_i386_system_calls() {
  const pid_t child = fork();
  if (child == 0) {
    long result = 20;  // getpid
    asm volatile("int $0x80" : "+a"(result) : : "memory", "r8", "r9", "r10", "r11");
    _exit(result > 0 ? 0 : 1);
  }
  int status = 0;
  return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

std::vector<std::uint8_t> text_bytes(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end() + 1);  // with the terminating zero
}

TEST(ServedIoctl, A32BitProgramGetsTheAnswersOfA64BitOne) {
  REQUIRE_SERVED_DEVICE();
  if (!takes_i386_system_calls())
    GTEST_SKIP() << "the kernel runs no 32-bit programs (no IA-32 emulation)";
  char pattern[] = "/tmp/gpio-dll-ioctl.XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  testing::Server server;
  ASSERT_TRUE(server.start(dir, "2.0.19", "", 2));
  // The second module's node: each node answers for its own module.
  const int fd = open((dir + "/dev/hidraw1").c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(fd, 0);

  const auto& descriptor = sim::SimulatedModule::report_descriptor();
  std::vector<std::uint8_t> descriptor_answer = {25, 0, 0, 0};  // its size, then itself
  descriptor_answer.insert(descriptor_answer.end(), descriptor.begin(), descriptor.end());
  const std::vector<std::uint8_t> usb_0451_5f00 = {3, 0, 0, 0, 0x51, 0x04, 0x00, 0x5F};
  const std::string name = sim::ModuleConfig{}.product_name;
  struct Case {
    const char* name;
    unsigned long request;
    std::size_t size;
    Answer expected;  // the argument's first bytes after the call
  };
  const Case cases[] = {
      {"HIDIOCGRDESCSIZE", HIDIOCGRDESCSIZE, sizeof(int), {0, 0, {25, 0, 0, 0}}},
      {"HIDIOCGRDESC", HIDIOCGRDESC, sizeof(hidraw_report_descriptor), {0, 0, descriptor_answer}},
      {"HIDIOCGRAWINFO", HIDIOCGRAWINFO, sizeof(hidraw_devinfo), {0, 0, usb_0451_5f00}},
      {"HIDIOCGRAWNAME",
       HIDIOCGRAWNAME(128),
       128,
       {static_cast<int>(name.size() + 1), 0, text_bytes(name)}},
      {"HIDIOCGRAWUNIQ", HIDIOCGRAWUNIQ(64), 64, {8, 0, text_bytes("SIM0002")}},
      {"HIDIOCGRAWUNIQ, short", HIDIOCGRAWUNIQ(4), 4, {4, 0, {'S', 'I', 'M', '0'}}},
      {"not hidraw's", _IOR('X', 1, int), sizeof(int), {-1, ENOTTY, {0, 0, 0, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Answer wide = call_ioctl(fd, c.request, c.size, false);
    EXPECT_EQ(wide.result, c.expected.result);
    EXPECT_EQ(wide.error, c.expected.error);
    ASSERT_GE(wide.bytes.size(), c.expected.bytes.size());
    EXPECT_TRUE(std::equal(c.expected.bytes.begin(), c.expected.bytes.end(), wide.bytes.begin()));
    const Answer narrow = call_ioctl(fd, c.request, c.size, true);
    EXPECT_EQ(narrow.result, wide.result);
    EXPECT_EQ(narrow.error, wide.error);
    EXPECT_EQ(narrow.bytes, wide.bytes);
  }
  close(fd);
  server.stop();
  std::filesystem::remove_all(dir);
}
#endif

}  // namespace
}  // namespace gpio_dll
