// What every command of the gpio-dll tool shares: options, the object, argument parsing and
// the conventions of output and exit status.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "call_format.hpp"
#include "gpio_dll/gpio_dll.hpp"
#include "json_output.hpp"

namespace gpio_dll::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitResult = 2;  // a result code other than OK

struct Options {
  std::optional<std::string> sim;     // firmware of the built-in simulated module
  std::optional<std::string> script;  // answers the simulated module plays back first
  // Another user holds the simulated module this long (virtual ms) when the tool starts.
  std::optional<std::uint32_t> held_ms;
  std::optional<std::string> device;  // one hidraw node
  std::optional<std::string> serial;  // the module with this serial number
  // The hidraw tree under this folder (a served rack); else GPIO_DLL_HIDRAW_DIR.
  std::optional<std::string> hidraw_dir;
  bool json = false;
  bool trace = false;
  bool yes = false;             // -y: no confirmation before writes
  bool pec = false;             // --pec
  bool word_mode = false;       // -w: words rather than bytes
  bool identify_first = false;  // call --identify
};

using Args = std::vector<std::string>;

class Tool {
 public:
  explicit Tool(Options options) : options_(std::move(options)) {}

  const Options& options() const { return options_; }
  cls_GPIO_DLL& dll() { return dll_; }
  std::string message(std::int32_t code);

  // The command as typed ("smbus read-word"), which a failed identification is reported as.
  void set_command(std::string name) { command_ = std::move(name); }
  const std::string& command() const { return command_; }

  // Identifies the module, as every bus command must first; prints the failure (as the typed
  // command's) and returns false when it fails.
  bool identify(int& exit_status);
  // What the tool adds to a failed identification of this run: failure_reason(), and for 14
  // without a lock failure that the module did not answer, with the time it took.
  std::string identification_reason(std::int32_t result);
  // The firmware version text that the last identification read.
  const std::string& firmware() const { return firmware_; }

  // The end of a command: OK prints `text`, or with --json one object: "command", "result" and
  // "message", then `fields` in their order. Any other code goes to standard error as
  // "gpio-dll: CODE: MESSAGE" (the JSON object still to standard output) with exit status 2.
  // NO_DEV_DETECTED adds the reason when the system gave one (a node that could not be opened):
  // a second line on standard error, "reason" in JSON. A module status whose message does not
  // say what happened gets its meaning after the message and as "meaning" in JSON.
  int finish(const std::string& command, std::int32_t result, const Json& fields,
             const std::string& text);
  // finish() with `reason` in place of failure_reason()'s.
  int finish(const std::string& command, std::int32_t result, const Json& fields,
             const std::string& text, const std::string& reason);
  // One JSON object as one line of standard output.
  void print_json(const Json& object) const;

  void error(const std::string& text) const;

 private:
  Options options_;
  cls_GPIO_DLL dll_;
  std::string firmware_;
  std::string command_;
  int identifications_ = 0;  // run on this thread so far
};

// Why the module was not reached, from the last discovery on this thread: "cannot open PATH:
// TEXT", with a pointer to the udev rule for permission failures, or "cannot use PATH: TEXT" for
// a module that opened but cannot serve; empty when nothing failed to open.
std::string no_device_reason();

// What the tool adds to a failed result: for 131 the discovery's reason, for 14 the module lock's
// ("module busy: held by another user for more than 15 s"); empty when there is none.
std::string failure_reason(std::int32_t result);

// What a module status means where its message does not say ("Error Write." is the module's word
// for a slave that did not acknowledge): "no acknowledge from 0x0c" (`address` < 0: "from the
// target"); empty for every other result.
std::string result_meaning(std::int32_t result, int address);

// `fields` with what a read gave under `key`: `value` when `result` is OK, else null there and the
// result's message under "errors" (as battery gives them), so that no failed read looks like data.
Json read_fields(Tool& tool, std::int32_t result, Json fields, const std::string& key, Json value);

// A number in decimal or 0x hex (one optional sign; no leading 0 before a digit) within
// [min, max]. Throws UsageError "WHAT is not a number: WORD", "WHAT has a leading 0 ...: WORD"
// or "WHAT out of range (MIN to MAX): WORD".
std::int64_t parse_number(const std::string& word, std::int64_t min, std::int64_t max,
                          const std::string& what);
// Bytes as hex digits, blanks ignored. Throws UsageError "WHAT: odd number of digits" or
// "WHAT: not a hex digit: ...".
ByteArray parse_hex(const std::string& word, const std::string& what);
// A 7-bit address (0x03 to 0x77, as i2c-tools take them) as the 8-bit nTargetID, bit 0 = PEC.
std::int16_t parse_target(const std::string& word, bool pec);
// Data bytes, one number per word.
ByteArray parse_data_bytes(const Args& words, std::size_t from);
// Removes a final "p" mode word; true if it was there or --pec was given.
bool take_pec(const Tool& tool, Args& args);
// "0x01 0x02 ..." as i2c-tools print blocks.
std::string format_bytes(const ByteArray& bytes);
std::string hex2(std::uint32_t value);
// Four upper-case hex digits, as identifiers are written ("0451").
std::string identifier(std::uint16_t value);
std::string hex4(std::uint32_t value);
// A request above the firmware's limits, which the library refuses before sending anything
// (ERROR_GPIO_LEN_RD_BLOCK_MAX or ERROR_GPIO_LEN_WR_BLOCK_MAX), as a usage error that names the
// library's limit and the firmware; any other result returns.
void refuse_over_limit(const Tool& tool, std::int32_t result, const std::string& operation);
void expect_count(const Args& args, std::size_t count, const std::string& usage);

}  // namespace gpio_dll::cli
