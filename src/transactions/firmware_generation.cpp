#include "transactions/firmware_generation.hpp"

#include "gpio_dll/error_codes.hpp"

namespace gpio_dll {

std::int32_t choose_generation(std::string_view version, Generation& generation) {
  if (version == kFirmware1_0_10) {
    generation = Generation::Fw1_0_10;
    return OK;
  }
  if (version == kFirmware2_0_19) {
    generation = Generation::Fw2_0_19;
    return OK;
  }
  return version.empty() ? NO_DEV_DETECTED : UNSUPPORTED_GPIO_FW_VER;
}

}  // namespace gpio_dll
