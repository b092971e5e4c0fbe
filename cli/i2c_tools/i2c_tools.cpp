#include "i2c_tools.hpp"

#include <array>

namespace gpio_dll::cli::i2c_tools {

namespace {

struct Entry {
  const char* name;
  int (*run)(Tool& tool, const Args& args);
};

constexpr std::array<Entry, 5> kCommands = {{
    {"i2cdetect", run_i2cdetect},
    {"i2cget", run_i2cget},
    {"i2cset", run_i2cset},
    {"i2cdump", run_i2cdump},
    {"i2ctransfer", run_i2ctransfer},
}};

}  // namespace

bool is_command(const std::string& name) {
  for (const auto& c : kCommands)
    if (name == c.name) return true;
  return false;
}

int run(const std::string& name, Tool& tool, const Args& args) {
  for (const auto& c : kCommands)
    if (name == c.name) return c.run(tool, args);
  return kExitUsage;
}

}  // namespace gpio_dll::cli::i2c_tools
