#include "base/system_error_text.hpp"

#include <cstring>

#include "base/platform_port.hpp"

namespace gpio_dll {

namespace {
// The buffer the text must fit in, counting the line end that system texts carry on Windows.
constexpr std::size_t kBufferCharacters = 128;
constexpr std::size_t kLineEnd = 2;

// Windows' texts for the setup library's errors that device discovery meets.
struct SetupError {
  std::int32_t error;
  const char* text;
};
constexpr SetupError kSetupErrors[] = {
    {transport::kErrorInsufficientBuffer, "The data area passed to a system call is too small."},
    {transport::kErrorNoMoreItems, "No more data is available."},
};
}  // namespace

std::string system_error_text(std::int32_t error) {
  // glibc answers "Unknown error N" for numbers it has no name for; those count as unknown.
  if (error != 0 && strerrorname_np(error) == nullptr) return {};
  char buffer[256];
  // GNU strerror_r returns the text, in `buffer` or in static storage.
  const char* text = strerror_r(error, buffer, sizeof buffer);
  std::string result = text != nullptr ? text : "";
  if (result.empty() || result.size() + kLineEnd >= kBufferCharacters) return {};
  return result;
}

std::string setup_error_text(std::int32_t error) {
  for (const SetupError& known : kSetupErrors)
    if (known.error == error) return known.text;
  return system_error_text(error);
}

}  // namespace gpio_dll
