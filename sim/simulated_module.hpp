// The simulated module: a HID device with the module's identifiers that carries out the command
// set of its firmware generation ("1.0.10" or "2.0.19") on a bus with a smart battery (0x0B)
// and an I2C EEPROM (0x50). It answers identification for any configured version, can answer
// "0.0.10" a number of times first, and takes faults: falling silent (at once or after a number
// of requests), a chosen status on a chosen request, stuck SDA/SCL lines, a battery sending
// wrong PEC bytes, a script of answers played back instead of its own, and answers that come
// late.
#pragma once

#include <cstdint>
#include <deque>
#include <istream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "gpio_dll/language_standard.hpp"
#include "gpio_dll/simulated_platform.hpp"
#include "i2c_eeprom.hpp"
#include "module_hardware.hpp"
#include "smart_battery.hpp"

#ifndef GPIO_DLL_STANDARD_TOO_OLD

namespace gpio_dll::sim {

struct ModuleConfig {
  std::string firmware_version = "2.0.19";
  std::uint16_t input_report_length = 65;  // identifier byte included
  std::uint16_t output_report_length = 65;
  int retry_answers = 0;  // version queries answered with "0.0.10" before the real version
  std::string serial_number = "SIM0001";
  std::string product_name = "Texas Instruments USB-GPIO module (simulated)";
  // Each answer reaches the host this long after the request was written (virtual time on the
  // simulated platform); 0 answers within the write.
  std::uint32_t answer_delay_ms = 0;
};

// One scripted answer: the answer bytes (the input report without its identifier), or nothing
// for a request that gets no answer.
using ScriptedAnswer = std::optional<std::vector<std::uint8_t>>;

// Reads a script: one answer per line as hex digits (blanks allowed), "silent" for no answer;
// blank lines and lines starting with '#' are skipped. Throws std::invalid_argument.
std::vector<ScriptedAnswer> parse_script(std::istream& in);

class SimulatedModule : public SimulatedHidDevice {
 public:
  explicit SimulatedModule(ModuleConfig config = {});

  // The HID report descriptor of the module: vendor page 0xFF00, 64-byte input and output
  // reports without report identifiers.
  static const std::vector<std::uint8_t>& report_descriptor();

  HidAttributes attributes() const override;
  HidCapabilities capabilities() const override;
  std::string serial_number() const override { return config_.serial_number; }
  std::string product_name() const override { return config_.product_name; }
  void on_output_report(std::span<const std::uint8_t> report, InputReportSink& sink) override;

  // No answers at all while silent.
  void set_silent(bool silent);
  // Answers `count` more requests, then falls silent.
  void fall_silent_after(int count);
  // The request `index` requests from now (0: the next one) is answered with `status` and
  // nothing done.
  void fail_request(int index, std::uint8_t status);
  void set_lines_stuck(bool sda_low, bool scl_low);
  // Sends every answer from now on `ms` after its request (see ModuleConfig::answer_delay_ms).
  void set_answer_delay_ms(std::uint32_t ms);

  SmartBattery& battery() { return *battery_; }
  I2cEeprom& i2c_eeprom() { return *i2c_eeprom_; }
  // The module's own EEPROM, P0/P1/PMBus lines, PEC mode and bus; lock while touching it.
  ModuleHardware& hardware() { return hardware_; }
  std::mutex& mutex() { return mutex_; }
  // Answers the next requests from the script, in order, then answers on its own again.
  void play_script(std::vector<ScriptedAnswer> answers);
  void set_retry_answers(int count);

  // The requests received (output reports without their identifier), oldest first; the most
  // recent kRequestsKept only, so that long runs keep a flat memory.
  static constexpr std::size_t kRequestsKept = 65536;
  std::vector<std::vector<std::uint8_t>> requests() const;
  // Keeps no requests at all while off (long runs, benchmarks).
  void set_recording(bool on);
  // How many requests it has received, recorded or not.
  std::uint64_t request_count() const;

 protected:
  // The module's own answer to a request (the answer bytes, without the identifier).
  virtual std::vector<std::uint8_t> answer(std::span<const std::uint8_t> request);

 private:
  std::vector<std::uint8_t> version_answer();

  ModuleConfig config_;
  std::uint8_t version_[3] = {};
  mutable std::mutex mutex_;
  ModuleHardware hardware_;
  std::shared_ptr<SmartBattery> battery_;
  std::shared_ptr<I2cEeprom> i2c_eeprom_;
  bool silent_ = false;
  bool recording_ = true;
  int answers_before_silence_ = -1;  // -1: no limit
  int failing_request_ = -1;
  std::uint8_t failing_status_ = 0;
  int retries_left_ = 0;
  std::uint32_t answer_delay_ms_ = 0;
  std::deque<ScriptedAnswer> script_;
  std::deque<std::vector<std::uint8_t>> requests_;
  std::uint64_t request_count_ = 0;
};

// The three numbers of a version text such as "2.0.19"; throws std::invalid_argument.
void parse_version(const std::string& text, std::uint8_t (&numbers)[3]);

// A simulated platform with one simulated module, made the component's platform.
struct SimulatedSetup {
  std::shared_ptr<SimulatedPlatform> platform;
  std::shared_ptr<SimulatedModule> module;
  SimulatedPlatform::DeviceId device = -1;
};
SimulatedSetup install_simulated_module(ModuleConfig config = {});

}  // namespace gpio_dll::sim

#endif  // GPIO_DLL_STANDARD_TOO_OLD
