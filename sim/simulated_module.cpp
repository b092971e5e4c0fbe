#include "simulated_module.hpp"

#include <cctype>
#include <stdexcept>

#include "command_sets.hpp"
#include "gpio_dll/platform.hpp"
#include "parse_hex_bytes.hpp"

namespace gpio_dll::sim {

namespace {
constexpr std::uint8_t kPreliminaryRequest = 0x00;
constexpr std::uint8_t kVersionQuery = 0x01;
// What the module reports for a command it does not know.
constexpr std::uint8_t kStatusUnknownCommand = 0x01;

bool is_version(const std::uint8_t (&version)[3], int a, int b, int c) {
  return version[0] == a && version[1] == b && version[2] == c;
}
}  // namespace

void parse_version(const std::string& text, std::uint8_t (&numbers)[3]) {
  std::size_t pos = 0;
  for (int i = 0; i < 3; ++i) {
    std::size_t used = 0;
    unsigned long value = 0;
    try {
      if (pos >= text.size() || !std::isdigit(static_cast<unsigned char>(text[pos])))
        throw std::invalid_argument("");
      value = std::stoul(text.substr(pos), &used);
    } catch (const std::exception&) {
      throw std::invalid_argument("not a version text: " + text);
    }
    if (value > 255) throw std::invalid_argument("version number above 255: " + text);
    numbers[i] = static_cast<std::uint8_t>(value);
    pos += used;
    if (i < 2) {
      if (pos >= text.size() || text[pos] != '.')
        throw std::invalid_argument("not a version text: " + text);
      ++pos;
    }
  }
  if (pos != text.size()) throw std::invalid_argument("not a version text: " + text);
}

std::vector<ScriptedAnswer> parse_script(std::istream& in) {
  std::vector<ScriptedAnswer> answers;
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    std::string digits;
    for (char c : line)
      if (!std::isspace(static_cast<unsigned char>(c))) digits += c;
    if (digits.empty() || digits[0] == '#') continue;
    if (digits == "silent") {
      answers.emplace_back(std::nullopt);
      continue;
    }
    std::vector<std::uint8_t> bytes;
    try {
      bytes = parse::parse_hex_bytes(digits);
    } catch (const parse::ParseError& e) {
      throw std::invalid_argument("script line " + std::to_string(number) + ": " + e.reason());
    }
    answers.emplace_back(std::move(bytes));
  }
  return answers;
}

SimulatedModule::SimulatedModule(ModuleConfig config)
    : config_(std::move(config)),
      battery_(std::make_shared<SmartBattery>()),
      i2c_eeprom_(std::make_shared<I2cEeprom>()) {
  parse_version(config_.firmware_version, version_);
  retries_left_ = config_.retry_answers;
  answer_delay_ms_ = config_.answer_delay_ms;
  hardware_.bus.attach(battery::kDefaultAddress, battery_);
  hardware_.bus.attach(I2cEeprom::kDefaultAddress, i2c_eeprom_);
}

void SimulatedModule::fall_silent_after(int count) {
  std::lock_guard lock(mutex_);
  answers_before_silence_ = count;
}

void SimulatedModule::fail_request(int index, std::uint8_t status) {
  std::lock_guard lock(mutex_);
  failing_request_ = index;
  failing_status_ = status;
}

void SimulatedModule::set_recording(bool on) {
  std::lock_guard lock(mutex_);
  recording_ = on;
  if (!on) requests_.clear();
}

void SimulatedModule::set_answer_delay_ms(std::uint32_t ms) {
  std::lock_guard lock(mutex_);
  answer_delay_ms_ = ms;
}

void SimulatedModule::set_lines_stuck(bool sda_low, bool scl_low) {
  std::lock_guard lock(mutex_);
  hardware_.sda_stuck_low = sda_low;
  hardware_.scl_stuck_low = scl_low;
}

const std::vector<std::uint8_t>& SimulatedModule::report_descriptor() {
  static const std::vector<std::uint8_t> descriptor = {
      0x06, 0x00, 0xFF,  // Usage Page (vendor 0xFF00)
      0x09, 0x01,        // Usage (1)
      0xA1, 0x01,        // Collection (Application)
      0x15, 0x00,        //   Logical Minimum (0)
      0x26, 0xFF, 0x00,  //   Logical Maximum (255)
      0x75, 0x08,        //   Report Size (8)
      0x95, 0x40,        //   Report Count (64)
      0x09, 0x01,        //   Usage (1)
      0x81, 0x02,        //   Input (Data, Variable, Absolute)
      0x09, 0x01,        //   Usage (1)
      0x91, 0x02,        //   Output (Data, Variable, Absolute)
      0xC0};             // End Collection
  return descriptor;
}

