// The FLTK front end, under Xvfb: the gate opened, a correct digest typed, the debug window with
// the simulated module's identifiers, a test report, and a screenshot of each window (xwd, then
// PNG) under the build tree. Also: no display at all, a display that goes away, how the library
// finds and loads the front end's module, and which binaries link FLTK and X11.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "diagnostics/toolkit_loader.hpp"
#include "gpio_dll/debug_window.hpp"
#include "support/headless_windows.hpp"

namespace gpio_dll {
namespace {

using diagnostics::ToolkitFrontEnd;
using testing::on_fresh_thread;

// The front end from the module that GPIO_DLL_FLTK_MODULE names (set by CMakeLists.txt).
std::shared_ptr<ToolkitFrontEnd> loaded_front_end() {
  auto load = diagnostics::load_toolkit();
  EXPECT_EQ(load.failure, "");
  return load.front_end;
}

// What a shell command prints on its standard output and error.
std::string output_of(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
      out += buffer;
    pclose(pipe);
  }
  return out;
}

// Saves the X window as PNG: xwd, then netpbm.
bool screenshot(unsigned long window, const std::string& name) {
  std::filesystem::create_directories(GPIO_DLL_ARTIFACT_DIR);
  const std::string base = std::string(GPIO_DLL_ARTIFACT_DIR) + "/" + name;
  const std::string command = "xwd -silent -id " + std::to_string(window) + " -out " + base +
                              ".xwd && xwdtopnm " + base + ".xwd 2>/dev/null | pnmtopng > " + base +
                              ".png";
  return std::system(command.c_str()) == 0 && std::filesystem::file_size(base + ".png") > 0;
}

class FltkFrontEnd : public testing::SimulatedModuleTest {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) {
      if (std::getenv("GPIO_DLL_REQUIRE_DISPLAY") != nullptr) FAIL() << "no DISPLAY";
      GTEST_SKIP() << "FLTK front-end tests need a display (run them under xvfb-run)";
    }
    SimulatedModuleTest::SetUp();
    port_ = loaded_front_end();
    ASSERT_TRUE(port_) << "no display could be opened at " << std::getenv("DISPLAY");
    diagnostics::set_windowing(port_);
  }
  void TearDown() override { SimulatedModuleTest::TearDown(); }

  std::shared_ptr<ToolkitFrontEnd> port_;
};

TEST_F(FltkFrontEnd, TheGateOpensTheDebugWindowAndOnceRunsAReport) {
  on_fresh_thread([&] {
    auto& state = ModuleState::current();
    std::string none;
    EXPECT_EQ(cls_GPIO_DLL().ShowDbg(none), 0);
    port_->settle();
    auto* gate = diagnostics::existing_login_form(state);
    ASSERT_NE(gate, nullptr);
    EXPECT_TRUE(port_->shown_on_screen(*gate));
    const std::string challenge = port_->text_of(*gate, "txtUserName");
    EXPECT_EQ(challenge.size(), 16u);
    EXPECT_EQ(challenge, state.access_gate.challenge);

    // The key filter is the model's: a 'g' is dropped, lower case comes out upper case.
    std::string digest = testing::gate_digest(challenge);
    std::string typed = "g";
    for (char c : digest)
      typed += static_cast<char>(std::tolower(c));
    port_->type(*gate, "txtPassword", typed);
    EXPECT_EQ(port_->text_of(*gate, "txtPassword"), digest);
    EXPECT_TRUE(screenshot(port_->x_window(*gate), "check_access"));

    port_->click(*gate, "cmdOK");
    port_->settle();
    auto* window = diagnostics::existing_debug_window(state);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(port_->shown_on_screen(*gate));
    EXPECT_TRUE(port_->shown_on_screen(*window));
    EXPECT_EQ(port_->text_of(*window, "Text3(1)"), "0451");
    EXPECT_EQ(port_->text_of(*window, "Text3(2)"), "5F00");
    EXPECT_EQ(port_->text_of(*window, "Text3(3)"), "2.0.19");
    EXPECT_EQ(port_->text_of(*window, "Text1"), "280B010203" + std::string(118, '0'));
    EXPECT_EQ(port_->text_of(*window, "Combo1(0)"), "28");

    port_->click(*window, "cmdOnce");
    port_->settle();
    EXPECT_EQ(port_->text_of(*window, "Text16"), "End.");
    EXPECT_EQ(port_->text_of(*window, "Text2").substr(0, 8), "2800FFFF");
    EXPECT_TRUE(screenshot(port_->x_window(*window), "gpio_dll_debug_module"));

    // The client's own calls appear in the trace while the window is shown.
    std::uint8_t lines = 0;
    EXPECT_EQ(cls_GPIO_DLL().GPIO_GetP0Line(lines), OK);
    port_->settle();
    EXPECT_GT(window->ListBox1.count(), 20u);

    // Closing the window unloads it.
    port_->click(*window, "window");
    port_->settle();
  });
}

