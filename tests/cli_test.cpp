// The gpio-dll tool, run as a process: its output and exit status.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/served_module.hpp"
#include "support/tool_process.hpp"

namespace {

using gpio_dll::testing::json_lines;
using gpio_dll::testing::run_tool;
using gpio_dll::testing::tool_temp_path;
using gpio_dll::testing::ToolRun;

struct RunCase {
  std::string args;
  int status;
  std::string out;
  std::string err = "";
  std::string input = "";
};

constexpr const char* kIdentified = "firmware: 2.0.19\nvendor:   0451\nproduct:  5F00\n";
constexpr const char* kNotDetected = "gpio-dll: 131: USB device not detected.\n";
constexpr const char* kSimulatedName = "\"Texas Instruments USB-GPIO module (simulated)\"";
const std::string kNoNode = "cannot open /nonexistent/hidraw: No such file or directory";
const std::string kBusy = "module busy: held by another user for more than 15 s";

const std::string kSilentFirst =
    "the module did not answer within 6 s; it was asked twice, 12 s in all (a thread's first "
    "identification also identifies the module for the library's debug window)";

// A script of answers in which the module answers the first `count` requests with nothing.
std::string silent(int count) {
  const std::string script = tool_temp_path("silent.txt");
  std::ofstream out(script);
  for (int i = 0; i < count; ++i)
    out << "silent\n";
  return script;
}

std::string repeated(const std::string& word, int count) {
  std::string words;
  for (int i = 0; i < count; ++i)
    words += word;
  return words;
}

// Each command's whole output and exit status: 0, or 2 for a result code other than OK with the
// code and its message on standard error.
TEST(Tool, EachRunsOutputAndExitStatus) {
  const std::vector<RunCase> cases = {
      {"--sim 2.0.19 identify", 0, kIdentified},
      {"--json --sim 1.0.10 identify", 0,
       R"({"command":"identify","result":0,"message":"OK.","firmware":"1.0.10","vendor":"0451","product":"5F00"})"
       "\n"},
      {"--sim 2.0.19 --serial SIM0001 identify", 0, kIdentified},
      {"--sim 2.0.19 --serial SIM0002 identify", 2, "", kNotDetected},
      {"identify", 2, "", kNotDetected},  // no module on the build machine: hidraw finds none
      // A failed identification is reported as the command typed.
      {"--json --device /nonexistent/hidraw smbus read-word 0x0b 0x0d", 2,
       R"({"command":"smbus read-word","result":131,"message":"USB device not detected.","reason":")" +
           kNoNode + "\"}\n",
       kNotDetected + ("gpio-dll: " + kNoNode + "\n")},
      // No module identified: no identifiers, whichever device discovery looked at last.
      {"--json --device /nonexistent/hidraw identify", 2,
       R"({"command":"identify","result":131,"message":"USB device not detected.","reason":")" +
           kNoNode + R"(","firmware":"","vendor":"","product":""})" + "\n",
       kNotDetected + ("gpio-dll: " + kNoNode + "\n")},
      // A silent module: the reason, and why the first identification waits twice. One answer
      // lost is no failure: the second identification gets its answers.
      {"--sim-script " + silent(2) + " smbus read-word 0x0b 0x0d", 2, "",
       "gpio-dll: 14: Fatal Error.\ngpio-dll: " + kSilentFirst + "\n"},
      {"--json --sim-script " + silent(2) + " identify", 2,
       R"({"command":"identify","result":14,"message":"Fatal Error.","reason":")" + kSilentFirst +
           R"(","firmware":"","vendor":"0451","product":"5F00"})" + "\n",
       "gpio-dll: 14: Fatal Error.\ngpio-dll: " + kSilentFirst + "\n"},
      {"--sim-script " + silent(1) + " identify", 0, kIdentified},
      {"--device /nonexistent/hidraw list", 0,
       "/nonexistent/hidraw  ????:????  (cannot open: No such file or directory)\n"},
      {"--sim 2.0.19 list", 0,
       std::string("/simulated/hidraw0  0451:5F00  module  serial SIM0001  ") + kSimulatedName +
           "\n"},
      {"message 305", 0, "Unknown GPIO Error. <305>\n"},
      {"message 139", 0, "Maximum write size exceeded (>0 bytes).\n"},
      {"message -0x80000000", 0, "Unknown Error. <-2147483648>\n"},
      {"--json message -1", 0,
       R"({"command":"message","result":0,"message":"Unknown Error. <-1>","code":-1})"
       "\n"},
      // Nobody at 0x21: the module's status with what it means; a failed read is null, with its
      // message under "errors", for every command that reads.
      {"--sim 2.0.19 smbus read-word 0x21 0x0d", 2, "",
       "gpio-dll: 406: Error Write. (no acknowledge from 0x21)\n"},
      {"--sim 1.0.10 --json smbus read-word 0x21 0x0d", 2,
       R"({"command":"smbus read-word","result":301,"message":"Error (without explanation).","address":33,"pec":false,"cmd":13,"value":null,"errors":{"value":"Error (without explanation)."}})"
       "\n",
       "gpio-dll: 301: Error (without explanation).\n"},
      {"--sim 2.0.19 --json smbus read-byte 0x21 0x0d", 2,
       R"({"command":"smbus read-byte","result":406,"message":"Error Write.","meaning":"no acknowledge from 0x21","address":33,"pec":false,"cmd":13,"value":null,"errors":{"value":"Error Write."}})"
       "\n",
       "gpio-dll: 406: Error Write. (no acknowledge from 0x21)\n"},
      {"--sim 2.0.19 --json smbus receive-byte 0x21", 2,
       R"({"command":"smbus receive-byte","result":406,"message":"Error Write.","meaning":"no acknowledge from 0x21","address":33,"pec":false,"value":null,"errors":{"value":"Error Write."}})"
       "\n",
       "gpio-dll: 406: Error Write. (no acknowledge from 0x21)\n"},
      {"--sim 2.0.19 --json smbus read-block 0x21 0x20", 2,
       R"({"command":"smbus read-block","result":406,"message":"Error Write.","meaning":"no acknowledge from 0x21","address":33,"pec":false,"cmd":32,"data":null,"errors":{"data":"Error Write."}})"
       "\n",
       "gpio-dll: 406: Error Write. (no acknowledge from 0x21)\n"},
      {"--sim 2.0.19 --json i2c read 0x21 0 4", 2,
       R"({"command":"i2c read","result":406,"message":"Error Write.","meaning":"no acknowledge from 0x21","address":33,"pec":false,"cmd":0,"data":null,"errors":{"data":"Error Write."}})"
       "\n",
       "gpio-dll: 406: Error Write. (no acknowledge from 0x21)\n"},
      {"--sim 2.0.19 --json transfer w1@0x21 0 r2", 2,
       R"({"command":"transfer","result":406,"message":"Error Write.","meaning":"no acknowledge from 0x21","address":33,"data":null,"errors":{"data":"Error Write."}})"
       "\n",
       "gpio-dll: 406: Error Write. (no acknowledge from 0x21)\n"},
      {"--sim 2.0.19 battery 0x50", 2, "",
       "gpio-dll: the device at 0x50 does not answer like a smart battery (temperature 6280.4 "
       "degrees C, state of charge 65535 %)\n"},
      {"--json --sim 1.0.10 battery 0x50", 2,
       R"j({"command":"battery","result":"not a smart battery","message":"the device at 0x50 does not answer like a smart battery (temperature 6280.4 degrees C, state of charge 65535 %)","address":80})j"
       "\n",
       "gpio-dll: the device at 0x50 does not answer like a smart battery (temperature 6280.4 "
       "degrees C, state of charge 65535 %)\n"},
      {"--sim 2.0.19 dma 2BFF", 0, "0x2b 0x00 0xff" + repeated(" 0x00", 61) + "\n"},
      {"--sim 2.0.19 call GPIO_FW_VER_Read \"\" \"\" \"\"", 0,
       "GPIO_FW_VER_Read = 0 (OK.)\n  iDevFWver = \"2.0.19\"\n  iVendorID = \"0451\"\n"
       "  iProductID = \"5F00\"\n"},
      {"--sim 2.0.19 call ShowDbg 010", 0, "ShowDbg = 0 (OK.)\n"},  // optStr is only read
      // A fresh run has not identified the module: not detected, unless --identify comes first.
      {"--sim 2.0.19 --json call GPIO_ReadSMBusWord 0x0d 0 0 0x16", 2,
       R"({"method":"GPIO_ReadSMBusWord","result":131,"message":"USB device not detected.","args":{"DataH":0,"DataL":0}})"
       "\n",
       kNotDetected},
      {"--json --sim 2.0.19 call --identify gpio_readSMBusWord 0x0d 0 0 0x16", 0,
       R"({"method":"GPIO_ReadSMBusWord","result":0,"message":"OK.","args":{"DataH":0,"DataL":87}})"
       "\n"},
      // A module that cannot be identified: the identification's failure, the method not called.
      {"--json --device /nonexistent/hidraw call --identify GPIO_Test", 2,
       R"({"command":"call","result":131,"message":"USB device not detected.","reason":")" +
           kNoNode + "\"}\n",
       kNotDetected + ("gpio-dll: " + kNoNode + "\n")},
      // Another user holds the module past the wait: the reason with the result, also for a
      // method called in a batch; a shorter hold is only waited out.
      {"--json --sim-held 20000 smbus read-word 0x0b 0x09", 2,
       R"({"command":"smbus read-word","result":14,"message":"Fatal Error.","reason":")" + kBusy +
           "\"}\n",
       "gpio-dll: 14: Fatal Error.\ngpio-dll: " + kBusy + "\n"},
      {"--sim-held 10000 smbus read-word 0x0b 0x09", 0, "0x3039\n"},
      {"--json --sim-held 20000 batch", 2,
       R"({"line":1,"method":"GPIO_FW_VER_Read","result":14,"message":"Fatal Error.","args":{"iDevFWver":"","iVendorID":"0451","iProductID":"5F00"},"reason":")" +
           kBusy + "\"}\n",
       "gpio-dll: 14: Fatal Error.\ngpio-dll: " + kBusy + "\n",
       "GPIO_FW_VER_Read \"\" \"\" \"\"\n"},
      // A doubled sign is no number: the automation's type mismatch, not a usage error.
      {"--sim 2.0.19 --json call Check_DllErrorCode --5", 2,
       R"({"method":"Check_DllErrorCode","automation_error":13,"message":"Type mismatch","args":{}})"
       "\n",
       "gpio-dll: automation error 13: Type mismatch\n"},
      // A batch runs on one thread (the dispatching methods work after identification) and goes
      // on after an automation error and a line it cannot call; every call line gets one object
      // with its line number.
      {"--sim 2.0.19 --json batch", 1,
       R"({"line":2,"method":"GPIO_FW_VER_Read","result":0,"message":"OK.","args":{"iDevFWver":"2.0.19","iVendorID":"0451","iProductID":"5F00"}})"
       "\n"
       R"({"line":3,"method":"Check_DllErrorCode","automation_error":6,"message":"Overflow","args":{}})"
       "\n"
       R"({"line":5,"method":"GPIO_ReadWriteP0Line","result":133,"message":"GPIO Firmware Version is not supported.","args":{"DataB":2}})"
       "\n"
       R"({"line":6,"method":"Check_DllErrorCode","result":"Unknown GPIO Error. <401>","args":{}})"
       "\n"
       R"({"line":7,"method":"GPIO_NoSuchMethod","result":"usage","message":"no method GPIO_NoSuchMethod"})"
       "\n"
       R"({"line":8,"method":"GPIO_Test","result":"usage","message":"GPIO_Test takes 0 argument(s), got 1"})"
       "\n"
       R"({"line":9,"method":"GPIO_ReadSMBusWord","result":406,"message":"Error Write.","args":{"DataH":0,"DataL":0},"meaning":"no acknowledge from the target"})"
       "\n",
       "gpio-dll: automation error 6: Overflow\ngpio-dll: 133: GPIO Firmware Version is not "
       "supported.\ngpio-dll: line 7: no method GPIO_NoSuchMethod\ngpio-dll: line 8: GPIO_Test "
       "takes 0 argument(s), got 1\ngpio-dll: 406: Error Write. (no acknowledge from the "
       "target)\n",
       "# identify first\nGPIO_FW_VER_Read \"\" \"\" \"\"\nCheck_DllErrorCode 99999999999\n\n"
       "GPIO_ReadWriteP0Line 1 2\nCheck_DllErrorCode 0x191\nGPIO_NoSuchMethod 1\nGPIO_Test 1\n"
       "GPIO_ReadSMBusWord 0x0d 0 0 0x42\n"},
  };
  for (const auto& c : cases) {
    const ToolRun r = run_tool(c.args, c.input);
    EXPECT_EQ(r.status, c.status) << c.args << ": " << r.err;
    EXPECT_EQ(r.out, c.out) << c.args;
    EXPECT_EQ(r.err, c.err) << c.args;
    if (c.args.find("--json") != std::string::npos) json_lines(r.out, c.args);
  }
}

