// The gpio-dll tool, run as a process: its output and exit status.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/served_module.hpp"
#include "support/tool_process.hpp"

namespace {

using gpio_dll::testing::json_lines;
using gpio_dll::testing::run_tool;
using gpio_dll::testing::ToolRun;

TEST(Tool, IdentifiesTheSimulatedModule) {
  const ToolRun r = run_tool("--sim 2.0.19 identify");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "firmware: 2.0.19\nvendor:   0451\nproduct:  5F00\n");
  const ToolRun old = run_tool("--json --sim 1.0.10 identify");
  EXPECT_EQ(old.out,
            "{\"command\":\"identify\",\"result\":0,\"message\":\"OK.\",\"firmware\":\"1.0.10\","
            "\"vendor\":\"0451\",\"product\":\"5F00\"}\n");
}

TEST(Tool, ExplainsResultCodes) {
  EXPECT_EQ(run_tool("message 305").out, "Unknown GPIO Error. <305>\n");
  EXPECT_EQ(run_tool("message 0x12D").out, "Error (without explanation).\n");
  EXPECT_EQ(run_tool("message 139").out, "Maximum write size exceeded (>0 bytes).\n");
  EXPECT_EQ(
      run_tool("--json message -1").out,
      "{\"command\":\"message\",\"result\":0,\"message\":\"Unknown Error. <-1>\",\"code\":-1}\n");
  EXPECT_EQ(run_tool("message abc").status, 1);
}

TEST(Tool, CallsAMethodByNameAndShowsEveryByReferenceArgument) {
  const ToolRun r = run_tool("--sim 2.0.19 call GPIO_FW_VER_Read \"\" \"\" \"\"");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "GPIO_FW_VER_Read = 0 (OK.)\n  iDevFWver = \"2.0.19\"\n  iVendorID = \"0451\"\n"
            "  iProductID = \"5F00\"\n");
  // A result code other than OK: exit status 2, code and message on standard error.
  const ToolRun refused = run_tool("--sim 2.0.19 --json call GPIO_ReadSMBusWord 0x0d 0 0 0x16");
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.out,
            "{\"method\":\"GPIO_ReadSMBusWord\",\"result\":131,\"message\":\"USB device not "
            "detected.\",\"args\":{\"iCmd\":13,\"DataH\":0,\"DataL\":0,\"nTargetID\":22}}\n");
  EXPECT_EQ(refused.err, "gpio-dll: 131: USB device not detected.\n");
}

TEST(Tool, RunsABatchOnOneThreadAndGoesOnAfterAnAutomationError) {
  const std::string calls =
      "# identify first, then the dispatching methods work on this thread\n"
      "GPIO_FW_VER_Read \"\" \"\" \"\"\n"
      "Check_DllErrorCode 99999999999\n"
      "\n"
      "GPIO_ReadWriteP0Line 1 2\n"
      "Check_DllErrorCode 0x191\n";
  const ToolRun r = run_tool("--sim 2.0.19 --json batch", calls);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out,
            "{\"method\":\"GPIO_FW_VER_Read\",\"result\":0,\"message\":\"OK.\",\"args\":{"
            "\"iDevFWver\":\"2.0.19\",\"iVendorID\":\"0451\",\"iProductID\":\"5F00\"}}\n"
            "{\"method\":\"Check_DllErrorCode\",\"automation_error\":6,\"message\":\"Overflow\"}\n"
            "{\"method\":\"GPIO_ReadWriteP0Line\",\"result\":133,\"message\":\"GPIO Firmware "
            "Version is not supported.\",\"args\":{\"DataA\":1,\"DataB\":2}}\n"
            "{\"method\":\"Check_DllErrorCode\",\"result\":\"Unknown GPIO Error. <401>\",\"args\":{"
            "\"lcode\":401}}\n");
}

