#include "transport/linux_hidraw/hidraw_backend.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>

#include "base/system_error_text.hpp"
#include "transport/linux_hidraw/node_lock.hpp"
#include "transport/linux_hidraw/report_descriptor.hpp"
#include "transport/system_clock.hpp"

namespace gpio_dll::transport {

namespace {

// The errno of the calling thread's last call on this backend; 0 after a success.
thread_local std::int32_t t_last_error = 0;

// Room for one input report when only discarding it; a longer report is cut, which still takes
// it off the queue.
constexpr std::size_t kReadScratchBytes = 4096;

bool fail(std::int32_t error) {
  t_last_error = error;
  return false;
}
void succeed() {
  t_last_error = 0;
}

// "hidraw12" -> 12; -1 for any other name.
int node_number(const std::string& name) {
  if (name.rfind("hidraw", 0) != 0 || name.size() == 6) return -1;
  int number = 0;
  for (std::size_t i = 6; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return -1;
    number = number * 10 + (name[i] - '0');
  }
  return number;
}

std::string file_name(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The sysfs files read here are small; a file that is not (a served tree can hand back anything)
// is read no further than `limit` bytes, and `too_long` tells that it went on.
bool read_file(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& out,
               bool& too_long) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(limit + 1, 0);
  in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
  out.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  too_long = out.size() > limit;
  if (too_long) out.resize(limit);
  return true;
}

// One hexadecimal field of HID_ID, at most `max`; advances `at` past it.
bool hex_field(const std::string& text, std::size_t& at, std::uint32_t max, std::uint32_t& value) {
  value = 0;
  const std::size_t start = at;
  for (; at < text.size() && at - start < 8; ++at) {
    const char c = text[at];
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) break;
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  return at > start &&
         (at == text.size() || !std::isxdigit(static_cast<unsigned char>(text[at]))) &&
         value <= max;
}

}  // namespace

bool ids_from_uevent_text(const std::string& text, HidAttributes& attributes) {
  std::size_t line_start = 0;
  while (line_start < text.size()) {
    std::size_t line_end = text.find('\n', line_start);
    if (line_end == std::string::npos) line_end = text.size();
    const std::string line = text.substr(line_start, line_end - line_start);
    line_start = line_end + 1;
    if (line.rfind("HID_ID=", 0) != 0) continue;
    // BUS:VENDOR:PRODUCT, 32-bit fields of which vendor and product carry 16 bits.
    std::size_t at = 7;
    std::uint32_t bus = 0, vendor = 0, product = 0;
    if (!hex_field(line, at, 0xFFFFFFFF, bus) || at >= line.size() || line[at++] != ':' ||
        !hex_field(line, at, 0xFFFF, vendor) || at >= line.size() || line[at++] != ':' ||
        !hex_field(line, at, 0xFFFF, product) || at != line.size())
      return false;
    attributes.vendor_id = static_cast<std::uint16_t>(vendor);
    attributes.product_id = static_cast<std::uint16_t>(product);
    return true;
  }
  return false;
}

namespace {

// HID_ID=0003:00000451:00005F00 in the HID device's uevent.
bool ids_from_uevent(const std::string& path, HidAttributes& attributes) {
  constexpr std::size_t kUeventLimit = 4096;  // the kernel's own limit for a uevent
  std::vector<std::uint8_t> bytes;
  bool too_long = false;
  if (!read_file(path, kUeventLimit, bytes, too_long) || too_long) return false;
  return ids_from_uevent_text(std::string(bytes.begin(), bytes.end()), attributes);
}

// The value of `key` (such as HID_UNIQ) in a uevent file, read no further than the kernel's own
// limit; empty when it is not there.
std::string uevent_value(const std::string& path, const std::string& key) {
  constexpr std::size_t kUeventLimit = 4096;
  std::vector<std::uint8_t> bytes;
  bool too_long = false;
  if (!read_file(path, kUeventLimit, bytes, too_long)) return {};
  const std::string text(bytes.begin(), bytes.end());
  const std::string prefix = key + "=";
  std::size_t line_start = 0;
  while (line_start < text.size()) {
    std::size_t line_end = text.find('\n', line_start);
    if (line_end == std::string::npos) line_end = text.size();
    if (text.compare(line_start, prefix.size(), prefix) == 0)
      return text.substr(line_start + prefix.size(), line_end - line_start - prefix.size());
    line_start = line_end + 1;
  }
  return {};
}

// A text ioctl into a buffer of our size. The text ends at its first 0 within the buffer,
// whatever length the call hands back.
template <class Request>
bool text_ioctl(int fd, Request request, std::string& out) {
  char buffer[256] = {};
  if (::ioctl(fd, request(sizeof buffer), buffer) < 0) return false;
  out.assign(buffer, ::strnlen(buffer, sizeof buffer));
  return true;
}

}  // namespace

HidrawBackend::HidrawBackend(std::string class_dir, std::string device_dir)
    : class_dir_(std::move(class_dir)), device_dir_(std::move(device_dir)) {}

std::shared_ptr<HidrawBackend> HidrawBackend::single_node(const std::string& device_path,
                                                          std::string class_dir) {
  auto backend = std::make_shared<HidrawBackend>(std::move(class_dir), "");
  backend->only_node_ = device_path;
  return backend;
}

std::string HidrawBackend::class_entry(const std::string& path) const {
  return class_dir_ + "/" + file_name(path);
}

Guid HidrawBackend::hid_class_guid() {
  succeed();
  return kHidClassGuid;
}

InterfaceList HidrawBackend::present_interfaces() {
  InterfaceList present;
  if (!only_node_.empty()) {
    // Listed whether it is there or not: opening it then says what is wrong with the name.
    present.interfaces.push_back(DeviceInterface{kHidClassGuid, 1, only_node_});
    succeed();
    return present;
  }
  std::vector<std::pair<int, std::string>> found;
  if (DIR* dir = ::opendir(class_dir_.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const int number = node_number(entry->d_name);
      if (number >= 0) found.emplace_back(number, entry->d_name);
    }
    ::closedir(dir);
  }
  // Numeric order, so that hidraw2 comes before hidraw10.
  std::sort(found.begin(), found.end());
  for (const auto& [number, name] : found)
    present.interfaces.push_back(DeviceInterface{kHidClassGuid, 1, device_dir_ + "/" + name});
  succeed();  // no hidraw class at all is an empty set, not a failure
  return present;
}

Handle HidrawBackend::open(const std::string& path, bool overlapped) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | (overlapped ? O_NONBLOCK : 0));
  if (fd < 0) {
    fail(errno);
    return kInvalidHandle;
  }
  std::vector<std::uint8_t> descriptor;
  const bool numbered =
      read_descriptor(fd, path, descriptor) && parse_report_descriptor(descriptor).numbered_reports;
  std::lock_guard lock(mutex_);
  nodes_[fd] = OpenNode{path, numbered};
  succeed();
  return fd;
}

