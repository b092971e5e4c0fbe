// The simulated module: a HID device with the module's identifiers that answers the module's
// requests. It answers identification for any configured firmware version, can answer
// "0.0.10" a number of times first, can fall silent, and can play back a script of answers.
#pragma once

#include <cstdint>
#include <deque>
#include <istream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "gpio_dll/simulated_platform.hpp"

namespace gpio_dll::sim {

struct ModuleConfig {
  std::string firmware_version = "2.0.19";
  std::uint16_t input_report_length = 65;  // identifier byte included
  std::uint16_t output_report_length = 65;
  int retry_answers = 0;  // version queries answered with "0.0.10" before the real version
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

  HidAttributes attributes() const override;
  HidCapabilities capabilities() const override;
  void on_output_report(std::span<const std::uint8_t> report, InputReportSink& sink) override;

  // No answers at all while silent.
  void set_silent(bool silent);
  // Answers the next requests from the script, in order, then answers on its own again.
  void play_script(std::vector<ScriptedAnswer> answers);
  void set_retry_answers(int count);

  // The requests received (output reports without their identifier), oldest first; the most
  // recent kRequestsKept only, so that long runs keep a flat memory.
  static constexpr std::size_t kRequestsKept = 65536;
  std::vector<std::vector<std::uint8_t>> requests() const;

 protected:
  // The module's own answer to a request (the answer bytes, without the identifier).
  virtual std::vector<std::uint8_t> answer(std::span<const std::uint8_t> request);

 private:
  std::vector<std::uint8_t> version_answer();

  ModuleConfig config_;
  std::uint8_t version_[3] = {};
  mutable std::mutex mutex_;
  bool silent_ = false;
  int retries_left_ = 0;
  std::deque<ScriptedAnswer> script_;
  std::deque<std::vector<std::uint8_t>> requests_;
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
