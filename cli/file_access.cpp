#include "file_access.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "call_format.hpp"
#include "console/console.hpp"

namespace gpio_dll::cli {

namespace {

// Standard input or output carries bytes as they are: no line-end translation on Windows.
std::FILE* binary(std::FILE* stream) {
  console::use_binary(stream);
  return stream;
}

std::string name_of(const std::string& path, const char* standard) {
  return path == "-" ? standard : path;
}

std::string reason(int error) {
  return std::strerror(error);
}

}  // namespace

std::string read_file(const std::string& path, std::size_t limit, const std::string& why) {
  const bool standard = path == "-";
  const std::string name = name_of(path, "standard input");
  std::FILE* file = standard ? binary(stdin) : std::fopen(path.c_str(), "rb");
  if (file == nullptr) throw UsageError{"cannot read " + name + ": " + reason(errno)};
  std::string content(limit + 1, '\0');
  const std::size_t got = std::fread(content.data(), 1, content.size(), file);
  const int error = std::ferror(file) ? errno : 0;
  if (!standard) std::fclose(file);
  if (error != 0) throw UsageError{"cannot read " + name + ": " + reason(error)};
  if (got > limit)
    throw UsageError{name + " holds more than " + std::to_string(limit) + " bytes: " + why};
  content.resize(got);
  return content;
}

bool read_line(std::string& line, std::size_t limit) {
  line.clear();
  int c = std::getc(stdin);
  if (c == EOF && !std::ferror(stdin)) return false;
  for (; c != EOF && c != '\n'; c = std::getc(stdin)) {
    if (line.size() == limit)
      throw UsageError{"more than " + std::to_string(limit) + " bytes in one line"};
    line.push_back(static_cast<char>(c));
  }
  if (std::ferror(stdin)) throw UsageError{"cannot read standard input: " + reason(errno)};
  return true;
}

void check_writable(const std::string& path) {
  std::FILE* probe = std::fopen(path.c_str(), "ab");
  if (probe == nullptr) throw UsageError{"cannot write " + path + ": " + reason(errno)};
  std::fclose(probe);
}

void write_file(const std::string& path, const std::string& data) {
  const bool standard = path == "-";
  const std::string name = name_of(path, "standard output");
  std::FILE* file = standard ? binary(stdout) : std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw UsageError{"cannot write " + name + ": " + reason(errno)};
  bool written = std::fwrite(data.data(), 1, data.size(), file) == data.size();
  written = std::fflush(file) == 0 && written;
  int error = written ? 0 : errno;
  if (standard)
    std::clearerr(stdout);  // reported here, not once more at the exit
  else if (std::fclose(file) != 0 && error == 0)
    error = errno;
  if (error != 0) throw UsageError{"cannot write " + name + ": " + reason(error)};
}

bool flush_standard_output(std::string& why) {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
  why = reason(errno);
  return false;
}

}  // namespace gpio_dll::cli
