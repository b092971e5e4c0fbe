// lines, check-bus, bus-test, eeprom and dma: the module's own lines and memory.
#include <unistd.h>

#include <fstream>
#include <iostream>
#include <iterator>

#include "base/module_state.hpp"
#include "commands.hpp"
#include "diagnostics/form1.hpp"

namespace gpio_dll::cli {

namespace {

constexpr std::size_t kEepromBytes = 8192;

std::uint8_t line_byte(const std::string& word) {
  return static_cast<std::uint8_t>(parse_number(word, 0, 255, "line value"));
}

// Shows the transfer's progress on standard error while it runs, when that is a terminal.
class ProgressBar {
 public:
  ProgressBar() : shown_(isatty(STDERR_FILENO) != 0) {
    if (!shown_) return;
    diagnostics::debug_window(ModuleState::current())
        .set_repaint_observer([](const diagnostics::Form1& w) {
          const auto& bar = w.ProgressBar1;
          if (bar.max <= bar.min) return;
          const int width = 40;
          const int filled = (bar.value - bar.min) * width / (bar.max - bar.min);
          std::cerr << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
                    << std::string(static_cast<std::size_t>(width - filled), ' ') << "] "
                    << (bar.value + 32) << "/" << (bar.max + 1) << std::flush;
        });
  }
  ~ProgressBar() {
    if (!shown_) return;
    diagnostics::debug_window(ModuleState::current()).set_repaint_observer(nullptr);
    std::cerr << "\r" << std::string(60, ' ') << "\r" << std::flush;
  }

 private:
  bool shown_;
};

}  // namespace

int run_lines(Tool& tool, Args& args) {
  if (args.size() < 2) throw UsageError{"usage: gpio-dll lines get|set p0|p1|pmbus [VALUE...]"};
  const std::string op = args[0], port = args[1];
  auto& dll = tool.dll();
  const std::string name = "lines " + op + " " + port;
  if (op == "get") {
    expect_count(args, 2, "gpio-dll lines get p0|pmbus");
    if (port != "p0" && port != "pmbus")
      throw UsageError{port == "p1" ? "the P1 lines can only be set" : "unknown port " + port};
    int status = kExitOk;
    if (!tool.identify(status)) return status;
    std::uint8_t value = 0;
    const std::int32_t r = port == "p0" ? dll.GPIO_GetP0Line(value) : dll.GPIO_GetPMBusLine(value);
    return tool.finish(name, r, Json{{"value", value}}, hex2(value));
  }
  if (op != "set") throw UsageError{"unknown lines operation " + op};
  if (port == "p1") {
    expect_count(args, 5, "gpio-dll lines set p1 A B C");
    std::uint8_t a = line_byte(args[2]), b = line_byte(args[3]), c = line_byte(args[4]);
    int status = kExitOk;
    if (!tool.identify(status)) return status;
    return tool.finish(name, dll.GPIO_SetP1Line(a, b, c), Json::object(), "");
  }
  if (port != "p0" && port != "pmbus") throw UsageError{"unknown port " + port};
  expect_count(args, 3, "gpio-dll lines set " + port + " VALUE");
  std::uint8_t value = line_byte(args[2]);
  int status = kExitOk;
  if (!tool.identify(status)) return status;
  const std::int32_t r = port == "p0" ? dll.GPIO_SetP0Line(value) : dll.GPIO_SetPMBusLine(value);
  return tool.finish(name, r, Json::object(), "");
}

int run_check_bus(Tool& tool, Args& args) {
  expect_count(args, 0, "gpio-dll check-bus");
  int status = kExitOk;
  if (!tool.identify(status)) return status;
  return tool.finish("check-bus", tool.dll().GPIO_CheckSdaSclLine(), Json::object(),
                     "SDA high, SCL high");
}

int run_bus_test(Tool& tool, Args& args) {
  expect_count(args, 0, "gpio-dll bus-test");
  int status = kExitOk;
  if (!tool.identify(status)) return status;
  return tool.finish("bus-test", tool.dll().GPIO_Test(), Json::object(), "");
}

int run_eeprom(Tool& tool, Args& args) {
  expect_count(args, 2, "gpio-dll eeprom read|write FILE");
  const std::string op = args[0], file = args[1];
  if (op == "write") {
    ByteArray image;
    if (file == "-") {
      image.assign(std::istreambuf_iterator<char>(std::cin), {});
    } else {
      std::ifstream in(file, std::ios::binary);
      if (!in) throw UsageError{"cannot read " + file};
      image.assign(std::istreambuf_iterator<char>(in), {});
    }
    if (image.size() != kEepromBytes)
      throw UsageError{file + " holds " + std::to_string(image.size()) + " bytes, not 8192"};
    int status = kExitOk;
    if (!tool.identify(status)) return status;
    std::string fw = tool.firmware();
    std::int32_t r = 0;
    {
      ProgressBar progress;
      r = tool.dll().GPIO_FW_EEP_Write(fw, image);
    }
    return tool.finish("eeprom write", r, Json{{"bytes", 8192}}, "");
  }
  if (op != "read") throw UsageError{"unknown eeprom operation " + op};
  int status = kExitOk;
  if (!tool.identify(status)) return status;
  std::string fw = tool.firmware();
  ByteArray image;
  std::int32_t r = 0;
  {
    ProgressBar progress;
    r = tool.dll().GPIO_FW_EEP_Read(fw, image);
  }
  if (r == OK) {
    if (file == "-") {
      std::cout.write(reinterpret_cast<const char*>(image.data()),
                      static_cast<std::streamsize>(image.size()));
    } else {
      std::ofstream out(file, std::ios::binary);
      out.write(reinterpret_cast<const char*>(image.data()),
                static_cast<std::streamsize>(image.size()));
      if (!out) {
        tool.error("cannot write " + file);
        return kExitUsage;
      }
    }
  }
  return tool.finish("eeprom read", r, Json{{"bytes", image.size()}}, "");
}

int run_dma(Tool& tool, Args& args) {
  expect_count(args, 1, "gpio-dll dma HEX");
  ByteArray request = parse_hex(args[0], "HEX");
  if (request.size() > 64)
    throw UsageError{"HEX: " + std::to_string(request.size()) + " bytes, a request holds 64"};
  int status = kExitOk;
  if (!tool.identify(status)) return status;
  ByteArray answer;
  const std::int32_t r = tool.dll().GPIO_DMA(request, answer);
  return tool.finish("dma", r, Json{{"answer", bytes_to_hex(answer)}}, format_bytes(answer));
}

}  // namespace gpio_dll::cli
