// The record of a device's last user beside its mutex: eight bytes of paging-file memory shared
// by name with every process that opens the device.
#pragma once

#include <cstdint>
#include <string>

namespace gpio_dll::transport {

class LastUserRecord {
 public:
  LastUserRecord() = default;
  ~LastUserRecord() { close(); }
  LastUserRecord(LastUserRecord&& other) noexcept;
  LastUserRecord& operator=(LastUserRecord&& other) noexcept;
  LastUserRecord(const LastUserRecord&) = delete;
  LastUserRecord& operator=(const LastUserRecord&) = delete;

  // Maps the record of the device at `device_path` unless mapped already; false, with the
  // thread's Windows error set, when it cannot be had.
  bool open(const std::string& device_path);
  // Records `user` and returns the user recorded before (0: none). The caller holds the device's
  // mutex and has opened the record.
  std::uint64_t swap(std::uint64_t user);
  void close();

 private:
  void* mapping_ = nullptr;
  volatile std::uint64_t* view_ = nullptr;
};

}  // namespace gpio_dll::transport