TEST(Tool, RunsBusTransactionsAgainstBothGenerations) {
  const std::string calls =
      "GPIO_FW_VER_Read \"\" \"\" \"\"\n"
      "GPIO_ReadSMBusWord 0x0d 0 0 0x17\n"
      "GPIO_WriteSMBusBlock 0x44 000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F"
      "202122232425262728292A2B2C2D2E2F303132333435363738393A3B3C3D3E3F 64 0x16\n"
      "GPIO_WriteI2CBlock 0x10 C0FFEE 3 0xA0\n"
      "GPIO_WriteReadI2CBlock 0x10 \"\" \"\" 0 3 0xA0\n"
      "GPIO_CheckSdaSclLine\n";
  for (const char* fw : {"1.0.10", "2.0.19"}) {
    const ToolRun r = run_tool(std::string("--sim ") + fw + " --json batch", calls);
    const bool old = std::string(fw) == "1.0.10";
    // The old firmware takes at most 60 bytes in a block write.
    EXPECT_EQ(r.status, old ? 2 : 0) << r.err;
    EXPECT_NE(r.out.find("\"DataH\":0,\"DataL\":87,\"nTargetID\":23}"), std::string::npos) << fw;
    EXPECT_NE(r.out.find(old ? "\"method\":\"GPIO_WriteSMBusBlock\",\"result\":139"
                             : "\"method\":\"GPIO_WriteSMBusBlock\",\"result\":0"),
              std::string::npos)
        << fw;
    EXPECT_NE(r.out.find("\"DataArrayR\":\"C0FFEE\""), std::string::npos) << fw;
    EXPECT_NE(r.out.find("{\"method\":\"GPIO_CheckSdaSclLine\",\"result\":0"), std::string::npos)
        << fw;
  }
}

TEST(Tool, PlaysBackAScriptOfAnswers) {
  const std::string script =
      ::testing::TempDir() + "/gpio_dll_cli_script_" + std::to_string(getpid()) + ".txt";
  std::ofstream(script) << "# preliminary, then the version\n00 00\n00 0A 00 64\n"
                           "00 00\n00 01 02 03\n";
  const ToolRun r = run_tool("--sim-script " + script + " identify");
  EXPECT_EQ(r.status, 0) << r.err;
  // The window's start-up takes the first two answers, the call the next two.
  EXPECT_EQ(r.out, "firmware: 1.2.3\nvendor:   0451\nproduct:  5F00\n");
}

TEST(Tool, ShowsTheTraceOnStandardError) {
  const ToolRun r = run_tool("--sim 2.0.19 --trace identify");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("  My device detected\n"), std::string::npos);
  EXPECT_NE(r.err.find("ReadFile completed successfully."), std::string::npos);
}

TEST(Tool, UsageErrorsExitWith1) {
  for (const char* args : {"", "frobnicate", "--bogus identify", "--sim", "--sim 9 identify",
                           "--sim 2.0.19 call NoSuchMethod", "--sim 2.0.19 call GPIO_Test 1",
                           "--sim 2.0.19 call GPIO_DMA 0G \"\""}) {
    const ToolRun r = run_tool(args);
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_TRUE(r.err.starts_with("gpio-dll: ")) << args << ": " << r.err;
  }
}

TEST(Tool, WithoutSimulationLooksForRealModules) {
  // The build machine has no module: hidraw finds none.
  const ToolRun r = run_tool("identify");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "gpio-dll: 131: USB device not detected.\n");
}

TEST(Tool, AMissingDeviceNodeIsNamedWithTheSystemsReason) {
  const std::string node = ::testing::TempDir() + "/gpio_dll_no_such_node";
  const ToolRun r = run_tool("--device " + node + " identify");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "gpio-dll: 131: USB device not detected.\ngpio-dll: cannot open " + node +
                       ": No such file or directory\n");
  EXPECT_EQ(run_tool("--device " + node + " list").out,
            node + "  ????:????  (cannot open: No such file or directory)\n");
  const ToolRun json = run_tool("--json --device " + node + " smbus read-word 0x0b 0x0d");
  EXPECT_EQ(json.status, 2);
  EXPECT_EQ(json.out,
            "{\"command\":\"identify\",\"result\":131,\"message\":\"USB device not "
            "detected.\",\"reason\":\"cannot open " +
                node + ": No such file or directory\"}\n");
}

