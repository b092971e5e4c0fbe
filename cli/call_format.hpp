// Turning command-line words into automation arguments and call results into text or JSON.
#pragma once

#include <string>
#include <vector>

#include "gpio_dll/automation.hpp"
#include "gpio_dll/variant.hpp"
#include "json_output.hpp"

namespace gpio_dll::cli {

// A word the tool cannot use; reported as a usage error.
struct UsageError {
  std::string message;
};

// Arguments for `method` from words: numbers in decimal or 0x hex, texts as given, byte arrays
// as hex digits ("" for an empty array). Throws UsageError for a wrong count or bad hex.
std::vector<Variant> parse_arguments(const automation::MethodInfo& method,
                                     const std::vector<std::string>& words);

// Splits a line into words; double quotes group blanks and "" is an empty word.
std::vector<std::string> split_words(const std::string& line);

struct CallOutcome {
  const automation::MethodInfo* method = nullptr;
  Variant result;
  std::vector<Variant> args;
  bool automation_failed = false;
  std::int32_t automation_error = 0;
  std::string automation_message;
};

// The text form: the result with its message, then one line per by-reference argument.
std::string format_text(const CallOutcome& outcome, const std::string& message);
// The JSON object: method, result (or automation_error), message and the by-reference
// arguments under "args" (also after an automation error).
Json format_json(const CallOutcome& outcome, const std::string& message);

}  // namespace gpio_dll::cli
