// The confirmation before writes and the progress bar, with the tool on a pseudo-terminal: asked
// only on a terminal without -y, never in a pipe.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "support/tool_process.hpp"

namespace {

using gpio_dll::testing::Process;
using gpio_dll::testing::run_tool;
using gpio_dll::testing::tool_temp_path;
using gpio_dll::testing::ToolRun;

constexpr const char* kQuestion = "Continue? [Y/n] ";

// The tool on a pseudo-terminal, with `typed` typed at once and `answer` when the question shows;
// `out` holds all the terminal got. The pager marks each line it shows.
ToolRun run_on_terminal(const std::string& args, const std::string& answer = "",
                        const std::string& typed = "") {
  Process tool("/bin/sh",
               {"-c", "PAGER='sed s/^/paged:/' " +
                          gpio_dll::testing::built_program_command(GPIO_DLL_TOOL) + " " + args},
               true);
  if (!typed.empty()) tool.type(typed);
  if (tool.wait_for(kQuestion)) tool.type(answer + "\n");
  const int status = tool.finish();
  return {status, tool.out, ""};
}

struct PromptCase {
  std::string args;    // after --sim 2.0.19 --trace
  std::string answer;  // typed at the question
  bool asked;
  int status;
  std::string typed = "";  // typed before the question (batch's calls)
};

// Every command that writes to a device or to the module asks, and a declined one reaches
// neither; with --json it prints one line that says it did not run.
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
      {"smbus process-call 0x0b 0 1", "n", true, 1},
      {"smbus block-process-call 0x0b 0x44 1", "n", true, 1},
      {"i2c write 0x50 0 1", "n", true, 1},
      {"i2c write-read 0x50 0 1 7", "n", true, 1},
      {"transfer w2@0x50 0 1", "n", true, 1},
      {"transfer w2@0x50 0 1 r1", "n", true, 1},
      {"transfer w1@0x0b 0x0d", "n", true, 1},
      {"lines set p0 3", "n", true, 1},
      {"lines set p1 1 2 3", "n", true, 1},
      {"lines set pmbus 1", "n", true, 1},
      {"dma 2BFF", "n", true, 1},
      {"eeprom write " + image, "n", true, 1},
      {"eeprom write " + image, "y", true, 0},
      {"call gpio_writesmbusword 0 1 2 0x16", "n", true, 1},  // any case
      {"call --identify GPIO_SetP0Line 3", "y", true, 0},
      {"batch", "n", true, 1, "GPIO_FW_EEP_WRITE 2.0.19 00\n"},
      {"--json smbus write-word 0x0b 0 1", "n", true, 1},
      {"--json call GPIO_DMA 2BFF \"\"", "n", true, 1},
      {"-y smbus write-byte 0x0b 0 1", "", false, 0},
      {"smbus write-byte 0x0b 0 1 --yes", "", false, 0},
      {"eeprom write -y " + image, "", false, 0},
      {"-y lines set p0 3", "", false, 0},
      {"-y call --identify GPIO_SetPMBusLine 1", "", false, 0},
      {"smbus read-byte 0x0b 0", "", false, 0},
      {"i2c write-read 0x50 0 1", "", false, 0},
      {"transfer w1@0x0b 0x0d r2", "", false, 0},
      {"lines get p0", "", false, 0},
      {"call --identify GPIO_ReadSMBusWord 0x0d 0 0 0x16", "", false, 0},
  };
  for (const auto& c : cases) {
    const std::string args = "--sim 2.0.19 --trace " + c.args;
    const ToolRun r = run_on_terminal(args, c.answer, c.typed);
    EXPECT_EQ(r.status, c.status) << args << ":\n" << r.out;
    EXPECT_EQ(r.out.find(kQuestion) != std::string::npos, c.asked) << args << ":\n" << r.out;
    if (c.status == 1) {
      EXPECT_NE(r.out.find("aborting on user request"), std::string::npos) << args;
      // Declined before the module was even identified.
      EXPECT_EQ(r.out.find("WriteFile"), std::string::npos) << args;
    }
    if (c.status == 1 && c.args.starts_with("--json")) {
      const auto json = r.out.find("\n{");
      ASSERT_NE(json, std::string::npos) << args << ":\n" << r.out;
      const auto object = nlohmann::json::parse(r.out.substr(json + 1, r.out.find('\n', json + 1)));
      const std::string command = object.value("command", "");
      EXPECT_TRUE(!command.empty() && c.args.substr(7).starts_with(command)) << args;
      EXPECT_EQ(object.value("result", ""), "declined") << args;
      EXPECT_EQ(object.value("message", ""), "aborting on user request") << args;
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
  const ToolRun r = run_on_terminal("--sim 2.0.19 eeprom read " + file);
  std::remove(file.c_str());
  EXPECT_EQ(r.status, 0) << r.out;
  const auto last = r.out.rfind("/8192");
  ASSERT_NE(last, std::string::npos) << r.out;
  EXPECT_EQ(r.out.substr(last - 5, 10), " 8192/8192") << "drawn again after the end";
  // 40 marks for the whole image, none for the first chunk, half for half of it.
  const auto bar = [](int marks, const std::string& bytes) {
    return "\r[" + std::string(marks, '#') + std::string(40 - marks, ' ') + "] " + bytes;
  };
  for (const auto& [marks, bytes] :
       {std::pair{0, "32/8192"}, {20, "4096/8192"}, {39, "8160/8192"}, {40, "8192/8192"}})
    EXPECT_NE(r.out.find(bar(marks, bytes)), std::string::npos) << bytes << r.out.substr(last - 60);
  // Cleared: the line is blanked and the cursor back at its start.
  EXPECT_TRUE(r.out.ends_with(std::string(60, ' ') + "\r")) << r.out.substr(last);
}

TEST(ToolPager, TheEepromTableGoesThroughThePagerOnATerminal) {
  const ToolRun r = run_on_terminal("--sim 2.0.19 eeprom dump");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("paged:0000: ff ff"), std::string::npos) << r.out.substr(0, 400);
  EXPECT_NE(r.out.find("paged:1ff0: ff ff"), std::string::npos);
  // Not on a terminal: straight to standard output.
  EXPECT_TRUE(run_tool("--sim 2.0.19 eeprom dump").out.find("paged:") == std::string::npos);
}

}  // namespace