TEST(Tool, APermissionProblemPointsToTheUdevRule) {
  REQUIRE_SERVED_DEVICE();
  char pattern[] = "/tmp/gpio-dll-tool.XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  gpio_dll::testing::Server server;
  ASSERT_TRUE(server.start(dir));
  std::ofstream(dir + "/control") << "open-error 13";
  const std::string node = dir + "/dev/hidraw0";
  const std::string reason = "cannot open " + node +
                             ": Permission denied (the module's node needs the udev rule: see "
                             "\\\"Real modules on Linux: permissions\\\" in the README)";
  const ToolRun r = run_tool("--device " + node + " identify");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "gpio-dll: 131: USB device not detected.\ngpio-dll: cannot open " + node +
                       ": Permission denied (the module's node needs the udev rule: see \"Real "
                       "modules on Linux: permissions\" in the README)\n");
  const ToolRun json = run_tool("--json --device " + node + " identify");
  EXPECT_EQ(json.status, 2);
  EXPECT_NE(json.out.find(",\"reason\":\"" + reason + "\""), std::string::npos) << json.out;
  std::ofstream(dir + "/control") << "open-error 0";
  EXPECT_EQ(run_tool("--device " + node + " identify").status, 0);
  server.stop();
  std::filesystem::remove_all(dir);
}

struct CommandCase {
  std::string args;
  std::string out;
};

TEST(Tool, SMBusAndI2CCommandsPrintLikeI2cTools) {
  const std::vector<CommandCase> cases = {
      {"smbus read-word 0x0b 0x0d", "0x0057\n"},
      {"smbus read-word 0x0b 0x0d p", "0x0057\n"},
      {"smbus read-word --pec 0x0b 0x09", "0x3039\n"},
      {"smbus read-byte 0x0b 0x0d", "0x57\n"},
      {"smbus write-word 0x0b 0x00 0xbeef", ""},
      {"smbus process-call 0x0b 0x00 0x1234", "0xedcb\n"},
      {"smbus read-block 0x0b 0x22", "0x4c 0x49 0x4f 0x4e\n"},
      {"smbus block-process-call 0x0b 0x44 1 2 3", "0x01 0x02 0x03\n"},
      {"smbus write-block 0x0b 0x44 9 8 7", ""},
      {"i2c write 0x50 0x10 1 2 3", ""},
      {"i2c read 0x50 0x10 2", "0xff 0xff\n"},
      {"i2c write-read 0x50 0x00 2 0xaa", "0xff 0xff\n"},
      {"lines set p0 0xa5", ""},
      {"lines get p0", "0xff\n"},
      {"lines set p1 1 2 3", ""},
      {"check-bus", "SDA high, SCL high\n"},
      {"bus-test", ""},
  };
  for (const char* fw : {"1.0.10", "2.0.19"}) {
    for (const auto& c : cases) {
      const ToolRun r = run_tool(std::string("--sim ") + fw + " " + c.args);
      EXPECT_EQ(r.status, 0) << fw << " " << c.args << ": " << r.err;
      EXPECT_EQ(r.out, c.out) << fw << " " << c.args;
    }
  }
}

TEST(Tool, ResultCodesOtherThanOkExitWith2AndTheirMessage) {
  const ToolRun absent = run_tool("--sim 2.0.19 smbus read-word 0x21 0x0d");
  EXPECT_EQ(absent.status, 2);
  EXPECT_EQ(absent.out, "");
  EXPECT_EQ(absent.err, "gpio-dll: 406: Error Write.\n");
  const ToolRun old = run_tool("--sim 1.0.10 --json smbus read-word 0x21 0x0d");
  EXPECT_EQ(old.status, 2);
  EXPECT_EQ(old.out,
            "{\"command\":\"smbus read-word\",\"result\":301,\"message\":\"Error (without "
            "explanation).\",\"address\":33,\"pec\":false,\"cmd\":13,\"value\":0}\n");
  // 61 bytes: more than the old firmware takes in one block write.
  std::string block;
  for (int i = 0; i < 61; ++i)
    block += " 7";
  const ToolRun big = run_tool("--sim 1.0.10 smbus write-block 0x0b 0x44" + block);
  EXPECT_EQ(big.status, 2);
  EXPECT_EQ(big.err, "gpio-dll: 139: Maximum write size exceeded (>60 bytes).\n");
}

