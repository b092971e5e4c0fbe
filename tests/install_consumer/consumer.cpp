#include <gpio_dll/gpio_dll.hpp>

#include <iostream>

int main() {
  gpio_dll::cls_GPIO_DLL dll;
  std::int32_t code = 305;
  std::cout << dll.Check_DllErrorCode(code) << "\n";
  return dll.Check_DllErrorCode(code) == "Unknown GPIO Error. <305>" ? 0 : 1;
}
