// The gpio-dll tool's i2c-tools commands, run as processes: dump, transfer, scan ranges, the
// firmware's limits, the module's EEPROM as files and tables, the battery report and call
// --identify.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/served_module.hpp"
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

TEST(ToolDump, AsciiColumnAndRangeLeaveTheRestBlank) {
  const ToolRun r = run_tool("--sim 2.0.19 dump 0x0b 0x0d 0x11");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(byte_cell(r.out, 0x0c), "  ");
  EXPECT_EQ(byte_cell(r.out, 0x0d), "57");
  EXPECT_EQ(byte_cell(r.out, 0x12), "  ");
  // 0x57 is 'W'; registers outside the range are blank in the ASCII column too.
  EXPECT_NE(r.out.find("\n00: " + std::string(13 * 3, ' ')), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("   " + std::string(13, ' ') + "W"), std::string::npos) << r.out;
}

TEST(ToolDump, RegistersThatDoNotAnswerShowXX) {
  const ToolRun r = run_tool("--sim 2.0.19 dump 0x0c 0 0x0f");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("00: " + std::string() +
                       "XX XX XX XX XX XX XX XX XX XX XX XX XX XX XX XX "
                       "   XXXXXXXXXXXXXXXX\n"),
            std::string::npos)
      << r.out;
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
  const auto json = only_json(run_tool("--json --sim 2.0.19 transfer w1@0x0b 0x0d r2"), "json");
  EXPECT_EQ(json["command"], "transfer");
  EXPECT_EQ(json["result"], 0);
  EXPECT_EQ(json["address"], 0x0b);
  EXPECT_EQ(json["data"], "5700");
}

struct LimitCase {
  std::string fw;
  std::string args;
  int status;
  std::string error;  // the start of standard error
};

std::string bytes(int count) {
  std::string words;
  for (int i = 0; i < count; ++i)
    words += " 7";
  return words;
}

// The firmware's limits are refused as usage errors that name them, before the bus transaction.
TEST(ToolLimits, EachFirmwareGenerationsCountsAreCheckedUpFront) {
  const std::vector<LimitCase> cases = {
      {"2.0.19", "i2c read 0x50 0 60", 0, ""},
      {"2.0.19", "i2c read 0x50 0 61", 1,
       "gpio-dll: read count above what firmware 2.0.19 takes in one i2c read: at most 60"},
      {"1.0.10", "i2c read 0x50 0 62", 0, ""},
      {"1.0.10", "i2c read 0x50 0 63", 1,
       "gpio-dll: read count above what firmware 1.0.10 takes in one i2c read: at most 62"},
      {"1.0.10", "i2c write 0x50 0" + bytes(60), 0, ""},
      {"1.0.10", "i2c write 0x50 0" + bytes(61), 1,
       "gpio-dll: write count above what firmware 1.0.10 takes in one i2c write: at most 60"},
      {"2.0.19", "i2c write 0x50 0" + bytes(61), 0, ""},
      {"2.0.19", "i2c write-read 0x50 0 61", 1, "gpio-dll: read count above"},
      {"2.0.19", "transfer w1@0x50 0 r61", 1, "gpio-dll: read count above"},
      {"2.0.19", "transfer w62@0x50 0" + bytes(61) + " r1", 1, "gpio-dll: write count above"},
      {"1.0.10", "transfer w62@0x50 0" + bytes(61), 1,
       "gpio-dll: write count above what firmware 1.0.10 takes in one i2c write: at most 60"},
  };
  for (const auto& c : cases) {
    const std::string args = "--sim " + c.fw + " --trace " + c.args;
    const ToolRun r = run_tool(args);
    EXPECT_EQ(r.status, c.status) << args << ": " << r.err.substr(r.err.rfind("gpio-dll:") + 0);
    if (c.status == 0) continue;
    EXPECT_NE(r.err.find(c.error), std::string::npos) << args;
    // Identification reached the module, the refused transaction did not: one report written
    // for each of the two version queries and their preliminaries, none more.
    const ToolRun identify_only = run_tool("--sim " + c.fw + " --trace identify");
    const auto writes = [](const std::string& trace) {
      std::size_t n = 0;
      for (auto at = trace.find("WriteFile"); at != std::string::npos;
           at = trace.find("WriteFile", at + 1))
        ++n;
      return n;
    };
    EXPECT_EQ(writes(r.err), writes(identify_only.err)) << args;
  }
}

