/* A developer's program built against the installed C header and import library, run against the
 * installed gpio_dll.dll: a result code's message, from the library. */
#include <gpio_dll/gpio_dll.h>
#include <stdio.h>

int main(void) {
  int32_t code = 131;
  char message[256];
  size_t size = sizeof message;
  const int32_t status = gpio_dll_Check_DllErrorCode(&code, message, &size);
  if (status != GPIO_DLL_C_OK || size < 2) {
    printf("Check_DllErrorCode(131): status %d, message size %u\n", (int)status, (unsigned)size);
    return 1;
  }
  printf("Check_DllErrorCode(131): %s\n", message);
  return 0;
}
