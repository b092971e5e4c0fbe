#include "transport/simulated/simulated_backend.hpp"

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <utility>

#include "base/system_error_text.hpp"

namespace gpio_dll::transport {

namespace {
// Like the operating system's last error value: one per thread, shared by every platform.
thread_local std::int32_t t_last_error = 0;
}  // namespace

class SimulatedBackend::Sink final : public InputReportSink {
 public:
  Sink(SimulatedBackend& backend, DeviceId device) : backend_(backend), device_(device) {}
  void send_input_report(std::vector<std::uint8_t> report, std::uint32_t delay_ms) override {
    backend_.deliver(device_, std::move(report), delay_ms);
  }

 private:
  SimulatedBackend& backend_;
  DeviceId device_;
};

bool SimulatedBackend::fail(std::int32_t error) {
  t_last_error = error;
  return false;
}

void SimulatedBackend::succeed() {
  t_last_error = 0;
}

void SimulatedBackend::record(SimulatedEvent::Kind kind, DeviceId device, Handle handle,
                              std::vector<std::uint8_t> report, std::uint32_t duration_ms) {
  if (!recording_) return;
  if (log_.size() == kRecordedEventLimit) log_.pop_front();
  log_.push_back(SimulatedEvent{kind, now_ms_, device, handle, std::move(report), duration_ms});
}

SimulatedBackend::Device& SimulatedBackend::device(DeviceId id) {
  if (id < 0 || static_cast<std::size_t>(id) >= devices_.size())
    throw std::out_of_range("no simulated device " + std::to_string(id));
  return devices_[static_cast<std::size_t>(id)];
}

const SimulatedBackend::Device& SimulatedBackend::device(DeviceId id) const {
  return const_cast<SimulatedBackend*>(this)->device(id);
}

SimulatedBackend::DeviceId SimulatedBackend::add_device(std::shared_ptr<SimulatedHidDevice> dev) {
  std::lock_guard lock(mutex_);
  const auto id = static_cast<DeviceId>(devices_.size());
  devices_.push_back(Device{std::move(dev), "/simulated/hidraw" + std::to_string(id)});
  return id;
}

std::string SimulatedBackend::device_path(DeviceId id) const {
  std::lock_guard lock(mutex_);
  return device(id).path;
}

void SimulatedBackend::set_plugged(DeviceId id, bool plugged) {
  std::lock_guard lock(mutex_);
  device(id).plugged = plugged;
  if (plugged) return;
  // Handles opened before the unplug stay dead even after a replug, as on a real bus.
  for (auto& [handle, open] : handles_) {
    if (open.device != id) continue;
    open.gone = true;
    open.queue.clear();
  }
}

void SimulatedBackend::set_open_error(DeviceId id, std::int32_t error) {
  std::lock_guard lock(mutex_);
  device(id).open_error = error;
}

void SimulatedBackend::set_reads_never_complete(DeviceId id, bool never) {
  std::lock_guard lock(mutex_);
  device(id).reads_never_complete = never;
}

void SimulatedBackend::set_wait_fails(DeviceId id, bool fails) {
  std::lock_guard lock(mutex_);
  device(id).wait_fails = fails;
}

void SimulatedBackend::hold_lock_elsewhere(DeviceId id, std::uint64_t for_ms) {
  std::lock_guard lock(mutex_);
  Device& dev = device(id);
  dev.held_elsewhere_until_ms = now_ms_ + for_ms;
  // Whoever it is, it is not one of the users the record knows.
  dev.last_user = 0;
}

void SimulatedBackend::set_lock_error(DeviceId id, std::int32_t error) {
  std::lock_guard lock(mutex_);
  device(id).lock_error = error;
}

void SimulatedBackend::advance_ms(std::uint64_t ms) {
  std::lock_guard lock(mutex_);
  now_ms_ += ms;
}

void SimulatedBackend::set_recording(bool on) {
  std::lock_guard lock(mutex_);
  recording_ = on;
}

std::vector<SimulatedEvent> SimulatedBackend::events() const {
  std::lock_guard lock(mutex_);
  return {log_.begin(), log_.end()};
}

void SimulatedBackend::clear_events() {
  std::lock_guard lock(mutex_);
  log_.clear();
}

std::vector<std::vector<std::uint8_t>> SimulatedBackend::written_reports(DeviceId id) const {
  std::lock_guard lock(mutex_);
  std::vector<std::vector<std::uint8_t>> reports;
  for (const auto& event : log_)
    if (event.kind == SimulatedEvent::Kind::Write && event.device == id)
      reports.push_back(event.report);
  return reports;
}

int SimulatedBackend::open_handle_count() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(handles_.size());
}