TEST(ToolScan, ProbesOnlyTheRangeGiven) {
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

TEST(ToolBattery, AnotherDeviceIsNotReadAsABattery) {
  const ToolRun eeprom = run_tool("--sim 2.0.19 battery 0x50");
  EXPECT_EQ(eeprom.status, 2);
  EXPECT_EQ(eeprom.out, "");
  EXPECT_NE(eeprom.err.find("the device at 0x50 does not answer like a smart battery"),
            std::string::npos)
      << eeprom.err;
  EXPECT_EQ(eeprom.err.find("6280.4 degrees C\n"), std::string::npos);
  const auto json = only_json(run_tool("--json --sim 1.0.10 battery 0x50"), "battery 0x50");
  EXPECT_EQ(json["result"], "not a smart battery");
  EXPECT_EQ(json["address"], 0x50);
  EXPECT_EQ(run_tool("--sim 1.0.10 battery 0x0b").status, 0);
}

TEST(ToolCall, IdentifyFirstMakesAFreshRunWork) {
  const std::string call = "--json --sim 2.0.19 call ";
  const auto bare = only_json(run_tool(call + "GPIO_ReadSMBusWord 0x0d 0 0 0x16"), "bare");
  EXPECT_EQ(bare["result"], 131);
  const auto identified =
      only_json(run_tool(call + "--identify GPIO_ReadSMBusWord 0x0d 0 0 0x16"), "identified");
  EXPECT_EQ(identified["result"], 0);
  EXPECT_EQ(identified["args"]["DataL"], 0x57);
  // A module that cannot be identified: the identification's failure, the method not called.
  const ToolRun absent = run_tool("--json --device /nonexistent/hidraw call --identify GPIO_Test");
  EXPECT_EQ(absent.status, 2);
  EXPECT_EQ(only_json(absent, "absent")["command"], "identify");
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

TEST(ToolEeprom, JsonNeverCarriesTheBinaryImage) {
  const std::string file = tool_temp_path("json_image");
  const ToolRun r = run_tool("--json --sim 2.0.19 eeprom read " + file);
  EXPECT_EQ(r.status, 0) << r.err;
  const auto json = only_json(r, "to file");
  EXPECT_EQ(json["bytes"], 8192);
  EXPECT_EQ(json["file"], file);
  EXPECT_EQ(std::filesystem::file_size(file), 8192u);
  std::remove(file.c_str());
}

TEST(ToolEeprom, DumpShowsTheImageAsHexAndAscii) {
  REQUIRE_SERVED_DEVICE();
  char pattern[] = "/tmp/gpio-dll-eeprom-dump.XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  gpio_dll::testing::Server server;
  ASSERT_TRUE(server.start(dir));
  const std::string device = "--device " + dir + "/dev/hidraw0 ";
  std::string image;
  for (int i = 0; i < 8192; ++i)
    image += static_cast<char>(i * 7 + 3);
  std::ofstream(dir + ".image", std::ios::binary) << image;
  ASSERT_EQ(run_tool(device + "eeprom write " + dir + ".image").status, 0);
  const ToolRun dump = run_tool(device + "eeprom dump");
  EXPECT_EQ(dump.status, 0) << dump.err;
  for (int a : {0x0000, 0x0001, 0x00ff, 0x1000, 0x1ffe, 0x1fff}) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(image[a]));
    EXPECT_EQ(byte_cell(dump.out, a, 4), hex) << a;
  }
  // The ASCII column of row 0x0000: printable bytes as themselves, others as '.'.
  std::string ascii;
  for (int a = 0; a < 16; ++a) {
    const auto b = static_cast<unsigned char>(image[a]);
    ascii += b >= 0x20 && b < 0x7f ? static_cast<char>(b) : '.';
  }
  EXPECT_NE(dump.out.find("\n0000: "), std::string::npos);
  EXPECT_NE(dump.out.find("   " + ascii + "\n0010: "), std::string::npos)
      << dump.out.substr(0, 300);
  // To a file: the same table.
  EXPECT_EQ(run_tool(device + "eeprom dump " + dir + ".table").status, 0);
  std::ifstream table(dir + ".table");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(table), {}), dump.out);
  server.stop();
  std::filesystem::remove_all(dir);
  std::filesystem::remove(dir + ".image");
  std::filesystem::remove(dir + ".table");
}

}  // namespace
