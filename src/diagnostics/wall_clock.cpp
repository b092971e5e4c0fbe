#include "diagnostics/wall_clock.hpp"

namespace gpio_dll::diagnostics {

std::tm local_now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
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
