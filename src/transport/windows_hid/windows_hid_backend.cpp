#include "transport/windows_hid/windows_hid_backend.hpp"

#include <windows.h>

#include <setupapi.h>

#include <cstddef>
#include <cstring>
#include <vector>

// mingw-w64's HID header declares C functions without C linkage of its own.
extern "C" {
#include <hidsdi.h>
}

#include "base/system_error_text.hpp"
#include "transport/system_clock.hpp"
#include "transport/windows_hid/device_names.hpp"
#include "transport/windows_hid/last_user_record.hpp"

namespace gpio_dll::transport {

namespace {

thread_local std::int32_t t_last_error = 0;

template <class T>
T ok(T value) {
  t_last_error = 0;
  return value;
}

template <class T>
T fail(DWORD error, T value) {
  t_last_error = static_cast<std::int32_t>(error);
  return value;
}

// Fails with the thread's Windows error, read right after the call that failed.
template <class T>
T fail_with_last(T value) {
  return fail(GetLastError(), value);
}

Guid guid_of(const GUID& g) {
  Guid out;
  out.data1 = g.Data1;
  out.data2 = g.Data2;
  out.data3 = g.Data3;
  std::memcpy(out.data4, g.Data4, sizeof out.data4);
  return out;
}

GUID hid_guid() {
  GUID g;
  HidD_GetHidGuid(&g);
  return g;
}

static_assert(kErrorInsufficientBuffer == ERROR_INSUFFICIENT_BUFFER &&
              kErrorNoMoreItems == ERROR_NO_MORE_ITEMS);

// HID strings hold at most 126 UTF-16 units; the buffer leaves room for a longer one's start.
constexpr std::size_t kDeviceTextUnits = 256;

}  // namespace

struct WindowsHidBackend::PendingRead {
  OVERLAPPED overlapped{};
  HANDLE file = INVALID_HANDLE_VALUE;
  std::shared_ptr<ReadRequest> request;
  bool failed_at_once = false;
  DWORD error = 0;
};

struct WindowsHidBackend::OpenFile {
  HANDLE file = INVALID_HANDLE_VALUE;
  std::string path;
  std::shared_ptr<PendingRead> pending;
  HANDLE device_mutex = nullptr;
  bool locked = false;
  LastUserRecord last_user;  // mapped at first use
};

struct WindowsHidBackend::Event {
  HANDLE event = nullptr;
  std::shared_ptr<PendingRead> pending;
};

WindowsHidBackend::WindowsHidBackend()
    : files_(std::make_unique<HandleTable<OpenFile>>()),
      events_(std::make_unique<HandleTable<Event>>()) {}

WindowsHidBackend::~WindowsHidBackend() {
  files_->for_each([](Handle, OpenFile& f) {
    end_pending(f.pending);
    if (f.device_mutex != nullptr) CloseHandle(f.device_mutex);
    f.last_user.close();
    CloseHandle(f.file);
  });
  events_->for_each([](EventHandle, Event& e) { CloseHandle(e.event); });
}

Guid WindowsHidBackend::hid_class_guid() {
  return ok(guid_of(hid_guid()));
}

InterfaceList WindowsHidBackend::present_interfaces() {
  GUID g = hid_guid();
  InterfaceList found;
  HDEVINFO set = SetupDiGetClassDevsA(&g, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) {
    // Enumerating a set that is not there fails at once.
    found.end_error = ERROR_INVALID_HANDLE;
    return fail_with_last(found);
  }
  constexpr DWORD kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
  // Paths are short; anything larger is not a device path.
  constexpr DWORD kMaxDetailBytes = 64 * 1024;
  for (DWORD index = 0;; ++index) {
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    if (!SetupDiEnumDeviceInterfaces(set, nullptr, &g, index, &data)) {
      found.end_error = static_cast<std::int32_t>(GetLastError());
      break;
    }
    // Asked with no room, the query fails and says how much room the record needs.
    DWORD needed = 0;
    SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &needed, nullptr);
    const auto size_query_error = static_cast<std::int32_t>(GetLastError());
    if (needed <= kPathOffset || needed > kMaxDetailBytes) continue;
    std::vector<std::max_align_t> area((needed + sizeof(std::max_align_t) - 1) /
                                       sizeof(std::max_align_t));
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(area.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set, &data, detail, needed, nullptr, nullptr)) continue;
    const std::size_t room = needed - kPathOffset;
    DeviceInterface iface;
    iface.class_guid = guid_of(data.InterfaceClassGuid);
    iface.flags = data.Flags;
    iface.path.assign(detail->DevicePath, strnlen(detail->DevicePath, room));
    iface.size_query_error = size_query_error;
    found.interfaces.push_back(std::move(iface));
  }
  SetupDiDestroyDeviceInfoList(set);
  return ok(found);
}