// Files and standard streams that cannot be used after the module was reached, or as standard
// input and output: the reason and exit status 1, never an abort; endless input is refused without
// being read through.
TEST(Tool, StreamsThatFailGiveTheReason) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"eeprom read /dev/full", "cannot write /dev/full: No space left on device"},
      {"eeprom dump /dev/full", "cannot write /dev/full: No space left on device"},
      {"eeprom read - > /dev/full", "cannot write standard output: No space left on device"},
      {"identify > /dev/full", "cannot write standard output: No space left on device"},
      {"-y eeprom write - < /dev/zero",
       "standard input holds more than 8192 bytes: an EEPROM image is 8192 bytes"},
      {"batch < /", "line 1: cannot read standard input: Is a directory (the batch stops here)"},
      {"batch < /dev/zero", "line 1: more than 65536 bytes in one line (the batch stops here)"},
  };
  for (const auto& [args, message] : cases) {
    gpio_dll::testing::Process run(
        "/bin/sh",
        {"-c", gpio_dll::testing::built_program_command(GPIO_DLL_TOOL) + " --sim 2.0.19 " + args});
    EXPECT_EQ(run.finish(0, std::chrono::seconds(60)), 1) << args;
    EXPECT_EQ(run.err, "gpio-dll: " + message + "\n") << args;
  }
}

