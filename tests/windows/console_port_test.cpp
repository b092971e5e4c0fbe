// The tool's console port on Windows: a console is a console, and the NUL device, a pipe or a file
// is not, although the C runtime's _isatty calls NUL a terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "console/console.hpp"

namespace {

using gpio_dll::cli::console::is_console;

// A descriptor of the C runtime, closed when it goes.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) _close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

int open_device(const wchar_t* name, int flags) {
  HANDLE handle =
      CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return -1;
  const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle), flags);
  if (fd < 0) CloseHandle(handle);
  return fd;
}

TEST(ConsolePort, TheNulDeviceAPipeAFileAndAClosedDescriptorAreNoConsole) {
  const Descriptor nul(open_device(L"NUL", _O_RDONLY));
  ASSERT_GE(nul.fd(), 0);
  EXPECT_FALSE(is_console(nul.fd())) << "NUL";

  int ends[2] = {-1, -1};
  ASSERT_EQ(_pipe(ends, 256, _O_BINARY), 0);
  const Descriptor reading(ends[0]);
  const Descriptor writing(ends[1]);
  EXPECT_FALSE(is_console(reading.fd())) << "the reading end of a pipe";
  EXPECT_FALSE(is_console(writing.fd())) << "the writing end of a pipe";

  const std::string path = std::tmpnam(nullptr);
  {
    const Descriptor file(_open(path.c_str(), _O_CREAT | _O_RDWR | _O_BINARY, 0600));
    ASSERT_GE(file.fd(), 0);
    EXPECT_FALSE(is_console(file.fd())) << "a file";
  }
  std::remove(path.c_str());

  EXPECT_FALSE(is_console(-1));
  EXPECT_FALSE(is_console(4000));  // never opened
}

// The process's console, reached through CONIN$ and CONOUT$. Run on a terminal: wine gives a
// program a console only there (ctest runs it under script(1)).
TEST(ConsolePort, TheConsoleIsAConsoleForReadingAndForWriting) {
  const Descriptor input(open_device(L"CONIN$", _O_RDONLY));
  ASSERT_GE(input.fd(), 0) << "no console (not run on a terminal?): " << GetLastError();
  const Descriptor output(open_device(L"CONOUT$", _O_WRONLY));
  ASSERT_GE(output.fd(), 0) << "no console: " << GetLastError();
  EXPECT_TRUE(is_console(input.fd()));
  EXPECT_TRUE(is_console(output.fd()));
}

}  // namespace