Handle WindowsHidBackend::open(const std::string& path, bool overlapped) {
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return fail_with_last(kInvalidHandle);
  std::lock_guard lock(mutex_);
  OpenFile record;
  record.file = file;
  record.path = path;
  return ok(files_->add(std::move(record)));
}

void* WindowsHidBackend::file_handle(Handle handle) {
  std::lock_guard lock(mutex_);
  OpenFile* f = files_->find(handle);
  if (f == nullptr) return fail(ERROR_INVALID_HANDLE, nullptr);
  return f->file;
}

bool WindowsHidBackend::attributes(Handle handle, HidAttributes& attributes) {
  HANDLE file = file_handle(handle);
  if (file == nullptr) return false;
  HIDD_ATTRIBUTES a{};
  a.Size = sizeof a;
  if (!HidD_GetAttributes(file, &a)) return fail_with_last(false);
  attributes.vendor_id = a.VendorID;
  attributes.product_id = a.ProductID;
  attributes.version_number = a.VersionNumber;
  return ok(true);
}

bool WindowsHidBackend::capabilities(Handle handle, HidCapabilities& c) {
  HANDLE file = file_handle(handle);
  if (file == nullptr) return false;
  PHIDP_PREPARSED_DATA preparsed = nullptr;
  if (!HidD_GetPreparsedData(file, &preparsed)) return fail_with_last(false);
  HIDP_CAPS caps{};
  const NTSTATUS status = HidP_GetCaps(preparsed, &caps);
  HidD_FreePreparsedData(preparsed);
  if (status != HIDP_STATUS_SUCCESS) return fail(ERROR_INVALID_DATA, false);
  c.usage = caps.Usage;
  c.usage_page = caps.UsagePage;
  c.input_report_byte_length = caps.InputReportByteLength;
  c.output_report_byte_length = caps.OutputReportByteLength;
  c.feature_report_byte_length = caps.FeatureReportByteLength;
  c.number_link_collection_nodes = caps.NumberLinkCollectionNodes;
  c.number_input_button_caps = caps.NumberInputButtonCaps;
  c.number_input_value_caps = caps.NumberInputValueCaps;
  c.number_input_data_indices = caps.NumberInputDataIndices;
  c.number_output_button_caps = caps.NumberOutputButtonCaps;
  c.number_output_value_caps = caps.NumberOutputValueCaps;
  c.number_output_data_indices = caps.NumberOutputDataIndices;
  c.number_feature_button_caps = caps.NumberFeatureButtonCaps;
  c.number_feature_value_caps = caps.NumberFeatureValueCaps;
  c.number_feature_data_indices = caps.NumberFeatureDataIndices;
  return ok(true);
}

std::string WindowsHidBackend::serial_number(Handle handle) {
  HANDLE file = file_handle(handle);
  if (file == nullptr) return {};
  wchar_t text[kDeviceTextUnits] = {};
  if (!HidD_GetSerialNumberString(file, text, sizeof text)) return fail_with_last(std::string());
  return ok(utf8_of_utf16(text, kDeviceTextUnits));
}

std::string WindowsHidBackend::product_name(Handle handle) {
  HANDLE file = file_handle(handle);
  if (file == nullptr) return {};
  wchar_t text[kDeviceTextUnits] = {};
  if (!HidD_GetProductString(file, text, sizeof text)) return fail_with_last(std::string());
  return ok(utf8_of_utf16(text, kDeviceTextUnits));
}

bool WindowsHidBackend::write(Handle handle, std::span<const std::uint8_t> report,
                              std::uint32_t& bytes_written) {
  bytes_written = 0;
  HANDLE file = file_handle(handle);
  if (file == nullptr) return false;
  DWORD written = 0;
  const BOOL done =
      WriteFile(file, report.data(), static_cast<DWORD>(report.size()), &written, nullptr);
  const DWORD error = GetLastError();
  bytes_written = written;
  return done ? ok(true) : fail(error, false);
}

EventHandle WindowsHidBackend::create_event() {
  HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  if (event == nullptr) return fail_with_last(kNoEvent);
  std::lock_guard lock(mutex_);
  Event record;
  record.event = event;
  return ok(events_->add(std::move(record)));
}

bool WindowsHidBackend::reset_event(EventHandle event) {
  HANDLE h = nullptr;
  {
    std::lock_guard lock(mutex_);
    Event* e = events_->find(event);
    if (e == nullptr) return fail(ERROR_INVALID_HANDLE, false);
    h = e->event;
  }
  return ResetEvent(h) ? ok(true) : fail_with_last(false);
}