TEST(Tool, SMBusAndI2CCommandsPrintLikeI2cTools) {
  const std::vector<std::pair<std::string, std::string>> cases = {
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
    for (const auto& [args, out] : cases) {
      const ToolRun r = run_tool(std::string("--sim ") + fw + " " + args);
      EXPECT_EQ(r.status, 0) << fw << " " << args << ": " << r.err;
      EXPECT_EQ(r.out, out) << fw << " " << args;
    }
  }
}

TEST(Tool, RunsBusTransactionsAgainstBothGenerations) {
  const std::string calls =
      "GPIO_FW_VER_Read \"\" \"\" \"\"\n"
      "GPIO_ReadSMBusWord 0x0d 0 0 0x17\n"
      "GPIO_WriteSMBusBlock 0x44 " +
      repeated("5A", 64) +
      " 64 0x16\n"
      "GPIO_WriteI2CBlock 0x10 C0FFEE 3 0xA0\n"
      "GPIO_WriteReadI2CBlock 0x10 \"\" \"\" 0 3 0xA0\n"
      "GPIO_WriteReadSMBusBlock 0x44 00010203 \"\" 2 0 0x16\n"
      "GPIO_CheckSdaSclLine\n";
  for (const char* fw : {"1.0.10", "2.0.19"}) {
    const ToolRun r = run_tool(std::string("--sim ") + fw + " --json batch", calls);
    const bool old = std::string(fw) == "1.0.10";
    // The old firmware takes at most 60 bytes in a block write.
    EXPECT_EQ(r.status, old ? 2 : 0) << r.err;
    for (const std::string& part :
         {std::string("\"args\":{\"DataH\":0,\"DataL\":87}"),
          std::string("\"method\":\"GPIO_WriteSMBusBlock\",\"result\":") + (old ? "139" : "0"),
          std::string("\"DataArrayR\":\"C0FFEE\""),
          std::string("\"args\":{\"DataArrayR\":\"0001\",\"iNumBytesWr\":2,\"iNumBytesRd\":2}"),
          std::string("\"method\":\"GPIO_CheckSdaSclLine\",\"result\":0")})
      EXPECT_NE(r.out.find(part), std::string::npos) << fw << ": " << part << "\n" << r.out;
  }
}

