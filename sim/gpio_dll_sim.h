/* The simulated module from C: part of the gpio_dll_sim library (libgpio_dll_sim.so), installed as
 * <gpio_dll/sim/gpio_dll_sim.h>. */
#ifndef GPIO_DLL_SIM_GPIO_DLL_SIM_H
#define GPIO_DLL_SIM_GPIO_DLL_SIM_H

#include <stdint.h>

#include "gpio_dll/gpio_dll.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Makes a simulated platform with one simulated module the component's platform (process-wide,
 * taken up at each thread's next discovery). `firmware` is the version the module reports, such
 * as "2.0.19" or "1.0.10"; NULL means "2.0.19". Returns GPIO_DLL_C_OK, GPIO_DLL_C_INVALID_ARGUMENT
 * for a text that is not three numbers joined by ".", or GPIO_DLL_C_INTERNAL_ERROR. */
int32_t gpio_dll_sim_install(const char *firmware);

/* How many requests (output reports) the module that gpio_dll_sim_install installed last has
 * received; -1 before the first install. */
int64_t gpio_dll_sim_request_count(void);

/* Another user (another process) takes the lock of the module that gpio_dll_sim_install
 * installed last and holds it for `for_ms` of the platform's virtual time, which a wait for it
 * advances. Returns GPIO_DLL_C_OK, or GPIO_DLL_C_INVALID_ARGUMENT before the first install. */
int32_t gpio_dll_sim_hold_lock_elsewhere(uint64_t for_ms);

#ifdef __cplusplus
}
#endif

#endif /* GPIO_DLL_SIM_GPIO_DLL_SIM_H */