bool WindowsHidBackend::read(Handle handle, std::shared_ptr<ReadRequest> request,
                             EventHandle event) {
  if (!request) return fail(ERROR_INVALID_PARAMETER, false);
  auto pending = std::make_shared<PendingRead>();
  {
    std::lock_guard lock(mutex_);
    OpenFile* f = files_->find(handle);
    Event* e = events_->find(event);
    if (f == nullptr || e == nullptr) return fail(ERROR_INVALID_HANDLE, false);
    // One read at a time per handle: the earlier one is still the system's.
    if (f->pending) return fail(ERROR_BUSY, false);
    pending->file = f->file;
    pending->overlapped.hEvent = e->event;
    pending->request = std::move(request);
    f->pending = pending;
    e->pending = pending;
  }
  ReadRequest& r = *pending->request;
  r.completed = false;
  r.bytes_read = 0;
  const BOOL done = ReadFile(pending->file, r.area.data(), static_cast<DWORD>(r.area.size()),
                             nullptr, &pending->overlapped);
  const DWORD error = GetLastError();
  if (done) return ok(true);
  if (error == ERROR_IO_PENDING) return fail(error, false);
  // Failed before it started: the wait reports it at once rather than timing out.
  pending->failed_at_once = true;
  pending->error = error;
  return fail(error, false);
}

std::uint32_t WindowsHidBackend::wait(EventHandle event, std::uint32_t timeout_ms) {
  HANDLE h = nullptr;
  std::shared_ptr<PendingRead> pending;
  {
    std::lock_guard lock(mutex_);
    Event* e = events_->find(event);
    if (e == nullptr) return fail(ERROR_INVALID_HANDLE, kWaitFailed);
    h = e->event;
    pending = e->pending;
  }
  if (pending && pending->failed_at_once) {
    forget_pending(pending);
    return fail(pending->error, kWaitFailed);
  }
  const DWORD outcome = WaitForSingleObject(h, timeout_ms);
  if (outcome == WAIT_TIMEOUT) return ok(kWaitTimeout);
  if (outcome != WAIT_OBJECT_0) return fail_with_last(kWaitFailed);
  if (!pending) return ok(kWaitSignalled);
  DWORD transferred = 0;
  const BOOL done = GetOverlappedResult(pending->file, &pending->overlapped, &transferred, FALSE);
  const DWORD error = GetLastError();
  // Not finished although signalled: someone else signalled the event; keep waiting for it.
  if (!done && error == ERROR_IO_INCOMPLETE) return ok(kWaitTimeout);
  forget_pending(pending);
  if (!done) return fail(error, kWaitFailed);
  pending->request->bytes_read = transferred;
  pending->request->completed = true;
  return ok(kWaitSignalled);
}

void WindowsHidBackend::finish_pending(const std::shared_ptr<PendingRead>& pending) {
  if (!pending || pending->failed_at_once) return;
  DWORD transferred = 0;
  GetOverlappedResult(pending->file, &pending->overlapped, &transferred, TRUE);
}

void WindowsHidBackend::end_pending(const std::shared_ptr<PendingRead>& pending) {
  if (!pending || pending->failed_at_once) return;
  // The read may be another thread's: cancel it by its record, not by the calling thread.
  CancelIoEx(pending->file, &pending->overlapped);
  finish_pending(pending);
}

void WindowsHidBackend::forget_pending(const std::shared_ptr<PendingRead>& pending) {
  std::lock_guard lock(mutex_);
  files_->for_each([&](Handle, OpenFile& f) {
    if (f.pending == pending) f.pending.reset();
  });
  events_->for_each([&](EventHandle, Event& e) {
    if (e.pending == pending) e.pending.reset();
  });
}

bool WindowsHidBackend::cancel(Handle handle) {
  HANDLE file = nullptr;
  std::shared_ptr<PendingRead> pending;
  {
    std::lock_guard lock(mutex_);
    OpenFile* f = files_->find(handle);
    if (f == nullptr) return fail(ERROR_INVALID_HANDLE, false);
    file = f->file;
    pending = f->pending;
  }
  const BOOL done = CancelIo(file);
  const DWORD error = GetLastError();
  // The cancelled read's area and overlapped record stay alive until the system lets go.
  finish_pending(pending);
  if (pending) forget_pending(pending);
  return done ? ok(true) : fail(error, false);
}

bool WindowsHidBackend::close(Handle handle) {
  std::optional<OpenFile> f;
  {
    std::lock_guard lock(mutex_);
    f = files_->take(handle);
  }
  if (!f) return fail(ERROR_INVALID_HANDLE, false);
  if (f->pending) {
    end_pending(f->pending);
    forget_pending(f->pending);
  }
  if (f->device_mutex != nullptr) {
    if (f->locked) ReleaseMutex(f->device_mutex);
    CloseHandle(f->device_mutex);
  }
  f->last_user.close();
  return CloseHandle(f->file) ? ok(true) : fail_with_last(false);
}