Guid SimulatedBackend::hid_class_guid() {
  succeed();
  return kHidClassGuid;
}

InterfaceList SimulatedBackend::present_interfaces() {
  std::lock_guard lock(mutex_);
  InterfaceList present;
  for (const auto& dev : devices_)
    if (dev.plugged) present.interfaces.push_back(DeviceInterface{kHidClassGuid, 1, dev.path});
  succeed();
  return present;
}

Handle SimulatedBackend::open(const std::string& path, bool overlapped) {
  std::lock_guard lock(mutex_);
  auto it = std::find_if(devices_.begin(), devices_.end(),
                         [&](const Device& d) { return d.plugged && d.path == path; });
  if (it == devices_.end()) {
    record(SimulatedEvent::Kind::OpenFailed, -1, kInvalidHandle);
    fail(ENOENT);
    return kInvalidHandle;
  }
  const auto id = static_cast<DeviceId>(it - devices_.begin());
  if (it->open_error != 0) {
    record(SimulatedEvent::Kind::OpenFailed, id, kInvalidHandle);
    fail(it->open_error);
    return kInvalidHandle;
  }
  const Handle handle = next_handle_;
  next_handle_ += 4;
  OpenHandle open_handle;
  open_handle.device = id;
  open_handle.overlapped = overlapped;
  handles_.emplace(handle, std::move(open_handle));
  record(SimulatedEvent::Kind::Open, id, handle);
  succeed();
  return handle;
}

bool SimulatedBackend::attributes(Handle handle, HidAttributes& attributes) {
  std::lock_guard lock(mutex_);
  auto it = handles_.find(handle);
  if (it == handles_.end()) return fail(EBADF);
  if (it->second.gone) return fail(ENODEV);
  attributes = device(it->second.device).device->attributes();
  succeed();
  return true;
}

bool SimulatedBackend::capabilities(Handle handle, HidCapabilities& capabilities) {
  std::lock_guard lock(mutex_);
  auto it = handles_.find(handle);
  if (it == handles_.end()) return fail(EBADF);
  if (it->second.gone) return fail(ENODEV);
  capabilities = device(it->second.device).device->capabilities();
  succeed();
  return true;
}

std::string SimulatedBackend::serial_number(Handle handle) {
  std::lock_guard lock(mutex_);
  const SimulatedHidDevice* found = live_device(handle);
  return found != nullptr ? found->serial_number() : std::string();
}

std::string SimulatedBackend::product_name(Handle handle) {
  std::lock_guard lock(mutex_);
  const SimulatedHidDevice* found = live_device(handle);
  return found != nullptr ? found->product_name() : std::string();
}

const SimulatedHidDevice* SimulatedBackend::live_device(Handle handle) {
  auto it = handles_.find(handle);
  if (it == handles_.end() || it->second.gone) {
    fail(it == handles_.end() ? EBADF : ENODEV);
    return nullptr;
  }
  succeed();
  return device(it->second.device).device.get();
}

bool SimulatedBackend::write(Handle handle, std::span<const std::uint8_t> report,
                             std::uint32_t& bytes_written) {
  std::lock_guard lock(mutex_);
  bytes_written = 0;
  auto it = handles_.find(handle);
  if (it == handles_.end()) return fail(EBADF);
  const DeviceId id = it->second.device;
  record(SimulatedEvent::Kind::Write, id, handle, {report.begin(), report.end()});
  if (it->second.gone) return fail(ENODEV);
  Sink sink(*this, id);
  device(id).device->on_output_report(report, sink);
  bytes_written = static_cast<std::uint32_t>(report.size());
  succeed();
  return true;
}

void SimulatedBackend::deliver(DeviceId id, std::vector<std::uint8_t> report,
                               std::uint32_t delay_ms) {
  // Called from a device, with the lock already held.
  for (auto& [handle, open] : handles_) {
    if (open.device != id || open.gone) continue;
    if (open.queue.size() == kQueuedReportLimit) open.queue.pop_front();
    open.queue.push_back(QueuedReport{now_ms_ + delay_ms, report});
  }
}

