// The confirmation before writes and the progress bar, with the tool on a pseudo-terminal: asked
// only on a terminal without -y, never in a pipe.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "support/tool_process.hpp"

namespace {

using gpio_dll::testing::run_tool;
using gpio_dll::testing::tool_temp_path;

struct TerminalRun {
  int status = -1;
  std::string screen;  // standard output and standard error as the terminal got them
};

constexpr const char* kQuestion = "Continue? [Y/n] ";

// Runs the tool on a pseudo-terminal; types `answer` when the question shows. The wait for the
// child is bounded (a tool that blocks fails the test) but never a sleep.
TerminalRun run_on_terminal(const std::string& args, const std::string& answer) {
  TerminalRun run;
  int master = -1;
  const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
  if (child < 0) return run;
  if (child == 0) {
    setenv("PAGER", "sed s/^/paged:/", 1);
    const std::string command = std::string(GPIO_DLL_TOOL) + " " + args;
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  bool answered = false;
  for (;;) {
    pollfd fd{master, POLLIN, 0};
    if (poll(&fd, 1, 20000) <= 0) {
      ADD_FAILURE() << args << ": no output for 20 s:\n" << run.screen;
      kill(child, SIGKILL);
      break;
    }
    char buffer[4096];
    const ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) break;  // EIO once the child has closed the terminal
    run.screen.append(buffer, static_cast<std::size_t>(n));
    if (!answered && run.screen.find(kQuestion) != std::string::npos) {
      answered = true;
      const std::string typed = answer + "\n";
      EXPECT_EQ(write(master, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    }
  }
  close(master);
  int status = 0;
  waitpid(child, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

struct PromptCase {
  std::string args;    // after --sim 2.0.19 --trace
  std::string answer;  // typed at the question
  bool asked;
  int status;
};

TEST(ToolPrompt, WritesAskOnATerminalUnlessToldNotTo) {
  const std::string image = tool_temp_path("prompt_image");
  std::ofstream(image, std::ios::binary) << std::string(8192, '\0');
  const std::vector<PromptCase> cases = {
      {"smbus write-byte 0x0b 0 1", "", true, 0},
      {"smbus write-byte 0x0b 0 1", "y", true, 0},
      {"smbus write-word 0x0b 0 1", "Yes", true, 0},
      {"smbus write-word 0x0b 0 1", "n", true, 1},
      {"smbus send-byte 0x0b 1", "no", true, 1},
      {"smbus write-block 0x0b 0x44 1 2", "n", true, 1},
      {"i2c write 0x50 0 1", "n", true, 1},
      {"i2c write-read 0x50 0 1 7", "n", true, 1},
      {"transfer w2@0x50 0 1", "n", true, 1},
      {"eeprom write " + image, "n", true, 1},
      {"eeprom write " + image, "y", true, 0},
      {"-y smbus write-byte 0x0b 0 1", "", false, 0},
      {"smbus write-byte 0x0b 0 1 --yes", "", false, 0},
      {"eeprom write -y " + image, "", false, 0},
      {"smbus read-byte 0x0b 0", "", false, 0},
      {"i2c write-read 0x50 0 1", "", false, 0},
      {"transfer w1@0x0b 0x0d r2", "", false, 0},
  };
  for (const auto& c : cases) {
    const std::string args = "--sim 2.0.19 --trace " + c.args;
    const TerminalRun r = run_on_terminal(args, c.answer);
    EXPECT_EQ(r.status, c.status) << args << ":\n" << r.screen;
    EXPECT_EQ(r.screen.find(kQuestion) != std::string::npos, c.asked) << args << ":\n" << r.screen;
    if (c.status == 1) {
      EXPECT_NE(r.screen.find("aborting on user request"), std::string::npos) << args;
      // Declined before the module was even identified.
      EXPECT_EQ(r.screen.find("WriteFile"), std::string::npos) << args;
    }
  }
  std::remove(image.c_str());
}

TEST(ToolPrompt, PipesAndFilesAreNeverAsked) {
  // Standard input from a file, as scripts run the tool: no question, no wait for an answer.
  for (const char* args :
       {"--sim 2.0.19 smbus write-byte 0x0b 0 1", "--sim 2.0.19 i2c write 0x50 0 1"}) {
    const auto r = run_tool(args, "n\n");
    EXPECT_EQ(r.status, 0) << args << ": " << r.err;
    EXPECT_EQ(r.err.find("Continue?"), std::string::npos) << args;
  }
}

TEST(ToolProgress, TheBarEndsAtTheLastChunkAndIsCleared) {
  const std::string file = tool_temp_path("progress_image");
  const TerminalRun r = run_on_terminal("--sim 2.0.19 eeprom read " + file, "");
  std::remove(file.c_str());
  EXPECT_EQ(r.status, 0) << r.screen;
  const auto last = r.screen.rfind("/8192");
  ASSERT_NE(last, std::string::npos) << r.screen;
  EXPECT_EQ(r.screen.substr(last - 5, 10), " 8192/8192") << "drawn again after the end";
  // Cleared: the line is blanked and the cursor back at its start.
  EXPECT_TRUE(r.screen.ends_with(std::string(60, ' ') + "\r")) << r.screen.substr(last);
}

TEST(ToolPager, TheEepromTableGoesThroughThePagerOnATerminal) {
  const TerminalRun r = run_on_terminal("--sim 2.0.19 eeprom dump", "");
  EXPECT_EQ(r.status, 0) << r.screen;
  EXPECT_NE(r.screen.find("paged:0000: ff ff"), std::string::npos) << r.screen.substr(0, 400);
  EXPECT_NE(r.screen.find("paged:1ff0: ff ff"), std::string::npos);
  // Not on a terminal: straight to standard output.
  EXPECT_TRUE(run_tool("--sim 2.0.19 eeprom dump").out.find("paged:") == std::string::npos);
}

}  // namespace
