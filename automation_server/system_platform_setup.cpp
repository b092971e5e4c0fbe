#include "platform_setup.hpp"

namespace gpio_dll::com {

// The library uses the system's HID access unless told otherwise.
void prepare_platform() {}

}  // namespace gpio_dll::com
