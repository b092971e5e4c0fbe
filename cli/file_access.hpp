// The tool's files and standard streams: reads bounded by what the caller can use, so that a
// stream without end (/dev/zero) or a file far too large is refused without being read through,
// and writes whose every failure (a folder, a full disk) is reported with the system's reason.
// "-" names standard input or output.
#pragma once

#include <cstddef>
#include <string>

namespace gpio_dll::cli {

// The whole of `path` if it holds at most `limit` bytes; reads no more than limit + 1 bytes.
// Throws UsageError "cannot read PATH: REASON" (a folder, a missing or unreadable file, a failed
// read) or "PATH holds more than LIMIT bytes: WHY".
std::string read_file(const std::string& path, std::size_t limit, const std::string& why);

// The next line of standard input without its line end, in `line`; false at the end of the
// input. Reads no further than limit + 1 bytes into a line. Throws UsageError "cannot read
// standard input: REASON" for a failed read, or "more than LIMIT bytes in one line".
bool read_line(std::string& line, std::size_t limit);

// Opens `path` for appending and closes it again, which leaves an existing file as it was: a path
// that cannot be written is refused before any work is done for it. Throws UsageError "cannot
// write PATH: REASON".
void check_writable(const std::string& path);

// Writes `data` to `path`, replacing what it held. Throws UsageError "cannot write PATH: REASON"
// when opening, writing or closing fails.
void write_file(const std::string& path, const std::string& data);

// Flushes standard output; false, with the system's reason in `why`, if anything written to it
// was lost (a closed pipe, a full disk).
bool flush_standard_output(std::string& why);

}  // namespace gpio_dll::cli