TEST(Tool, ScanPrintsAGridOfTheAnsweringAddresses) {
  const ToolRun r = run_tool("--sim 2.0.19 scan");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f\n"), std::string::npos);
  EXPECT_NE(r.out.find("\n00:          -- -- -- -- -- -- -- -- 0b -- -- -- --\n"),
            std::string::npos);
  EXPECT_NE(r.out.find("\n50: 50 -- --"), std::string::npos);
  const ToolRun j = run_tool("--sim 1.0.10 --json scan");
  EXPECT_NE(j.out.find("\"devices\":[11,80]"), std::string::npos) << j.out;
}

TEST(Tool, BatteryReportWithUnits) {
  const ToolRun r = run_tool("--sim 1.0.10 battery");
  EXPECT_EQ(r.status, 0) << r.err;
  for (const char* line : {"Manufacturer          GPIO Sim\n", "Chemistry             LION\n",
                           "Voltage               12.345 V\n", "Current               -1.000 A\n",
                           "Temperature           25.0 degrees C\n", "State of charge       87 %\n",
                           "Full charge capacity  5000 mAh\n", "Cycle count           42\n",
                           "Serial number         4660\n"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line;
  const ToolRun j = run_tool("--sim 2.0.19 --json battery --pec");
  EXPECT_NE(j.out.find("\"voltage_v\":12.345"), std::string::npos) << j.out;
  EXPECT_NE(j.out.find("\"device\":\"SIM-BAT-4S\""), std::string::npos) << j.out;
  // Nothing at 0x0c: every word shows its result's message, and the status says so.
  const ToolRun none = run_tool("--sim 2.0.19 battery 0x0c");
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.out.find("Voltage               failed (Error Write.)\n"), std::string::npos)
      << none.out;
}

TEST(Tool, EepromImagesGoThroughFiles) {
  const std::string file = ::testing::TempDir() + "/gpio_dll_eeprom_" + std::to_string(getpid());
  const ToolRun read = run_tool("--sim 2.0.19 eeprom read " + file);
  EXPECT_EQ(read.status, 0) << read.err;
  EXPECT_EQ(std::filesystem::file_size(file), 8192u);
  EXPECT_EQ(run_tool("--sim 1.0.10 eeprom write " + file).status, 0);
  std::ofstream(file, std::ios::trunc) << "short";
  const ToolRun short_image = run_tool("--sim 1.0.10 eeprom write " + file);
  EXPECT_EQ(short_image.status, 1);
  EXPECT_EQ(short_image.err, "gpio-dll: " + file + " holds 5 bytes, not 8192\n");
  std::remove(file.c_str());
}

TEST(Tool, PassesARawRequestThrough) {
  const ToolRun r = run_tool("--sim 2.0.19 dma 2BFF");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.out.starts_with("0x2b 0x00 0xff 0x00")) << r.out;
  EXPECT_EQ(run_tool("--sim 2.0.19 dma 2BF").status, 1);
}

constexpr const char* kSimulatedName = "\"Texas Instruments USB-GPIO module (simulated)\"";

TEST(Tool, ListsTheHidDevices) {
  EXPECT_EQ(run_tool("--sim 2.0.19 list").out,
            std::string("/simulated/hidraw0  0451:5F00  module  serial SIM0001  ") +
                kSimulatedName + "\n");
}

// --serial picks the module by its serial number; a serial that no module has is not detected.
TEST(Tool, PicksTheModuleBySerialNumber) {
  EXPECT_EQ(run_tool("--sim 2.0.19 --serial SIM0001 identify").status, 0);
  const auto missing = run_tool("--sim 2.0.19 --serial SIM0002 identify");
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("131"), std::string::npos) << missing.err;
}

TEST(Tool, EveryCommandHasHelp) {
  for (const char* command : {"list", "identify", "smbus", "i2c", "scan", "lines", "check-bus",
                              "bus-test", "eeprom", "dma", "battery", "message", "call", "batch"}) {
    const ToolRun r = run_tool(std::string(command) + " --help");
    EXPECT_EQ(r.status, 0) << command;
    EXPECT_TRUE(r.out.starts_with(std::string("Usage: gpio-dll ") + command)) << r.out;
  }
}

