// What every transaction with the module shares: byte conversion of arguments, the two address
// encodings, the request area, the PEC mode step and the answer check with its status bands.
// Operations read as their request layout and answer rule on top of it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "transactions/firmware_generation.hpp"

namespace gpio_dll {
class ModuleState;
}

namespace gpio_dll::transactions {

// Request and answer bytes of the module's 65-byte reports.
inline constexpr std::size_t kRequestBytes = 64;
// Data bytes an answer carries from answer byte 2 on; a block segment.
inline constexpr std::int32_t kSegmentBytes = 60;

// The elements of a caller's byte array, as the write-count checks compare them.
inline std::int32_t element_count(const std::vector<std::uint8_t>& array) {
  return static_cast<std::int32_t>(array.size());
}

// value mod 256 with the sign of the dividend; a negative result is no byte and raises
// AutomationError(kOverflow).
std::uint8_t to_byte(std::int32_t value);

// Target addresses from nTargetID: bits 7 to 1 the slave, bit 0 a PEC request.
std::uint8_t write_address(std::int16_t nTargetID);  // 8-bit form, bit 0 clear
std::uint8_t read_address(std::int16_t nTargetID);   // write address + 1
std::uint8_t seven_bit_address(std::int16_t nTargetID);
// PEC is wanted when nTargetID is odd and positive.
bool pec_wanted(std::int16_t nTargetID);

// A request under construction: all zero, command code at byte 0. Bytes past the request area
// are never written; `fits` tells whether everything placed reaches the module.
class Request {
 public:
  explicit Request(std::uint8_t command);
  void set(std::size_t index, std::uint8_t value);
  // Places `count` bytes of `source` from index 0 at request byte `at`.
  void put(std::size_t at, std::span<const std::uint8_t> source, std::size_t count);
  std::span<const std::uint8_t> bytes() const { return bytes_; }
  // Whether every byte placed lies inside the request that a report of `output_report_length`
  // carries.
  bool fits(std::size_t output_report_length) const;

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t used_ = 1;
};

// One transaction on the calling thread's module state, for one firmware generation.
class Transaction {
 public:
  Transaction(ModuleState& state, Generation generation) : state_(state), generation_(generation) {}

  // Module presence check: OK, or NO_DEV_DETECTED.
  std::int32_t open();
  // Presence check, then the PEC mode step: OK to go on, or the code that ends the call.
  std::int32_t open_with_pec(std::int16_t nTargetID);

  // Sends the request and reads the answer. The result is FATAL_ERROR when the request does not
  // fit the module's reports or the answer holds fewer than max(3, `needed`) bytes, the status
  // band code for a nonzero status, else OK.
  std::int32_t run(const Request& request, std::size_t needed = 3);
  // The same, without looking at the status byte (some old-firmware line reads).
  std::int32_t run_unchecked(const Request& request, std::size_t needed = 3);

  const std::vector<std::uint8_t>& answer() const { return answer_; }
  // `count` answer bytes from answer byte `from` on (run() made sure they are there).
  std::vector<std::uint8_t> answer_bytes(std::size_t from, std::size_t count) const;
  std::uint8_t answer(std::size_t index) const { return answer_[index]; }
  ModuleState& state() { return state_; }
  Generation generation() const { return generation_; }

 private:
  std::int32_t exchange(const Request& request, std::size_t needed, bool check_status);

  ModuleState& state_;
  Generation generation_;
  std::vector<std::uint8_t> answer_;
};

// Switches the module's packet error checking to what nTargetID asks for, when that differs from
// the remembered mode. Returns OK whatever the switch gave; NO_DEV_DETECTED or
// UNSUPPORTED_GPIO_FW_VER when the thread's firmware version text names no generation.
std::int32_t pec_mode_step(ModuleState& state, std::int16_t nTargetID);

}  // namespace gpio_dll::transactions