void WindowsHidBackend::destroy_event(EventHandle event) {
  std::optional<Event> e;
  {
    std::lock_guard lock(mutex_);
    e = events_->take(event);
  }
  if (!e) return;
  // A read still pending signals this event when it ends: end it first.
  if (e->pending) {
    end_pending(e->pending);
    forget_pending(e->pending);
  }
  CloseHandle(e->event);
}

std::size_t WindowsHidBackend::flush_input(Handle handle) {
  HANDLE file = nullptr;
  {
    std::lock_guard lock(mutex_);
    OpenFile* f = files_->find(handle);
    if (f == nullptr) return fail(ERROR_INVALID_HANDLE, std::size_t{0});
    // A read of the caller's own is waiting for the next report: nothing to discard.
    if (f->pending) return ok(std::size_t{0});
    file = f->file;
  }
  HidCapabilities caps;
  if (!capabilities(handle, caps)) return 0;
  std::vector<std::uint8_t> area(caps.input_report_byte_length);
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (event == nullptr) return fail_with_last(std::size_t{0});
  std::size_t discarded = 0;
  while (discarded < kMaxFlushedReports) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    ResetEvent(event);
    DWORD transferred = 0;
    if (ReadFile(file, area.data(), static_cast<DWORD>(area.size()), nullptr, &overlapped)) {
      ++discarded;
      continue;
    }
    if (GetLastError() != ERROR_IO_PENDING) break;
    // Nothing waiting: take the read back. One that completed meanwhile still counts, and
    // more may follow it.
    if (WaitForSingleObject(event, 0) != WAIT_OBJECT_0) CancelIo(file);
    if (!GetOverlappedResult(file, &overlapped, &transferred, TRUE)) break;
    ++discarded;
  }
  CloseHandle(event);
  return ok(discarded);
}

LockResult WindowsHidBackend::lock_device(Handle handle, std::uint32_t timeout_ms) {
  HANDLE device_mutex = nullptr;
  {
    std::lock_guard lock(mutex_);
    OpenFile* f = files_->find(handle);
    if (f == nullptr) return fail(ERROR_INVALID_HANDLE, LockResult::Failed);
    if (f->locked) return ok(LockResult::Locked);
    if (f->device_mutex == nullptr) {
      f->device_mutex = CreateMutexA(nullptr, FALSE, device_mutex_name(f->path).c_str());
      if (f->device_mutex == nullptr) return fail_with_last(LockResult::Failed);
    }
    device_mutex = f->device_mutex;
  }
  const DWORD outcome = WaitForSingleObject(device_mutex, timeout_ms);
  // An abandoned mutex is one whose holder ended without letting go: it is ours now.
  if (outcome == WAIT_TIMEOUT) return fail(ERROR_TIMEOUT, LockResult::Busy);
  if (outcome != WAIT_OBJECT_0 && outcome != WAIT_ABANDONED)
    return fail_with_last(LockResult::Failed);
  std::lock_guard lock(mutex_);
  OpenFile* f = files_->find(handle);
  if (f == nullptr) {
    ReleaseMutex(device_mutex);
    return fail(ERROR_INVALID_HANDLE, LockResult::Failed);
  }
  f->locked = true;
  return ok(LockResult::Locked);
}

void WindowsHidBackend::unlock_device(Handle handle) {
  std::lock_guard lock(mutex_);
  OpenFile* f = files_->find(handle);
  if (f == nullptr || !f->locked) return;
  ReleaseMutex(f->device_mutex);
  f->locked = false;
}

std::uint64_t WindowsHidBackend::swap_last_user(Handle handle, std::uint64_t user) {
  std::lock_guard lock(mutex_);
  OpenFile* f = files_->find(handle);
  if (f == nullptr) return fail(ERROR_INVALID_HANDLE, std::uint64_t{0});
  if (!f->last_user.open(f->path)) return fail_with_last(std::uint64_t{0});
  return ok(f->last_user.swap(user));
}

std::int32_t WindowsHidBackend::last_error() {
  return t_last_error;
}

std::string WindowsHidBackend::error_text(std::int32_t error) {
  return system_error_text(error);
}

void WindowsHidBackend::sleep_ms(std::uint32_t ms) {
  sleep_real_ms(ms);
}

std::uint64_t WindowsHidBackend::now_ms() {
  return monotonic_ms();
}

}  // namespace gpio_dll::transport
