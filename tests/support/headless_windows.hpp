// A headless windowing in place for the length of a test, with the simulated module.
#pragma once

#include "diagnostics/form1.hpp"
#include "diagnostics/headless_windowing.hpp"
#include "diagnostics/login_form.hpp"
#include "support/test_support.hpp"
#include "transactions/packet_error_code.hpp"

namespace gpio_dll::testing {

// The response that completes `challenge` to a sequence whose packet error code is 0.
inline std::string gate_digest(const std::string& challenge) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < challenge.size(); i += 2)
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(challenge.substr(i, 2), nullptr, 16)));
  char text[3];
  std::snprintf(text, sizeof text, "%02X", crc8(bytes.data(), bytes.size()));
  return text;
}

// A local date and time for a virtual wall clock.
inline std::tm local_time(int year, int month, int day, int hour, int minute, int second) {
  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  return local;
}

class HeadlessWindowsTest : public SimulatedModuleTest {
 protected:
  void SetUp() override {
    SimulatedModuleTest::SetUp();
    windows_ = std::make_shared<diagnostics::HeadlessWindowing>();
    windows_->set_local_time(local_time(2026, 12, 6, 12, 34, 56));  // the virtual wall clock
    diagnostics::set_windowing(windows_);
  }
  void TearDown() override {
    diagnostics::set_uniform_generator(nullptr);
    SimulatedModuleTest::TearDown();
  }
  diagnostics::HeadlessWindowing& windows() { return *windows_; }

  static std::string digest(const std::string& challenge) { return gate_digest(challenge); }

  std::shared_ptr<diagnostics::HeadlessWindowing> windows_;
};

}  // namespace gpio_dll::testing
