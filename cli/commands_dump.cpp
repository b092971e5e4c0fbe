// dump: a device's registers in i2cdump's layout.
#include <iostream>

#include "commands.hpp"
#include "hex_table.hpp"

namespace gpio_dll::cli {

namespace {

// A result that means only that this register did not answer; anything else stops the dump.
bool register_failed(std::int32_t r) {
  return r >= kStatusBandOldFirmware && r < kStatusBandNewFirmware + 256;
}

}  // namespace

int run_dump(Tool& tool, Args& args) {
  const char* usage = "usage: gpio-dll dump [-w] [--pec] ADDRESS [FIRST [LAST]] [b|w|p]";
  bool words = tool.options().word_mode;
  bool pec = tool.options().pec;
  if (!args.empty() && (args.back() == "b" || args.back() == "w" || args.back() == "p")) {
    words = words || args.back() == "w";
    pec = pec || args.back() == "p";
    args.pop_back();
  }
  if (args.empty() || args.size() > 3) throw UsageError{usage};
  if (words && pec) throw UsageError{"packet error checking is for byte mode only"};
  std::int16_t target = parse_target(args[0], pec);
  const int first = args.size() > 1 ? static_cast<int>(parse_number(args[1], 0, 255, "FIRST")) : 0;
  const int last = args.size() > 2 ? static_cast<int>(parse_number(args[2], 0, 255, "LAST")) : 0xFF;
  if (first > last) throw UsageError{"FIRST " + args[1] + " is above LAST " + args[2]};
  int status = kExitOk;
  if (!tool.identify(status)) return status;
  auto& dll = tool.dll();

  std::vector<std::optional<std::uint8_t>> bytes;
  std::vector<std::optional<std::uint16_t>> word_cells;
  Json values = Json::array();
  for (int reg = first; reg <= last; ++reg) {
    std::int16_t cmd = static_cast<std::int16_t>(reg);
    std::int32_t r = OK;
    std::int32_t value = 0;
    if (words) {
      std::int32_t high = 0, low = 0;
      r = dll.GPIO_ReadSMBusWord(cmd, high, low, target);
      value = high << 8 | low;
    } else {
      r = dll.GPIO_ReadSMBusByte(cmd, value, target);
    }
    if (r != OK && !register_failed(r))
      return tool.finish("dump", r, Json{{"address", target >> 1}, {"register", reg}}, "");
    values.push_back(r == OK ? Json(value) : Json(nullptr));
    if (words)
      word_cells.push_back(r == OK ? std::optional<std::uint16_t>(value) : std::nullopt);
    else
      bytes.push_back(r == OK ? std::optional<std::uint8_t>(value) : std::nullopt);
  }
  const Json fields = {
      {"address", target >> 1}, {"mode", words ? "word" : "byte"}, {"pec", pec}, {"first", first},
      {"last", last},           {"values", std::move(values)}};
  const std::string text = words ? word_table(word_cells, static_cast<std::uint32_t>(first))
                                 : byte_table(bytes, static_cast<std::uint32_t>(first), 2);
  return tool.finish("dump", OK, fields, text);
}

}  // namespace gpio_dll::cli
