#include "interface/c_arguments.hpp"

#include <algorithm>
#include <cstring>

namespace gpio_dll::c_interface {

CallStatus& call_status() {
  thread_local CallStatus status;
  return status;
}

void set_error_text(const char* text) noexcept {
  char* out = call_status().error_text;
  std::strncpy(out, text, sizeof CallStatus::error_text - 1);
  out[sizeof CallStatus::error_text - 1] = '\0';
}

bool write_text(const std::string& text, char* buffer, std::size_t* size) {
  const std::size_t needed = text.size() + 1;
  bool fits = true;
  if (buffer != nullptr) {
    fits = size != nullptr && needed <= *size;
    if (fits) std::memcpy(buffer, text.c_str(), needed);
  }
  if (size != nullptr) *size = needed;
  return fits;
}

bool Text::load() {
  if (!input || buffer == nullptr) return true;
  if (size == nullptr) return false;
  value.assign(buffer, strnlen(buffer, *size));
  return true;
}

bool Text::store() {
  return !written || write_text(value, buffer, size);
}

bool Bytes::load() {
  if (length == nullptr) return true;
  if (*length > capacity || (data == nullptr && *length != 0)) return false;
  value.assign(data, data + *length);
  return true;
}

bool Bytes::store() {
  if (!written || length == nullptr) return true;
  *length = value.size();
  const bool fits = value.size() <= capacity && (data != nullptr || value.empty());
  if ((fits || keep_what_fits) && data != nullptr)
    std::copy_n(value.begin(), std::min(value.size(), capacity), data);
  return fits;
}

}  // namespace gpio_dll::c_interface
