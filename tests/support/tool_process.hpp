// Runs the gpio-dll tools as processes: standard output, standard error and exit status, and the
// tool's --json lines parsed.
#pragma once

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/built_program.hpp"

namespace gpio_dll::testing {

using Clock = std::chrono::steady_clock;

// One run of a program with its standard output and error on pipes, or with all three on a
// pseudo-terminal (`terminal`), whose output goes to `out`. A run that does not end within the
// deadline is killed and reported with status -1, so that an argument the program wrongly
// accepts (and then serves on) fails the test instead of hanging it.
class Process {
 public:
  Process(const std::string& program, const std::vector<std::string>& args, bool terminal = false)
      : Process(with_program(program, args), terminal) {}
  // `argv`: the program (looked up on PATH unless a path) and its arguments.
  explicit Process(const std::vector<std::string>& argv, bool terminal = false) {
    int out_pipe[2], err_pipe[2];
    if (terminal)
      pid_ = forkpty(&out_fd_, nullptr, nullptr, nullptr);
    else if (pipe(out_pipe) == 0 && pipe(err_pipe) == 0)
      pid_ = fork();
    else
      return;
    if (pid_ == 0) {
      if (!terminal) {
        dup2(out_pipe[1], STDOUT_FILENO);
        dup2(err_pipe[1], STDERR_FILENO);
        close(out_pipe[0]);
        close(err_pipe[0]);
      }
      std::vector<char*> words;
      for (const auto& a : argv)
        words.push_back(const_cast<char*>(a.c_str()));
      words.push_back(nullptr);
      execvp(words[0], words.data());
      _exit(127);
    }
    if (terminal) return;
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

  // Types `text` at the terminal.
  void type(const std::string& text) {
    EXPECT_EQ(write(out_fd_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }

  // Stops the program with `signal` (0: lets it end by itself), reads both pipes to their end,
  // which waits for every process that holds them too, and returns the exit status.
  int finish(int signal = 0, std::chrono::seconds limit = std::chrono::seconds(10)) {
    if (pid_ <= 0) return -1;
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
  static std::vector<std::string> with_program(const std::string& program,
                                               const std::vector<std::string>& args) {
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
  }

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

struct ToolRun {
  int status = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

// A file name of this process only: the tests of a suite run in parallel processes.
inline std::string tool_temp_path(const std::string& what) {
  static int calls = 0;
  return ::testing::TempDir() + "/gpio_dll_cli_" + std::to_string(getpid()) + "_" +
         std::to_string(++calls) + "_" + what;
}

// Runs the tool with `args` (shell words) and `input` on standard input.
inline ToolRun run_tool(const std::string& args, const std::string& input = "") {
  const std::string in_path = tool_temp_path("in.txt");
  std::ofstream(in_path) << input;
  Process run("/bin/sh",
              {"-c", built_program_command(GPIO_DLL_TOOL) + " " + args + " < " + in_path});
  const int status = run.finish(0, std::chrono::seconds(60));
  std::remove(in_path.c_str());
  return {status, run.out, run.err};
}

// Every line of `out` as JSON; a line that does not parse fails the test.
inline std::vector<nlohmann::json> json_lines(const std::string& out, const std::string& what) {
  std::vector<nlohmann::json> objects;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    try {
      objects.push_back(nlohmann::json::parse(line));
    } catch (const nlohmann::json::parse_error& e) {
      ADD_FAILURE() << what << ": " << e.what() << "\n" << line;
    }
  }
  return objects;
}

// The one JSON object a run printed; fails the test unless there is exactly one.
inline nlohmann::json only_json(const ToolRun& r, const std::string& what) {
  const auto objects = json_lines(r.out, what);
  EXPECT_EQ(objects.size(), 1u) << what << "\n" << r.out << r.err;
  return objects.empty() ? nlohmann::json::object() : objects.front();
}

}  // namespace gpio_dll::testing
