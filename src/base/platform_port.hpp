// The narrow interface between the HID transport and the operating system. The transport's
// algorithms are written once against it; each backend (simulated, Linux hidraw) fills it in.
// It keeps the shape of the Windows HID calls the transport was designed around: two handles per
// device, an overlapped read signalled through an event, and a per-thread last error value.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "gpio_dll/hid_types.hpp"

namespace gpio_dll::transport {

using Handle = std::int32_t;
inline constexpr Handle kInvalidHandle = -1;

using EventHandle = std::int32_t;
inline constexpr EventHandle kNoEvent = 0;

struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::uint8_t data4[8] = {};
};

// The class identifier of HID device interfaces.
inline constexpr Guid kHidClassGuid = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

// Errors of Windows' setup library that every enumeration meets: the query for the size of an
// interface's detail record, asked with no room, fails for lack of room; the query for the
// interface after the last finds no more. Every backend reports these numbers, so that the trace of
// a discovery reads the same on every platform.
inline constexpr std::int32_t kErrorInsufficientBuffer = 122;
inline constexpr std::int32_t kErrorNoMoreItems = 259;

// One present device interface.
struct DeviceInterface {
  Guid class_guid;
  std::uint32_t flags = 1;  // active
  std::string path;
  // The error with which the query for the size of its detail record failed.
  std::int32_t size_query_error = kErrorInsufficientBuffer;
};

// The present device interfaces, and the error with which their enumeration ended.
struct InterfaceList {
  std::vector<DeviceInterface> interfaces;
  std::int32_t end_error = kErrorNoMoreItems;
};

// An overlapped read: the report area and the completion record. The backend keeps its own
// reference while the read is pending, so a cancelled read's area stays valid until the backend
// has finished with it, whoever else lets go of it.
struct ReadRequest {
  std::vector<std::uint8_t> area;
  std::uint32_t bytes_read = 0;
  bool completed = false;
};

// Outcomes of taking a device's transaction lock.
enum class LockResult { Locked, Busy, Failed };

// Outcomes of waiting for an event.
inline constexpr std::uint32_t kWaitSignalled = 0;
inline constexpr std::uint32_t kWaitTimeout = 258;
inline constexpr std::uint32_t kWaitFailed = 0xFFFFFFFF;

class PlatformPort {
 public:
  virtual ~PlatformPort() = default;

  virtual Guid hid_class_guid() = 0;
  // The HID device interfaces present now, in a stable order.
  virtual InterfaceList present_interfaces() = 0;

  // Opens a device for reading and writing, shared; `overlapped` for the read handle.
  // kInvalidHandle on failure.
  virtual Handle open(const std::string& path, bool overlapped) = 0;
  virtual bool attributes(Handle handle, HidAttributes& attributes) = 0;
  virtual bool capabilities(Handle handle, HidCapabilities& capabilities) = 0;
  // The device's serial number and product name (the HID unique id and name); empty when it
  // has none or they cannot be read.
  virtual std::string serial_number(Handle handle) = 0;
  virtual std::string product_name(Handle handle) = 0;

  // Writes one whole output report (byte 0 the report identifier), synchronously.
  virtual bool write(Handle handle, std::span<const std::uint8_t> report,
                     std::uint32_t& bytes_written) = 0;

  // A manual-reset event, initially signalled.
  virtual EventHandle create_event() = 0;
  virtual bool reset_event(EventHandle event) = 0;
  // Starts an overlapped read of one input report into `request->area`; resets `event` and
  // signals it when the read completes.
  virtual bool read(Handle handle, std::shared_ptr<ReadRequest> request, EventHandle event) = 0;
  // kWaitSignalled, kWaitTimeout or kWaitFailed. A read that failed (device gone) is a failed
  // wait, never a signalled one.
  virtual std::uint32_t wait(EventHandle event, std::uint32_t timeout_ms) = 0;
  virtual bool cancel(Handle handle) = 0;
  // Closing a handle also releases the device lock taken through it.
  virtual bool close(Handle handle) = 0;
  virtual void destroy_event(EventHandle event) = 0;

  // Every open handle of a device receives every input report the device sends. Discards the
  // reports already waiting on `handle`, without blocking, and says how many there were: they
  // answer another user's request, or one whose read timed out.
  virtual std::size_t flush_input(Handle handle) = 0;
  // The device's transaction lock, taken through one of its handles: one holder at a time,
  // between threads and, where the platform can, between processes. Waits at most `timeout_ms`
  // (on the platform's clock), then gives Busy. Failed, with the error set, when the system
  // cannot lock the device at all: the caller must not go on without the lock. A holder that
  // goes away (a closed handle, an ended process) releases it.
  virtual LockResult lock_device(Handle handle, std::uint32_t timeout_ms) = 0;
  virtual void unlock_device(Handle handle) = 0;
  // The device's record of its last user, kept beside its lock and shared by everyone the lock
  // excludes. Called while holding the lock: records `user` and returns the user recorded before,
  // 0 when there was none or the record cannot be kept (the caller then assumes another user).
  virtual std::uint64_t swap_last_user(Handle handle, std::uint64_t user) = 0;

  // The calling thread's error value after its most recent call on this port (0 after a call
  // that succeeded), and the system's text for an error value.
  virtual std::int32_t last_error() = 0;
  virtual std::string error_text(std::int32_t error) = 0;

  virtual void sleep_ms(std::uint32_t ms) = 0;
  virtual std::uint64_t now_ms() = 0;
};

}  // namespace gpio_dll::transport
