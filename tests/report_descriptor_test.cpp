#include <gtest/gtest.h>

#include "transport/linux_hidraw/report_descriptor.hpp"

namespace gpio_dll::transport {
namespace {

// The module: vendor page, 64-byte input and output reports, no report identifiers.
const std::vector<std::uint8_t> kModule = {0x06, 0x00, 0xFF,  // Usage Page (vendor 0xFF00)
                                           0x09, 0x01,        // Usage (1)
                                           0xA1, 0x01,        // Collection (Application)
                                           0x15, 0x00,        //   Logical Minimum (0)
                                           0x26, 0xFF, 0x00,  //   Logical Maximum (255)
                                           0x75, 0x08,        //   Report Size (8)
                                           0x95, 0x40,        //   Report Count (64)
                                           0x09, 0x01,        //   Usage (1)
                                           0x81, 0x02,        //   Input (Data, Variable, Absolute)
                                           0x09, 0x01,        //   Usage (1)
                                           0x91, 0x02,        //   Output (Data, Variable, Absolute)
                                           0xC0};             // End Collection

TEST(ReportDescriptor, UnnumberedReportsGetTheIdentifierByteCounted) {
  const auto s = parse_report_descriptor(kModule);
  EXPECT_EQ(s.input_report_byte_length, 65);
  EXPECT_EQ(s.output_report_byte_length, 65);
  EXPECT_EQ(s.feature_report_byte_length, 0);
  EXPECT_EQ(s.usage_page, 0xFF00);
  EXPECT_EQ(s.usage, 1);
  EXPECT_EQ(s.collections, 1);
  EXPECT_FALSE(s.numbered_reports);
}

TEST(ReportDescriptor, NumberedReportsTakeTheLongestReportOfEachKind) {
  const std::vector<std::uint8_t> d = {
      0x05, 0x01, 0x09, 0x06, 0xA1, 0x01,                          // keyboard page, collection
      0x85, 0x01, 0x75, 0x08, 0x95, 0x08, 0x81, 0x02,              // report 1: 8 input bytes
      0x85, 0x02, 0x75, 0x01, 0x95, 0x05, 0x91, 0x02,              // report 2: 5 output bits
      0x75, 0x03, 0x95, 0x01, 0x91, 0x01,                          //           3 padding bits
      0x85, 0x03, 0x75, 0x10, 0x95, 0x10, 0x81, 0x02,              // report 3: 32 input bytes
      0xA4, 0x85, 0x04, 0x75, 0x08, 0x95, 0x03, 0xB1, 0x02, 0xB4,  // push, feature 4: 3 bytes, pop
      0x81, 0x02,  // after the pop: report 3 again, 16 x 16 bits more
      0xC0};
  const auto s = parse_report_descriptor(d);
  EXPECT_TRUE(s.numbered_reports);
  EXPECT_EQ(s.input_report_byte_length, 65);  // report 3: 32 + 32 bytes, plus the identifier
  EXPECT_EQ(s.output_report_byte_length, 2);
  EXPECT_EQ(s.feature_report_byte_length, 4);
  EXPECT_EQ(s.usage_page, 0x01);
  EXPECT_EQ(s.usage, 0x06);
}

TEST(ReportDescriptor, TruncatedOrEmptyDescriptorsDoNotReadPastTheEnd) {
  EXPECT_EQ(parse_report_descriptor({}).input_report_byte_length, 0);
  for (std::size_t n = 0; n < kModule.size(); ++n) {
    const std::vector<std::uint8_t> cut(kModule.begin(), kModule.begin() + static_cast<long>(n));
    const auto s = parse_report_descriptor(cut);
    EXPECT_LE(s.input_report_byte_length, 65);
  }
  const std::vector<std::uint8_t> long_item = {0xFE, 0x05, 0x00, 1, 2};  // claims 5 data bytes
  EXPECT_EQ(parse_report_descriptor(long_item).input_report_byte_length, 0);
}

}  // namespace
}  // namespace gpio_dll::transport
