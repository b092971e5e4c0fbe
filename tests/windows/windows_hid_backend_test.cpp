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

// The setup library's own errors reach the port: the enumeration ends for want of more items, and
// each interface's size query fails for lack of room.
TEST(WindowsHidBackend, TheEnumerationKeepsTheSetupLibrarysErrors) {
  WindowsHidBackend backend;
  const InterfaceList present = backend.present_interfaces();
  EXPECT_EQ(backend.last_error(), 0);
  EXPECT_EQ(present.end_error, ERROR_NO_MORE_ITEMS);
  for (const DeviceInterface& iface : present.interfaces)
    EXPECT_EQ(iface.size_query_error, ERROR_INSUFFICIENT_BUFFER) << iface.path;
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
        {"lock_device", backend.lock_device(stale, 0) == LockResult::Failed},
        {"swap_last_user", backend.swap_last_user(stale, 7) == 0},
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

// A backend with the client end of a pipe open for overlapped reads, and an event for them.
class PipeRead : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pipe_.ok());
    handle_ = backend_.open(pipe_.path(), true);
    ASSERT_NE(handle_, kInvalidHandle);
    event_ = backend_.create_event();
    ASSERT_NE(event_, kNoEvent);
  }
  void TearDown() override {
    if (handle_ != kInvalidHandle) backend_.close(handle_);
    if (event_ != kNoEvent) backend_.destroy_event(event_);
  }
  // Sends `bytes` through `pipe` and reads them, completed, through `handle` with the event.
  std::vector<std::uint8_t> read_sent(Pipe& pipe, Handle handle,
                                      const std::vector<std::uint8_t>& bytes) {
    pipe.send(bytes);
    auto request = request_of(bytes.size());
    backend_.read(handle, request, event_);
    EXPECT_EQ(backend_.wait(event_, 5000), kWaitSignalled);
    EXPECT_TRUE(request->completed);
    EXPECT_EQ(request->bytes_read, bytes.size());
    return request->area;
  }
  Pipe pipe_;
  WindowsHidBackend backend_;
  Handle handle_ = kInvalidHandle;
  EventHandle event_ = kNoEvent;
};

TEST_F(PipeRead, ACancelledReadEndsBeforeTheCallReturnsAndTheNextReadWorks) {
  auto first = request_of(4);
  EXPECT_FALSE(backend_.read(handle_, first, event_));
  EXPECT_EQ(backend_.last_error(), ERROR_IO_PENDING);
  // A second read on the handle while the first is the system's is refused.
  EXPECT_FALSE(backend_.read(handle_, request_of(4), event_));
  EXPECT_EQ(backend_.last_error(), ERROR_BUSY);
  EXPECT_EQ(backend_.wait(event_, 0), kWaitTimeout);
  EXPECT_TRUE(backend_.cancel(handle_));
  EXPECT_FALSE(first->completed);
  first.reset();  // nothing may land in the first area after the cancel
  EXPECT_EQ(read_sent(pipe_, handle_, {9, 8, 7, 6}), (std::vector<std::uint8_t>{9, 8, 7, 6}));
}

TEST_F(PipeRead, ClosingAHandleWithAPendingReadEndsTheRead) {
  auto request = request_of(4);
  backend_.read(handle_, request, event_);
  EXPECT_TRUE(backend_.close(handle_));
  handle_ = kInvalidHandle;
  // The cancelled read signalled the event as it ended, but handed nothing to the request.
  backend_.wait(event_, 0);
  EXPECT_FALSE(request->completed);
  EXPECT_EQ(request->bytes_read, 0u);
  // The event serves the next read of another handle.
  Pipe other;
  handle_ = backend_.open(other.path(), true);
  ASSERT_NE(handle_, kInvalidHandle);
  EXPECT_EQ(read_sent(other, handle_, {1, 2, 3, 4}), (std::vector<std::uint8_t>{1, 2, 3, 4}));
}

TEST_F(PipeRead, AReadStartedOnOneThreadIsEndedByACloseOnAnother) {
  auto request = request_of(4);
  backend_.read(handle_, request, event_);
  // A close that cancelled only its own thread's reads would wait for this one forever.
  on_other_thread([&] {
    EXPECT_TRUE(backend_.close(handle_));
    backend_.destroy_event(event_);
  });
  handle_ = kInvalidHandle;
  event_ = kNoEvent;
  EXPECT_FALSE(request->completed);
}

// Two handles of one file, for the device lock.
class DeviceLock : public ::testing::Test {
 protected:
  void TearDown() override {
    backend_.close(mine_);
    backend_.close(theirs_);
  }
  TempFile file_{{0}};
  WindowsHidBackend backend_;
  Handle mine_ = backend_.open(file_.path(), false);
  Handle theirs_ = backend_.open(file_.path(), false);
};

TEST_F(DeviceLock, OneHolderAtATime) {
  ASSERT_TRUE(backend_.lock_device(mine_, 0) == LockResult::Locked);
  EXPECT_TRUE(backend_.lock_device(mine_, 0) == LockResult::Locked);  // held already
  on_other_thread([&] {
    EXPECT_EQ(backend_.lock_device(theirs_, 0), LockResult::Busy);
    EXPECT_EQ(backend_.last_error(), ERROR_TIMEOUT);
  });
  backend_.unlock_device(mine_);
  on_other_thread([&] {
    EXPECT_TRUE(backend_.lock_device(theirs_, 0) == LockResult::Locked);
    backend_.unlock_device(theirs_);
  });
  // Closing the holder's handle lets the lock go.
  ASSERT_TRUE(backend_.lock_device(mine_, 0) == LockResult::Locked);
  backend_.close(mine_);
  on_other_thread([&] {
    EXPECT_TRUE(backend_.lock_device(theirs_, 0) == LockResult::Locked);
    backend_.unlock_device(theirs_);
  });
}

TEST_F(DeviceLock, AHolderThatEndsWithoutLettingGoReleasesIt) {
  on_other_thread([&] { ASSERT_TRUE(backend_.lock_device(theirs_, 0) == LockResult::Locked); });
  EXPECT_TRUE(backend_.lock_device(mine_, 0) == LockResult::Locked);
}

TEST_F(DeviceLock, AnotherDeviceLocksIndependentlyAndKeepsItsOwnLastUser) {
  TempFile other({0});
  const Handle elsewhere = backend_.open(other.path(), false);
  ASSERT_TRUE(backend_.lock_device(mine_, 0) == LockResult::Locked);
  on_other_thread([&] {
    EXPECT_TRUE(backend_.lock_device(elsewhere, 0) == LockResult::Locked);
    backend_.unlock_device(elsewhere);
  });
  // Both handles of one device share its record of the last user; another device has its own.
  EXPECT_EQ(backend_.swap_last_user(mine_, 7), 0u);
  EXPECT_EQ(backend_.swap_last_user(theirs_, 9), 7u);
  EXPECT_EQ(backend_.swap_last_user(elsewhere, 5), 0u);
  EXPECT_EQ(backend_.swap_last_user(mine_, 7), 9u);
  backend_.close(elsewhere);
}

}  // namespace
}  // namespace gpio_dll::transport
