// Every method of both firmware generations against a module that answers anything: each request
// gets the simulated module's own answer, no answer, bytes from the fuzzer's input, the module's
// answer with another status or cut short, or an extra report besides. Report lengths (0 to
// 65535), arguments (full ranges) and arrays (up to 9000 bytes) come from the input too.
//
// Checked after every call: the result is a code the component defines, in the status band of
// the generation in use; arrays have the sizes the method promises; arguments the method must
// not write are unchanged. After the run the module answers honestly again, and the state must
// serve the next calls.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "gpio_dll/automation_error.hpp"
#include "gpio_dll/gpio_dll.hpp"
#include "simulated_module.hpp"

namespace gpio_dll::fuzz {
namespace {

constexpr std::size_t kLongestArray = 9000;
constexpr std::size_t kLongestFuzzedReport = 600;
constexpr int kCallsPerInput = 12;
constexpr std::size_t kEepromBytes = 8192;

// Keeps the reports a device sends, to change them before they go on.
class CapturingSink : public InputReportSink {
 public:
  void send_input_report(std::vector<std::uint8_t> report, std::uint32_t) override {
    reports.push_back(std::move(report));
  }
  std::vector<std::vector<std::uint8_t>> reports;
};

class FuzzedModule : public SimulatedHidDevice {
 public:
  FuzzedModule(std::shared_ptr<sim::SimulatedModule> module, FuzzedDataProvider& input)
      : module_(std::move(module)), input_(input) {}

  HidAttributes attributes() const override { return module_->attributes(); }
  HidCapabilities capabilities() const override { return module_->capabilities(); }

  void on_output_report(std::span<const std::uint8_t> report, InputReportSink& sink) override {
    enum Answer { Own, Silent, Fuzzed, OtherStatus, Cut, Extra, kAnswers };
    // An exhausted input gives 0: the module's own answers.
    const int kind = honest ? Own : input_.ConsumeIntegralInRange<int>(Own, kAnswers - 1);
    if (kind == Silent) return;
    if (kind == Fuzzed) {
      const auto length = input_.ConsumeIntegralInRange<std::size_t>(0, kLongestFuzzedReport);
      sink.send_input_report(input_.ConsumeBytes<std::uint8_t>(length));
      return;
    }
    CapturingSink own;
    module_->on_output_report(report, own);
    for (auto& answer : own.reports) {
      if (kind == OtherStatus && answer.size() > 2)
        answer[2] = input_.ConsumeIntegral<std::uint8_t>();
      if (kind == Cut)
        answer.resize(std::min(answer.size(), input_.ConsumeIntegralInRange<std::size_t>(0, 8)));
      sink.send_input_report(std::move(answer));
    }
    if (kind == Extra)
      sink.send_input_report(input_.ConsumeBytes<std::uint8_t>(kLongestFuzzedReport));
  }

  bool honest = false;

 private:
  std::shared_ptr<sim::SimulatedModule> module_;
  FuzzedDataProvider& input_;
};

enum class Band { None, Old, New };

Band band_of(const std::string& version) {
  if (version == "1.0.10") return Band::Old;
  if (version == "2.0.19") return Band::New;
  return Band::None;
}

// A defined code, and a module status only in the band of the generation that was talked to.
void check_result(std::int32_t code, Band band) {
  require(defined_result(code), "a result code the component defines");
  if (code < kErrorCodeCount) return;
  require(band != Band::None, "no module status without a generation");
  const std::int32_t base = band == Band::Old ? kStatusBandOldFirmware : kStatusBandNewFirmware;
  require(code > base && code <= base + 255, "a module status in the generation's band");
}

class Run {
 public:
  Run(FuzzedDataProvider& input, FuzzedModule& device, std::uint16_t input_report_length)
      : in_(input), device_(device), input_report_length_(input_report_length) {}

