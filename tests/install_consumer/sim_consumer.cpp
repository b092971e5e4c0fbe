// Runs the installed library against the installed simulated module. Fails when the simulated
// module was installed into another copy of the library than the one the program calls.
#include <gpio_dll/gpio_dll.hpp>
#include <gpio_dll/sim/simulated_module.hpp>

#include <iostream>

int main() {
  auto setup = gpio_dll::sim::install_simulated_module({.firmware_version = "1.0.10"});
  setup.module->battery().set_word(0x0D, 42);

  gpio_dll::cls_GPIO_DLL dll;
  std::string fw, vendor, product;
  std::int32_t result = dll.GPIO_FW_VER_Read(fw, vendor, product);
  if (result != gpio_dll::OK || fw != "1.0.10") {
    std::cerr << "identify: " << dll.Check_DllErrorCode(result) << " firmware '" << fw << "'\n";
    return 1;
  }
  std::int16_t cmd = 0x0D, target = 0x16;
  std::int32_t high = 0, low = 0;
  result = dll.GPIO_ReadSMBusWord(cmd, high, low, target);
  if (result != gpio_dll::OK || high * 256 + low != 42) {
    std::cerr << "read word: " << dll.Check_DllErrorCode(result) << " " << high * 256 + low << "\n";
    return 1;
  }
  setup.module->set_lines_stuck(true, false);  // SDA held low
  if (dll.GPIO_CheckSdaSclLine() == gpio_dll::OK) {
    std::cerr << "check lines: OK with SDA held low\n";
    return 1;
  }
  std::cout << "simulated module: firmware " << fw << ", charge 42 %, SDA held low seen\n";
  return 0;
}