TEST(Tool, CommandUsageErrorsNeverReachTheModule) {
  for (const char* args :
       {"--sim 2.0.19 smbus read-word 0x78 0x0d", "--sim 2.0.19 smbus read-word 0x0b 256",
        "--sim 2.0.19 smbus frob 0x0b", "--sim 2.0.19 smbus write-word 0x0b 0 0x10000",
        "--sim 2.0.19 i2c read 0x50 0 63", "--sim 2.0.19 lines get p1", "--sim 2.0.19 lines set p0",
        "--sim 2.0.19 eeprom erase x", "--sim 2.0.19 battery 1 2",
        "--sim 2.0.19 --device /dev/hidraw0 identify"}) {
    const ToolRun r = run_tool(args);
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_TRUE(r.err.starts_with("gpio-dll: ")) << args;
  }
}

TEST(Tool, WorksAgainstTheServedDevice) {
  REQUIRE_SERVED_DEVICE();
  char pattern[] = "/tmp/gpio-dll-tool.XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  gpio_dll::testing::Server server;
  ASSERT_TRUE(server.start(dir, "1.0.10"));
  const std::string device = "--device " + dir + "/dev/hidraw0 ";
  EXPECT_EQ(run_tool(device + "identify").out,
            "firmware: 1.0.10\nvendor:   0451\nproduct:  5F00\n");
  EXPECT_EQ(run_tool(device + "list").out,
            dir + "/dev/hidraw0  0451:5F00  module  serial SIM0001  " + kSimulatedName + "\n");
  // The serial number comes through the kernel from the served node.
  EXPECT_EQ(run_tool(device + "--serial SIM0001 identify").status, 0);
  // The served module keeps its state between runs of the tool.
  EXPECT_EQ(run_tool(device + "smbus write-word 0x0b 0x00 0xbeef").status, 0);
  EXPECT_EQ(run_tool(device + "smbus read-word 0x0b 0x00 p").out, "0xbeef\n");
  const std::string image = dir + ".image";
  {
    std::ofstream out(image, std::ios::binary);
    for (int i = 0; i < 8192; ++i)
      out.put(static_cast<char>(i * 13));
  }
  EXPECT_EQ(run_tool(device + "eeprom write " + image).status, 0);
  const ToolRun back = run_tool(device + "eeprom read -");
  ASSERT_EQ(back.out.size(), 8192u);
  for (int i = 0; i < 8192; ++i)
    ASSERT_EQ(back.out[static_cast<std::size_t>(i)], static_cast<char>(i * 13)) << i;
  server.stop();
  std::filesystem::remove_all(dir);
  std::filesystem::remove(image);
}

TEST(Tool, HelpAndVersion) {
  EXPECT_EQ(run_tool("--help").status, 0);
  EXPECT_NE(run_tool("--help").out.find("Usage: gpio-dll"), std::string::npos);
  EXPECT_NE(run_tool("batch --help").out.find("Usage: gpio-dll batch"), std::string::npos);
  EXPECT_EQ(run_tool("--version").out, "gpio-dll 1.0.0\n");
}

// A text field's bytes: each character U+0000 to U+00FF stands for one byte.
std::string text_bytes(const nlohmann::json& text) {
  std::string bytes;
  const std::string utf8 = text.get<std::string>();
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      bytes += static_cast<char>(b);
    } else {
      EXPECT_TRUE(b == 0xC2 || b == 0xC3) << "a character above U+00FF";
      bytes += static_cast<char>((b & 0x03) << 6 | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
    }
  }
  return bytes;
}

// A script for the simulated "2.0.19" module: identification (by the window's start-up, then
// by the command), the PEC mode exchange, then a block read answered with `block`.
std::string script_with_block(const std::string& block_hex, int count) {
  const std::string file = ::testing::TempDir() + "/gpio_dll_cli_block_" +
                           std::to_string(getpid()) + "_" + std::to_string(count) + ".txt";
  char length[4];
  std::snprintf(length, sizeof length, "%02X", count);
  std::ofstream(file) << "00 00\n00 02 00 13\n00 00\n00 02 00 13\n00 00\n00 00 " << length << " "
                      << block_hex << "\n";
  return file;
}