  std::int16_t i16() { return in_.ConsumeIntegral<std::int16_t>(); }
  std::int32_t i32() { return in_.ConsumeIntegral<std::int32_t>(); }
  std::uint8_t u8() { return in_.ConsumeIntegral<std::uint8_t>(); }
  // A small count often, any 16-bit value sometimes.
  std::int16_t count() {
    return in_.ConsumeBool() ? static_cast<std::int16_t>(in_.ConsumeIntegralInRange<int>(-2, 130))
                             : i16();
  }
  ByteArray array() {
    ByteArray bytes(in_.ConsumeIntegralInRange<std::size_t>(0, kLongestArray));
    const std::uint8_t seed = u8();
    for (std::size_t i = 0; i < bytes.size(); ++i)
      bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    return bytes;
  }
  std::string version() {
    switch (in_.ConsumeIntegralInRange<int>(0, 3)) {
      case 0:
        return "1.0.10";
      case 1:
        return "2.0.19";
      case 2:
        return "";
      default:
        return in_.ConsumeRandomLengthString(12);
    }
  }

  void call(cls_GPIO_DLL& dll);
  std::string firmware;  // the thread's version text, as the last identification left it

 private:
  void call_method(cls_GPIO_DLL& dll, int method);
  bool talks() const { return band_of(firmware) != Band::None; }