TEST_F(FltkFrontEnd, AWrongDigestIsRefusedWithAMessageBoxAndANewChallenge) {
  on_fresh_thread([&] {
    auto& state = ModuleState::current();
    std::string none;
    cls_GPIO_DLL().ShowDbg(none);
    port_->settle();
    auto* gate = diagnostics::existing_login_form(state);
    ASSERT_NE(gate, nullptr);
    const std::string challenge = state.access_gate.challenge;
    port_->type(*gate, "txtPassword", "0");
    // The refusal's message box blocks the event until closed: close it from here.
    port_->click(*gate, "cmdOK");
    EXPECT_TRUE(port_->close_message_box());
    port_->settle();
    EXPECT_NE(state.access_gate.challenge, challenge);
    EXPECT_EQ(port_->text_of(*gate, "txtPassword"), "");
    EXPECT_TRUE(port_->shown_on_screen(*gate));
  });
}

TEST_F(FltkFrontEnd, TheWindowOutlivesItsThreadAndKeepsWorking) {
  std::shared_ptr<ModuleState> owner;
  on_fresh_thread([&] {
    owner = ModuleState::current_shared();
    std::string none;
    cls_GPIO_DLL().ShowDbg(none);
    port_->settle();
    auto* gate = diagnostics::existing_login_form(*owner);
    ASSERT_NE(gate, nullptr);
    port_->type(*gate, "txtPassword", testing::gate_digest(owner->access_gate.challenge));
    port_->click(*gate, "cmdOK");
    port_->settle();
  });
  std::weak_ptr<ModuleState> weak = owner;
  auto* window = diagnostics::existing_debug_window(*owner);
  ASSERT_NE(window, nullptr);
  owner.reset();  // the thread has ended; the open window holds its state
  ASSERT_FALSE(weak.expired());
  port_->click(*window, "cmdOnce");
  port_->settle();
  EXPECT_EQ(port_->text_of(*window, "Text16"), "End.");
  // Closing the window lets the state go.
  port_->click(*window, "window");
  port_->settle();
  EXPECT_TRUE(weak.expired());
}

// Runs with DISPLAY unset (see CMakeLists.txt): the library stays headless, the client runs on.
TEST(WithoutDisplay, TheWindowsRunHeadlessAndTheClientKeepsRunning) {
  if (std::getenv("GPIO_DLL_NO_DISPLAY_RUN") == nullptr)
    GTEST_SKIP() << "runs with DISPLAY unset, as its own test";
  ASSERT_EQ(std::getenv("DISPLAY"), nullptr);
  auto setup = sim::install_simulated_module();
  EXPECT_FALSE(debug_window::on_display());
  EXPECT_EQ(debug_window::headless_reason(), std::string(GPIO_DLL_FLTK_MODULE_FILE) +
                                                 ": no display could be opened (DISPLAY is "
                                                 "not set)");
  std::string none;
  cls_GPIO_DLL dll;
  EXPECT_EQ(dll.ShowDbg(none), 0);
  std::string fw, vid, pid;
  EXPECT_EQ(dll.GPIO_FW_VER_Read(fw, vid, pid), OK);
  EXPECT_TRUE(debug_window::open());  // the gate, headless
  platform::use_system();
}

