#include "transactions/identification.hpp"

#include <vector>

#include "base/module_state.hpp"
#include "base/result_messages.hpp"
#include "gpio_dll/error_codes.hpp"
#include "transport/device_discovery.hpp"
#include "transport/platform_registry.hpp"
#include "transport/report_exchange.hpp"

namespace gpio_dll {

namespace {
constexpr std::uint8_t kPreliminaryRequest = 0x00;
constexpr std::uint8_t kVersionQuery = 0x01;
constexpr std::size_t kVersionAnswerLength = 4;
}  // namespace

std::int32_t identify_module(ModuleState& state, std::string& firmware_version, std::string& vendor,
                             std::string& product) {
  std::int32_t result = FATAL_ERROR;
  state.module_present = false;
  firmware_version.clear();
  vendor.clear();
  product.clear();

  state.module_present = transport::discover_module(state, vendor, product);
  if (!state.module_present) return NO_DEV_DETECTED;

  std::vector<std::uint8_t> request(state.OutputReportByteLength, 0);
  auto put = [&](std::uint8_t command) {
    if (request.size() > 0) request[0] = command;
    if (request.size() > 1) request[1] = 0;
  };
  put(kPreliminaryRequest);
  transport::exchange(state, request);

  for (int retry = 0;; ++retry) {
    transport::port_of(state).sleep_ms(kVersionQueryPauseMs);
    put(kVersionQuery);
    const std::vector<std::uint8_t> answer = transport::exchange(state, request);
    if (answer.size() < kVersionAnswerLength) return result;
    firmware_version = std::to_string(answer[1]) + "." + std::to_string(answer[2]) + "." +
                       std::to_string(answer[3]);
    if (firmware_version != kRetryVersionText) return OK;
    if (retry == kVersionRetries) return UNSUPPORTED_GPIO_FW_VER;
  }
}

std::int32_t read_firmware_version(ModuleState& state, std::string& iDevFWver,
                                   std::string& iVendorID, std::string& iProductID) {
  iDevFWver.clear();
  iVendorID.clear();
  iProductID.clear();
  state.firmware_version.clear();
  const std::int32_t result = identify_module(state, iDevFWver, iVendorID, iProductID);
  state.firmware_version = iDevFWver;
  auto& window = state.debug_window();
  window.set_identification_field(1, iVendorID);
  window.set_identification_field(2, iProductID);
  window.set_identification_field(3, state.firmware_version);
  window.set_result_line(result_message(result, state.MaxBytesRd, state.MaxBytesWr));
  return result;
}

}  // namespace gpio_dll
