// The test build of the server runs against the simulated module, firmware "2.0.19", with its
// smart battery and I2C EEPROM, so that clients under wine have a module to talk to.
#include "platform_setup.hpp"
#include "simulated_module.hpp"

namespace gpio_dll::com {

void prepare_platform() {
  sim::install_simulated_module();
}

}  // namespace gpio_dll::com
