// The i2c-tools commands of the gpio-dll tool, run as processes through their links in the build
// tree (and as gpio-dll's commands) on the simulated module that GPIO_DLL_SIM chooses: output,
// questions and exit statuses as i2c-tools 4.3 gives them.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "support/tool_process.hpp"

namespace {

using gpio_dll::testing::built_program_command;
using gpio_dll::testing::Process;
using gpio_dll::testing::tool_temp_path;
using gpio_dll::testing::ToolRun;

// Runs `line` (a shell command line starting with an i2c-tools name, run through its link) with
// `input` on standard input and the environment `env` (GPIO_DLL_SIM=2.0.19 by default).
ToolRun run_link(const std::string& line, const std::string& input = "",
                 const std::string& env = "GPIO_DLL_SIM=2.0.19") {
  const std::string in_path = tool_temp_path("in.txt");
  std::ofstream(in_path) << input;
  const std::string name = line.substr(0, line.find(' '));
  const std::string rest = line.size() > name.size() ? line.substr(name.size()) : "";
  Process run("/bin/sh",
              {"-c", "env -u GPIO_DLL_DEVICE -u GPIO_DLL_SERIAL " + env + " " +
                         built_program_command(std::string(GPIO_DLL_I2C_TOOLS_DIR) + "/" + name) +
                         rest + " < " + in_path});
  const int status = run.finish(0, std::chrono::seconds(60));
  std::remove(in_path.c_str());
  return {status, run.out, run.err};
}

struct Case {
  const char* line;
  const char* input;
  int status;
  const char* out;  // the whole standard output, or (with a leading '~') a part of it
  const char* err;  // a part of standard error ("" for none at all)
};

void check(const Case& c) {
  const ToolRun r = run_link(c.line, c.input);
  EXPECT_EQ(r.status, c.status) << c.line << "\n" << r.out << r.err;
  const std::string out = c.out;
  if (out.starts_with("~"))
    EXPECT_NE(r.out.find(out.substr(1)), std::string::npos) << c.line << "\n" << r.out;
  else
    EXPECT_EQ(r.out, out) << c.line;
  if (std::string(c.err).empty())
    EXPECT_EQ(r.err, "") << c.line;
  else
    EXPECT_NE(r.err.find(c.err), std::string::npos) << c.line << "\n" << r.err;
}

const char* const kAsk =
    "WARNING! This program can confuse your I2C bus, cause data loss and worse!\n";

TEST(I2cToolsGet, ReadsAndRefusesAsI2cget) {
  const Case cases[] = {
      {"i2cget -y 1 0x0b 0x0d w", "", 0, "0x0057\n", ""},
      {"i2cget -y 0 0x0b 0x0d", "", 0, "0x57\n", ""},
      {"i2cget -y 1 0x0b 0x0d wp", "", 0, "0x0057\n", ""},
      {"i2cget -y 1 0x0b 0x0d c", "", 0, "0x57\n", ""},
      {"i2cget -y 1 0x0b 0x20 s", "", 0, "0x47 0x50 0x49 0x4f 0x20 0x53 0x69 0x6d\n", ""},
      {"i2cget -y 1 0x0b 0x0d i 2", "", 0, "0x57 0x00\n", ""},
      {"i2cget -y 'gpio-dll SIM0001' 0x0b 0x0d w", "", 0, "0x0057\n", ""},
      {"i2cget -y 1 0x0c 0x0d w", "", 2, "", "Error: Read failed\n"},
      {"i2cget -y 1 0x0b 0x0d x", "", 1, "", "Error: Invalid mode!\nUsage: i2cget [-f] [-y] [-a]"},
      {"i2cget -y 1 0x78 0x0d", "", 1, "", "Error: Chip address out of range (0x08-0x77)!\n"},
      {"i2cget -y 1 0x0b 0x100", "", 1, "", "Error: Data address invalid!\n"},
      {"i2cget -y 1 0x0b 0x0d i 33", "", 1, "", "Error: Length invalid!\n"},
      {"i2cget -y 1 0x0b 0x0d w 2", "", 1, "", "Error: Length only valid for I2C block data!\n"},
      {"i2cget -y 1 0x0b 0x0d ip", "", 1, "", "Error: PEC not supported for I2C block data!\n"},
      {"i2cget -x 1 0x0b", "", 1, "", "Error: Unsupported option \"-x\"!\n"},
      {"i2cget -y other 0x0b", "", 1, "", "Error: I2C bus name doesn't match any bus present!\n"},
      {"i2cget -V", "", 0, "", "i2cget version 4.3\n"},
      // Without -y: the question on standard error, the answer from standard input.
      {"i2cget 1 0x0b 0x0d w", "\n", 0, "0x0057\n",
       "I will read from device file /dev/i2c-1, chip address 0x0b, data address\n"
       "0x0d, using read word data.\nContinue? [Y/n] "},
      {"i2cget 1 0x0b", "y\n", 0, "0x00\n",
       "chip address 0x0b, current data\naddress, using read byte.\n"},
      {"i2cget 1 0x0b 0x0d", "n\n", 0, "", "Continue? [Y/n] Aborting on user request.\n"},
      {"i2cget 1 0x0b 0x0d", "", 0, "", "Aborting on user request.\n"},
      {"i2cget 1 0x0b 0x0d", "y", 0, "", "Aborting on user request.\n"},
      {"i2cget 1 0x0b 0x0d i 4", "\n", 0, "0x57 0x00 0x54 0xff\n",
       "0x0d, 4 bytes using read I2C block data.\n"},
      {"i2cget 1 0x0b 0x0d cp", "\n", 0, "", "Continue? [y/N] Aborting on user request.\n"},
      {"i2cget 1 0x50 0x00 bp", "\n", 0, "", "STOP! EEPROMs are I2C devices, not SMBus devices."},
  };
  for (const auto& c : cases)
    check(c);
}

TEST(I2cToolsSet, WritesMasksAndReadsBackAsI2cset) {
  const Case cases[] = {
      {"i2cset -y -r 1 0x0b 0x00 0x1234 w", "", 0, "Value 0x1234 written, readback matched\n", ""},
      {"i2cset -y -m 0x00ff -r 1 0x0b 0x00 0xabcd w", "", 0,
       "Value 0x00cd written, readback matched\n", ""},
      {"i2cset -y 1 0x0b 0x00 0x12", "", 0, "", ""},
      {"i2cset -y 1 0x0b 0x44 1 2 3 s", "", 0, "", ""},
      {"i2cset -y 1 0x50 0x00 1 2 3 i", "", 0, "", ""},
      {"i2cset -y 1 0x0c 0x00 0x12", "", 1, "", "Error: Write failed\n"},
      {"i2cset -y 1 0x0b 0x00 0x1ffff w", "", 1, "",
       "Error: Data value out of range!\nUsage: i2cset"},
      {"i2cset -y 1 0x0b 0x00 0x12 q", "", 1, "", "Error: Invalid mode 'q'!\n"},
      {"i2cset -y 1 0x0b 0x00 1 2 b", "", 1, "", "Error: Too many arguments!\n"},
      {"i2cset -y 1 0x0b 0x00 1 2 ip", "", 1, "",
       "Error: PEC not supported for I2C block writes!\n"},
      {"i2cset -y -m 0xff 1 0x0b 0x44 1 2 s", "", 1, "",
       "Error: Mask not supported for block writes!\n"},
      {"i2cset -y -m 0x100 1 0x0b 0x00 1", "", 1, "", "Error: Data value mask out of range!\n"},
      {"i2cset 1 0x0b 0x00 0x1234 w", "\n", 0, "",
       "I will write to device file /dev/i2c-1, chip address 0x0b,\n"
       "data address 0x00, data 0x1234, mode word.\nContinue? [Y/n] "},
      {"i2cset 1 0x0b 0x44 1 2 sp", "n\n", 0, "",
       "data address 0x44, data 0x01 0x02, mode smbus block.\nPEC checking enabled.\n"
       "Continue? [Y/n] Aborting on user request.\n"},
      // EEPROMs on a memory module: the default answer is no.
      {"i2cset 1 0x50 0x00 0x12", "\n", 0, "", "DANGEROUS! Writing to a serial EEPROM"},
      {"i2cset -m 0x0f 1 0x0b 0x00 0x05", "y\ny\n", 0, "",
       "Old value 0x00, write mask 0x0f, will write 0x05\nContinue? [Y/n] "},
  };
  for (const auto& c : cases)
    check(c);
}

TEST(I2cToolsDetect, ListsProbesAndRefusesQuickWrite) {
  const std::string header = "     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f\n";
  const std::string blank(48, ' ');
  const std::string read_grid = header + "00:                         -- -- -- 0b -- -- -- -- \n";
  const std::string narrow = "~" + header + "00: " + std::string(30, ' ') + "-- 0b -- " +
                             std::string(9, ' ') + "\n10: " + blank + "\n";
  const std::string read_part = "~" + read_grid;
  const std::string auto_part = "~" + header + "00: " + blank + "\n";
  const std::string all_part = "~00: " + std::string(9, ' ') + "-- -- -- -- -- -- -- -- 0b";
  const Case cases[] = {
      {"i2cdetect -l", "", 0,
       "i2c-0\tsmbus     \tgpio-dll SIM0001                \tSMBus adapter\n", ""},
      {"i2cdetect -F 1", "", 0,
       "~Functionalities implemented by /dev/i2c-1:\nI2C                              no\n"
       "SMBus Quick Command              no\nSMBus Send Byte                  yes\n",
       ""},
      {"i2cdetect -F 1", "", 0, "~I2C Block Read                   yes\n", ""},
      {"i2cdetect -y -r 1", "", 0, read_part.c_str(), ""},
      {"i2cdetect -y -r 1", "", 0, "~50: 50 -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- \n", ""},
      {"i2cdetect -y -r 1 0x0a 0x0c", "", 0, narrow.c_str(), ""},
      // Without quick write, the automatic mode probes only where it reads.
      {"i2cdetect -y 1", "", 0, auto_part.c_str(),
       "Warning: Can't use SMBus Quick Write command, will skip some addresses\n"},
      {"i2cdetect -y -q 1", "", 1, "", "Error: Can't use SMBus Quick Write command on this bus\n"},
      {"i2cdetect -r -q 1", "", 1, "", "Error: Different modes specified!\n"},
      {"i2cdetect -y -r 1 0x03 0x77", "", 1, "",
       "Error: FIRST argument out of range (0x08-0x77)!\n"},
      {"i2cdetect -y -a -r 1 0x03 0x77", "", 0, all_part.c_str(), ""},
      {"i2cdetect", "", 1, "", "Error: No i2c-bus specified!\nUsage: i2cdetect"},
      {"i2cdetect -r 1", "\n", 0, "~0b",
       "I will probe file /dev/i2c-1 using receive byte commands.\n"
       "I will probe address range 0x08-0x77.\nContinue? [Y/n] "},
      {"i2cdetect -r 1", "no\n", 0, "", "Aborting on user request.\n"},
  };
  for (const auto& c : cases)
    check(c);
}

TEST(I2cToolsDump, TablesAsI2cdumpPrintsThem) {
  const std::string bytes =
      "     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f    0123456789abcdef\n"
      "00:                         a5 39 18 ff ff 57 ff fe            ?9?..W.?\n";
  const std::string words =
      "     0,8  1,9  2,a  3,b  4,c  5,d  6,e  7,f\n"
      "08: 0ba5 3039 fc18 ffff ffff 0057 ffff 10fe \n";
  const std::string failed = "~00: " + std::string(39, ' ') + "XX " + std::string(6, ' ') + "   " +
                             std::string(13, ' ') + "X  \n";
  const Case cases[] = {
      {"i2cdump -y -r 0x08-0x0f 1 0x0b", "", 0, bytes.c_str(),
       "No size specified (using byte-data access)\n"},
      {"i2cdump -y -r 0x08-0x0f 1 0x0b b", "", 0, bytes.c_str(), ""},
      {"i2cdump -y -r 0x08-0x0f 1 0x0b w", "", 0, words.c_str(), ""},
      {"i2cdump -y -r 0x0d-0x0d 1 0x0c b", "", 0, failed.c_str(), ""},
      {"i2cdump -y -r 0x0f-0x08 1 0x0b", "", 1, "", "Error: Invalid range parameter!\n"},
      {"i2cdump -y -r 0x09-0x0f 1 0x0b W", "", 1, "",
       "Error: Range parameter not compatible with selected mode!\n"},
      {"i2cdump -y -r 0x00-0x0f 1 0x0b s", "", 1, "",
       "Error: Range parameter not compatible with selected mode!\n"},
      // A failed call's return code is the error number Linux's drivers give (ENXIO: no ack).
      {"i2cdump -y 1 0x0c s", "", 1, "",
       "SMBus block mode is deprecated, please use i2cget instead\n"
       "Error: Block read failed, return code -6\n"},
      {"i2cdump -y 1 0x0b x", "", 1, "", "Error: Invalid mode!\n"},
      {"i2cdump -y 1", "", 1, "", "Error: No address specified!\n"},
      {"i2cdump 1 0x0b b", "n\n", 0, "",
       "I will probe file /dev/i2c-1, address 0xb, mode byte\nContinue? [Y/n] "
       "Aborting on user request.\n"},
      {"i2cdump -r 0x08-0x0f 1 0x0b w", "\n", 0, words.c_str(),
       "mode word\nProbe range limited to 0x08-0x0f.\nContinue? [Y/n] "},
  };
  for (const auto& c : cases)
    check(c);
}

TEST(I2cToolsTransfer, RunsWhatTheModuleCanAndRefusesTheRest) {
  const Case cases[] = {
      {"i2ctransfer -y 1 w1@0x0b 0x0d r2", "", 0, "0x57 0x00\n", ""},
      {"i2ctransfer -yv 1 w1@0x0b 0x20 r?", "", 0,
       "msg 0: addr 0x0b, write, len 1, buf 0x20\n"
       "msg 1: addr 0x0b, read, len 9, buf 0x08 0x47 0x50 0x49 0x4f 0x20 0x53 0x69 0x6d\n",
       ""},
      {"i2ctransfer -y 1 r1@0x0b", "", 0, "~0x", ""},
      {"i2ctransfer -y 1 w3@0x0b 0x00 0x34 0x12", "", 0, "", ""},
      {"i2ctransfer -y 1 r8@0x0b", "", 1, "",
       "Error: Adapter does not have I2C read of more than 1 byte without a write before it "
       "capability\n"},
      {"i2ctransfer -y 1 w0@0x0b", "", 1, "",
       "Error: Adapter does not have SMBus quick write capability\n"},
      {"i2ctransfer -y 1 w1@0x0b 0x0d r2@0x0c", "", 1, "",
       "Error: Adapter does not have I2C transfers other than a write followed by a read of the "
       "same address capability\n"},
      {"i2ctransfer -y 1 w1@0x0b 0x0d r1 r1", "", 1, "", "other than a write followed by a read"},
      {"i2ctransfer -y 1 w1@0x0c 0x0d r2", "", 1, "",
       "Error: Sending messages failed: No such device or address\n"},
      {"i2ctransfer -y 1 w2@0x0b 0x0d", "", 1, "", "Error: Incomplete message\n"},
      {"i2ctransfer -y 1 x1@0x0b", "", 1, "",
       "Error: Invalid direction\nError: faulty argument is 'x1@0x0b'\n"},
      {"i2ctransfer -y 1 w1@0x0b 0x100", "", 1, "", "Error: Invalid data byte\n"},
      {"i2ctransfer -y 1 w2@0x0b 0x00 0x10x", "", 1, "", "Error: Invalid data byte suffix\n"},
      {"i2ctransfer -y 1 r1", "", 1, "", "Error: No address given\n"},
      {"i2ctransfer -y 1 w1@0x0b 0x00 r?x", "", 1, "", "Error: Unknown separator after length\n"},
      // Without -y: the messages on standard error, and no as the default answer.
      {"i2ctransfer 1 w4@0x50 0x00 0x10+", "\n", 0, "",
       "I will send the following messages to device file /dev/i2c-1:\n"
       "msg 0: addr 0x50, write, len 4, buf 0x00 0x10 0x11 0x12\n"
       "Continue? [y/N] Aborting on user request.\n"},
      {"i2ctransfer 1 w4@0x50 0x00 0xff- r1", "y\n", 0, "~0x",
       "msg 0: addr 0x50, write, len 4, buf 0x00 0xff 0xfe 0xfd\nmsg 1: addr 0x50, read, len 1\n"},
      {"i2ctransfer 1 w1@0x0b 0x0d r2", "y\n", 0, "0x57 0x00\n", "Continue? [y/N] "},
      {"i2ctransfer 1 w4@0x50 0x00 0x00p", "\n", 0, "", "buf 0x00 0x00 0x50 0xb0\n"},
  };
  for (const auto& c : cases)
    check(c);
}

// How many reports the module got: each exchange is one WriteFile in the trace.
int reports(const std::string& trace) {
  int count = 0;
  for (auto at = trace.find("\nWriteFile\n"); at != std::string::npos;
       at = trace.find("\nWriteFile\n", at + 1))
    ++count;
  return count;
}

TEST(I2cToolsTransfer, NothingIsSentForWhatTheModuleCannotDo) {
  const auto traced = [](const std::string& args) {
    const std::string line = "GPIO_DLL_SIM=2.0.19 " + built_program_command(GPIO_DLL_TOOL) +
                             " --trace " + args + " 2>&1";
    Process run("/bin/sh", {"-c", line});
    run.finish(0, std::chrono::seconds(60));
    return run.out;
  };
  const int identification = reports(traced("i2cdetect -F 1"));
  ASSERT_GT(identification, 0);
  EXPECT_EQ(reports(traced("i2ctransfer -y 1 w1@0x0b 0x0d r2")), identification + 2);
  for (const char* refused : {"i2ctransfer -y 1 r8@0x0b", "i2ctransfer -y 1 w0@0x0b",
                              "i2ctransfer -y 1 w1@0x0b 0x0d r1 r1", "i2cdetect -y -q 1"})
    EXPECT_EQ(reports(traced(refused)), identification) << refused;
}
}  // namespace