struct JsonCase {
  std::string args;
  std::string input;
  std::size_t lines;
};

TEST(ToolJson, EveryLineParses) {
  const std::vector<JsonCase> cases = {
      {"--sim 2.0.19 identify", "", 1},
      {"--sim 1.0.10 list", "", 1},
      {"message 305", "", 1},
      {"--sim 2.0.19 scan", "", 1},
      {"--sim 2.0.19 battery", "", 1},
      {"--sim 2.0.19 battery 0x0c", "", 1},
      {"--sim 2.0.19 smbus read-block 0x0b 0x20", "", 1},
      {"--sim 1.0.10 smbus read-word 0x21 0x0d", "", 1},
      {"--sim 2.0.19 lines get p0", "", 1},
      {"--sim 2.0.19 dma 2BFF", "", 1},
      {"--sim 2.0.19 call ShowDbg \"\"", "", 1},
      {"--sim 2.0.19 batch",
       "GPIO_FW_VER_Read \"\" \"\" \"\"\nGPIO_WriteSMBusBlock 0x20 FF80C328 4 0x16\n"
       "GPIO_ReadSMBusBlock 0x20 \"\" 0 0x16\nCheck_DllErrorCode 1e\nGetErrString 2\n"
       "GPIO_ShutdownDLL\nShowDbg \"\xff\xfe\"\n",
       7},
  };
  for (const auto& c : cases) {
    const ToolRun r = run_tool("--json " + c.args, c.input);
    const auto objects = json_lines(r.out, c.args);
    EXPECT_EQ(objects.size(), c.lines) << c.args << "\n" << r.out;
    for (const auto& o : objects)
      EXPECT_TRUE(o.is_object()) << c.args;
  }
}

TEST(ToolJson, TextsFromTheModuleKeepTheirBytes) {
  struct Block {
    std::string hex;
    std::string bytes;
  };
  const std::vector<Block> blocks = {
      {"47 50 49 4F FF 80", "GPIO\xff\x80"},
      {"C3 28 A0 A1", "\xc3\x28\xa0\xa1"},                 // not UTF-8
      {"E2 82 AC 22 5C 0A 01", "\xe2\x82\xac\"\\\n\x01"},  // UTF-8, quote, backslash, controls
      {"ED A0 80 F8", "\xed\xa0\x80\xf8"},
  };
  for (const auto& b : blocks) {
    const std::string script = script_with_block(b.hex, static_cast<int>(b.bytes.size()));
    const ToolRun r = run_tool("--json --sim-script " + script + " battery");
    std::remove(script.c_str());
    EXPECT_EQ(r.status, 0) << b.hex << ": " << r.err;
    // ASCII only, so valid UTF-8 whatever the module sent.
    for (char c : r.out)
      ASSERT_LT(static_cast<unsigned char>(c), 0x80) << b.hex << ": " << r.out;
    const auto objects = json_lines(r.out, b.hex);
    ASSERT_EQ(objects.size(), 1u) << r.out;
    EXPECT_EQ(text_bytes(objects[0]["manufacturer"]), b.bytes) << b.hex;
    EXPECT_EQ(objects[0]["device"], "SIM-BAT-4S");
    EXPECT_EQ(objects[0]["voltage_v"], 12.345);
  }
}

TEST(ToolJson, CallArgumentsAreNumbersTextsAndHex) {
  const ToolRun r = run_tool("--sim 2.0.19 --json batch",
                             "GPIO_FW_VER_Read \"\" \"\" \"\"\n"
                             "GPIO_WriteReadSMBusBlock 0x44 00010203 \"\" 2 0 0x16\n");
  const auto objects = json_lines(r.out, "batch");
  ASSERT_EQ(objects.size(), 2u) << r.out;
  EXPECT_EQ(objects[0]["args"]["iDevFWver"], "2.0.19");
  const auto& args = objects[1]["args"];
  EXPECT_EQ(objects[1]["result"], 0);
  EXPECT_EQ(args["iCmd"], 0x44);
  EXPECT_EQ(args["DataArrayW"], "00010203");
  EXPECT_EQ(args["DataArrayR"], "0001");
  EXPECT_EQ(args["nTargetID"], 0x16);
}

