// gpio-dll keeps its own commands: i2c-tools habits there name the i2c-tools command that takes
// them, and the i2c-tools commands run as gpio-dll's commands with the module chosen by options or
// the environment.
#include <gtest/gtest.h>

#include <string>

#include "support/tool_process.hpp"

namespace {

using gpio_dll::testing::run_tool;
using gpio_dll::testing::ToolRun;

TEST(I2cToolsHabits, NameTheI2cToolsCommandThatTakesThem) {
  const struct {
    const char* args;
    const char* names;
  } cases[] = {
      {"scan -y 1", "use `gpio-dll i2cdetect` for i2c-tools syntax (gpio-dll i2cdetect -y -r 1)"},
      {"scan -y 1 0x08 0x77", "use `gpio-dll i2cdetect`"},
      {"scan -r", "use `gpio-dll i2cdetect`"},
      {"smbus read-word 0x0b 0x0d w",
       "use `gpio-dll i2cget` for i2c-tools syntax (gpio-dll i2cget -y 1 0x0b 0x0d w)"},
      {"smbus read-byte 0x0b 0x0d b", "use `gpio-dll i2cget`"},
      {"smbus write-word 0x0b 0x00 0x1234 w", "use `gpio-dll i2cset`"},
      {"smbus -y 1 0x0b 0x0d", "use `gpio-dll i2cget`"},
      {"dump -r 0x08-0x1f 0x0b", "use `gpio-dll i2cdump` for i2c-tools syntax"},
      {"dump 0x0b 0x08-0x1f", "use `gpio-dll i2cdump`"},
      {"dump 0x0b i", "use `gpio-dll i2cdump`"},
      {"transfer 1 w1@0x0b 0x0d r2", "use `gpio-dll i2ctransfer`"},
      {"-y i2cget 1 0x0b 0x0d w", "i2cget takes i2c-tools' options after its name"},
  };
  for (const auto& c : cases) {
    const ToolRun r = run_tool(std::string("--sim 2.0.19 ") + c.args);
    EXPECT_EQ(r.status, 1) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.names), std::string::npos) << c.args << "\n" << r.err;
    EXPECT_EQ(r.out, "") << c.args;
  }
}

TEST(I2cToolsHabits, OwnSyntaxStillRuns) {
  const struct {
    const char* args;
    const char* out;
  } cases[] = {
      {"smbus read-word 0x0b 0x0d", "0x0057\n"},
      {"smbus read-word 0x0b 0x0d p", "0x0057\n"},
      {"-y smbus write-word 0x0b 0x00 0x1234", ""},
      {"transfer w1@0x0b 0x0d r2", "0x57 0x00\n"},
  };
  for (const auto& c : cases) {
    const ToolRun r = run_tool(std::string("--sim 2.0.19 ") + c.args);
    EXPECT_EQ(r.status, 0) << c.args << "\n" << r.err;
    EXPECT_EQ(r.out, c.out) << c.args;
  }
  const ToolRun scan = run_tool("--sim 2.0.19 scan 0x0a 0x0c");
  EXPECT_EQ(scan.status, 0) << scan.err;
  EXPECT_NE(scan.out.find("0b"), std::string::npos) << scan.out;
}

TEST(I2cToolsAsCommands, TakeTheModuleFromOptionsOrTheEnvironment) {
  const struct {
    const char* line;  // shell words after the environment
    int status;
    const char* out;
    const char* err;
  } cases[] = {
      {"TOOL --sim 2.0.19 i2cget -y 1 0x0b 0x0d w", 0, "0x0057\n", ""},
      {"TOOL --sim 1.0.10 --serial SIM0001 i2cget -y 1 0x0b 0x0d w", 0, "0x0057\n", ""},
      {"GPIO_DLL_SIM=1.0.10 TOOL i2cget -y 1 0x0b 0x0d w", 0, "0x0057\n", ""},
      {"GPIO_DLL_SIM=2.0.19 TOOL smbus read-word 0x0b 0x0d", 0, "0x0057\n", ""},
      {"GPIO_DLL_SIM=2.0.19 GPIO_DLL_SERIAL=OTHER TOOL i2cget -y 1 0x0b 0x0d w", 1, "",
       "Error: Could not open file `/dev/i2c-1': "},
      {"GPIO_DLL_SIM=2.0.19 GPIO_DLL_DEVICE=/dev/null TOOL i2cget -y 1 0x0b", 1, "",
       "i2cget: GPIO_DLL_SIM and GPIO_DLL_DEVICE exclude each other\n"},
      {"GPIO_DLL_DEVICE=/nonexistent/hidraw0 TOOL i2cdetect -F 1", 1, "",
       "Error: Could not open file `/dev/i2c-1': "},
  };
  for (const auto& c : cases) {
    std::string line = c.line;
    const auto at = line.find("TOOL");
    line.replace(at, 4, gpio_dll::testing::built_program_command(GPIO_DLL_TOOL));
    gpio_dll::testing::Process run(
        "/bin/sh", {"-c", "env -u GPIO_DLL_SIM -u GPIO_DLL_DEVICE -u GPIO_DLL_SERIAL " + line});
    const int status = run.finish(0, std::chrono::seconds(60));
    EXPECT_EQ(status, c.status) << c.line << "\n" << run.out << run.err;
    EXPECT_EQ(run.out, c.out) << c.line;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << c.line << "\n" << run.err;
  }
}

}  // namespace
