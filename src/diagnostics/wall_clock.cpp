#include "diagnostics/wall_clock.hpp"

namespace gpio_dll::diagnostics {

// The C runtimes differ in their names for the thread-safe conversions.
std::tm local_now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return local;
}

std::time_t seconds_of_utc(const std::tm& utc) {
  std::tm copy = utc;
#if defined(_WIN32)
  return _mkgmtime(&copy);
#else
  return timegm(&copy);
#endif
}

std::tm utc_of_seconds(std::time_t seconds) {
  std::tm utc{};
#if defined(_WIN32)
  gmtime_s(&utc, &seconds);
#else
  gmtime_r(&seconds, &utc);
#endif
  return utc;
}

TimeOfDay time_of_day_of(const std::tm& local) {
  return TimeOfDay{local.tm_hour, local.tm_min, local.tm_sec};
}

std::string general_date_of(const std::tm& local) {
  char text[64];
  const std::size_t length = std::strftime(text, sizeof text, "%x %X", &local);
  return std::string(text, length);
}

}  // namespace gpio_dll::diagnostics
