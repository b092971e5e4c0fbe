// The simulated module served as a hidraw device by gpio-dll-sim, for tests that go through
// the kernel. They need root, /dev/fuse and fusermount3; without them they skip, unless
// GPIO_DLL_REQUIRE_SERVED_DEVICE is set (CI), where a missing prerequisite fails them.
#pragma once

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/built_program.hpp"

namespace gpio_dll::testing {

inline std::string missing_prerequisite() {
  if (geteuid() != 0) return "needs root";
  if (access("/dev/fuse", R_OK | W_OK) != 0) return "needs /dev/fuse";
  if (access("/usr/bin/fusermount3", X_OK) != 0) return "needs fusermount3 (package fuse3)";
  return {};
}

#define REQUIRE_SERVED_DEVICE()                                                        \
  do {                                                                                 \
    const std::string missing = ::gpio_dll::testing::missing_prerequisite();           \
    if (!missing.empty()) {                                                            \
      if (std::getenv("GPIO_DLL_REQUIRE_SERVED_DEVICE") != nullptr) FAIL() << missing; \
      GTEST_SKIP() << "served-device tests skipped: " << missing;                      \
    }                                                                                  \
  } while (0)

// One gpio-dll-sim serve process, serving `modules` modules (an empty serial: the server's
// default serial numbers).
class Server {
 public:
  bool start(const std::string& mount, const std::string& fw = "2.0.19",
             const std::string& serial = "SIM0001", int modules = 1) {
    int out[2];
    if (pipe(out) != 0) return false;
    pid_ = fork();
    if (pid_ == 0) {
      // A test process that dies (a crash is what some tests look for) takes its server along.
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      const std::string count = std::to_string(modules);
      std::vector<std::string> args = {"serve", "--fw", fw, "--mount", mount, "--modules", count};
      if (!serial.empty()) args.insert(args.end(), {"--serial", serial});
      const std::vector<std::string> words = built_program_argv(GPIO_DLL_SIM, args);
      std::vector<char*> argv;
      for (const auto& word : words)
        argv.push_back(const_cast<char*>(word.c_str()));
      argv.push_back(nullptr);
      execvp(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    // Ready once it has printed where the device is.
    std::string text;
    char buffer[256];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (text.find("control:") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
      pollfd p{out[0], POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      const ssize_t n = read(out[0], buffer, sizeof buffer);
      if (n <= 0) break;
      text.append(buffer, static_cast<std::size_t>(n));
    }
    close(out[0]);
    return text.find("control:") != std::string::npos;
  }
  void stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }
  // Killed with no chance to clean up (SIGKILL), as a crash would end it; the kernel ends its
  // mount's connection and fusermount3 unmounts it.
  void kill_hard() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }
  ~Server() { stop(); }

 private:
  pid_t pid_ = -1;
};

}  // namespace gpio_dll::testing
