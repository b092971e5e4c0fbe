// gpio-dll-sim run as a process: its answers to bad arguments, and how it mounts and stops.
// The serving tests need root, /dev/fuse and fusermount3; elsewhere they skip (see
// served_module.hpp).
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/served_module.hpp"
#include "support/tool_process.hpp"

namespace {

using gpio_dll::testing::built_program_argv;
using gpio_dll::testing::Process;
using gpio_dll::testing::run_tool;
using gpio_dll::testing::ToolRun;

ToolRun run_sim(const std::vector<std::string>& args) {
  Process run(built_program_argv(GPIO_DLL_SIM, args));
  const int status = run.finish();
  return {status, run.out, run.err};
}

struct BadArguments {
  std::vector<std::string> args;
  std::string message;  // the whole of standard error, after "gpio-dll-sim: "
};

TEST(SimTool, RefusesBadArgumentsNamingThemAndWhy) {
  const std::string long_serial(61, 'S');
  const std::vector<BadArguments> table = {
      {{}, "no command given (gpio-dll-sim serve; see --help)"},
      {{"start"}, "unknown command start (see --help)"},
      {{"--jsn"}, "unknown option --jsn (see --help)"},
      {{"--fw", "2.0.19"}, "no command given (gpio-dll-sim serve; see --help)"},
      {{"--retries", "x", "serve"}, "--retries x: is not a number"},
      {{"serve", "--jsn"}, "unknown option --jsn (see --help)"},
      {{"serve", "extra"}, "unexpected argument extra (see --help)"},
      {{"serve", "--retries", "x"}, "--retries x: is not a number"},
      {{"serve", "--retries=1001"}, "--retries 1001: out of range (0 to 1000)"},
      {{"serve", "--modules", "0"}, "--modules 0: out of range (1 to 64)"},
      {{"serve", "--modules", "08"},
       "--modules 08: has a leading 0 (write decimal without it, or 0x for hex)"},
      {{"serve", "--modules"}, "--modules needs a value (see --help)"},
      {{"serve", "--answer-delay", "1001"}, "--answer-delay 1001: out of range (0 to 1000)"},
      {{"serve", "--fw", "3.0.0"},
       "--fw 3.0.0: not a known firmware generation (1.0.10 or 2.0.19); add --allow-unknown-fw "
       "to serve it anyway"},
      {{"serve", "--fw", "2.0.19x", "--allow-unknown-fw"},
       "--fw 2.0.19x: not a version text (three numbers from 0 to 255, such as 2.0.19)"},
      {{"serve", "--fw", "2.0.256", "--allow-unknown-fw"},
       "--fw 2.0.256: not a version text (three numbers from 0 to 255, such as 2.0.19)"},
      {{"serve", "--verbose=1"}, "--verbose takes no value"},
      {{"serve", "--serial="}, "--serial: empty"},
      {{"serve", "--serial", "SIM 1"},
       "--serial SIM 1: only printable ASCII without blanks can be a serial number"},
      {{"serve", "--serial", "SIM\n1"},
       "--serial SIM\n1: only printable ASCII without blanks can be a serial number"},
      {{"serve", "--serial", long_serial},
       "--serial " + long_serial + ": longer than 60 characters"},
      {{"serve", "--mount", ""}, "--mount: empty folder name"},
  };
  for (const auto& row : table) {
    const ToolRun r = run_sim(row.args);
    const std::string shown = row.args.empty() ? "(none)" : row.args.back();
    EXPECT_EQ(r.status, 1) << shown;
    EXPECT_EQ(r.err, "gpio-dll-sim: " + row.message + "\n") << shown;
    EXPECT_EQ(r.out, "") << shown;
  }
}

// Every option the help text (and so the man page and the completion) names is one the parser
// takes: it may want a value, but is never unknown.
TEST(SimTool, TakesEveryOptionItsHelpNames) {
  const ToolRun run = run_sim({"--help"});
  ASSERT_EQ(run.status, 0);
  const std::string& help = run.out;
  EXPECT_EQ(help.rfind("Usage: gpio-dll-sim serve", 0), 0u) << help;
  const std::regex option_line(R"(\n  (-\w, )?(--[a-z-]+))");
  std::set<std::string> options;
  for (std::sregex_iterator it(help.begin(), help.end(), option_line), end; it != end; ++it)
    options.insert((*it)[2]);
  EXPECT_GE(options.size(), 8u) << help;
  for (const auto& option : options) {
    // A value for it if it takes one, then a wrong option that stops the parser before serving.
    const std::string err = run_sim({"serve", option, "1", "--modules=0"}).err;
    EXPECT_EQ(err.find("unknown option"), std::string::npos) << option << ": " << err;
  }
  const ToolRun version = run_sim({"serve", "-V"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("gpio-dll-sim ", 0), 0u) << version.out;
}

class SimServing : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_SERVED_DEVICE();
    char pattern[] = "/tmp/gpio-dll-sim-test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    base_ = pattern;
  }
  void TearDown() override {
    if (!base_.empty()) std::filesystem::remove_all(base_);
  }
  // The folder a server said it serves at.
  static std::string served_folder(const std::string& out) {
    std::smatch m;
    return std::regex_search(out, m, std::regex("control: (.*)/control\n")) ? m[1].str() : "";
  }
  std::string base_;
};

