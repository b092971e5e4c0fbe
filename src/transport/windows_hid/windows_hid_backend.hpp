// Windows HID behind the platform port: SetupDi enumeration of the HID interface class, the HID
// library's attribute and capability queries, and CreateFile/WriteFile/ReadFile with overlapped
// reads. The port's 32-bit handles and events are numbers of the backend's own tables.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "base/platform_port.hpp"
#include "transport/windows_hid/handle_table.hpp"

namespace gpio_dll::transport {

class WindowsHidBackend final : public PlatformPort {
 public:
  WindowsHidBackend();
  ~WindowsHidBackend() override;
  WindowsHidBackend(const WindowsHidBackend&) = delete;
  WindowsHidBackend& operator=(const WindowsHidBackend&) = delete;

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

  // The most input reports one flush discards: the HID class driver keeps at most 512.
  static constexpr std::size_t kMaxFlushedReports = 512;

 private:
  struct PendingRead;
  struct OpenFile;
  struct Event;

  // A copy of the open file's Windows handle, or null (with the error set) for an unknown one.
  void* file_handle(Handle handle);
  // Waits until the operating system has finished with a pending read (after cancelling it),
  // so that its area and overlapped record may go.
  static void finish_pending(const std::shared_ptr<PendingRead>& pending);
  // Cancels a pending read, whichever thread started it, and waits until it has ended.
  static void end_pending(const std::shared_ptr<PendingRead>& pending);
  // Forgets `pending` on whichever event still refers to it.
  void forget_pending(const std::shared_ptr<PendingRead>& pending);

  std::mutex mutex_;
  std::unique_ptr<HandleTable<OpenFile>> files_;
  std::unique_ptr<HandleTable<Event>> events_;
};

}  // namespace gpio_dll::transport