bool SimulatedBackend::try_complete(OpenHandle& open, std::uint64_t by_ms) {
  if (!open.pending || open.queue.empty() || open.queue.front().deliver_at_ms > by_ms) return false;
  QueuedReport next = std::move(open.queue.front());
  open.queue.pop_front();
  now_ms_ = std::max(now_ms_, next.deliver_at_ms);
  auto& area = open.pending->area;
  const std::size_t n = std::min(area.size(), next.report.size());
  std::copy_n(next.report.begin(), n, area.begin());
  open.pending->bytes_read = static_cast<std::uint32_t>(n);
  open.pending->completed = true;
  open.pending.reset();
  auto ev = events_.find(open.pending_event);
  if (ev != events_.end()) ev->second.signalled = true;
  open.pending_event = kNoEvent;
  return true;
}

EventHandle SimulatedBackend::create_event() {
  std::lock_guard lock(mutex_);
  const EventHandle event = next_event_;
  next_event_ += 4;
  events_.emplace(event, Event{});
  succeed();
  return event;
}

bool SimulatedBackend::reset_event(EventHandle event) {
  std::lock_guard lock(mutex_);
  auto it = events_.find(event);
  if (it == events_.end()) return fail(EBADF);
  it->second.signalled = false;
  succeed();
  return true;
}

bool SimulatedBackend::read(Handle handle, std::shared_ptr<ReadRequest> request,
                            EventHandle event) {
  std::lock_guard lock(mutex_);
  auto ev = events_.find(event);
  if (ev == events_.end()) return fail(EBADF);
  // Starting a read resets its event, whatever happens next.
  ev->second.signalled = false;
  ev->second.read_handle = handle;
  auto it = handles_.find(handle);
  if (it == handles_.end()) return fail(EBADF);
  OpenHandle& open = it->second;
  record(SimulatedEvent::Kind::ReadStarted, open.device, handle);
  if (open.gone) return fail(ENODEV);
  open.pending = std::move(request);
  open.pending_event = event;
  if (!device(open.device).reads_never_complete && try_complete(open, now_ms_)) {
    succeed();
    return true;
  }
  return fail(EINPROGRESS);
}

std::uint32_t SimulatedBackend::wait(EventHandle event, std::uint32_t timeout_ms) {
  std::lock_guard lock(mutex_);
  auto ev = events_.find(event);
  if (ev == events_.end()) {
    fail(EBADF);
    return kWaitFailed;
  }
  auto timed_out = [&](DeviceId id, Handle handle) {
    now_ms_ += timeout_ms;
    record(SimulatedEvent::Kind::WaitTimedOut, id, handle);
    succeed();
    return kWaitTimeout;
  };
  const Handle handle = ev->second.read_handle;
  auto it = handles_.find(handle);
  const DeviceId id = it == handles_.end() ? -1 : it->second.device;
  if (id >= 0 && device(id).wait_fails) {
    record(SimulatedEvent::Kind::WaitFailed, id, handle);
    fail(EIO);
    return kWaitFailed;
  }
  if (ev->second.signalled) {
    record(SimulatedEvent::Kind::WaitSignalled, id, handle);
    succeed();
    return kWaitSignalled;
  }
  if (it == handles_.end()) return timed_out(-1, handle);
  OpenHandle& open = it->second;
  const Device& dev = device(open.device);
  if (open.gone) {
    record(SimulatedEvent::Kind::WaitFailed, open.device, handle);
    fail(ENODEV);
    return kWaitFailed;
  }
  if (dev.reads_never_complete || !try_complete(open, now_ms_ + timeout_ms))
    return timed_out(open.device, handle);
  record(SimulatedEvent::Kind::WaitSignalled, open.device, handle);
  succeed();
  return kWaitSignalled;
}

bool SimulatedBackend::cancel(Handle handle) {
  std::lock_guard lock(mutex_);
  auto it = handles_.find(handle);
  if (it == handles_.end()) return fail(EBADF);
  record(SimulatedEvent::Kind::Cancel, it->second.device, handle);
  if (it->second.pending) it->second.pending.reset();
  it->second.pending_event = kNoEvent;
  succeed();
  return true;
}