bool HidrawBackend::read_descriptor(Handle handle, const std::string& path,
                                    std::vector<std::uint8_t>& out) {
  int size = 0;
  if (::ioctl(handle, HIDIOCGRDESCSIZE, &size) == 0 && size > 0 &&
      size <= HID_MAX_DESCRIPTOR_SIZE) {
    hidraw_report_descriptor descriptor{};
    descriptor.size = static_cast<std::uint32_t>(size);
    if (::ioctl(handle, HIDIOCGRDESC, &descriptor) == 0) {
      // The size written back is the node's word, not ours: no more than was asked for, and
      // never past the record.
      const std::size_t length = std::min<std::size_t>(
          {descriptor.size, static_cast<std::size_t>(size), sizeof descriptor.value});
      out.assign(descriptor.value, descriptor.value + length);
      return true;
    }
  }
  // Without the ioctls, sysfs has the same bytes; a file longer than any descriptor is none.
  bool too_long = false;
  return read_file(class_entry(path) + "/device/report_descriptor", HID_MAX_DESCRIPTOR_SIZE, out,
                   too_long) &&
         !too_long;
}

bool HidrawBackend::attributes(Handle handle, HidAttributes& attributes) {
  std::string path;
  {
    std::lock_guard lock(mutex_);
    auto it = nodes_.find(handle);
    if (it == nodes_.end()) return fail(EBADF);
    path = it->second.path;
  }
  hidraw_devinfo info{};
  if (::ioctl(handle, HIDIOCGRAWINFO, &info) == 0) {
    attributes.vendor_id = static_cast<std::uint16_t>(info.vendor);
    attributes.product_id = static_cast<std::uint16_t>(info.product);
    succeed();
    return true;
  }
  const int error = errno;
  if (ids_from_uevent(class_entry(path) + "/device/uevent", attributes)) {
    succeed();
    return true;
  }
  return fail(error);
}

