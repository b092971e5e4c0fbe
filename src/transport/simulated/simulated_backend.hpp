// The simulated platform behind the platform port: devices live in memory, time is a virtual
// clock, and every call is recorded for tests.
#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

#include "base/platform_port.hpp"
#include "gpio_dll/simulated_platform.hpp"

namespace gpio_dll::transport {

class SimulatedBackend final : public PlatformPort {
 public:
  using DeviceId = SimulatedPlatform::DeviceId;

  // Platform control (the public SimulatedPlatform forwards here).
  DeviceId add_device(std::shared_ptr<SimulatedHidDevice> device);
  std::string device_path(DeviceId id) const;
  void set_plugged(DeviceId id, bool plugged);
  void set_open_error(DeviceId id, std::int32_t error);
  void set_reads_never_complete(DeviceId id, bool never);
  void set_wait_fails(DeviceId id, bool fails);
  void hold_lock_elsewhere(DeviceId id, std::uint64_t for_ms);
  void set_lock_error(DeviceId id, std::int32_t error);
  void advance_ms(std::uint64_t ms);
  void set_recording(bool on);
  std::vector<SimulatedEvent> events() const;
  void clear_events();
  std::vector<std::vector<std::uint8_t>> written_reports(DeviceId id) const;
  int open_handle_count() const;
  int event_count() const;

  // PlatformPort.
  Guid hid_class_guid() override;
  InterfaceList present_interfaces() override;
  Handle open(const std::string& path, bool overlapped) override;
  bool attributes(Handle handle, HidAttributes& attributes) override;
  bool capabilities(Handle handle, HidCapabilities& capabilities) override;
  std::string serial_number(Handle handle) override;
  std::string product_name(Handle handle) override;
  bool write(Handle handle, std::span<const std::uint8_t> report,
             std::uint32_t& bytes_written) override;
  EventHandle create_event() override;
  bool reset_event(EventHandle event) override;
  bool read(Handle handle, std::shared_ptr<ReadRequest> request, EventHandle event) override;
  std::uint32_t wait(EventHandle event, std::uint32_t timeout_ms) override;
  bool cancel(Handle handle) override;
  bool close(Handle handle) override;
  void destroy_event(EventHandle event) override;
  std::size_t flush_input(Handle handle) override;
  LockResult lock_device(Handle handle, std::uint32_t timeout_ms) override;
  void unlock_device(Handle handle) override;
  std::uint64_t swap_last_user(Handle handle, std::uint64_t user) override;
  std::int32_t last_error() override;
  std::string error_text(std::int32_t error) override;
  void sleep_ms(std::uint32_t ms) override;
  std::uint64_t now_ms() override;

 private:
  // Reports a handle keeps before the oldest is dropped, like the host's per-handle ring.
  static constexpr std::size_t kQueuedReportLimit = 32;
  // Events the record keeps; the oldest go first, so that a long run stays flat.
  static constexpr std::size_t kRecordedEventLimit = 65536;

  struct Device {
    std::shared_ptr<SimulatedHidDevice> device;
    std::string path;
    bool plugged = true;
    std::int32_t open_error = 0;  // every open fails with it; 0: opens succeed
    bool reads_never_complete = false;
    bool wait_fails = false;
    Handle lock_holder = kInvalidHandle;
    // Another user outside the platform's handles holds the lock until then (virtual time).
    std::uint64_t held_elsewhere_until_ms = 0;
    std::int32_t lock_error = 0;  // every lock fails with it; 0: locks work
    std::uint64_t last_user = 0;
  };
  struct QueuedReport {
    std::uint64_t deliver_at_ms;
    std::vector<std::uint8_t> report;
  };
  struct OpenHandle {
    DeviceId device = -1;
    bool overlapped = false;
    bool gone = false;  // its device was unplugged
    std::deque<QueuedReport> queue;
    std::shared_ptr<ReadRequest> pending;
    EventHandle pending_event = kNoEvent;
  };
  struct Event {
    bool signalled = true;
    Handle read_handle = kInvalidHandle;
  };
  class Sink;

  bool fail(std::int32_t error);
  void succeed();
  void record(SimulatedEvent::Kind kind, DeviceId device, Handle handle,
              std::vector<std::uint8_t> report = {}, std::uint32_t duration_ms = 0);
  void deliver(DeviceId device, std::vector<std::uint8_t> report, std::uint32_t delay_ms);
  // Completes the handle's pending read from its queue if a report is there by `by_ms`.
  bool try_complete(OpenHandle& handle, std::uint64_t by_ms);
  Device& device(DeviceId id);
  // The device behind an open handle of a plugged device, or null with the error set.
  const SimulatedHidDevice* live_device(Handle handle);
  const Device& device(DeviceId id) const;

  mutable std::recursive_mutex mutex_;  // a device may call back in
  std::condition_variable_any lock_released_;
  std::vector<Device> devices_;
  std::map<Handle, OpenHandle> handles_;
  std::map<EventHandle, Event> events_;
  Handle next_handle_ = 0x1A4;
  EventHandle next_event_ = 0x2C0;
  std::uint64_t now_ms_ = 0;
  bool recording_ = true;
  std::deque<SimulatedEvent> log_;
};

}  // namespace gpio_dll::transport