bool SimulatedBackend::close(Handle handle) {
  std::lock_guard lock(mutex_);
  auto it = handles_.find(handle);
  if (it == handles_.end()) return fail(EBADF);
  record(SimulatedEvent::Kind::Close, it->second.device, handle);
  Device& owner = device(it->second.device);
  if (owner.lock_holder == handle) {
    owner.lock_holder = kInvalidHandle;
    lock_released_.notify_all();
  }
  handles_.erase(it);
  succeed();
  return true;
}

void SimulatedBackend::destroy_event(EventHandle event) {
  std::lock_guard lock(mutex_);
  events_.erase(event);
}

int SimulatedBackend::event_count() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(events_.size());
}

std::size_t SimulatedBackend::flush_input(Handle handle) {
  std::lock_guard lock(mutex_);
  auto it = handles_.find(handle);
  if (it == handles_.end()) {
    fail(EBADF);
    return 0;
  }
  // Reports still on their way (delivered later on the virtual clock) have not arrived yet.
  auto& queue = it->second.queue;
  const auto arrived = std::stable_partition(
      queue.begin(), queue.end(), [&](const QueuedReport& r) { return r.deliver_at_ms > now_ms_; });
  const auto discarded = static_cast<std::size_t>(queue.end() - arrived);
  queue.erase(arrived, queue.end());
  succeed();
  return discarded;
}

LockResult SimulatedBackend::lock_device(Handle handle, std::uint32_t timeout_ms) {
  std::unique_lock lock(mutex_);
  auto it = handles_.find(handle);
  if (it == handles_.end()) {
    fail(EBADF);
    return LockResult::Failed;
  }
  const DeviceId id = it->second.device;
  if (device(id).lock_error != 0) {
    fail(device(id).lock_error);
    return LockResult::Failed;
  }
  // A user outside this platform's handles (another process) lets go on the virtual clock.
  if (const std::uint64_t until = device(id).held_elsewhere_until_ms; until > now_ms_) {
    if (until - now_ms_ > timeout_ms) {
      now_ms_ += timeout_ms;
      fail(EBUSY);
      return LockResult::Busy;
    }
    now_ms_ = until;
  }
  // Another thread's transaction: wait for it in real time, as for a real device.
  const bool free = lock_released_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
    const Handle holder = device(id).lock_holder;
    return holder == kInvalidHandle || holder == handle;
  });
  if (!free) {
    fail(EBUSY);
    return LockResult::Busy;
  }
  if (handles_.find(handle) == handles_.end()) {
    fail(EBADF);
    return LockResult::Failed;
  }
  if (device(id).lock_holder != handle) record(SimulatedEvent::Kind::Lock, id, handle);
  device(id).lock_holder = handle;
  succeed();
  return LockResult::Locked;
}

void SimulatedBackend::unlock_device(Handle handle) {
  std::lock_guard lock(mutex_);
  auto it = handles_.find(handle);
  if (it == handles_.end()) return;
  Device& owner = device(it->second.device);
  if (owner.lock_holder != handle) return;
  record(SimulatedEvent::Kind::Unlock, it->second.device, handle);
  owner.lock_holder = kInvalidHandle;
  lock_released_.notify_all();
}

std::uint64_t SimulatedBackend::swap_last_user(Handle handle, std::uint64_t user) {
  std::lock_guard lock(mutex_);
  auto it = handles_.find(handle);
  if (it == handles_.end()) {
    fail(EBADF);
    return 0;
  }
  succeed();
  return std::exchange(device(it->second.device).last_user, user);
}

std::int32_t SimulatedBackend::last_error() {
  return t_last_error;
}

std::string SimulatedBackend::error_text(std::int32_t error) {
  return system_error_text(error);
}

void SimulatedBackend::sleep_ms(std::uint32_t ms) {
  std::lock_guard lock(mutex_);
  record(SimulatedEvent::Kind::Sleep, -1, kInvalidHandle, {}, ms);
  now_ms_ += ms;
  succeed();
}

std::uint64_t SimulatedBackend::now_ms() {
  std::lock_guard lock(mutex_);
  return now_ms_;
}

}  // namespace gpio_dll::transport
