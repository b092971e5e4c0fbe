// lines, check-bus, bus-test and dma: the module's own lines and the raw pass-through.
#include "commands.hpp"
#include "confirm.hpp"

namespace gpio_dll::cli {

namespace {

std::uint8_t line_byte(const std::string& word) {
  return static_cast<std::uint8_t>(parse_number(word, 0, 255, "line value"));
}

}  // namespace

int run_lines(Tool& tool, Args& args) {
  if (args.size() < 2) throw UsageError{"usage: gpio-dll lines get|set p0|p1|pmbus [VALUE...]"};
  const std::string op = args[0], port = args[1];
  auto& dll = tool.dll();
  const std::string name = "lines " + op + " " + port;
  tool.set_command(name);
  if (op == "get") {
    expect_count(args, 2, "gpio-dll lines get p0|pmbus");
    if (port != "p0" && port != "pmbus")
      throw UsageError{port == "p1" ? "the P1 lines can only be set" : "unknown port " + port};
    int status = kExitOk;
    if (!tool.identify(status)) return status;
    std::uint8_t value = 0;
    const std::int32_t r = port == "p0" ? dll.GPIO_GetP0Line(value) : dll.GPIO_GetPMBusLine(value);
    return tool.finish(name, r, read_fields(tool, r, Json::object(), "value", value), hex2(value));
  }
  if (op != "set") throw UsageError{"unknown lines operation " + op};
  const auto ask = [&] { return confirm(tool, "set the module's lines (" + name + ")"); };
  if (port == "p1") {
    expect_count(args, 5, "gpio-dll lines set p1 A B C");
    std::uint8_t a = line_byte(args[2]), b = line_byte(args[3]), c = line_byte(args[4]);
    if (!ask()) return declined(tool, name);
    int status = kExitOk;
    if (!tool.identify(status)) return status;
    return tool.finish(name, dll.GPIO_SetP1Line(a, b, c), Json::object(), "");
  }
  if (port != "p0" && port != "pmbus") throw UsageError{"unknown port " + port};
  expect_count(args, 3, "gpio-dll lines set " + port + " VALUE");
  std::uint8_t value = line_byte(args[2]);
  if (!ask()) return declined(tool, name);
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

int run_dma(Tool& tool, Args& args) {
  expect_count(args, 1, "gpio-dll dma HEX");
  ByteArray request = parse_hex(args[0], "HEX");
  if (request.size() > 64)
    throw UsageError{"HEX: " + std::to_string(request.size()) + " bytes, a request holds 64"};
  // The request goes through unexamined: it may write anything the module can.
  if (!confirm(tool, "pass a raw request to the module (dma)")) return declined(tool, "dma");
  int status = kExitOk;
  if (!tool.identify(status)) return status;
  ByteArray answer;
  const std::int32_t r = tool.dll().GPIO_DMA(request, answer);
  return tool.finish("dma", r, read_fields(tool, r, Json::object(), "answer", bytes_to_hex(answer)),
                     format_bytes(answer));
}

}  // namespace gpio_dll::cli
