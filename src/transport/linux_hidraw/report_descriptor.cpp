#include "transport/linux_hidraw/report_descriptor.hpp"

#include <algorithm>
#include <map>
#include <vector>

namespace gpio_dll::transport {

namespace {

enum ItemType { kMain = 0, kGlobal = 1, kLocal = 2 };
enum MainTag { kInput = 0x8, kOutput = 0x9, kCollection = 0xA, kFeature = 0xB };
enum GlobalTag {
  kUsagePage = 0x0,
  kReportSize = 0x7,
  kReportId = 0x8,
  kReportCount = 0x9,
  kPush = 0xA,
  kPop = 0xB
};
enum LocalTag { kUsage = 0x0 };
constexpr std::uint8_t kLongItem = 0xFE;

struct Globals {
  std::uint32_t usage_page = 0;
  std::uint32_t report_size = 0;
  std::uint32_t report_count = 0;
  std::uint32_t report_id = 0;
};

std::uint16_t byte_length(const std::map<std::uint32_t, std::uint64_t>& bits) {
  std::uint64_t longest = 0;
  for (const auto& [id, count] : bits)
    longest = std::max(longest, count);
  if (longest == 0) return 0;
  return static_cast<std::uint16_t>(std::min<std::uint64_t>((longest + 7) / 8 + 1, 0xFFFF));
}

}  // namespace

ReportDescriptorSummary parse_report_descriptor(std::span<const std::uint8_t> d) {
  ReportDescriptorSummary summary;
  Globals globals;
  std::vector<Globals> stack;
  std::uint32_t local_usage = 0;
  bool have_usage = false;
  bool top_level_seen = false;
  std::map<std::uint32_t, std::uint64_t> input, output, feature;

  for (std::size_t i = 0; i < d.size();) {
    const std::uint8_t prefix = d[i];
    if (prefix == kLongItem) {  // long item: size byte, tag byte, data
      if (i + 1 >= d.size()) break;
      i += 3u + d[i + 1];
      continue;
    }
    const std::size_t size = (prefix & 3) == 3 ? 4 : (prefix & 3);
    const int type = (prefix >> 2) & 3;
    const int tag = prefix >> 4;
    if (i + 1 + size > d.size()) break;  // truncated item
    std::uint32_t value = 0;
    for (std::size_t k = 0; k < size; ++k)
      value |= static_cast<std::uint32_t>(d[i + 1 + k]) << (8 * k);
    i += 1 + size;

    if (type == kGlobal) {
      switch (tag) {
        case kUsagePage:
          globals.usage_page = value;
          break;
        case kReportSize:
          globals.report_size = value;
          break;
        case kReportCount:
          globals.report_count = value;
          break;
        case kReportId:
          globals.report_id = value;
          summary.numbered_reports = true;
          break;
        case kPush:
          stack.push_back(globals);
          break;
        case kPop:
          if (!stack.empty()) {
            globals = stack.back();
            stack.pop_back();
          }
          break;
        default:
          break;
      }
    } else if (type == kLocal) {
      if (tag == kUsage && !have_usage) {
        local_usage = value;
        have_usage = true;
      }
    } else if (type == kMain) {
      const std::uint64_t bits = std::uint64_t{globals.report_size} * globals.report_count;
      switch (tag) {
        case kInput:
          input[globals.report_id] += bits;
          break;
        case kOutput:
          output[globals.report_id] += bits;
          break;
        case kFeature:
          feature[globals.report_id] += bits;
          break;
        case kCollection:
          ++summary.collections;
          if (!top_level_seen) {
            top_level_seen = true;
            summary.usage_page = static_cast<std::uint16_t>(globals.usage_page);
            // A 4-byte usage carries its own page in the high half.
            summary.usage = static_cast<std::uint16_t>(local_usage & 0xFFFF);
          }
          break;
        default:
          break;
      }
      have_usage = false;
      local_usage = 0;
    }
  }
  summary.input_report_byte_length = byte_length(input);
  summary.output_report_byte_length = byte_length(output);
  summary.feature_report_byte_length = byte_length(feature);
  return summary;
}

}  // namespace gpio_dll::transport