// After SIGTERM or SIGINT: exit 0, nothing on standard error (once every process holding it has
// ended, fusermount3's unmount helper included); a folder it made is gone with the folders it
// made above it, one that was there before stays, empty.
TEST_F(SimServing, CleanStopLeavesNoFolderItMadeAndNoMessage) {
  const std::string there = base_ + "/there";
  std::filesystem::create_directory(there);
  for (const std::string& asked : {std::string(), base_ + "/made/here", there}) {
    Process server(built_program_argv(
        GPIO_DLL_SIM, asked.empty() ? std::vector<std::string>{"serve"}
                                    : std::vector<std::string>{"serve", "--mount", asked}));
    ASSERT_TRUE(server.wait_for("control:")) << server.err;
    const std::string folder = served_folder(server.out);
    if (asked.empty())
      EXPECT_EQ(folder.rfind("/tmp/gpio-dll-sim.", 0), 0u) << folder;
    else
      EXPECT_EQ(folder, asked);
    EXPECT_TRUE(std::filesystem::exists(folder + "/dev/hidraw0"));
    EXPECT_EQ(server.finish(asked == there ? SIGINT : SIGTERM), 0);
    EXPECT_EQ(server.err, "");
    EXPECT_EQ(std::filesystem::exists(folder), asked == there) << folder;
  }
  EXPECT_FALSE(std::filesystem::exists(base_ + "/made")) << "a folder made above the mount";
  EXPECT_TRUE(std::filesystem::is_empty(there));
}

TEST_F(SimServing, RefusesAMountFolderInUse) {
  // A blank in the name: the kernel's list of mounts writes it as \040.
  const std::string folder = base_ + "/in use";
  Process first(
      built_program_argv(GPIO_DLL_SIM, {"serve", "--mount", folder, "--serial", "FIRST"}));
  ASSERT_TRUE(first.wait_for("control:")) << first.err;
  const ToolRun second = run_sim({"serve", "--mount", folder, "--serial", "SECOND"});
  EXPECT_EQ(second.status, 1);
  EXPECT_EQ(second.err, "gpio-dll-sim: cannot serve at " + folder +
                            ": already in use: gpio-dll-sim (fuse) is mounted there (stop its "
                            "server, or pick another folder)\n");
  EXPECT_EQ(second.out, "");
  // The first server still serves, unhidden.
  std::ifstream uevent(folder + "/sys/class/hidraw/hidraw0/device/uevent");
  const std::string text((std::istreambuf_iterator<char>(uevent)), {});
  EXPECT_NE(text.find("HID_UNIQ=FIRST\n"), std::string::npos) << text;
  EXPECT_EQ(first.finish(SIGTERM), 0);
  EXPECT_EQ(first.err, "");

  // A plain file is no folder to mount at.
  const std::string file = base_ + "/file";
  std::ofstream(file) << "x";
  const ToolRun not_folder = run_sim({"serve", "--mount", file});
  EXPECT_EQ(not_folder.status, 1);
  EXPECT_EQ(not_folder.err, "gpio-dll-sim: cannot serve at " + file + ": not a folder\n");
}

// An unknown firmware version, when asked for, is served: a host identifies it, then refuses
// every bus operation with 133.
TEST_F(SimServing, ServesAnUnknownFirmwareWhenAskedTo) {
  Process server(built_program_argv(
      GPIO_DLL_SIM, {"serve", "--mount", base_, "--fw", "3.0.0", "--allow-unknown-fw"}));
  ASSERT_TRUE(server.wait_for("control:")) << server.err;
  const std::string device = "--device " + base_ + "/dev/hidraw0 ";
  const ToolRun identify = run_tool(device + "identify");
  EXPECT_EQ(identify.status, 0) << identify.err;
  EXPECT_EQ(identify.out.rfind("firmware: 3.0.0\n", 0), 0u) << identify.out;
  const ToolRun read_word = run_tool(device + "smbus read-word 0x0b 0x0d");
  EXPECT_EQ(read_word.status, 2);
  EXPECT_EQ(read_word.err, "gpio-dll: 133: GPIO Firmware Version is not supported.\n");
  EXPECT_EQ(server.finish(SIGTERM), 0);
}

}  // namespace