HidAttributes SimulatedModule::attributes() const {
  return HidAttributes{kModuleVendorId, kModuleProductId, 0x0100};
}

HidCapabilities SimulatedModule::capabilities() const {
  return vendor_defined_capabilities(config_.input_report_length, config_.output_report_length);
}

void SimulatedModule::set_silent(bool silent) {
  std::lock_guard lock(mutex_);
  silent_ = silent;
}

void SimulatedModule::play_script(std::vector<ScriptedAnswer> answers) {
  std::lock_guard lock(mutex_);
  script_.assign(answers.begin(), answers.end());
}

void SimulatedModule::set_retry_answers(int count) {
  std::lock_guard lock(mutex_);
  retries_left_ = count;
}

std::vector<std::vector<std::uint8_t>> SimulatedModule::requests() const {
  std::lock_guard lock(mutex_);
  return {requests_.begin(), requests_.end()};
}

std::uint64_t SimulatedModule::request_count() const {
  std::lock_guard lock(mutex_);
  return request_count_;
}

void SimulatedModule::on_output_report(std::span<const std::uint8_t> report,
                                       InputReportSink& sink) {
  std::vector<std::uint8_t> request(report.begin() + (report.empty() ? 0 : 1), report.end());
  std::optional<std::vector<std::uint8_t>> reply;
  std::uint32_t delay_ms = 0;
  {
    std::lock_guard lock(mutex_);
    ++request_count_;
    delay_ms = answer_delay_ms_;
    if (recording_) {
      if (requests_.size() == kRequestsKept) requests_.pop_front();
      requests_.push_back(request);
    }
    if (answers_before_silence_ == 0) silent_ = true;
    if (answers_before_silence_ > 0) --answers_before_silence_;
    if (silent_) return;
    if (failing_request_ >= 0 && failing_request_-- == 0)
      reply = Bytes{request.empty() ? std::uint8_t{0} : request[0], failing_status_};
    if (!reply && !script_.empty()) {
      reply = std::move(script_.front());
      script_.pop_front();
      if (!reply) return;
    }
  }
  if (!reply) reply = answer(request);
  // An input report: identifier 0, then the answer, cut or zero-filled to the report length.
  std::vector<std::uint8_t> input(config_.input_report_length, 0);
  for (std::size_t i = 0; i < reply->size() && i + 1 < input.size(); ++i)
    input[i + 1] = (*reply)[i];
  sink.send_input_report(std::move(input), delay_ms);
}

std::vector<std::uint8_t> SimulatedModule::version_answer() {
  std::lock_guard lock(mutex_);
  if (retries_left_ > 0) {
    --retries_left_;
    return {kVersionQuery, 0, 0, 10};
  }
  return {kVersionQuery, version_[0], version_[1], version_[2]};
}

std::vector<std::uint8_t> SimulatedModule::answer(std::span<const std::uint8_t> request) {
  const std::uint8_t command = request.empty() ? 0 : request[0];
  const std::uint8_t selector = request.size() > 1 ? request[1] : 0;
  // Identification's requests come first, whatever the firmware.
  if (command == kPreliminaryRequest && selector == 0) return {kPreliminaryRequest, 0};
  if (command == kVersionQuery && selector == 0) return version_answer();
  std::lock_guard lock(mutex_);
  if (is_version(version_, 1, 0, 10)) return answer_1_0_10(hardware_, request);
  if (is_version(version_, 2, 0, 19)) return answer_2_0_19(hardware_, request);
  return {command, kStatusUnknownCommand};
}

SimulatedSetup install_simulated_module(ModuleConfig config) {
  SimulatedSetup setup;
  setup.platform = std::make_shared<SimulatedPlatform>();
  setup.module = std::make_shared<SimulatedModule>(std::move(config));
  setup.device = setup.platform->add_device(setup.module);
  platform::use_simulated(setup.platform);
  return setup;
}

}  // namespace gpio_dll::sim
