// The local time of day and date as the windows show them, from the system clock. Both
// windowings use it; the headless one can run a virtual clock instead.
#pragma once

#include <ctime>
#include <string>

#include "diagnostics/windowing_port.hpp"

namespace gpio_dll::diagnostics {

// The system's local time now.
std::tm local_now();
// Seconds since the epoch for a broken-down time read as UTC, and back.
std::time_t seconds_of_utc(const std::tm& utc);
std::tm utc_of_seconds(std::time_t seconds);

TimeOfDay time_of_day_of(const std::tm& local);
// The date and time in the platform's general format (the C library's "%x %X").
std::string general_date_of(const std::tm& local);

}  // namespace gpio_dll::diagnostics
