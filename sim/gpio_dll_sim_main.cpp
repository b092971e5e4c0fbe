// gpio-dll-sim: serves the simulated module as a hidraw device.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "device_server/hidraw_server.hpp"

namespace {

constexpr const char* kUsage =
    "Usage: gpio-dll-sim serve [--fw FW] [--serial SN] [--modules N] [--mount DIR] [--retries N]\n"
    "                          [--verbose]\n"
    "\n"
    "Serves the simulated module (firmware FW, 2.0.19 by default; a smart battery at 0x0B and\n"
    "an I2C EEPROM at 0x50 on its bus) as DIR/dev/hidraw0, with a sysfs-like tree at\n"
    "DIR/sys/class/hidraw, until SIGTERM or SIGINT. DIR defaults to a new folder under /tmp.\n"
    "The module's serial number (HID unique id) is SN, SIM0001 by default.\n"
    "With --modules N (1 to 64) it serves N such modules as DIR/dev/hidraw0..hidrawN-1, each\n"
    "with its own state; their serial numbers are SN-1..SN-N, or SIM0001..SIM000N without\n"
    "--serial. DIR/control is module 0's; with N > 1, DIR/control-hidrawK is module K's.\n"
    "Point gpio-dll at it with --device DIR/dev/hidraw0, or bind the two over /dev/hidraw0 and\n"
    "/sys/class/hidraw. Faults: write 'silent', 'answer', 'silent-after N', 'fail N STATUS',\n"
    "'stuck SDA SCL' or 'wrong-pec 0|1' to DIR/control; battery registers: 'word REG VALUE',\n"
    "'block REG HEX'; node faults: 'open-error ERRNO', 'descriptor-size N',\n"
    "'descriptor-length N', 'report-length N', 'kernel' (none).\n";

// The K-th (from 1) of several modules: SN-K, or SIM000K (SIM0001, ..., SIM0064) without SN.
std::string serial_number_of(int k, const std::string& given) {
  if (!given.empty()) return given + "-" + std::to_string(k);
  char text[16];
  std::snprintf(text, sizeof text, "SIM%04d", k);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "-h" || args[0] == "--help") {
    std::cout << kUsage;
    return args.empty() ? 1 : 0;
  }
  if (args[0] == "--version") {
    std::cout << "gpio-dll-sim 1.0.0\n";
    return 0;
  }
  if (args[0] != "serve") {
    std::cerr << "gpio-dll-sim: unknown command " << args[0] << " (see --help)\n";
    return 1;
  }
  gpio_dll::sim::ModuleConfig config;
  gpio_dll::sim::ServeOptions options;
  int modules = 1;
  bool serial_given = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) throw std::invalid_argument(args[i] + " needs a value");
      return args[++i];
    };
    try {
      if (args[i] == "--fw")
        config.firmware_version = value();
      else if (args[i] == "--serial") {
        config.serial_number = value();
        serial_given = true;
      } else if (args[i] == "--modules") {
        const std::string text = value();
        std::size_t used = 0;
        modules = std::stoi(text, &used);
        if (used != text.size() || modules < 1 || modules > 64)
          throw std::invalid_argument("--modules needs a number from 1 to 64");
      } else if (args[i] == "--mount")
        options.mount_dir = value();
      else if (args[i] == "--retries")
        config.retry_answers = std::stoi(value());
      else if (args[i] == "--verbose")
        options.verbose = true;
      else if (args[i] == "-h" || args[i] == "--help") {
        std::cout << kUsage;
        return 0;
      } else
        throw std::invalid_argument("unknown option " + args[i]);
    } catch (const std::exception& e) {
      std::cerr << "gpio-dll-sim: " << e.what() << "\n";
      return 1;
    }
  }
  std::vector<std::shared_ptr<gpio_dll::sim::SimulatedModule>> served;
  try {
    for (int k = 1; k <= modules; ++k) {
      gpio_dll::sim::ModuleConfig own = config;
      if (modules > 1)
        own.serial_number = serial_number_of(k, serial_given ? config.serial_number : "");
      served.push_back(std::make_shared<gpio_dll::sim::SimulatedModule>(own));
    }
  } catch (const std::invalid_argument& e) {
    std::cerr << "gpio-dll-sim: " << e.what() << "\n";
    return 1;
  }
  return gpio_dll::sim::serve(served, options);
}