std::string HidrawBackend::node_text(Handle handle, bool serial) {
  std::string path;
  {
    std::lock_guard lock(mutex_);
    auto it = nodes_.find(handle);
    if (it == nodes_.end()) {
      fail(EBADF);
      return {};
    }
    path = it->second.path;
  }
  std::string text;
  const bool read = serial ? text_ioctl(
                                 handle, [](std::size_t n) { return HIDIOCGRAWUNIQ(n); }, text)
                           : text_ioctl(
                                 handle, [](std::size_t n) { return HIDIOCGRAWNAME(n); }, text);
  // Nodes served from user space may answer neither: their uevent has the same texts.
  if (!read)
    text = uevent_value(class_entry(path) + "/device/uevent", serial ? "HID_UNIQ" : "HID_NAME");
  succeed();
  return text;
}

std::string HidrawBackend::serial_number(Handle handle) {
  return node_text(handle, true);
}

std::string HidrawBackend::product_name(Handle handle) {
  return node_text(handle, false);
}

bool HidrawBackend::capabilities(Handle handle, HidCapabilities& capabilities) {
  std::string path;
  {
    std::lock_guard lock(mutex_);
    auto it = nodes_.find(handle);
    if (it == nodes_.end()) return fail(EBADF);
    path = it->second.path;
  }
  std::vector<std::uint8_t> descriptor;
  if (!read_descriptor(handle, path, descriptor)) return fail(errno != 0 ? errno : EIO);
  const ReportDescriptorSummary summary = parse_report_descriptor(descriptor);
  capabilities = HidCapabilities{};
  capabilities.usage = summary.usage;
  capabilities.usage_page = summary.usage_page;
  capabilities.input_report_byte_length = summary.input_report_byte_length;
  capabilities.output_report_byte_length = summary.output_report_byte_length;
  capabilities.feature_report_byte_length = summary.feature_report_byte_length;
  capabilities.number_link_collection_nodes = summary.collections;
  succeed();
  return true;
}

bool HidrawBackend::write(Handle handle, std::span<const std::uint8_t> report,
                          std::uint32_t& bytes_written) {
  bytes_written = 0;
  const ssize_t n = ::write(handle, report.data(), report.size());
  if (n < 0) return fail(errno);
  bytes_written = static_cast<std::uint32_t>(n);
  if (static_cast<std::size_t>(n) != report.size()) return fail(EIO);
  succeed();
  return true;
}

void HidrawBackend::signal(EventHandle event) {
  std::lock_guard lock(mutex_);
  auto ev = events_.find(event);
  if (ev == events_.end()) return;
  ev->second.signalled = true;
  ev->second.request.reset();
}

EventHandle HidrawBackend::create_event() {
  std::lock_guard lock(mutex_);
  const EventHandle event = next_event_++;
  events_.emplace(event, Event{});
  succeed();
  return event;
}

