#include "transactions/transaction_frame.hpp"

#include <algorithm>

#include "base/module_state.hpp"
#include "gpio_dll/automation_error.hpp"
#include "gpio_dll/error_codes.hpp"
#include "transport/device_discovery.hpp"
#include "transport/module_lock.hpp"
#include "transport/report_exchange.hpp"

namespace gpio_dll::transactions {

namespace {
constexpr std::uint8_t kPecModeCommandOld = 0x11;
constexpr std::uint8_t kPecModeCommandNew = 0x06;
constexpr std::uint8_t kPecModeOn = 1;
constexpr std::uint8_t kPecModeOff = 2;
}  // namespace

std::uint8_t to_byte(std::int32_t value) {
  const std::int32_t reduced = value % 256;
  if (reduced < 0) throw AutomationError(kOverflow, std::to_string(value) + " is not a byte");
  return static_cast<std::uint8_t>(reduced);
}

std::uint8_t write_address(std::int16_t nTargetID) {
  return to_byte(nTargetID % 256 / 2 * 2);
}

std::uint8_t read_address(std::int16_t nTargetID) {
  return to_byte(nTargetID % 256 / 2 * 2 + 1);
}

std::uint8_t seven_bit_address(std::int16_t nTargetID) {
  return to_byte(nTargetID % 256 / 2);
}

bool pec_wanted(std::int16_t nTargetID) {
  return nTargetID > 0 && nTargetID % 2 == 1;
}

Request::Request(std::uint8_t command) : bytes_(kRequestBytes + 1, 0) {
  bytes_[0] = command;
}

void Request::set(std::size_t index, std::uint8_t value) {
  used_ = std::max(used_, index + 1);
  if (index < bytes_.size()) bytes_[index] = value;
}

void Request::put(std::size_t at, std::span<const std::uint8_t> source, std::size_t count) {
  count = std::min(count, source.size());
  for (std::size_t i = 0; i < count; ++i)
    set(at + i, source[i]);
}

bool Request::fits(std::size_t output_report_length) const {
  return output_report_length > 0 && used_ <= std::min(kRequestBytes, output_report_length - 1);
}

std::vector<std::uint8_t> Transaction::answer_bytes(std::size_t from, std::size_t count) const {
  return std::vector<std::uint8_t>(answer_.begin() + static_cast<std::ptrdiff_t>(from),
                                   answer_.begin() + static_cast<std::ptrdiff_t>(from + count));
}

std::int32_t Transaction::open() {
  return transport::module_presence_check(state_) ? OK : NO_DEV_DETECTED;
}

std::int32_t Transaction::open_with_pec(std::int16_t nTargetID) {
  if (const std::int32_t absent = open(); absent != OK) return absent;
  return pec_mode_step(state_, nTargetID);
}

std::int32_t Transaction::run(const Request& request, std::size_t needed) {
  return exchange(request, needed, true);
}

std::int32_t Transaction::run_unchecked(const Request& request, std::size_t needed) {
  return exchange(request, needed, false);
}

std::int32_t Transaction::exchange(const Request& request, std::size_t needed, bool check_status) {
  answer_.clear();
  // A request that a short report cannot carry is not sent cut short.
  if (!request.fits(state_.OutputReportByteLength)) return FATAL_ERROR;
  answer_ = transport::exchange(state_, request.bytes());
  if (answer_.size() < std::max<std::size_t>(3, needed)) return FATAL_ERROR;
  const std::uint8_t status = answer_[1];
  if (!check_status || status == 0) return OK;
  return (generation_ == Generation::Fw1_0_10 ? kStatusBandOldFirmware : kStatusBandNewFirmware) +
         status;
}

std::int32_t pec_mode_step(ModuleState& state, std::int16_t nTargetID) {
  const bool wanted = pec_wanted(nTargetID);
  // The mode lives in the module, and other threads and processes may use it too: taking the
  // module first forgets the remembered mode if anyone else has used the module since this
  // thread last did, so that the comparison below is with the module's real mode. A failed
  // wait sends nothing here; the transaction's own exchange then fails too.
  if (transport::module_is_open(state)) transport::hold_module(state);
  if (state.remembered_pec_mode == (wanted ? kPecModeOn : kPecModeOff)) return OK;
  Generation generation;
  if (const std::int32_t refused = choose_generation(state.firmware_version, generation);
      refused != OK)
    return refused;
  const std::uint8_t command =
      generation == Generation::Fw1_0_10 ? kPecModeCommandOld : kPecModeCommandNew;

  state.remembered_pec_mode = kPecModeOff;
  if (!transport::module_presence_check(state)) return OK;
  Request request(command);
  request.set(1, wanted ? 1 : 0);
  state.remembered_pec_mode = wanted ? kPecModeOn : kPecModeOff;
  const auto answer = transport::exchange(state, request.bytes());
  if (answer.size() < 3 || answer[1] != 0) state.remembered_pec_mode = kPecModeOff;
  return OK;
}

}  // namespace gpio_dll::transactions