// A display that goes away under an open window does not end the process.
TEST(DisplayGone, TheClientKeepsRunningWhenTheDisplayDies) {
  if (access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "needs Xvfb";
  // Xvfb picks a free display number itself (-displayfd) and writes it once it listens, so that
  // tests running side by side never pick the same one.
  int pipe_fds[2];
  ASSERT_EQ(pipe(pipe_fds), 0);
  const pid_t xvfb = fork();
  if (xvfb == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive the test
    close(pipe_fds[0]);
    const std::string fd = std::to_string(pipe_fds[1]);
    execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipe_fds[1]);
  std::string number;
  char c = 0;
  while (read(pipe_fds[0], &c, 1) == 1 && c != '\n')
    number += c;
  close(pipe_fds[0]);
  ASSERT_FALSE(number.empty()) << "Xvfb did not start";
  const std::string display = ":" + number;
  setenv("DISPLAY", display.c_str(), 1);
  auto port = loaded_front_end();
  ASSERT_TRUE(port);
  diagnostics::set_windowing(port);
  auto setup = sim::install_simulated_module();
  on_fresh_thread([&] {
    std::string none;
    cls_GPIO_DLL dll;
    dll.ShowDbg(none);
    port->settle();
    kill(xvfb, SIGKILL);
    waitpid(xvfb, nullptr, 0);
    // Killed, Xvfb leaves its lock and socket behind.
    unlink(("/tmp/.X" + number + "-lock").c_str());
    unlink(("/tmp/.X11-unix/X" + number).c_str());
    for (int i = 0; i < 30 && port->display_alive(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(port->display_alive());
    std::string fw, vid, pid;
    EXPECT_EQ(dll.GPIO_FW_VER_Read(fw, vid, pid), OK);
    EXPECT_EQ(dll.ShowDbg(none), 0);
  });
  platform::use_system();
}

// Each way of not getting a front end leaves the windows headless with its reason.
TEST(ToolkitModule, Loading) {
  const std::string not_a_module = ::testing::TempDir() + "/gpio_dll_not_a_module.so";
  std::ofstream(not_a_module) << "not a shared object\n";
  struct Row {
    const char* what;
    std::string module;  // GPIO_DLL_FLTK_MODULE; empty: unset
    std::string reason;  // the start of the failure text
  };
  std::vector<Row> rows = {
      {"missing file", "/nonexistent/gpio_dll_fltk.so",
       "cannot load /nonexistent/gpio_dll_fltk.so: "},
      {"not a shared object", not_a_module, "cannot load " + not_a_module + ": "},
      {"a library without the entry point", GPIO_DLL_OTHER_LIBRARY_FILE,
       std::string(GPIO_DLL_OTHER_LIBRARY_FILE) + " is not the debug window's front end"},
      {"another build's module", GPIO_DLL_WRONG_ABI_MODULE_FILE,
       std::string(GPIO_DLL_WRONG_ABI_MODULE_FILE) + " has interface version " +
           std::to_string(diagnostics::kToolkitAbiVersion + 1) + ", the library " +
           std::to_string(diagnostics::kToolkitAbiVersion)},
      {"no display", GPIO_DLL_FLTK_MODULE_FILE,
       std::string(GPIO_DLL_FLTK_MODULE_FILE) +
           ": no display could be opened (DISPLAY is not set)"},
  };
  // Unless one is installed, nothing is found: beside this program (linked statically) and in
  // the configured library directory.
  if (!std::filesystem::exists(GPIO_DLL_CONFIGURED_MODULE_FILE)) {
    const auto beside = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "gpio_dll" /
                        "gpio_dll_fltk.so";
    rows.push_back({"not installed", "",
                    "the debug window's front end is not installed (looked for " + beside.string() +
                        ", " + GPIO_DLL_CONFIGURED_MODULE_FILE + ")"});
  }
  unsetenv("DISPLAY");
  for (const auto& row : rows) {
    if (row.module.empty())
      unsetenv("GPIO_DLL_FLTK_MODULE");
    else
      setenv("GPIO_DLL_FLTK_MODULE", row.module.c_str(), 1);
    const auto load = diagnostics::load_toolkit();
    EXPECT_EQ(load.front_end, nullptr) << row.what;
    EXPECT_EQ(load.failure.substr(0, row.reason.size()), row.reason) << row.what;
  }
  // The library keeps the reason where the tool reports it; the tool (static, in the build
  // tree) finds the module in gpio_dll/ beside itself.
  unsetenv("GPIO_DLL_FLTK_MODULE");
  EXPECT_NE(output_of(std::string(GPIO_DLL_TOOL) + " debug-window")
                .find("gpio_dll/gpio_dll_fltk.so: no display could be opened"),
            std::string::npos);
  std::filesystem::remove(not_a_module);
}

// Only the front end's module links FLTK and X11.
TEST(ToolkitModule, NeededLibraries) {
  const std::vector<std::pair<std::string, bool>> files = {
      {GPIO_DLL_SHARED_LIBRARY_FILE, false},
      {GPIO_DLL_TOOL, false},
      {GPIO_DLL_PYTHON_EXTENSION_FILE, false},
      {GPIO_DLL_FLTK_MODULE_FILE, true},
  };
  for (const auto& [file, toolkit] : files) {
    if (file.empty()) continue;  // a build without the Python extension
    const std::string needed = output_of("readelf -d " + file + " | grep NEEDED");
    ASSERT_NE(needed.find("libc.so"), std::string::npos) << file << ": " << needed;
    EXPECT_EQ(needed.find("libfltk") != std::string::npos, toolkit) << file << ": " << needed;
    EXPECT_EQ(needed.find("libX11") != std::string::npos, toolkit) << file << ": " << needed;
  }
}

}  // namespace
}  // namespace gpio_dll
