#include "transport/windows_hid/last_user_record.hpp"

#include <windows.h>

#include <utility>

#include "transport/windows_hid/device_names.hpp"

namespace gpio_dll::transport {

LastUserRecord::LastUserRecord(LastUserRecord&& other) noexcept
    : mapping_(std::exchange(other.mapping_, nullptr)),
      view_(std::exchange(other.view_, nullptr)) {}

LastUserRecord& LastUserRecord::operator=(LastUserRecord&& other) noexcept {
  if (this != &other) {
    close();
    mapping_ = std::exchange(other.mapping_, nullptr);
    view_ = std::exchange(other.view_, nullptr);
  }
  return *this;
}

bool LastUserRecord::open(const std::string& device_path) {
  if (view_ != nullptr) return true;
  // Zero when first made. A process without the right to create global objects shares it with
  // its own session only.
  for (const bool global : {true, false}) {
    mapping_ =
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(std::uint64_t),
                           last_user_record_name(device_path, global).c_str());
    if (mapping_ != nullptr) break;
  }
  if (mapping_ == nullptr) return false;
  void* view = MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(std::uint64_t));
  if (view == nullptr) {
    const DWORD error = GetLastError();
    close();
    SetLastError(error);
    return false;
  }
  view_ = static_cast<volatile std::uint64_t*>(view);
  return true;
}

std::uint64_t LastUserRecord::swap(std::uint64_t user) {
  const std::uint64_t before = *view_;
  *view_ = user;
  return before;
}

void LastUserRecord::close() {
  if (view_ != nullptr) UnmapViewOfFile(const_cast<std::uint64_t*>(view_));
  if (mapping_ != nullptr) CloseHandle(mapping_);
  view_ = nullptr;
  mapping_ = nullptr;
}

}  // namespace gpio_dll::transport