  FuzzedDataProvider& in_;
  FuzzedModule& device_;
  std::uint16_t input_report_length_;
};

void Run::call(cls_GPIO_DLL& dll) {
  const int method = in_.ConsumeIntegralInRange<int>(0, 27);  // not the debug window
  try {
    call_method(dll, method);
  } catch (const AutomationError& e) {
    // A byte value that comes out negative; nothing else raises.
    require(e.number() == kOverflow, "only overflow raised");
  }
}

void Run::call_method(cls_GPIO_DLL& dll, int method) {
  const Band band = band_of(firmware);
  const bool old = band == Band::Old;
  auto same = [](const auto& before, const auto& after, const char* what) {
    require(before == after, what);
  };
  switch (method) {
    case 0: {
      std::int32_t code = i32();
      const auto kept = code;
      require(!dll.Check_DllErrorCode(code).empty(), "every code has a message");
      same(kept, code, "Check_DllErrorCode leaves lcode");
      break;
    }
    case 1: {
      std::string fw = version();
      const auto kept = fw;
      ByteArray eeprom = array();
      check_result(dll.GPIO_FW_EEP_Read(fw, eeprom), band_of(fw));
      same(kept, fw, "EEPROM read leaves DevFWver");
      require(eeprom.size() == 2 || eeprom.size() == kEepromBytes, "EEPROM image of 2 or 8192");
      break;
    }
    case 2: {
      std::string fw = version();
      const auto kept = fw;
      ByteArray eeprom = in_.ConsumeBool() ? ByteArray(kEepromBytes, u8()) : array();
      const auto image = eeprom;
      check_result(dll.GPIO_FW_EEP_Write(fw, eeprom), band_of(fw));
      same(kept, fw, "EEPROM write leaves DevFWver");
      same(image, eeprom, "EEPROM write leaves the image");
      break;
    }
    case 3:
    case 12: {
      std::int16_t cmd = i16(), n = count(), target = i16();
      const auto kept_cmd = cmd, kept_target = target;
      ByteArray data = array();
      const auto r = method == 3 ? dll.GPIO_ReadI2CBlock(cmd, data, n, target)
                                 : dll.GPIO_ReadSMBusBlock(cmd, data, n, target);
      check_result(r, band);
      same(kept_cmd, cmd, "block read leaves iCmd");
      same(kept_target, target, "block read leaves nTargetID");
      if (r == OK) {
        const int limit = method == 3 ? (old ? 62 : 60) : (old ? 60 : 120);
        require(n > 0 && n <= limit, "a block read count within the limit");
        require(data.size() == static_cast<std::size_t>(n), "as many bytes as the count says");
      }
      break;
    }
    case 4:
    case 8: {
      std::int16_t cmd = i16(), n = count(), target = i16();
      const auto kept_cmd = cmd, kept_target = target;
      ByteArray data = array();
      const auto kept_data = data;
      const auto r = method == 4 ? dll.GPIO_WriteI2CBlock(cmd, data, n, target)
                                 : dll.GPIO_WriteSMBusBlock(cmd, data, n, target);
      check_result(r, band);
      same(kept_cmd, cmd, "block write leaves iCmd");
      same(kept_target, target, "block write leaves nTargetID");
      same(kept_data, data, "block write leaves DataArray");
      break;
    }
    case 5: {
      std::int32_t d = i32();
      std::int16_t target = i16();
      const auto kd = d;
      const auto kt = target;
      check_result(dll.GPIO_SendSMBusByte(d, target), band);
      same(kd, d, "send byte leaves DataL");
      same(kt, target, "send byte leaves nTargetID");
      break;
    }
    case 6:
    case 7: {
      std::int16_t cmd = i16(), target = i16();
      std::int32_t high = i32(), low = i32();
      const auto kc = cmd, kt = target;
      const auto kh = high, kl = low;
      check_result(method == 6 ? dll.GPIO_WriteSMBusByte(cmd, low, target)
                               : dll.GPIO_WriteSMBusWord(cmd, high, low, target),
                   band);
      same(kc, cmd, "write leaves iCmd");
      same(kt, target, "write leaves nTargetID");
      same(kh, high, "write leaves DataH");
      same(kl, low, "write leaves DataL");
      break;
    }
    case 9:
    case 10:
    case 11: {
      std::int16_t cmd = i16(), target = i16();
      std::int32_t high = i32(), low = i32();
      const auto kc = cmd, kt = target;
      const auto kh = high, kl = low;
      const auto r = method == 9    ? dll.GPIO_ReceiveSMBusByte(low, target)
                     : method == 10 ? dll.GPIO_ReadSMBusByte(cmd, low, target)
                                    : dll.GPIO_ReadSMBusWord(cmd, high, low, target);
      check_result(r, band);
      same(kc, cmd, "read leaves iCmd");
      same(kt, target, "read leaves nTargetID");
      if (!talks()) {
        same(kl, low, "a refused read leaves its output");
      } else if (r == OK) {
        // Only the word read writes DataH; the byte reads keep the caller's (checked below).
        require(low >= 0 && low <= 255 && (method != 11 || (high >= 0 && high <= 255)),
                "read data are bytes");
      } else {
        require(low == 0 && (method != 11 || high == 0), "a failed read leaves 0");
      }
      if (method != 11) same(kh, high, "byte reads leave DataH");
      break;
    }
    case 13:
      check_result(dll.GPIO_Test(), band);
      break;
    case 14: {
      std::int16_t cmd = i16(), target = i16();
      std::int32_t wh = i32(), wl = i32(), rh = i32(), rl = i32();
      const auto kc = cmd, kt = target;
      const auto kwh = wh, kwl = wl;
      const auto r = dll.GPIO_ProcessCall(cmd, wh, wl, rh, rl, target);
      check_result(r, band);
      same(kc, cmd, "process call leaves iCmd");
      same(kt, target, "process call leaves nTargetID");
      same(kwh, wh, "process call leaves wDataH");
      same(kwl, wl, "process call leaves wDataL");
      if (talks() && r == OK) require(rh >= 0 && rh <= 255 && rl >= 0 && rl <= 255, "bytes read");
      if (talks() && r != OK) require(rh == 0 && rl == 0, "a failed process call leaves 0");
      break;
    }
    case 15:
    case 19:
    case 20:
    case 21:
    case 22:
    case 23: {
      std::uint8_t a = u8(), b = u8(), c = u8();
      const auto ka = a, kb = b, kc = c;
      std::int32_t r = 0;
      bool writes_b = false;
      switch (method) {
        case 15:
          r = dll.GPIO_ReadWriteP0Line(a, b);
          writes_b = true;
          break;
        case 19:
          r = dll.GPIO_GetP0Line(b);
          writes_b = true;
          break;
        case 20:
          r = dll.GPIO_SetP0Line(b);
          break;
        case 21:
          r = dll.GPIO_GetPMBusLine(b);
          writes_b = true;
          break;
        case 22:
          r = dll.GPIO_SetPMBusLine(b);
          break;
        default:
          r = dll.GPIO_SetP1Line(a, b, c);
      }
      check_result(r, band);
      same(ka, a, "line operations leave DataA");
      same(kc, c, "line operations leave DataC");
      if (!writes_b) same(kb, b, "set operations leave DataB");
      break;
    }
    case 16:
    case 17: {
      std::int16_t cmd = i16(), nw = count(), nr = count(), target = i16();
      const auto kc = cmd, kt = target, knw = nw;
      ByteArray w = array(), rd = array();
      const auto kw = w;
      const auto kept_nr = nr;
      const auto r = method == 16 ? dll.GPIO_WriteReadI2CBlock(cmd, w, rd, nw, nr, target)
                                  : dll.GPIO_WriteReadSMBusBlock(cmd, w, rd, nw, nr, target);
      check_result(r, band);
      same(kc, cmd, "write-read leaves iCmd");
      same(kt, target, "write-read leaves nTargetID");
      same(kw, w, "write-read leaves DataArrayW");
      if (method == 16) same(knw, nw, "I2C write-read leaves iNumBytesWr");
      if (r == OK) {
        require(nr >= 0 && nr <= 60, "a read count within one segment");
        if (method == 16) same(kept_nr, nr, "I2C write-read leaves iNumBytesRd");
        require(rd.size() == static_cast<std::size_t>(nr), "as many bytes as the count says");
      }
      break;
    }
    case 18:
      check_result(dll.GPIO_CheckSdaSclLine(), band);
      break;
    case 24: {
      std::string fw = in_.ConsumeRandomLengthString(8), vid = fw, pid = fw;
      const auto r = dll.GPIO_FW_VER_Read(fw, vid, pid);
      check_result(r, Band::None);
      firmware = fw;
      if (r == OK) require(vid.size() == 4 && pid.size() == 4, "identifiers as four hex digits");
      break;
    }
    case 25: {
      ByteArray w = array(), rd = array();
      const auto r = dll.GPIO_DMA(w, rd);
      check_result(r, Band::None);
      if (r == OK) {
        require(w.size() == 64, "the request goes out as 64 bytes");
        // The bytes that came after the identifier (a report may come short, never long), or
        // the failure answer.
        const std::size_t answer = input_report_length_ == 0 ? 0 : input_report_length_ - 1u;
        require(rd.size() <= answer || rd.size() == 2,
                "the answer received, or the failure answer");
      }
      break;
    }
    case 26:
      require(dll.GPIO_ShutdownDLL().is_empty(), "shutdown returns nothing");
      break;
    default:
      // Any number: the system's text, or an empty text for one it does not know.
      dll.GetErrString(i32());
  }
  (void)device_;
}

}  // namespace
}  // namespace gpio_dll::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace gpio_dll;
  FuzzedDataProvider input(data, size);
  sim::ModuleConfig config;
  config.firmware_version = input.ConsumeBool() ? "1.0.10" : "2.0.19";
  // Mostly around the module's 65 bytes, one time in eight anything up to 65535.
  auto report_length = [&] {
    return input.ConsumeIntegralInRange<int>(0, 7) == 0
               ? input.ConsumeIntegral<std::uint16_t>()
               : input.ConsumeIntegralInRange<std::uint16_t>(0, 80);
  };
  config.input_report_length = report_length();
  config.output_report_length = report_length();
  config.retry_answers = input.ConsumeIntegralInRange<int>(0, 3);
  auto platform = std::make_shared<SimulatedPlatform>();
  platform->set_recording(false);
  auto module = std::make_shared<sim::SimulatedModule>(config);
  module->set_recording(false);
  auto device = std::make_shared<fuzz::FuzzedModule>(module, input);
  platform->add_device(device);
  platform::use_simulated(platform);

  fuzz::on_fresh_thread([&] {
    cls_GPIO_DLL dll;
    fuzz::Run run(input, *device, config.input_report_length);
    device->honest = input.ConsumeBool();
    std::string vid, pid;
    fuzz::check_result(dll.GPIO_FW_VER_Read(run.firmware, vid, pid), fuzz::Band::None);
    device->honest = false;
    for (int i = 0; i < fuzz::kCallsPerInput && input.remaining_bytes() > 0; ++i)
      run.call(dll);

    // Honest answers again: the next calls must work, without a hang and without a new start.
    device->honest = true;
    const bool full_reports = config.input_report_length >= 65 && config.output_report_length >= 65;
    std::uint8_t lines = 0;
    const auto next = dll.GPIO_GetP0Line(lines);
    fuzz::check_result(next, fuzz::band_of(run.firmware));
    std::string fw;
    const auto again = dll.GPIO_FW_VER_Read(fw, vid, pid);
    if (full_reports) {
      fuzz::require(again == OK && fw == config.firmware_version, "identification recovers");
      fuzz::require(dll.GPIO_GetP0Line(lines) == OK, "the module serves calls again");
    }
  });
  platform::use_system();
  return 0;
}
