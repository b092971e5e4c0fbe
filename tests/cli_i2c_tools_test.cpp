// The gpio-dll tool's i2c-tools commands, run as processes: dump, transfer, scan, the firmware's
// limits and the module's EEPROM as files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "support/tool_process.hpp"

namespace {

using gpio_dll::testing::only_json;
using gpio_dll::testing::run_tool;
using gpio_dll::testing::tool_temp_path;
using gpio_dll::testing::ToolRun;

// The hex cell of `reg` in a byte table ("XX" for a failed read, "  " for a blank place).
std::string byte_cell(const std::string& table, int reg, int address_digits = 2) {
  char label[16];
  std::snprintf(label, sizeof label, "\n%0*x: ", address_digits, reg & ~0xF);
  const auto row = table.find(label);
  if (row == std::string::npos) return "no row";
  return table.substr(row + std::string(label).size() + static_cast<std::size_t>(reg % 16) * 3, 2);
}

TEST(ToolDump, ByteCellsAreTheRegistersAsReadByteReadsThem) {
  for (const char* fw : {"1.0.10", "2.0.19"}) {
    const ToolRun dump = run_tool(std::string("--sim ") + fw + " dump 0x0b 0x00 0x1f");
    ASSERT_EQ(dump.status, 0) << dump.err;
    EXPECT_TRUE(dump.out.starts_with(
        "     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f    0123456789abcdef\n00: "))
        << dump.out;
    for (int reg : {0x00, 0x08, 0x09, 0x0d, 0x10, 0x1c}) {
      const ToolRun one =
          run_tool(std::string("--sim ") + fw + " smbus read-byte 0x0b " + std::to_string(reg));
      ASSERT_EQ(one.status, 0) << one.err;
      EXPECT_EQ("0x" + byte_cell(dump.out, reg) + "\n", one.out) << fw << " register " << reg;
    }
  }
}

TEST(ToolDump, BlankOutsideTheRangeAndXXWhereNothingAnswers) {
  const ToolRun r = run_tool("--sim 2.0.19 dump 0x0b 0x0d 0x11");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(byte_cell(r.out, 0x0c), "  ");
  EXPECT_EQ(byte_cell(r.out, 0x0d), "57");
  EXPECT_EQ(byte_cell(r.out, 0x12), "  ");
  // 0x57 is 'W'; registers outside the range are blank in the ASCII column too.
  EXPECT_NE(r.out.find("\n00: " + std::string(13 * 3, ' ')), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("   " + std::string(13, ' ') + "W"), std::string::npos) << r.out;
  const ToolRun absent = run_tool("--sim 2.0.19 dump 0x0c 0 0x0f");
  EXPECT_EQ(absent.status, 0) << absent.err;
  EXPECT_NE(
      absent.out.find("00: XX XX XX XX XX XX XX XX XX XX XX XX XX XX XX XX    XXXXXXXXXXXXXXXX\n"),
      std::string::npos)
      << absent.out;
  const auto json = only_json(run_tool("--json --sim 2.0.19 dump 0x0c 0 3"), "absent");
  EXPECT_EQ(json["values"], nlohmann::json::parse("[null,null,null,null]"));
}

TEST(ToolDump, WordModeMatchesReadWord) {
  const ToolRun dump = run_tool("--sim 1.0.10 --json dump -w 0x0b 0x08 0x17");
  const auto json = only_json(dump, "word dump");
  ASSERT_EQ(json["values"].size(), 16u);
  EXPECT_EQ(json["mode"], "word");
  for (int reg : {0x08, 0x09, 0x0d, 0x17}) {
    const ToolRun one = run_tool("--sim 1.0.10 --json smbus read-word 0x0b " + std::to_string(reg));
    EXPECT_EQ(json["values"][reg - 0x08], only_json(one, "read-word")["value"]) << reg;
  }
  const ToolRun text = run_tool("--sim 1.0.10 dump -w 0x0b 0x08 0x17");
  EXPECT_TRUE(text.out.starts_with("     0,8  1,9  2,a  3,b  4,c  5,d  6,e  7,f\n08: "))
      << text.out;
  EXPECT_NE(text.out.find("\n10: "), std::string::npos) << text.out;
}

// Each transfer gives what the equivalent command gives: the same transaction of the module.
TEST(ToolTransfer, MapsOntoTheModulesTransactions) {
  const std::vector<std::pair<std::string, std::string>> same = {
      {"transfer w1@0x0b 0x0d r2", "i2c write-read 0x0b 0x0d 2"},
      {"transfer w2@0x50 0x00 0x10 r8", "i2c write-read 0x50 0x00 8 0x10"},
      {"transfer w1@0x0b 0x20 r@0x0b 9", "i2c write-read 0x0b 0x20 9"},
      {"transfer r1@0x0b", "smbus receive-byte 0x0b"},
      {"transfer w1@0x0b 0x0d", "smbus send-byte 0x0b 0x0d"},
      {"transfer w3@0x50 0x10 1 2", "i2c write 0x50 0x10 1 2"},
      {"transfer w1@0x21 0 r1", "i2c write-read 0x21 0 1"},  // nobody there: the same failure
      // i2ctransfer's fill suffixes; the trace shows the bytes sent.
      {"--trace transfer w5@0x50 0x10 0xfe+", "--trace i2c write 0x50 0x10 0xfe 0xff 0 1"},
      {"--trace transfer w4@0x50 0x10 1-", "--trace i2c write 0x50 0x10 1 0 0xff"},
      {"--trace transfer w4@0x50 0x10 7= r2", "--trace i2c write-read 0x50 0x10 2 7 7 7"},
      {"--trace transfer w2@0x50 0x10 7+", "--trace i2c write 0x50 0x10 7"},
  };
  for (const char* fw : {"1.0.10", "2.0.19"}) {
    for (const auto& [transfer, command] : same) {
      const std::string sim = std::string("--sim ") + fw + " ";
      const ToolRun a = run_tool(sim + transfer);
      const ToolRun b = run_tool(sim + command);
      EXPECT_EQ(a.status, b.status) << fw << " " << transfer << ": " << a.err;
      EXPECT_EQ(a.out, b.out) << fw << " " << transfer;
      EXPECT_EQ(a.err, b.err) << fw << " " << transfer;
    }
  }
  EXPECT_EQ(only_json(run_tool("--json --sim 2.0.19 transfer w1@0x0b 0x0d r2"), "json"),
            nlohmann::json::parse(
                R"({"command":"transfer","result":0,"message":"OK.","address":11,"data":"5700"})"));
}

std::string bytes(int count) {
  std::string words;
  for (int i = 0; i < count; ++i)
    words += " 7";
  return words;
}

// The reports a traced run wrote to the module.
std::size_t writes(const std::string& trace) {
  std::size_t n = 0;
  for (auto at = trace.find("WriteFile"); at != std::string::npos;
       at = trace.find("WriteFile", at + 1))
    ++n;
  return n;
}

// The firmware's limits are refused as usage errors that name them, before the bus transaction.
TEST(ToolLimits, EachFirmwareGenerationsCountsAreCheckedUpFront) {
  const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      {"2.0.19", "i2c read 0x50 0 60", ""},
      {"2.0.19", "i2c read 0x50 0 61",
       "gpio-dll: read count above what firmware 2.0.19 takes in one i2c read: at most 60"},
      {"1.0.10", "i2c read 0x50 0 62", ""},
      {"1.0.10", "i2c read 0x50 0 63",
       "gpio-dll: read count above what firmware 1.0.10 takes in one i2c read: at most 62"},
      {"1.0.10", "i2c write 0x50 0" + bytes(60), ""},
      {"1.0.10", "i2c write 0x50 0" + bytes(61),
       "gpio-dll: write count above what firmware 1.0.10 takes in one i2c write: at most 60"},
      {"2.0.19", "i2c write 0x50 0" + bytes(61), ""},
      {"2.0.19", "i2c write-read 0x50 0 61", "gpio-dll: read count above"},
      {"2.0.19", "transfer w1@0x50 0 r61", "gpio-dll: read count above"},
      {"2.0.19", "transfer w62@0x50 0" + bytes(61) + " r1", "gpio-dll: write count above"},
      {"1.0.10", "transfer w62@0x50 0" + bytes(61),
       "gpio-dll: write count above what firmware 1.0.10 takes in one i2c write: at most 60"},
      // SMBus block writes follow the same rule as I2C writes.
      {"2.0.19", "smbus write-block 0x0b 0x44" + bytes(120), ""},
      {"2.0.19", "smbus write-block 0x0b 0x44" + bytes(121),
       "gpio-dll: write count above what firmware 2.0.19 takes in one smbus block write: at most "
       "120"},
      {"2.0.19", "i2c write 0x50 0" + bytes(121),
       "gpio-dll: write count above what firmware 2.0.19 takes in one i2c write: at most 120"},
      {"1.0.10", "smbus write-block 0x0b 0x44" + bytes(61),
       "gpio-dll: write count above what firmware 1.0.10 takes in one smbus block write: at most "
       "60"},
      {"2.0.19", "smbus block-process-call 0x0b 0x44" + bytes(121),
       "gpio-dll: write count above what firmware 2.0.19 takes in one block process call"},
  };
  for (const auto& [fw, command, error] : cases) {
    const std::string args = "--sim " + fw + " --trace " + command;
    const ToolRun r = run_tool(args);
    EXPECT_EQ(r.status, error.empty() ? 0 : 1) << args;
    if (error.empty()) continue;
    EXPECT_NE(r.err.find(error), std::string::npos) << args;
    // Identification reached the module (a report for each of the two version queries and their
    // preliminaries), the refused transaction did not.
    EXPECT_EQ(writes(r.err), writes(run_tool("--sim " + fw + " --trace identify").err)) << args;
  }
}

