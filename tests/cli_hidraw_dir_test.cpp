// The tool pointed at a folder of served modules (--hidraw-dir DIR, or GPIO_DLL_HIDRAW_DIR):
// every module there is listed and reached by its serial number. The serving tests need root,
// /dev/fuse and fusermount3; elsewhere they skip (see served_module.hpp).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/served_module.hpp"
#include "support/tool_process.hpp"

namespace {

using gpio_dll::testing::run_tool;
using gpio_dll::testing::ToolRun;

// GPIO_DLL_HIDRAW_DIR set for the tools this test starts, unset again at its end.
class HidrawDirVariable {
 public:
  explicit HidrawDirVariable(const std::string& dir) {
    setenv("GPIO_DLL_HIDRAW_DIR", dir.c_str(), 1);
  }
  ~HidrawDirVariable() { unsetenv("GPIO_DLL_HIDRAW_DIR"); }
  HidrawDirVariable(const HidrawDirVariable&) = delete;
  HidrawDirVariable& operator=(const HidrawDirVariable&) = delete;
};

class ToolRack : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_SERVED_DEVICE();
    char pattern[] = "/tmp/gpio-dll-rack.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    ASSERT_TRUE(server_.start(dir_, "2.0.19", "RACK", 3));
    // A word of its own in each module's battery: which module answered shows.
    for (int k = 0; k < 3; ++k)
      std::ofstream(dir_ + "/control-hidraw" + std::to_string(k)) << "word 0x0d " << 40 + k;
  }
  void TearDown() override {
    server_.stop();
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  // The modules `gpio-dll list` shows, as "NODE serial SN" lines.
  static std::string modules_listed(const ToolRun& list) {
    std::string modules, line;
    std::istringstream lines(list.out);
    while (std::getline(lines, line)) {
      const auto serial = line.find("  module  serial ");
      if (serial == std::string::npos) continue;
      const auto name = line.find("  ", serial + 17);
      modules += line.substr(0, line.find("  ")) + " " +
                 line.substr(serial + 17, name - serial - 17) + "\n";
    }
    return modules;
  }

  std::string dir_;
  gpio_dll::testing::Server server_;
};

TEST_F(ToolRack, ListsAndReachesEveryModuleThroughTheOptionOrTheVariable) {
  std::string expected;
  for (int k = 0; k < 3; ++k)
    expected += dir_ + "/dev/hidraw" + std::to_string(k) + " RACK-" + std::to_string(k + 1) + "\n";
  const std::string option = "--hidraw-dir " + dir_ + " ";
  for (const bool by_variable : {false, true}) {
    std::optional<HidrawDirVariable> variable;
    if (by_variable) variable.emplace(dir_);
    const std::string folder = by_variable ? "" : option;
    const ToolRun list = run_tool(folder + "list");
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(modules_listed(list), expected) << list.out;
    const ToolRun second = run_tool(folder + "--serial RACK-2 smbus read-word 0x0b 0x0d");
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(second.out, "0x0029\n");
    EXPECT_EQ(run_tool(folder + "--serial RACK-3 identify").status, 0);
    // The first module found without a serial number; none with an unknown one.
    EXPECT_EQ(run_tool(folder + "smbus read-word 0x0b 0x0d").out, "0x0028\n");
    EXPECT_EQ(run_tool(folder + "--serial RACK-4 identify").status, 2);
  }
  // The option over the variable: a folder without modules in the variable does not count.
  HidrawDirVariable elsewhere("/");
  EXPECT_EQ(run_tool(option + "--serial RACK-2 smbus read-word 0x0b 0x0d").out, "0x0029\n");
}

struct RefusedFolder {
  std::string args;
  std::string message;  // standard error
};

TEST(ToolHidrawDir, RefusesAFolderWithoutATreeAndOtherPlatforms) {
  const std::string none = "/nonexistent/rack";
  const RefusedFolder cases[] = {
      {"--hidraw-dir " + none + " list", "gpio-dll: --hidraw-dir " + none +
                                             ": no hidraw tree there (" + none +
                                             "/sys/class/hidraw is not a folder)\n"},
      {"--sim 2.0.19 --hidraw-dir /tmp identify",
       "gpio-dll: --sim and --hidraw-dir exclude each other\n"},
      {"--device /dev/hidraw0 --hidraw-dir /tmp identify",
       "gpio-dll: --device and --hidraw-dir exclude each other\n"},
      {"identify --hidraw-dir", "gpio-dll: --hidraw-dir needs a value\n"},
  };
  for (const auto& c : cases) {
    const ToolRun r = run_tool(c.args);
    EXPECT_EQ(r.status, 1) << c.args;
    EXPECT_EQ(r.err, c.message) << c.args;
  }
  // The variable is checked as the option is, and named in the message.
  HidrawDirVariable variable(none);
  const ToolRun r = run_tool("--serial RACK-2 identify");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "gpio-dll: GPIO_DLL_HIDRAW_DIR=" + none + ": no hidraw tree there (" + none +
                       "/sys/class/hidraw is not a folder)\n");
  // --sim and --device go before the variable.
  EXPECT_EQ(run_tool("--sim 2.0.19 identify").status, 0);
}

}  // namespace
