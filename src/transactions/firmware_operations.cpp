#include "transactions/firmware_operations.hpp"

#include "base/module_state.hpp"
#include "gpio_dll/error_codes.hpp"

namespace gpio_dll {

namespace transactions {
const FirmwareOperations& firmware_1_0_10();
const FirmwareOperations& firmware_2_0_19();
}  // namespace transactions

const FirmwareOperations& firmware_operations(Generation generation) {
  return generation == Generation::Fw1_0_10 ? transactions::firmware_1_0_10()
                                            : transactions::firmware_2_0_19();
}

std::int32_t check_sda_scl_line(ModuleState& s) {
  Generation generation;
  if (const std::int32_t refused = choose_generation(s.firmware_version, generation); refused != OK)
    return refused;
  std::uint8_t lines = 0;
  if (const std::int32_t r = firmware_operations(generation).GetP0Line(s, lines); r != OK) return r;
  // P0 bit 0 is SDA, bit 1 is SCL; a 0 bit is a line held low.
  const bool sda_low = (lines & 0x01) == 0;
  const bool scl_low = (lines & 0x02) == 0;
  if (sda_low && scl_low) return GPIO_SDA_SCL_LOW;
  if (scl_low) return GPIO_SCL_LOW;
  if (sda_low) return GPIO_SDA_LOW;
  return OK;
}

}  // namespace gpio_dll