TEST(ToolScan, PrintsAGridOfTheAnsweringAddressesInTheRangeGiven) {
  const ToolRun grid = run_tool("--sim 2.0.19 scan");
  EXPECT_EQ(grid.status, 0) << grid.err;
  EXPECT_TRUE(grid.out.starts_with("     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f\n"));
  EXPECT_NE(grid.out.find("\n00:          -- -- -- -- -- -- -- -- 0b -- -- -- --\n"),
            std::string::npos);
  EXPECT_NE(grid.out.find("\n50: 50 -- --"), std::string::npos);
  const auto all = only_json(run_tool("--json --sim 2.0.19 scan"), "all");
  EXPECT_EQ(all["devices"], nlohmann::json::parse("[11,80]"));
  const std::vector<std::pair<std::string, std::string>> ranges = {
      {"0x03 0x77", "[11,80]"}, {"0x0b 0x0b", "[11]"}, {"0x0c 0x4f", "[]"}, {"0x50 0x77", "[80]"}};
  for (const auto& [range, devices] : ranges) {
    const auto json = only_json(run_tool("--json --sim 1.0.10 scan " + range), range);
    EXPECT_EQ(json["devices"], nlohmann::json::parse(devices)) << range;
  }
  const ToolRun part = run_tool("--sim 2.0.19 scan 0x0c 0x4f");
  EXPECT_NE(part.out.find("\n00:                                     -- -- -- --\n"),
            std::string::npos)
      << part.out;
  EXPECT_NE(part.out.find("\n50:" + std::string(48, ' ') + "\n"), std::string::npos) << part.out;
}

