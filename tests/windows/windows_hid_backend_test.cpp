// The Windows HID backend's own Win32 work, under wine: handles, events, overlapped reads and
// their cancellation, and the module lock across threads. Files and pipes stand in for devices:
// the backend opens any path, and HID devices read like them.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "transport/windows_hid/windows_hid_backend.hpp"

namespace gpio_dll::transport {
namespace {

std::string unique_name(const char* stem) {
  static int count = 0;
  return std::string(stem) + "_" + std::to_string(GetCurrentProcessId()) + "_" +
         std::to_string(++count);
}

// A file of `content`, removed at the end of the test.
class TempFile {
 public:
  explicit TempFile(const std::vector<std::uint8_t>& content)
      : path_((std::filesystem::temp_directory_path() / unique_name("gpio_dll_hid")).string()) {
    std::ofstream(path_, std::ios::binary)
        .write(reinterpret_cast<const char*>(content.data()),
               static_cast<std::streamsize>(content.size()));
  }
  ~TempFile() { std::filesystem::remove(path_); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The server end of a named pipe; the backend opens the client end by its path.
class Pipe {
 public:
  Pipe() : path_("\\\\.\\pipe\\" + unique_name("gpio_dll_hid")) {
    server_ = CreateNamedPipeA(path_.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                               4096, 4096, 0, nullptr);
  }
  ~Pipe() { CloseHandle(server_); }
  bool ok() const { return server_ != INVALID_HANDLE_VALUE; }
  const std::string& path() const { return path_; }
  void send(const std::vector<std::uint8_t>& bytes) {
    DWORD written = 0;
    ASSERT_TRUE(
        WriteFile(server_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    ASSERT_EQ(written, bytes.size());
  }

 private:
  std::string path_;
  HANDLE server_;
};

// Runs `body` on another thread: the device lock and a read belong to the thread that started them.
template <class F>
void on_other_thread(F body) {
  std::thread(body).join();
}

std::shared_ptr<ReadRequest> request_of(std::size_t size) {
  auto request = std::make_shared<ReadRequest>();
  request->area.assign(size, 0);
  return request;
}

TEST(WindowsHidBackend, OpenFailsWithTheSystemsReason) {
  WindowsHidBackend backend;
  EXPECT_EQ(backend.open("C:\\gpio_dll_no_such_dir\\no_such_device", false), kInvalidHandle);
  EXPECT_EQ(backend.last_error(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(backend.error_text(backend.last_error()).empty());
}

TEST(WindowsHidBackend, UnknownAndClosedHandlesFailAsInvalid) {
  WindowsHidBackend backend;
  TempFile file({1, 2, 3});
  const Handle h = backend.open(file.path(), false);
  ASSERT_NE(h, kInvalidHandle);
  EXPECT_EQ(backend.last_error(), 0);
  EXPECT_TRUE(backend.close(h));
  HidAttributes attributes;
  HidCapabilities capabilities;
  std::uint32_t written = 7;
  const std::uint8_t report[2] = {0, 1};
  const EventHandle event = backend.create_event();
  struct Call {
    const char* name;
    bool failed;
  };
  for (const Handle stale : {h, Handle{12345}, kInvalidHandle}) {
    const Call calls[] = {
        {"attributes", !backend.attributes(stale, attributes)},
        {"capabilities", !backend.capabilities(stale, capabilities)},
        {"write", !backend.write(stale, report, written) && written == 0},
        {"read", !backend.read(stale, request_of(2), event)},
        {"cancel", !backend.cancel(stale)},
        {"lock_device", !backend.lock_device(stale, 0)},
        {"close", !backend.close(stale)},
    };
    for (const Call& call : calls) {
      EXPECT_TRUE(call.failed) << call.name << " on " << stale;
    }
    EXPECT_EQ(backend.flush_input(stale), 0u);
    EXPECT_EQ(backend.last_error(), ERROR_INVALID_HANDLE);
  }
  backend.destroy_event(event);
}

TEST(WindowsHidBackend, AnEventStartsSignalledAndResets) {
  WindowsHidBackend backend;
  const EventHandle event = backend.create_event();
  ASSERT_NE(event, kNoEvent);
  EXPECT_EQ(backend.wait(event, 0), kWaitSignalled);
  EXPECT_TRUE(backend.reset_event(event));
  EXPECT_EQ(backend.wait(event, 0), kWaitTimeout);
  backend.destroy_event(event);
  EXPECT_EQ(backend.wait(event, 0), kWaitFailed);
  EXPECT_FALSE(backend.reset_event(event));
}

TEST(WindowsHidBackend, AnOverlappedReadHandsItsBytesToTheRequest) {
  std::vector<std::uint8_t> content(65);
  for (std::size_t i = 0; i < content.size(); ++i)
    content[i] = static_cast<std::uint8_t>(i * 3);
  TempFile file(content);
  WindowsHidBackend backend;
  const Handle h = backend.open(file.path(), true);
  ASSERT_NE(h, kInvalidHandle);
  const EventHandle event = backend.create_event();
  auto request = request_of(65);
  backend.read(h, request, event);
  ASSERT_EQ(backend.wait(event, 5000), kWaitSignalled);
  EXPECT_TRUE(request->completed);
  EXPECT_EQ(request->bytes_read, 65u);
  EXPECT_EQ(request->area, content);
  EXPECT_TRUE(backend.close(h));
  backend.destroy_event(event);
}

TEST(WindowsHidBackend, ACancelledReadEndsBeforeTheCallReturnsAndTheNextReadWorks) {
  Pipe pipe;
  ASSERT_TRUE(pipe.ok());
  WindowsHidBackend backend;
  const Handle h = backend.open(pipe.path(), true);
  ASSERT_NE(h, kInvalidHandle);
  const EventHandle event = backend.create_event();
  auto first = request_of(4);
  EXPECT_FALSE(backend.read(h, first, event));
  EXPECT_EQ(backend.last_error(), ERROR_IO_PENDING);
  // A second read on the handle while the first is the system's is refused.
  EXPECT_FALSE(backend.read(h, request_of(4), event));
  EXPECT_EQ(backend.last_error(), ERROR_BUSY);
  EXPECT_EQ(backend.wait(event, 0), kWaitTimeout);
  EXPECT_TRUE(backend.cancel(h));
  EXPECT_FALSE(first->completed);
  // The system is done with the first area: nothing lands in it after the cancel.
  first.reset();

  pipe.send({9, 8, 7, 6});
  auto second = request_of(4);
  backend.read(h, second, event);
  ASSERT_EQ(backend.wait(event, 5000), kWaitSignalled);
  EXPECT_EQ(second->area, (std::vector<std::uint8_t>{9, 8, 7, 6}));
  EXPECT_TRUE(backend.close(h));
  backend.destroy_event(event);
}

TEST(WindowsHidBackend, ClosingAHandleWithAPendingReadEndsTheRead) {
  Pipe pipe;
  ASSERT_TRUE(pipe.ok());
  WindowsHidBackend backend;
  const Handle h = backend.open(pipe.path(), true);
  const EventHandle event = backend.create_event();
  auto request = request_of(4);
  backend.read(h, request, event);
  EXPECT_TRUE(backend.close(h));
  // The cancelled read signalled the event as it ended, but handed nothing to the request.
  backend.wait(event, 0);
  EXPECT_FALSE(request->completed);
  EXPECT_EQ(request->bytes_read, 0u);
  // The event serves the next read of another handle.
  Pipe other;
  const Handle again = backend.open(other.path(), true);
  ASSERT_NE(again, kInvalidHandle);
  other.send({1, 2, 3, 4});
  auto next = request_of(4);
  backend.read(again, next, event);
  ASSERT_EQ(backend.wait(event, 5000), kWaitSignalled);
  EXPECT_EQ(next->area, (std::vector<std::uint8_t>{1, 2, 3, 4}));
  backend.close(again);
  backend.destroy_event(event);
}

TEST(WindowsHidBackend, AReadStartedOnOneThreadIsEndedByACloseOnAnother) {
  Pipe pipe;
  ASSERT_TRUE(pipe.ok());
  WindowsHidBackend backend;
  const Handle h = backend.open(pipe.path(), true);
  const EventHandle event = backend.create_event();
  auto request = request_of(4);
  backend.read(h, request, event);
  // A close that cancelled only its own thread's reads would wait for this one forever.
  on_other_thread([&] {
    EXPECT_TRUE(backend.close(h));
    backend.destroy_event(event);
  });
  EXPECT_FALSE(request->completed);
}

TEST(WindowsHidBackend, OneHolderOfADevicesLockAtATime) {
  TempFile file({0});
  WindowsHidBackend backend;
  const Handle mine = backend.open(file.path(), false);
  const Handle theirs = backend.open(file.path(), false);
  ASSERT_TRUE(backend.lock_device(mine, 0));
  EXPECT_TRUE(backend.lock_device(mine, 0));  // held already
  on_other_thread([&] {
    EXPECT_FALSE(backend.lock_device(theirs, 0));
    EXPECT_EQ(backend.last_error(), ERROR_TIMEOUT);
  });
  backend.unlock_device(mine);
  on_other_thread([&] {
    EXPECT_TRUE(backend.lock_device(theirs, 0));
    backend.unlock_device(theirs);
  });
  // Closing the holder's handle lets the lock go.
  ASSERT_TRUE(backend.lock_device(mine, 0));
  backend.close(mine);
  on_other_thread([&] {
    EXPECT_TRUE(backend.lock_device(theirs, 0));
    backend.unlock_device(theirs);
  });
  backend.close(theirs);
}

TEST(WindowsHidBackend, AHolderThatEndsWithoutLettingGoReleasesTheLock) {
  TempFile file({0});
  WindowsHidBackend backend;
  const Handle mine = backend.open(file.path(), false);
  const Handle theirs = backend.open(file.path(), false);
  on_other_thread([&] { ASSERT_TRUE(backend.lock_device(theirs, 0)); });
  EXPECT_TRUE(backend.lock_device(mine, 0));
  backend.close(mine);
  backend.close(theirs);
}

TEST(WindowsHidBackend, DifferentDevicesLockIndependently) {
  TempFile one({0});
  TempFile two({0});
  WindowsHidBackend backend;
  const Handle a = backend.open(one.path(), false);
  const Handle b = backend.open(two.path(), false);
  ASSERT_TRUE(backend.lock_device(a, 0));
  on_other_thread([&] {
    EXPECT_TRUE(backend.lock_device(b, 0));
    backend.unlock_device(b);
  });
  backend.close(a);
  backend.close(b);
}

}  // namespace
}  // namespace gpio_dll::transport
