// Report lengths from a HID report descriptor, the way the Windows HID class driver reports
// them: the longest report of each kind plus one byte for the report identifier (which is there
// even when the device does not number its reports). A device with unnumbered 64-byte reports
// has input and output lengths of 65.
#pragma once

#include <cstdint>
#include <span>

namespace gpio_dll::transport {

struct ReportDescriptorSummary {
  std::uint16_t usage_page = 0;  // of the first top-level collection
  std::uint16_t usage = 0;
  std::uint16_t input_report_byte_length = 0;
  std::uint16_t output_report_byte_length = 0;
  std::uint16_t feature_report_byte_length = 0;
  std::uint16_t collections = 0;
  bool numbered_reports = false;  // the device uses report identifiers
};

ReportDescriptorSummary parse_report_descriptor(std::span<const std::uint8_t> descriptor);

}  // namespace gpio_dll::transport
