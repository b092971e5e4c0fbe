#include <gpio_dll/debug_window.hpp>
#include <gpio_dll/gpio_dll.hpp>
#ifdef LINKED_FLTK
#include <gpio_dll/fltk_debug_window.hpp>
#endif

#include <iostream>
#include <string>

// Built with -DEXPECTED_CPLUSPLUS=N, fails to compile when the build flags lowered the language
// standard below N.
#ifdef EXPECTED_CPLUSPLUS
static_assert(__cplusplus >= EXPECTED_CPLUSPLUS, "the library's build flags changed the standard");
#endif

// With --headless-reason: prints why the debug window would run headless.
int main(int argc, char** argv) {
#ifdef LINKED_FLTK
  gpio_dll::debug_window::use_linked_fltk();
#endif
  if (argc > 1 && std::string(argv[1]) == "--headless-reason") {
    std::cout << gpio_dll::debug_window::headless_reason() << "\n";
    return 0;
  }
  gpio_dll::cls_GPIO_DLL dll;
  std::int32_t code = 305;
  std::cout << dll.Check_DllErrorCode(code) << "\n";
  return dll.Check_DllErrorCode(code) == "Unknown GPIO Error. <305>" ? 0 : 1;
}
