#include <gpio_dll/gpio_dll.hpp>

#include <iostream>

// Built with -DEXPECTED_CPLUSPLUS=N, fails to compile when the build flags lowered the language
// standard below N.
#ifdef EXPECTED_CPLUSPLUS
static_assert(__cplusplus >= EXPECTED_CPLUSPLUS, "the library's build flags changed the standard");
#endif

int main() {
  gpio_dll::cls_GPIO_DLL dll;
  std::int32_t code = 305;
  std::cout << dll.Check_DllErrorCode(code) << "\n";
  return dll.Check_DllErrorCode(code) == "Unknown GPIO Error. <305>" ? 0 : 1;
}
