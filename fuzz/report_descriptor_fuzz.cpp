// The report descriptor parser on any bytes: it stays inside the descriptor, gives the same
// summary twice, and the summary is one that some descriptor of that size can have.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "transport/linux_hidraw/report_descriptor.hpp"

namespace {

void require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using gpio_dll::transport::parse_report_descriptor;
  // A copy of exactly `size` bytes, so that AddressSanitizer sees any read past the end.
  const std::vector<std::uint8_t> descriptor(data, data + size);
  const auto summary = parse_report_descriptor(descriptor);
  const auto again = parse_report_descriptor(descriptor);

  require(summary.input_report_byte_length == again.input_report_byte_length &&
              summary.output_report_byte_length == again.output_report_byte_length &&
              summary.feature_report_byte_length == again.feature_report_byte_length &&
              summary.collections == again.collections && summary.usage == again.usage &&
              summary.usage_page == again.usage_page,
          "the same descriptor gives the same summary");
  // A length counts the identifier byte: a kind of report is absent (0) or holds a data byte.
  for (std::uint16_t length : {summary.input_report_byte_length, summary.output_report_byte_length,
                               summary.feature_report_byte_length})
    require(length != 1, "no report of identifier byte only");
  // Every collection is opened by an item of at least one byte.
  require(summary.collections <= size, "collections within the descriptor's items");
  require(summary.collections > 0 || (summary.usage == 0 && summary.usage_page == 0),
          "usage comes from a collection");
  // A report needs a report size and a report count item with data, then a main item: 5 bytes.
  if (size < 5)
    require(summary.input_report_byte_length == 0 && summary.output_report_byte_length == 0 &&
                summary.feature_report_byte_length == 0,
            "no report from fewer than five bytes");
  return 0;
}
