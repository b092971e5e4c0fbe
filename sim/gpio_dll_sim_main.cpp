// gpio-dll-sim: serves the simulated module as a hidraw device.
#include <iostream>
#include <string>
#include <vector>

#include "device_server/hidraw_server.hpp"

namespace {

constexpr const char* kUsage =
    "Usage: gpio-dll-sim serve [--fw FW] [--serial SN] [--mount DIR] [--retries N] [--verbose]\n"
    "\n"
    "Serves the simulated module (firmware FW, 2.0.19 by default; a smart battery at 0x0B and\n"
    "an I2C EEPROM at 0x50 on its bus) as DIR/dev/hidraw0, with a sysfs-like tree at\n"
    "DIR/sys/class/hidraw, until SIGTERM or SIGINT. DIR defaults to a new folder under /tmp.\n"
    "The module's serial number (HID unique id) is SN, SIM0001 by default.\n"
    "Point gpio-dll at it with --device DIR/dev/hidraw0, or bind the two over /dev/hidraw0 and\n"
    "/sys/class/hidraw. Faults: write 'silent', 'answer', 'silent-after N', 'fail N STATUS',\n"
    "'stuck SDA SCL' or 'wrong-pec 0|1' to DIR/control; battery registers: 'word REG VALUE',\n"
    "'block REG HEX'; node faults: 'open-error ERRNO', 'descriptor-size N',\n"
    "'descriptor-length N', 'report-length N', 'kernel' (none).\n";

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
  for (std::size_t i = 1; i < args.size(); ++i) {
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) throw std::invalid_argument(args[i] + " needs a value");
      return args[++i];
    };
    try {
      if (args[i] == "--fw")
        config.firmware_version = value();
      else if (args[i] == "--serial")
        config.serial_number = value();
      else if (args[i] == "--mount")
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
  if (options.mount_dir.empty()) {
    char pattern[] = "/tmp/gpio-dll-sim.XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
      std::cerr << "gpio-dll-sim: cannot make a mount folder under /tmp\n";
      return 1;
    }
    options.mount_dir = pattern;
  }
  std::shared_ptr<gpio_dll::sim::SimulatedModule> module;
  try {
    module = std::make_shared<gpio_dll::sim::SimulatedModule>(config);
  } catch (const std::invalid_argument& e) {
    std::cerr << "gpio-dll-sim: " << e.what() << "\n";
    return 1;
  }
  return gpio_dll::sim::serve(module, options);
}
