// HID device descriptions shared by the platform backends and simulated devices.
#pragma once

#include <cstdint>

#include "gpio_dll/language_standard.hpp"

#ifndef GPIO_DLL_STANDARD_TOO_OLD

namespace gpio_dll {

struct HidAttributes {
  std::uint16_t vendor_id = 0;
  std::uint16_t product_id = 0;
  std::uint16_t version_number = 0;
};

// Report lengths count the report identifier byte, as the HID class driver reports them: a
// device with 64-byte unnumbered reports has lengths of 65.
struct HidCapabilities {
  std::uint16_t usage = 0;
  std::uint16_t usage_page = 0;
  std::uint16_t input_report_byte_length = 0;
  std::uint16_t output_report_byte_length = 0;
  std::uint16_t feature_report_byte_length = 0;
  std::uint16_t number_link_collection_nodes = 0;
  std::uint16_t number_input_button_caps = 0;
  std::uint16_t number_input_value_caps = 0;
  std::uint16_t number_input_data_indices = 0;
  std::uint16_t number_output_button_caps = 0;
  std::uint16_t number_output_value_caps = 0;
  std::uint16_t number_output_data_indices = 0;
  std::uint16_t number_feature_button_caps = 0;
  std::uint16_t number_feature_value_caps = 0;
  std::uint16_t number_feature_data_indices = 0;
};

// The module's identifiers.
inline constexpr std::uint16_t kModuleVendorId = 0x0451;
inline constexpr std::uint16_t kModuleProductId = 0x5F00;

}  // namespace gpio_dll

#endif  // GPIO_DLL_STANDARD_TOO_OLD
