// Runs the gpio-dll tool as a process: standard output, standard error and exit status, and its
// --json lines parsed.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace gpio_dll::testing {

struct ToolRun {
  int status = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

// A file name of this process only: the tests of a suite run in parallel processes.
inline std::string tool_temp_path(const std::string& what) {
  static int calls = 0;
  return ::testing::TempDir() + "/gpio_dll_cli_" + std::to_string(getpid()) + "_" +
         std::to_string(++calls) + "_" + what;
}

// Runs the tool with `args` (shell words) and `input` on standard input.
inline ToolRun run_tool(const std::string& args, const std::string& input = "") {
  const std::string in_path = tool_temp_path("in.txt");
  const std::string err_path = tool_temp_path("err.txt");
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

// Every line of `out` as JSON; a line that does not parse fails the test.
inline std::vector<nlohmann::json> json_lines(const std::string& out, const std::string& what) {
  std::vector<nlohmann::json> objects;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    try {
      objects.push_back(nlohmann::json::parse(line));
    } catch (const nlohmann::json::parse_error& e) {
      ADD_FAILURE() << what << ": " << e.what() << "\n" << line;
    }
  }
  return objects;
}

// The one JSON object a run printed; fails the test unless there is exactly one.
inline nlohmann::json only_json(const ToolRun& r, const std::string& what) {
  const auto objects = json_lines(r.out, what);
  EXPECT_EQ(objects.size(), 1u) << what << "\n" << r.out << r.err;
  return objects.empty() ? nlohmann::json::object() : objects.front();
}

}  // namespace gpio_dll::testing