// The tool's numbers: decimal or 0x hex with one optional sign; a leading 0 is refused, as
// i2c-tools would read it as octal.
struct NumberCase {
  std::string args;
  int status;
  std::string out_or_error;  // standard output on success, else the start of the error
};

TEST(ToolNumbers, DecimalOrHexWithoutALeadingZero) {
  const std::vector<NumberCase> cases = {
      {"message 305", 0, "Unknown GPIO Error. <305>\n"},
      {"message 0x131", 0, "Unknown GPIO Error. <305>\n"},
      {"message 0X131", 0, "Unknown GPIO Error. <305>\n"},
      {"message +0", 0, "OK.\n"},
      {"message 0", 0, "OK.\n"},
      {"message -0x80000000", 0, "Unknown Error. <-2147483648>\n"},
      {"message 010", 1, "gpio-dll: CODE has a leading 0"},
      {"message 08", 1, "gpio-dll: CODE has a leading 0"},
      {"message -010", 1, "gpio-dll: CODE has a leading 0"},
      {"message 00", 1, "gpio-dll: CODE has a leading 0"},
      {"message 0x80000000", 1, "gpio-dll: CODE out of range (-2147483648 to 2147483647)"},
      {"message 99999999999999999999", 1, "gpio-dll: CODE out of range"},
      {"message -99999999999999999999", 1, "gpio-dll: CODE out of range"},
      {"message 0xFFFFFFFFFFFFFFFFFF", 1, "gpio-dll: CODE out of range"},
      {"message --5", 1, "gpio-dll: unknown option --5"},  // an option's form, as getopt reads it
      {"message -- --5", 1, "gpio-dll: CODE is not a number: --5"},
      {"message +-5", 1, "gpio-dll: CODE is not a number"},
      {"message 0x-5", 1, "gpio-dll: CODE is not a number"},
      {"message 0x", 1, "gpio-dll: CODE is not a number"},
      {"message ' 5'", 1, "gpio-dll: CODE is not a number"},
      {"message 5x", 1, "gpio-dll: CODE is not a number"},
      {"message 0b101", 1, "gpio-dll: CODE is not a number"},
      {"--sim 2.0.19 smbus read-byte 0x0b 256", 1, "gpio-dll: command out of range (0 to 255)"},
      {"--sim 2.0.19 smbus read-byte 0x0b 0x0d", 0, "0x57\n"},
      {"--sim 2.0.19 smbus read-byte 0x0b 13", 0, "0x57\n"},
      {"--sim 2.0.19 smbus read-byte 0x0b 015", 1, "gpio-dll: command has a leading 0"},
      {"--sim 2.0.19 smbus read-byte 0x78 0", 1, "gpio-dll: address out of range (3 to 119)"},
      {"--sim 2.0.19 call Check_DllErrorCode 010", 1, "gpio-dll: lcode has a leading 0"},
      {"--sim 2.0.19 call ShowDbg 010", 0, "ShowDbg = 0 (OK.)\n  optStr = \"010\"\n"},
  };
  for (const auto& c : cases) {
    const ToolRun r = run_tool(c.args);
    EXPECT_EQ(r.status, c.status) << c.args << ": " << r.err;
    if (c.status == 0)
      EXPECT_EQ(r.out, c.out_or_error) << c.args;
    else
      EXPECT_TRUE(r.err.starts_with(c.out_or_error)) << c.args << ": " << r.err;
  }
}

TEST(ToolNumbers, ADoubledSignInACallIsATypeMismatch) {
  for (const char* word : {"--5", "0x-5", "+-13", "-+13", "0x+5"}) {
    const ToolRun r =
        run_tool(std::string("--sim 2.0.19 --json call Check_DllErrorCode \"") + word + "\"");
    EXPECT_EQ(r.status, 2) << word;
    const auto objects = json_lines(r.out, word);
    ASSERT_EQ(objects.size(), 1u) << word << ": " << r.out;
    EXPECT_EQ(objects[0]["automation_error"], 13) << word;
    EXPECT_EQ(objects[0]["message"], "Type mismatch") << word;
  }
}

}  // namespace