bool HidrawBackend::reset_event(EventHandle event) {
  std::lock_guard lock(mutex_);
  auto it = events_.find(event);
  if (it == events_.end()) return fail(EBADF);
  it->second.signalled = false;
  succeed();
  return true;
}

HidrawBackend::ReadOutcome HidrawBackend::read_now(Handle handle, bool numbered,
                                                   ReadRequest& request) {
  pollfd p{handle, POLLIN, 0};
  if (::poll(&p, 1, 0) < 0) return errno == EINTR ? ReadOutcome::NothingYet : ReadOutcome::Failed;
  if ((p.revents & POLLIN) == 0) {
    if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) {
      errno = ENODEV;
      return ReadOutcome::Failed;
    }
    return ReadOutcome::NothingYet;
  }
  auto& area = request.area;
  // hidraw hands unnumbered reports over without the identifier byte; put the 0 back so that
  // the transport sees the same layout on every platform.
  const std::size_t skip = numbered ? 0 : 1;
  const std::size_t room = area.size() > skip ? area.size() - skip : 0;
  // An area with no room still takes the report off the node, into a byte of its own.
  std::uint8_t scratch = 0;
  std::uint8_t* target = room > 0 ? area.data() + skip : &scratch;
  const std::size_t asked = std::max<std::size_t>(room, 1);
  const ssize_t n = ::read(handle, target, asked);
  if (n < 0) {
    if (errno == EAGAIN || errno == EINTR) return ReadOutcome::NothingYet;
    return ReadOutcome::Failed;
  }
  if (n == 0) {  // end of file: the node went away
    errno = ENODEV;
    return ReadOutcome::Failed;
  }
  if (!numbered && !area.empty()) area[0] = 0;
  // A count past what was asked for is not believed.
  const std::size_t got = std::min({static_cast<std::size_t>(n), asked, room});
  request.bytes_read = static_cast<std::uint32_t>(got + (room > 0 ? skip : 0));
  request.completed = true;
  return ReadOutcome::Completed;
}

bool HidrawBackend::read(Handle handle, std::shared_ptr<ReadRequest> request, EventHandle event) {
  bool numbered = false;
  {
    std::lock_guard lock(mutex_);
    auto ev = events_.find(event);
    if (ev == events_.end()) return fail(EBADF);
    ev->second.signalled = false;
    ev->second.handle = handle;
    ev->second.request = request;
    auto node = nodes_.find(handle);
    if (node == nodes_.end()) return fail(EBADF);
    numbered = node->second.numbered_reports;
  }
  switch (read_now(handle, numbered, *request)) {
    case ReadOutcome::Completed: {
      signal(event);
      succeed();
      return true;
    }
    case ReadOutcome::NothingYet:
      return fail(EINPROGRESS);
    case ReadOutcome::Failed:
      break;
  }
  const int error = errno;
  {
    // Nothing is pending now: the wait fails at once rather than waiting out its time.
    std::lock_guard lock(mutex_);
    auto ev = events_.find(event);
    if (ev != events_.end()) ev->second.request.reset();
  }
  return fail(error);
}

