// battery: a smart-battery report from the standard data registers.
#include <cmath>
#include <cstdio>
#include <iostream>

#include "commands.hpp"

namespace gpio_dll::cli {

namespace {

struct Reading {
  std::int32_t result = OK;
  std::int32_t word = 0;
  std::string text;
};

struct WordField {
  const char* label;
  const char* key;
  std::uint8_t command;
  // The value for people and for JSON.
  std::string (*show)(std::int32_t word);
  double (*value)(std::int32_t word);
  int decimals;  // JSON gives the value rounded as shown
};

std::int32_t signed_word(std::int32_t word) {
  return word >= 0x8000 ? word - 0x10000 : word;
}

std::string fixed(double value, int decimals, const char* unit) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f %s", decimals, value, unit);
  return text;
}

const WordField kWords[] = {
    {"Voltage", "voltage_v", 0x09, [](std::int32_t w) { return fixed(w / 1000.0, 3, "V"); },
     [](std::int32_t w) { return w / 1000.0; }, 3},
    {"Current", "current_a", 0x0A,
     [](std::int32_t w) { return fixed(signed_word(w) / 1000.0, 3, "A"); },
     [](std::int32_t w) { return signed_word(w) / 1000.0; }, 3},
    {"Temperature", "temperature_c", 0x08,
     [](std::int32_t w) { return fixed(w / 10.0 - 273.15, 1, "degrees C"); },
     [](std::int32_t w) { return w / 10.0 - 273.15; }, 1},
    {"State of charge", "state_of_charge_pct", 0x0D,
     [](std::int32_t w) { return std::to_string(w) + " %"; },
     [](std::int32_t w) { return double(w); }, 0},
    {"Remaining capacity", "remaining_capacity_mah", 0x0F,
     [](std::int32_t w) { return std::to_string(w) + " mAh"; },
     [](std::int32_t w) { return double(w); }, 0},
    {"Full charge capacity", "full_charge_capacity_mah", 0x10,
     [](std::int32_t w) { return std::to_string(w) + " mAh"; },
     [](std::int32_t w) { return double(w); }, 0},
    {"Cycle count", "cycle_count", 0x17, [](std::int32_t w) { return std::to_string(w); },
     [](std::int32_t w) { return double(w); }, 0},
    {"Serial number", "serial_number", 0x1C, [](std::int32_t w) { return std::to_string(w); },
     [](std::int32_t w) { return double(w); }, 0},
};

struct BlockField {
  const char* label;
  const char* key;
  std::uint8_t command;
};

const BlockField kBlocks[] = {{"Manufacturer", "manufacturer", 0x20},
                              {"Device", "device", 0x21},
                              {"Chemistry", "chemistry", 0x22}};

double rounded(double value, int decimals) {
  const double scale = std::pow(10.0, decimals);
  return std::round(value * scale) / scale;
}

// A smart battery's temperature lies within -40 to 150 degrees C and its state of charge within
// 0 to 100 %. Another device (an EEPROM answers 0xffff) gives values outside: the reasons, or ""
// when the words look like a battery's.
constexpr std::uint8_t kTemperature = 0x08;
constexpr std::uint8_t kStateOfCharge = 0x0D;

std::string implausible(std::uint8_t command, std::int32_t word) {
  const double celsius = word / 10.0 - 273.15;
  if (command == kTemperature && (celsius < -40.0 || celsius > 150.0))
    return "temperature " + fixed(celsius, 1, "degrees C");
  if (command == kStateOfCharge && word > 100)
    return "state of charge " + std::to_string(word) + " %";
  return "";
}

std::string padded(const char* label) {
  std::string text = label;
  text.resize(22, ' ');
  return text;
}

}  // namespace

int run_battery(Tool& tool, Args& args) {
  const bool pec = take_pec(tool, args);
  if (args.size() > 1) throw UsageError{"usage: gpio-dll battery [ADDRESS] [--pec]"};
  std::int16_t target = parse_target(args.empty() ? "0x0b" : args[0], pec);
  int status = kExitOk;
  if (!tool.identify(status)) return status;
  auto& dll = tool.dll();

  std::string text;
  Json fields = {{"address", target >> 1}};
  Json errors = Json::object();
  bool any_error = false;
  std::int32_t first_failure = OK;
  auto failed = [&](const char* key, std::int32_t r) {
    errors[key] = tool.message(r);
    fields[key] = nullptr;
    any_error = true;
    if (first_failure == OK) first_failure = r;
    // Appended rather than "failed (" + text: GCC 12 reports a false -Wrestrict for the latter.
    std::string shown = "failed (";
    shown += tool.message(r);
    shown += ")";
    return shown;
  };

  for (const auto& b : kBlocks) {
    std::int16_t cmd = b.command;
    ByteArray block;
    std::int16_t count = 0;
    const std::int32_t r = dll.GPIO_ReadSMBusBlock(cmd, block, count, target);
    std::string value(block.begin(), block.end());
    if (r == OK) fields[b.key] = json_text(value);
    text += padded(b.label) + (r == OK ? value : failed(b.key, r)) + "\n";
  }
  std::string not_a_battery;
  for (const auto& w : kWords) {
    std::int16_t cmd = w.command;
    std::int32_t high = 0, low = 0;
    const std::int32_t r = dll.GPIO_ReadSMBusWord(cmd, high, low, target);
    const std::int32_t word = high << 8 | low;
    if (const std::string why = r == OK ? implausible(w.command, word) : ""; !why.empty())
      not_a_battery += (not_a_battery.empty() ? "" : ", ") + why;
    if (r == OK && w.decimals == 0) fields[w.key] = static_cast<std::int64_t>(w.value(word));
    if (r == OK && w.decimals > 0) fields[w.key] = rounded(w.value(word), w.decimals);
    text += padded(w.label) + (r == OK ? w.show(word) : failed(w.key, r)) + "\n";
  }
  if (!not_a_battery.empty()) {
    const std::string reason = "the device at " + hex2(static_cast<std::uint32_t>(target >> 1)) +
                               " does not answer like a smart battery (" + not_a_battery + ")";
    if (tool.options().json)
      tool.print_json({{"command", "battery"},
                       {"result", "not a smart battery"},
                       {"message", reason},
                       {"address", target >> 1}});
    tool.error(reason);
    return kExitResult;
  }
  if (any_error) fields["errors"] = std::move(errors);
  if (!tool.options().json) std::cout << text;
  // The words that could be read are shown either way; the first failure sets the status.
  return tool.finish("battery", first_failure, fields, "");
}

}  // namespace gpio_dll::cli