TEST(Tool, PlaysBackAScriptOfAnswersAndShowsTheTrace) {
  const std::string script = tool_temp_path("script.txt");
  std::ofstream(script) << "# preliminary, then the version\n00 00\n00 0A 00 64\n"
                           "00 00\n00 01 02 03\n";
  const ToolRun r = run_tool("--sim-script " + script + " identify");
  std::remove(script.c_str());
  EXPECT_EQ(r.status, 0) << r.err;
  // The window's start-up takes the first two answers, the call the next two.
  EXPECT_EQ(r.out, "firmware: 1.2.3\nvendor:   0451\nproduct:  5F00\n");
  const ToolRun traced = run_tool("--sim 2.0.19 --trace identify");
  EXPECT_EQ(traced.out, kIdentified);
  EXPECT_NE(traced.err.find("  My device detected\n"), std::string::npos);
  EXPECT_NE(traced.err.find("ReadFile completed successfully."), std::string::npos);
  // The window is loaded (and its start-up has identified, unheard) before the command, as a
  // window shown from the start would be: the call's trace opens by closing those handles.
  EXPECT_EQ(traced.err.rfind("\nCloseHandle (HIDHandle)\n  Result = Success\n\nCloseHandle", 0), 0u)
      << traced.err.substr(0, 200);
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
  // Nothing at 0x0c: every word shows its result's message, and the status says so.
  const ToolRun none = run_tool("--sim 2.0.19 battery 0x0c");
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.out.find("Voltage               failed (Error Write.)\n"), std::string::npos)
      << none.out;
}