std::uint32_t HidrawBackend::wait(EventHandle event, std::uint32_t timeout_ms) {
  Handle handle = kInvalidHandle;
  std::shared_ptr<ReadRequest> request;
  bool numbered = false;
  {
    std::lock_guard lock(mutex_);
    auto ev = events_.find(event);
    if (ev == events_.end()) {
      fail(EBADF);
      return kWaitFailed;
    }
    if (ev->second.signalled) {
      succeed();
      return kWaitSignalled;
    }
    handle = ev->second.handle;
    request = ev->second.request;
    auto node = nodes_.find(handle);
    if (node == nodes_.end() || !request) {
      // Nothing is pending: the read failed at once or was cancelled.
      fail(EBADF);
      return kWaitFailed;
    }
    numbered = node->second.numbered_reports;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) break;
    pollfd p{handle, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(left));
    if (ready < 0) {
      if (errno == EINTR) continue;
      fail(errno);
      return kWaitFailed;
    }
    if (ready == 0) break;
    // A disconnect shows as an error or hang-up, or as a read that fails: a failed wait,
    // never a spin.
    const ReadOutcome outcome = read_now(handle, numbered, *request);
    if (outcome == ReadOutcome::Failed) {
      fail(errno);
      return kWaitFailed;
    }
    if (outcome == ReadOutcome::Completed) {
      signal(event);
      succeed();
      return kWaitSignalled;
    }
  }
  succeed();
  return kWaitTimeout;
}

bool HidrawBackend::cancel(Handle handle) {
  std::lock_guard lock(mutex_);
  if (nodes_.count(handle) == 0) return fail(EBADF);
  for (auto& [id, event] : events_)
    if (event.handle == handle) event.request.reset();
  succeed();
  return true;
}

bool HidrawBackend::close(Handle handle) {
  std::lock_guard lock(mutex_);
  auto it = nodes_.find(handle);
  if (it == nodes_.end()) return fail(EBADF);
  for (auto& [id, event] : events_)
    if (event.handle == handle) {
      event.request.reset();
      event.handle = kInvalidHandle;
    }
  if (it->second.last_user_record >= 0) ::close(it->second.last_user_record);
  nodes_.erase(it);
  if (::close(handle) != 0) return fail(errno);
  succeed();
  return true;
}

void HidrawBackend::destroy_event(EventHandle event) {
  std::lock_guard lock(mutex_);
  events_.erase(event);
}

std::size_t HidrawBackend::flush_input(Handle handle) {
  {
    std::lock_guard lock(mutex_);
    if (nodes_.find(handle) == nodes_.end()) {
      fail(EBADF);
      return 0;
    }
  }
  // Each open file of a hidraw node has its own queue of input reports (64 at most). Take what
  // is there now; a device that keeps sending cannot hold us here beyond the bound.
  constexpr int kMostReports = 256;
  std::vector<std::uint8_t> scratch(kReadScratchBytes);
  std::size_t discarded = 0;
  for (int i = 0; i < kMostReports; ++i) {
    pollfd p{handle, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0 || (p.revents & POLLIN) == 0) break;
    if (::read(handle, scratch.data(), scratch.size()) <= 0) break;
    ++discarded;
  }
  succeed();
  return discarded;
}

LockResult HidrawBackend::lock_device(Handle handle, std::uint32_t timeout_ms) {
  std::int32_t error = 0;
  const LockResult result = lock_node(handle, timeout_ms, error);
  t_last_error = error;
  return result;
}

void HidrawBackend::unlock_device(Handle handle) {
  unlock_node(handle);
}

std::uint64_t HidrawBackend::swap_last_user(Handle handle, std::uint64_t user) {
  std::int32_t error = 0;
  int record = -1;
  {
    std::lock_guard lock(mutex_);
    auto it = nodes_.find(handle);
    if (it == nodes_.end()) {
      fail(EBADF);
      return 0;
    }
    if (it->second.last_user_record < 0)
      it->second.last_user_record = open_last_user_record(handle, error);
    record = it->second.last_user_record;
  }
  const std::uint64_t before = record < 0 ? 0 : swap_last_user_record(record, user, error);
  t_last_error = error;
  return before;
}

std::int32_t HidrawBackend::last_error() {
  return t_last_error;
}

std::string HidrawBackend::error_text(std::int32_t error) {
  return system_error_text(error);
}

void HidrawBackend::sleep_ms(std::uint32_t ms) {
  sleep_real_ms(ms);
}

std::uint64_t HidrawBackend::now_ms() {
  return monotonic_ms();
}

}  // namespace gpio_dll::transport
