// The tool's command line: global options, the command, its options and its words.
#pragma once

#include <string>

#include "commands.hpp"

namespace gpio_dll::cli {

struct CommandLine {
  Options options;
  const Command* command = nullptr;
  Args args;  // the command's words, options taken out
  bool help = false;
  bool version = false;
};

// Options may stand anywhere on the line, before or after the command (for call, before METHOD:
// the words from METHOD on are the method's). Throws UsageError for an unknown command or
// option ("unknown option --jsn") or an option without its value; `line` then still holds --json
// and the command, so that the error can come as JSON.
void parse_command_line(int argc, char** argv, CommandLine& line);

// The text of --help: usage, the commands in an aligned list, the options.
std::string usage_text();

// A usage error: "gpio-dll: TEXT" on standard error, with --json also one object on standard
// output ("result": "usage"); exit status 1.
int report_usage_error(const CommandLine& line, const std::string& text);

}  // namespace gpio_dll::cli
