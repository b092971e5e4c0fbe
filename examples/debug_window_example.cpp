// A client program with the debug window: it identifies the module, opens the access gate, and
// reads the battery's state of charge every second until the windows are closed. The digest
// the gate asks for is the SMBus PEC byte that completes its 16-digit challenge.
//
//   debug_window_example            the first module found through hidraw
//   debug_window_example --sim      the built-in simulated module
//
// It links the library statically, and with it the FLTK front end where the build has one.
#include <gpio_dll/gpio_dll.hpp>
#ifdef GPIO_DLL_EXAMPLE_LINKED_FLTK
#include <gpio_dll/fltk_debug_window.hpp>
#endif

#include <chrono>
#include <cstring>
#include <iostream>
#include <thread>

#include "simulated_module.hpp"

int main(int argc, char** argv) {
#ifdef GPIO_DLL_EXAMPLE_LINKED_FLTK
  gpio_dll::debug_window::use_linked_fltk();
#endif
  if (argc > 1 && std::strcmp(argv[1], "--sim") == 0) gpio_dll::sim::install_simulated_module();
  gpio_dll::cls_GPIO_DLL dll;
  std::string fw, vendor, product;
  std::int32_t result = dll.GPIO_FW_VER_Read(fw, vendor, product);
  std::cout << "identify: " << dll.Check_DllErrorCode(result) << " firmware " << fw << "\n";
  if (!gpio_dll::debug_window::on_display()) {
    std::cerr << "the debug window runs headless: " << gpio_dll::debug_window::headless_reason()
              << "\n";
    return 1;
  }
  std::string none;
  dll.ShowDbg(none);
  while (gpio_dll::debug_window::open()) {
    std::int16_t cmd = 0x0D, target = 0x16;
    std::int32_t high = 0, low = 0;
    result = dll.GPIO_ReadSMBusWord(cmd, high, low, target);
    std::cout << "state of charge: "
              << (result == gpio_dll::OK ? std::to_string(high * 256 + low) + " %"
                                         : dll.Check_DllErrorCode(result))
              << "\n";
    std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  return 0;
}