// A script for the simulated "2.0.19" module: identification (the window's start-up, then the
// command), then `good` EEPROM chunks written and one that fails.
std::string failing_write_script(int good) {
  const std::string file = tool_temp_path("eeprom_script.txt");
  std::ofstream out(file);
  out << "00 00\n00 02 00 13\n00 00\n00 02 00 13\n";
  for (int i = 0; i < good; ++i)
    out << "00 00\n";
  out << "00 05\n";
  return file;
}

TEST(ToolEeprom, AWriteThatStopsSaysWhereAndWhatTheEepromHolds) {
  const std::string image = tool_temp_path("image");
  std::ofstream(image, std::ios::binary) << std::string(8192, 'x');
  for (int good : {0, 1, 2, 255}) {
    const std::string script = failing_write_script(good);
    const ToolRun r = run_tool("--json --sim-script " + script + " eeprom write " + image);
    std::remove(script.c_str());
    EXPECT_EQ(r.status, 2);
    char address[8];
    std::snprintf(address, sizeof address, "0x%04x", good * 32);
    EXPECT_NE(r.err.find(std::string("the write stopped at ") + address), std::string::npos)
        << good << ": " << r.err;
    EXPECT_NE(r.err.find("the EEPROM now holds a mix of old and new data"), std::string::npos);
    EXPECT_EQ(only_json(r, "stopped")["stopped_at"], good * 32);
  }
  std::remove(image.c_str());
}

TEST(ToolEeprom, AFileThatCannotBeWrittenFailsBeforeTheRead) {
  const ToolRun r = run_tool("--sim 2.0.19 --trace eeprom read /nonexistent/dir/image");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("gpio-dll: cannot write /nonexistent/dir/image: No such file or directory"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("WriteFile"), std::string::npos) << "the module was asked";
  // A read that fails leaves no new file behind.
  const std::string file = tool_temp_path("not_left");
  const std::string script = failing_write_script(3);
  EXPECT_EQ(run_tool("--sim-script " + script + " eeprom read " + file).status, 2);
  std::remove(script.c_str());
  EXPECT_FALSE(std::filesystem::exists(file));
}

// The image goes through files, or standard output without --json; JSON never carries it.
TEST(ToolEeprom, ImagesGoThroughFiles) {
  const std::string file = tool_temp_path("json_image");
  const ToolRun r = run_tool("--json --sim 2.0.19 eeprom read " + file);
  EXPECT_EQ(r.status, 0) << r.err;
  const auto json = only_json(r, "to file");
  EXPECT_EQ(json["bytes"], 8192);
  EXPECT_EQ(json["file"], file);
  EXPECT_EQ(std::filesystem::file_size(file), 8192u);
  EXPECT_EQ(run_tool("--sim 2.0.19 eeprom read -").out.size(), 8192u);
  EXPECT_EQ(run_tool("--json --sim 2.0.19 eeprom read -").err,
            "gpio-dll: --json keeps standard output for JSON: give a FILE for the image\n");
  std::ofstream(file, std::ios::trunc) << "short";
  const ToolRun short_image = run_tool("--sim 1.0.10 -y eeprom write " + file);
  EXPECT_EQ(short_image.status, 1);
  EXPECT_EQ(short_image.err, "gpio-dll: " + file + " holds 5 bytes, not 8192\n");
  std::remove(file.c_str());
}

}  // namespace