// The served module through the kernel: identification, the serial number, state kept between
// runs, the EEPROM as an image and as a table, and a node the user may not open.
TEST(Tool, WorksAgainstTheServedDevice) {
  REQUIRE_SERVED_DEVICE();
  char pattern[] = "/tmp/gpio-dll-tool.XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  gpio_dll::testing::Server server;
  ASSERT_TRUE(server.start(dir, "1.0.10"));
  const std::string node = dir + "/dev/hidraw0";
  const std::string device = "--device " + node + " ";
  EXPECT_EQ(run_tool(device + "identify").out,
            "firmware: 1.0.10\nvendor:   0451\nproduct:  5F00\n");
  EXPECT_EQ(run_tool(device + "list").out,
            node + "  0451:5F00  module  serial SIM0001  " + kSimulatedName + "\n");
  EXPECT_EQ(run_tool(device + "--serial SIM0001 identify").status, 0);
  EXPECT_EQ(run_tool(device + "smbus write-word 0x0b 0x00 0xbeef").status, 0);
  EXPECT_EQ(run_tool(device + "smbus read-word 0x0b 0x00 p").out, "0xbeef\n");

  std::string image;
  for (int i = 0; i < 8192; ++i)
    image += static_cast<char>(i * 7 + 3);
  std::ofstream(dir + ".image", std::ios::binary) << image;
  EXPECT_EQ(run_tool(device + "eeprom write " + dir + ".image").status, 0);
  EXPECT_TRUE(run_tool(device + "eeprom read -").out == image);
  const ToolRun dump = run_tool(device + "eeprom dump");
  EXPECT_EQ(dump.status, 0) << dump.err;
  // Rows of 16 bytes in hex, then printable ones as themselves and others as '.'.
  const auto row = [&](int at) {
    char cell[8];
    std::snprintf(cell, sizeof cell, "%04x: ", at);
    std::string hex = cell, ascii;
    for (int a = at; a < at + 16; ++a) {
      const auto b = static_cast<unsigned char>(image[a]);
      std::snprintf(cell, sizeof cell, "%02x ", b);
      hex += cell;
      ascii += b >= 0x20 && b < 0x7f ? static_cast<char>(b) : '.';
    }
    return hex + "   " + ascii + "\n";
  };
  for (int at : {0x0000, 0x00f0, 0x1000, 0x1ff0})
    EXPECT_NE(dump.out.find(row(at)), std::string::npos) << row(at) << dump.out.substr(0, 300);
  EXPECT_EQ(run_tool(device + "eeprom dump " + dir + ".table").status, 0);
  std::ifstream table(dir + ".table");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(table), {}), dump.out);

  // A permission problem points to the udev rule, in the text and in the JSON.
  std::ofstream(dir + "/control") << "open-error 13";
  const ToolRun refused = run_tool(device + "identify");
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.err, kNotDetected + ("gpio-dll: cannot open " + node +
                                         ": Permission denied (the module's node needs the udev "
                                         "rule: see \"Real modules on Linux: permissions\" in "
                                         "the README)\n"));
  const ToolRun json = run_tool("--json " + device + "identify");
  EXPECT_NE(json.out.find(",\"reason\":\"cannot open " + node +
                          ": Permission denied (the module's node needs the udev rule: see "
                          "\\\"Real modules on Linux: permissions\\\" in the README)\""),
            std::string::npos)
      << json.out;
  std::ofstream(dir + "/control") << "open-error 0";
  EXPECT_EQ(run_tool(device + "identify").status, 0);
  server.stop();
  std::filesystem::remove_all(dir);
  std::filesystem::remove(dir + ".image");
  std::filesystem::remove(dir + ".table");
}

