// The gpio-dll tool, run as a process: its output and exit status.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

struct ToolRun {
  int status = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs the tool with `args` (shell words) and `input` on standard input.
ToolRun run_tool(const std::string& args, const std::string& input = "") {
  // Files of this process only: the tests of this suite run in parallel processes.
  static int calls = 0;
  const std::string stem = ::testing::TempDir() + "/gpio_dll_cli_" + std::to_string(getpid()) +
                           "_" + std::to_string(++calls);
  const std::string in_path = stem + "_in.txt";
  const std::string err_path = stem + "_err.txt";
  std::ofstream(in_path) << input;
  const std::string command =
      std::string(GPIO_DLL_TOOL) + " " + args + " < " + in_path + " 2> " + err_path;
  ToolRun result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  std::size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
    result.out.append(buffer, n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream err(err_path);
  result.err.assign(std::istreambuf_iterator<char>(err), {});
  std::remove(in_path.c_str());
  std::remove(err_path.c_str());
  return result;
}

TEST(Tool, IdentifiesTheSimulatedModule) {
  const ToolRun r = run_tool("--sim 2.0.19 identify");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "firmware: 2.0.19\nvendor:   0451\nproduct:  5F00\n");
  const ToolRun old = run_tool("--json --sim 1.0.10 identify");
  EXPECT_EQ(old.out,
            "{\"method\":\"GPIO_FW_VER_Read\",\"result\":0,\"message\":\"OK.\",\"args\":{"
            "\"iDevFWver\":\"1.0.10\",\"iVendorID\":\"0451\",\"iProductID\":\"5F00\"}}\n");
}

TEST(Tool, ExplainsResultCodes) {
  EXPECT_EQ(run_tool("message 305").out, "Unknown GPIO Error. <305>\n");
  EXPECT_EQ(run_tool("message 0x12D").out, "Error (without explanation).\n");
  EXPECT_EQ(run_tool("message 139").out, "Maximum write size exceeded (>0 bytes).\n");
  EXPECT_EQ(run_tool("--json message -1").out,
            "{\"code\":-1,\"message\":\"Unknown Error. <-1>\"}\n");
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

TEST(Tool, HelpAndVersion) {
  EXPECT_EQ(run_tool("--help").status, 0);
  EXPECT_NE(run_tool("--help").out.find("Usage: gpio-dll"), std::string::npos);
  EXPECT_NE(run_tool("batch --help").out.find("Usage: gpio-dll batch"), std::string::npos);
  EXPECT_EQ(run_tool("--version").out, "gpio-dll 1.0.0\n");
}

}  // namespace
