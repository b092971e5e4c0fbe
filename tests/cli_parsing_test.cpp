// The gpio-dll tool's command line, run as a process: options anywhere, help and version, named
// unknown options, and every usage error as text and as JSON.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/tool_process.hpp"

namespace {

using gpio_dll::testing::json_lines;
using gpio_dll::testing::only_json;
using gpio_dll::testing::run_tool;
using gpio_dll::testing::tool_temp_path;
using gpio_dll::testing::ToolRun;

// The command names as --help lists them, with the column where their summaries start.
struct Listing {
  std::vector<std::string> names;
  std::set<std::size_t> summary_columns;
};

Listing listed_commands() {
  Listing listing;
  std::istringstream help(run_tool("--help").out);
  std::string line;
  bool in_commands = false;
  while (std::getline(help, line)) {
    if (line == "Commands:") {
      in_commands = true;
      continue;
    }
    if (!in_commands) continue;
    if (line.empty()) break;
    const std::size_t name_end = line.find(' ', 2);
    listing.names.push_back(line.substr(2, name_end - 2));
    listing.summary_columns.insert(line.find_first_not_of(' ', name_end));
  }
  return listing;
}

TEST(ToolCommandLine, HelpListsEveryCommandInOneColumn) {
  const Listing listing = listed_commands();
  EXPECT_GE(listing.names.size(), 17u);
  for (const char* name : {"scan", "dump", "transfer", "smbus", "eeprom", "call", "debug-window"})
    EXPECT_NE(std::find(listing.names.begin(), listing.names.end(), name), listing.names.end())
        << name;
  EXPECT_EQ(listing.summary_columns.size(), 1u) << "summaries start in different columns";
}

TEST(ToolCommandLine, EveryCommandHasHelpWhereverTheFlagStands) {
  for (const auto& name : listed_commands().names) {
    for (const std::string& args : {name + " --help", name + " -h", "-h " + name,
                                    "--sim 2.0.19 " + name + " -h", name + " --json -h"}) {
      const ToolRun r = run_tool(args);
      EXPECT_EQ(r.status, 0) << args << ": " << r.err;
      EXPECT_TRUE(r.out.starts_with("Usage: gpio-dll " + name)) << args << ": " << r.out;
    }
  }
}

TEST(ToolCommandLine, VersionUnderEveryName) {
  const std::string version = run_tool("--version").out;
  EXPECT_TRUE(version.starts_with("gpio-dll ")) << version;
  for (const char* args : {"-V", "-v", "identify -V", "--sim 2.0.19 -v"}) {
    const ToolRun r = run_tool(args);
    EXPECT_EQ(r.status, 0) << args;
    EXPECT_EQ(r.out, version) << args;
  }
}

// Each group gives the same output whatever the order of its options.
TEST(ToolCommandLine, OptionsStandAnywhereOnTheLine) {
  const std::vector<std::vector<std::string>> groups = {
      {"--sim 1.0.10 identify", "--sim 2.0.19 --sim 1.0.10 identify",
       "--sim 2.0.19 identify --sim 1.0.10"},  // the last one counts, as with getopt
      {"--sim 2.0.19 --json call --identify GPIO_Test",
       "--json call --sim 2.0.19 --identify GPIO_Test",
       "--sim 2.0.19 --json call --identify -- GPIO_Test"},
      {"--sim 2.0.19 --json identify", "identify --json --sim 2.0.19",
       "--json identify --sim 2.0.19"},
      {"--sim 2.0.19 smbus --pec read-word 0x0b 0x0d",
       "--sim 2.0.19 smbus read-word 0x0b 0x0d --pec",
       "smbus read-word --pec 0x0b --sim 2.0.19 0x0d", "--sim 2.0.19 smbus read-word 0x0b 0x0d p"},
      {"--sim 1.0.10 dump -w 0x0b 0x08 0x0f", "--sim 1.0.10 dump 0x0b 0x08 0x0f -w",
       "dump 0x0b 0x08 0x0f w --sim 1.0.10"},
      {"--sim 2.0.19 -y smbus write-word 0x0b 0 1", "--sim 2.0.19 smbus write-word 0x0b 0 1 -y",
       "--sim 2.0.19 smbus write-word 0x0b 0 1 --yes"},
  };
  for (const auto& group : groups) {
    const ToolRun first = run_tool(group.front());
    EXPECT_EQ(first.status, 0) << group.front() << ": " << first.err;
    for (const auto& args : group) {
      const ToolRun r = run_tool(args);
      EXPECT_EQ(r.status, first.status) << args << ": " << r.err;
      EXPECT_EQ(r.out, first.out) << args;
    }
  }
}

struct UsageCase {
  std::string args;     // after --sim 2.0.19 --trace
  std::string command;  // the JSON "command" field: the command word, "" before one is known
  std::string message;  // the start of the message
};

// Every usage error of every command and option: exit status 1, the module never reached; as
// text, the message alone on standard error; with --json, the same and one JSON object with it.
TEST(ToolCommandLine, EveryUsageErrorAsTextAndJson) {
  // Files one byte longer than an EEPROM image and than a script may be.
  const std::string image = tool_temp_path("image"), script = tool_temp_path("script");
  std::ofstream(image, std::ios::binary) << std::string(8193, '\xff');
  std::ofstream(script, std::ios::binary) << std::string((1 << 20) + 1, '#');
  const std::vector<UsageCase> cases = {
      {"", "", "no command given"},
      {"frobnicate", "", "unknown command frobnicate"},
      {"identify extra", "identify", "usage: gpio-dll identify"},
      {"list extra", "list", "usage: gpio-dll list"},
      {"scan 0x10", "scan", "usage: gpio-dll scan [FIRST LAST]"},
      {"scan 0x10 0x78", "scan", "address out of range (3 to 119): 0x78"},
      {"scan 0x50 0x10", "scan", "FIRST 0x50 is above LAST 0x10"},
      {"smbus", "smbus", "usage: gpio-dll smbus OPERATION"},
      {"smbus frob 0x0b", "smbus", "unknown smbus operation frob"},
      {"smbus read-word 0x0b", "smbus", "usage: gpio-dll smbus read-word ADDRESS CMD"},
      {"smbus write-byte 0x0b 1 256", "smbus", "data out of range (0 to 255): 256"},
      {"smbus send-byte 0x0b", "smbus", "usage: gpio-dll smbus send-byte"},
      {"smbus write-block 0x0b 1", "smbus", "usage: gpio-dll smbus write-block"},
      {"i2c read 0x50", "i2c", "usage: gpio-dll i2c"},
      {"i2c frob 0x50 0", "i2c", "unknown i2c operation frob"},
      {"i2c read 0x50 0", "i2c", "usage: gpio-dll i2c read ADDRESS CMD COUNT"},
      {"i2c read 0x50 0 0", "i2c", "COUNT out of range"},
      {"i2c read 0x50 0x100 1", "i2c", "command out of range (0 to 255): 0x100"},
      {"transfer", "transfer", "cannot transfer: no message given"},
      {"transfer x1@0x50", "transfer", "message x1@0x50: expected {r|w}LENGTH[@ADDRESS]"},
      {"transfer w1 0", "transfer", "message w1: the first message needs @ADDRESS"},
      {"transfer w2@0x50 0", "transfer", "message w2@0x50: 2 data bytes wanted, 1 given"},
      {"transfer w1@0x50 0x100", "transfer", "data byte out of range (0 to 255): 0x100"},
      {"transfer r@0x50", "transfer", "message r@0x50: LENGTH missing"},
      {"transfer w3@0x50 0 5p", "transfer", "data byte 5p: the p suffix (pseudo-random fill)"},
      {"transfer w3@0x50 0 +", "transfer", "data byte +: a value is needed before the suffix"},
      {"transfer w3@0x50 0x100+", "transfer", "data byte out of range (0 to 255): 0x100"},
      {"transfer r8@0x50", "transfer", "cannot transfer: a read of 8 bytes on its own"},
      {"transfer r1@0x50 w1 0", "transfer", "cannot transfer: this order of messages"},
      {"transfer w1@0x50 0 r1@0x51", "transfer", "cannot transfer: two addresses"},
      {"transfer w1@0x50 0 r1 r1", "transfer", "cannot transfer: 3 messages"},
      {"transfer w0@0x50 r1", "transfer", "cannot transfer: a write before a read needs"},
      {"transfer w0@0x50", "transfer", "cannot transfer: a write of 0 bytes"},
      {"transfer w1@0x78 0", "transfer", "address out of range (3 to 119): 0x78"},
      {"dump", "dump", "usage: gpio-dll dump"},
      {"dump 0x50 0x10 0x0f", "dump", "FIRST 0x10 is above LAST 0x0f"},
      {"dump 0x50 0 256", "dump", "LAST out of range (0 to 255): 256"},
      {"dump -w --pec 0x50", "dump", "packet error checking is for byte mode only"},
      {"lines", "lines", "usage: gpio-dll lines"},
      {"lines get p1", "lines", "the P1 lines can only be set"},
      {"lines set p0", "lines", "usage: gpio-dll lines set p0 VALUE"},
      {"lines frob p0", "lines", "unknown lines operation frob"},
      {"check-bus x", "check-bus", "usage: gpio-dll check-bus"},
      {"bus-test x", "bus-test", "usage: gpio-dll bus-test"},
      {"eeprom", "eeprom", "usage: gpio-dll eeprom"},
      {"eeprom erase x", "eeprom", "unknown eeprom operation erase"},
      {"eeprom read", "eeprom", "usage: gpio-dll eeprom read FILE"},
      {"eeprom write /nonexistent/image", "eeprom",
       "cannot read /nonexistent/image: No such file or directory"},
      {"eeprom write /", "eeprom", "cannot read /: Is a directory"},
      {"eeprom write /dev/null/image", "eeprom", "cannot read /dev/null/image: Not a directory"},
      {"eeprom write " + image, "eeprom",
       image + " holds more than 8192 bytes: an EEPROM image is 8192 bytes"},
      {"eeprom write /dev/zero", "eeprom",
       "/dev/zero holds more than 8192 bytes: an EEPROM image is 8192 bytes"},
      {"eeprom read /", "eeprom", "cannot write /: Is a directory"},
      {"eeprom dump /nonexistent/table", "eeprom",
       "cannot write /nonexistent/table: No such file or directory"},
      {"--sim-script / identify", "identify", "cannot read /: Is a directory"},
      {"--sim-script " + script + " identify", "identify",
       script + " holds more than 1048576 bytes: a script answers one run of the tool"},
      {"--sim-script /dev/zero identify", "identify",
       "/dev/zero holds more than 1048576 bytes: a script answers one run of the tool"},
      {"eeprom dump a b", "eeprom", "usage: gpio-dll eeprom dump [FILE]"},
      {"dma", "dma", "usage: gpio-dll dma HEX"},
      {"dma 2BF", "dma", "HEX: odd number of digits"},
      {"dma 2G", "dma", "HEX: not a hex digit: 'G' at position 2"},
      {"dma " + std::string(130, '0'), "dma", "HEX: 65 bytes, a request holds 64"},
      {"battery 1 2", "battery", "usage: gpio-dll battery"},
      {"battery 0x78", "battery", "address out of range (3 to 119): 0x78"},
      {"message", "message", "usage: gpio-dll message CODE"},
      {"message abc", "message", "CODE is not a number: abc"},
      {"call", "call", "usage: gpio-dll call METHOD"},
      {"call NoSuchMethod", "call", "no method NoSuchMethod"},
      {"call GPIO_Test 1", "call", "GPIO_Test takes 0 argument(s), got 1"},
      {"call GPIO_DMA 0G \"\"", "call", "wBlock: not a hex digit: 'G' at position 2"},
      {"call --identify GPIO_Test 1", "call", "GPIO_Test takes 0 argument(s), got 1"},
      {"batch x", "batch", "usage: gpio-dll batch"},
      {"debug-window x", "debug-window", "usage: gpio-dll debug-window"},
      {"--device /dev/hidraw0 identify", "identify", "--sim and --device exclude each other"},
      {"smbus read-word 0x78 0x0d", "smbus", "address out of range (3 to 119): 0x78"},
      {"smbus read-word 0x0b 256", "smbus", "command out of range (0 to 255): 256"},
      {"smbus write-word 0x0b 0 0x10000", "smbus", "data out of range (0 to 65535): 0x10000"},
      {"smbus read-byte 0x0b 015", "smbus", "command has a leading 0"},
      {"message 010", "message", "CODE has a leading 0 (write decimal without it, or 0x for hex)"},
      {"message 0x80000000", "message", "CODE out of range (-2147483648 to 2147483647)"},
      {"message -- --5", "message", "CODE is not a number: --5"},
      {"message --5", "message", "unknown option --5"},  // an option's form, as getopt reads it
      {"call Check_DllErrorCode 010", "call", "lcode has a leading 0"},
      {"--jsn identify", "identify", "unknown option --jsn"},
      {"identify --frob", "identify", "unknown option --frob"},
      {"smbus read-word 0x0b 0 --pecc", "smbus", "unknown option --pecc"},
      {"-x identify", "identify", "unknown option -x"},
      {"lines get p0 -w", "lines", "unknown option -w"},  // dump's
      {"call --bogus GPIO_Test", "call", "unknown option --bogus"},
      {"battery --identify", "battery", "unknown option --identify"},  // call's
      {"--bogus", "", "unknown option --bogus"},
      {"--sim", "", "--sim needs a value"},
      {"--sim 9 identify", "identify", "not a version text: 9"},
      {"call --identify --device", "call", "--device needs a value"},
  };
  for (const auto& c : cases) {
    const std::string args = "--sim 2.0.19 --trace " + c.args;  // the trace shows any exchange
    const ToolRun text = run_tool(args);
    EXPECT_EQ(text.status, 1) << args;
    EXPECT_TRUE(text.err.starts_with("gpio-dll: " + c.message)) << args << ": " << text.err;
    EXPECT_EQ(text.out, "") << args;
    const ToolRun json = run_tool("--json " + args);
    EXPECT_EQ(json.status, 1) << args;
    EXPECT_EQ(json.err, text.err) << args;
    const auto object = only_json(json, args);
    EXPECT_EQ(object.value("command", "?"), c.command) << args;
    EXPECT_EQ(object.value("result", "?"), "usage") << args;
    EXPECT_EQ("gpio-dll: " + object.value("message", "?") + "\n", text.err) << args;
  }
  std::remove(image.c_str());
  std::remove(script.c_str());
}

}  // namespace
