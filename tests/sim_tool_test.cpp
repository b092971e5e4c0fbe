// gpio-dll-sim run as a process: its answers to bad arguments, and how it mounts and stops.
// The serving tests need root, /dev/fuse and fusermount3; elsewhere they skip (see
// served_module.hpp).
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/served_module.hpp"

namespace {

using Clock = std::chrono::steady_clock;

// One run of a program with its standard output and error on pipes. A run that does not end
// within the deadline is killed and reported with status -1, so that an argument the program
// wrongly accepts (and then serves on) fails the test instead of hanging it.
class Process {
 public:
  Process(const std::string& program, const std::vector<std::string>& args) {
    int out_pipe[2], err_pipe[2];
    if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out_pipe[1], STDOUT_FILENO);
      dup2(err_pipe[1], STDERR_FILENO);
      close(out_pipe[0]);
      close(err_pipe[0]);
      std::vector<char*> argv = {const_cast<char*>(program.c_str())};
      for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    close(out_pipe[1]);
    close(err_pipe[1]);
    out_fd_ = out_pipe[0];
    err_fd_ = err_pipe[0];
  }
  ~Process() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_fd_ >= 0) close(out_fd_);
    if (err_fd_ >= 0) close(err_fd_);
  }

  // Reads standard output until it holds `text`; false if it ends or the deadline passes first.
  bool wait_for(const std::string& text, std::chrono::seconds limit = std::chrono::seconds(10)) {
    const auto deadline = Clock::now() + limit;
    while (out.find(text) == std::string::npos && Clock::now() < deadline)
      if (!read_some(100)) return out.find(text) != std::string::npos;
    return out.find(text) != std::string::npos;
  }

  // Stops the program with `signal` (0: lets it end by itself), reads both pipes to their end,
  // which waits for every process that holds them too, and returns the exit status.
  int finish(int signal = 0, std::chrono::seconds limit = std::chrono::seconds(10)) {
    if (signal != 0) kill(pid_, signal);
    const auto deadline = Clock::now() + limit;
    while ((out_fd_ >= 0 || err_fd_ >= 0) && Clock::now() < deadline)
      read_some(100);
    if (out_fd_ >= 0 || err_fd_ >= 0) kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) && out_fd_ < 0 && err_fd_ < 0 ? WEXITSTATUS(status) : -1;
  }

  std::string out, err;

 private:
  // One poll of both pipes; false once both have ended.
  bool read_some(int timeout_ms) {
    pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
    if (poll(fds, 2, timeout_ms) <= 0) return out_fd_ >= 0 || err_fd_ >= 0;
    drain(fds[0], out_fd_, out);
    drain(fds[1], err_fd_, err);
    return out_fd_ >= 0 || err_fd_ >= 0;
  }
  static void drain(const pollfd& p, int& fd, std::string& into) {
    if (fd < 0 || (p.revents & (POLLIN | POLLHUP | POLLERR)) == 0) return;
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) return void(into.append(buffer, static_cast<std::size_t>(n)));
    close(fd);
    fd = -1;
  }

  pid_t pid_ = -1;
  int out_fd_ = -1, err_fd_ = -1;
};

struct SimRun {
  int status;
  std::string out, err;
};

SimRun run_sim(const std::vector<std::string>& args) {
  Process run(GPIO_DLL_SIM, args);
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
    const SimRun r = run_sim(row.args);
    const std::string shown = row.args.empty() ? "(none)" : row.args.back();
    EXPECT_EQ(r.status, 1) << shown;
    EXPECT_EQ(r.err, "gpio-dll-sim: " + row.message + "\n") << shown;
    EXPECT_EQ(r.out, "") << shown;
  }
}

// Every option the help text (and so the man page and the completion) names is one the parser
// takes: it may want a value, but is never unknown.
TEST(SimTool, TakesEveryOptionItsHelpNames) {
  const SimRun run = run_sim({"--help"});
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
  const SimRun version = run_sim({"serve", "-V"});
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
// ended, fusermount3's unmount helper included); a folder it made is gone, one that was there
// before stays, empty.
TEST_F(SimServing, CleanStopLeavesNoFolderItMadeAndNoMessage) {
  const std::string there = base_ + "/there";
  std::filesystem::create_directory(there);
  for (const std::string& asked : {std::string(), base_ + "/made/here", there}) {
    Process server(GPIO_DLL_SIM, asked.empty()
                                     ? std::vector<std::string>{"serve"}
                                     : std::vector<std::string>{"serve", "--mount", asked});
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
  EXPECT_TRUE(std::filesystem::is_empty(there));
}

TEST_F(SimServing, RefusesAMountFolderInUse) {
  // A blank in the name: the kernel's list of mounts writes it as \040.
  const std::string folder = base_ + "/in use";
  Process first(GPIO_DLL_SIM, {"serve", "--mount", folder, "--serial", "FIRST"});
  ASSERT_TRUE(first.wait_for("control:")) << first.err;
  const SimRun second = run_sim({"serve", "--mount", folder, "--serial", "SECOND"});
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
  const SimRun not_folder = run_sim({"serve", "--mount", file});
  EXPECT_EQ(not_folder.status, 1);
  EXPECT_EQ(not_folder.err, "gpio-dll-sim: cannot serve at " + file + ": not a folder\n");
}

// An unknown firmware version, when asked for, is served: a host identifies it, then refuses
// every bus operation with 133.
TEST_F(SimServing, ServesAnUnknownFirmwareWhenAskedTo) {
  Process server(GPIO_DLL_SIM, {"serve", "--mount", base_, "--fw", "3.0.0", "--allow-unknown-fw"});
  ASSERT_TRUE(server.wait_for("control:")) << server.err;
  const std::string device = base_ + "/dev/hidraw0";
  Process identify(GPIO_DLL_TOOL, {"--device", device, "identify"});
  EXPECT_EQ(identify.finish(), 0) << identify.err;
  EXPECT_EQ(identify.out.rfind("firmware: 3.0.0\n", 0), 0u) << identify.out;
  Process read_word(GPIO_DLL_TOOL, {"--device", device, "smbus", "read-word", "0x0b", "0x0d"});
  EXPECT_EQ(read_word.finish(), 2);
  EXPECT_NE(read_word.err.find("133"), std::string::npos) << read_word.err;
  EXPECT_EQ(server.finish(SIGTERM), 0);
}

}  // namespace