// Bytes as text: each byte the character U+0000 to U+00FF of its value, in UTF-8.
std::string as_text(const std::string& bytes) {
  std::string utf8;
  for (const unsigned char b : bytes)
    utf8 += b < 0x80 ? std::string(1, static_cast<char>(b))
                     : std::string{static_cast<char>(0xC0 | b >> 6),
                                   static_cast<char>(0x80 | (b & 0x3F))};
  return utf8;
}

TEST(ToolJson, EveryLineParses) {
  const std::vector<std::pair<std::string, std::size_t>> cases = {
      {"--sim 1.0.10 list", 1},
      {"--sim 2.0.19 scan", 1},
      {"--sim 2.0.19 battery", 1},
      {"--sim 2.0.19 battery 0x0c", 1},
      {"--sim 2.0.19 smbus read-block 0x0b 0x20", 1},
      {"--sim 2.0.19 lines get p0", 1},
      {"--sim 2.0.19 dma 2BFF", 1},
      {"--sim 2.0.19 call ShowDbg \"\"", 1},
      {"--sim 2.0.19 batch", 7},
  };
  for (const auto& [args, lines] : cases) {
    const ToolRun r =
        run_tool("--json " + args,
                 "GPIO_FW_VER_Read \"\" \"\" \"\"\nGPIO_WriteSMBusBlock 0x20 FF80C328 4 0x16\n"
                 "GPIO_ReadSMBusBlock 0x20 \"\" 0 0x16\nCheck_DllErrorCode 1e\nGetErrString 2\n"
                 "GPIO_ShutdownDLL\nShowDbg \"\xff\xfe\"\n");
    const auto objects = json_lines(r.out, args);
    EXPECT_EQ(objects.size(), lines) << args << "\n" << r.out;
    for (const auto& o : objects)
      EXPECT_TRUE(o.is_object()) << args;
  }
}

TEST(ToolJson, TextsFromTheModuleKeepTheirBytes) {
  const std::vector<std::pair<std::string, std::string>> blocks = {
      {"47 50 49 4F FF 80", "GPIO\xff\x80"},
      {"C3 28 A0 A1", "\xc3\x28\xa0\xa1"},                 // not UTF-8
      {"E2 82 AC 22 5C 0A 01", "\xe2\x82\xac\"\\\n\x01"},  // UTF-8, quote, backslash, controls
      {"ED A0 80 F8", "\xed\xa0\x80\xf8"},
  };
  for (const auto& [hex, bytes] : blocks) {
    // Identification (the window's start-up, then the command), the PEC mode exchange, then the
    // manufacturer's block read answered with `hex`.
    const std::string script = tool_temp_path("block.txt");
    char length[4];
    std::snprintf(length, sizeof length, "%02zX", bytes.size());
    std::ofstream(script) << "00 00\n00 02 00 13\n00 00\n00 02 00 13\n00 00\n00 00 " << length
                          << " " << hex << "\n";
    const ToolRun r = run_tool("--json --sim-script " + script + " battery");
    std::remove(script.c_str());
    EXPECT_EQ(r.status, 0) << hex << ": " << r.err;
    // ASCII only, so valid UTF-8 whatever the module sent.
    for (char c : r.out)
      ASSERT_LT(static_cast<unsigned char>(c), 0x80) << hex << ": " << r.out;
    const auto objects = json_lines(r.out, hex);
    ASSERT_EQ(objects.size(), 1u) << r.out;
    EXPECT_EQ(objects[0]["manufacturer"], as_text(bytes)) << hex;
    EXPECT_EQ(objects[0]["device"], "SIM-BAT-4S");
  }
}

}  // namespace
