// eeprom: the module's own 8192-byte EEPROM to and from files, and as a hex table.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "commands.hpp"
#include "confirm.hpp"
#include "file_access.hpp"
#include "gpio_dll/debug_window.hpp"
#include "hex_table.hpp"
#include "terminal.hpp"

namespace gpio_dll::cli {

namespace {

constexpr std::size_t kEepromBytes = 8192;
constexpr std::size_t kChunkBytes = 32;

// Follows the transfer through the debug window's progress bar: the address of the chunk in
// flight, kept after a failure, and a bar on standard error while it runs when that is a
// terminal. The bar is drawn only forwards and cleared at the end.
class Progress {
 public:
  Progress() : drawn_(stderr_is_terminal()) {
    debug_window::observe_progress(
        [this](int min, int max, int value) { update(min, max, value); });
  }
  ~Progress() {
    debug_window::observe_progress(nullptr);
    if (drawn_ && shown_) std::cerr << "\r" << std::string(60, ' ') << "\r" << std::flush;
  }
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // The address of the last chunk started.
  std::size_t address() const { return static_cast<std::size_t>(last_); }

 private:
  void update(int min, int max, int value) {
    // The bar goes back to its start when the transfer ends; that is not progress.
    if (max <= min || value < last_) return;
    last_ = value;
    if (!drawn_) return;
    shown_ = true;
    // The bar's value is the address of the chunk in flight: with that chunk counted, as in
    // the number beside it, the last chunk fills all 40 marks.
    const int width = 40;
    const int done = value - min + static_cast<int>(kChunkBytes);
    const int total = max - min + 1;
    const int filled = std::min(done, total) * width / total;
    std::cerr << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
              << std::string(static_cast<std::size_t>(width - filled), ' ') << "] "
              << (value + static_cast<int>(kChunkBytes)) << "/" << (max + 1) << std::flush;
  }

  bool drawn_;
  bool shown_ = false;
  int last_ = 0;
};

std::string hex4_address(std::size_t address) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04zx", address);
  return text;
}

ByteArray read_image(const std::string& file) {
  const std::string content = read_file(file, kEepromBytes, "an EEPROM image is 8192 bytes");
  if (content.size() != kEepromBytes)
    throw UsageError{(file == "-" ? "standard input" : file) + " holds " +
                     std::to_string(content.size()) + " bytes, not 8192"};
  return ByteArray(content.begin(), content.end());
}

int write_eeprom(Tool& tool, const std::string& file) {
  ByteArray image = read_image(file);
  if (!confirm(tool, "overwrite the module's EEPROM")) return declined(tool, "eeprom write");
  int status = kExitOk;
  if (!tool.identify(status)) return status;
  std::string fw = tool.firmware();
  std::int32_t r = OK;
  std::size_t stopped = 0;
  {
    Progress progress;
    r = tool.dll().GPIO_FW_EEP_Write(fw, image);
    stopped = progress.address();
  }
  Json fields = {{"bytes", kEepromBytes}};
  if (r == FATAL_ERROR) {
    // The chunks below `stopped` hold the new image; the failed chunk is unknown, the rest old.
    fields["stopped_at"] = stopped;
    const int exit_status = tool.finish("eeprom write", r, fields, "");
    tool.error("the write stopped at " + hex4_address(stopped) + " (the chunk " +
               hex4_address(stopped) + " to " + hex4_address(stopped + kChunkBytes - 1) +
               " failed): the EEPROM now holds a mix of old and new data");
    return exit_status;
  }
  return tool.finish("eeprom write", r, fields, "");
}

int read_eeprom(Tool& tool, const std::string& file, bool as_table) {
  const bool json = tool.options().json;
  if (!as_table && file == "-" && json)
    throw UsageError{"--json keeps standard output for JSON: give a FILE for the image"};
  const bool to_file = !file.empty() && file != "-";
  bool existed = false;
  // The file is checked before 8 KB are read for it; one made for nothing is removed again.
  if (to_file) {
    std::error_code ignored;
    existed = std::filesystem::exists(file, ignored);
    check_writable(file);
  }
  const std::string name = as_table ? "eeprom dump" : "eeprom read";
  int status = kExitOk;
  if (!tool.identify(status)) {
    if (to_file && !existed) std::remove(file.c_str());
    return status;
  }
  std::string fw = tool.firmware();
  ByteArray image;
  std::int32_t r = OK;
  {
    Progress progress;
    r = tool.dll().GPIO_FW_EEP_Read(fw, image);
  }
  Json fields = {{"bytes", image.size()}};
  if (r != OK) {
    if (to_file && !existed) std::remove(file.c_str());
    return tool.finish(name, r, fields, "");
  }
  std::string data;
  if (as_table) {
    std::vector<std::optional<std::uint8_t>> cells(image.begin(), image.end());
    data = byte_table(cells, 0, 4);
  } else {
    data.assign(image.begin(), image.end());
  }
  if (to_file) {
    try {
      write_file(file, data);
    } catch (const UsageError&) {
      if (!existed) std::remove(file.c_str());
      throw;
    }
    fields["file"] = json_text(file);
  } else if (as_table && !json) {
    page(data);
  } else if (as_table) {
    fields["data"] = bytes_to_hex(image);
  } else {
    std::cout.flush();
    write_file("-", data);
  }
  return tool.finish(name, r, fields, "");
}

}  // namespace

int run_eeprom(Tool& tool, Args& args) {
  if (args.empty()) throw UsageError{"usage: gpio-dll eeprom read|write FILE, eeprom dump [FILE]"};
  const std::string op = args[0];
  if (op == "dump") {
    if (args.size() > 2) throw UsageError{"usage: gpio-dll eeprom dump [FILE]"};
    return read_eeprom(tool, args.size() == 2 ? args[1] : "", true);
  }
  if (op != "read" && op != "write") throw UsageError{"unknown eeprom operation " + op};
  expect_count(args, 2, "gpio-dll eeprom " + op + " FILE");
  return op == "write" ? write_eeprom(tool, args[1]) : read_eeprom(tool, args[1], false);
}

}  // namespace gpio_dll::cli
