// Linux hidraw behind the platform port. Devices are found in a hidraw class directory
// (normally /sys/class/hidraw) and opened in a device directory (normally /dev). Nothing here
// insists on character devices: any file that behaves like a hidraw node will do.
#pragma once

#include <map>
#include <mutex>

#include "base/platform_port.hpp"

namespace gpio_dll::transport {

// The vendor and product identifiers from the HID_ID line of a HID device's uevent
// ("HID_ID=0003:00000451:00005F00"); false when there is no such line or it does not parse, or
// an identifier does not fit 16 bits.
bool ids_from_uevent_text(const std::string& text, HidAttributes& attributes);

class HidrawBackend final : public PlatformPort {
 public:
  static constexpr const char* kDefaultClassDir = "/sys/class/hidraw";
  static constexpr const char* kDefaultDeviceDir = "/dev";

  HidrawBackend(std::string class_dir = kDefaultClassDir,
                std::string device_dir = kDefaultDeviceDir);
  // Only the node at `device_path` is listed, even when nothing is there (its open then fails
  // with the reason); its sysfs entry is looked up in `class_dir`.
  static std::shared_ptr<HidrawBackend> single_node(const std::string& device_path,
                                                    std::string class_dir);

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
  struct OpenNode {
    std::string path;
    bool numbered_reports = false;
    int last_user_record = -1;  // the node's shared record of its last user, opened at first use
  };
  struct Event {
    bool signalled = true;
    Handle handle = kInvalidHandle;
    std::shared_ptr<ReadRequest> request;
  };
  enum class ReadOutcome { Completed, NothingYet, Failed };

  // The read behind `event` completed.
  void signal(EventHandle event);
  // The node's serial number (HID_UNIQ) or product name (HID_NAME).
  std::string node_text(Handle handle, bool serial);
  // The node's sysfs entry: <class_dir>/<name of the node>.
  std::string class_entry(const std::string& path) const;
  bool read_descriptor(Handle handle, const std::string& path, std::vector<std::uint8_t>& out);
  // One read() into the request's area, putting back the identifier byte hidraw leaves off
  // unnumbered reports.
  static ReadOutcome read_now(Handle handle, bool numbered, ReadRequest& request);

  const std::string class_dir_;
  const std::string device_dir_;
  std::string only_node_;  // when set, the one node present
  std::mutex mutex_;
  std::map<Handle, OpenNode> nodes_;
  std::map<EventHandle, Event> events_;
  EventHandle next_event_ = 1;
};

}  // namespace gpio_dll::transport
