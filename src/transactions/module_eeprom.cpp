// The module's own 8192-byte EEPROM, read and written in 32-byte chunks, and the raw pass-through
// of a 64-byte request. The EEPROM transfers drive the debug window's progress bar.
#include <algorithm>

#include "base/module_state.hpp"
#include "gpio_dll/error_codes.hpp"
#include "transactions/firmware_operations.hpp"
#include "transactions/transaction_frame.hpp"
#include "transport/device_discovery.hpp"
#include "transport/report_exchange.hpp"

namespace gpio_dll {

namespace {

constexpr std::size_t kEepromBytes = 8192;
constexpr std::size_t kChunkBytes = 32;
constexpr std::size_t kChunkData = 4;  // request and answer byte where a chunk's data start
constexpr std::size_t kReadChunkData = 2;

struct EepromCommands {
  std::uint8_t read;
  std::uint8_t write;
};

EepromCommands commands_for(Generation generation) {
  return generation == Generation::Fw1_0_10 ? EepromCommands{0x19, 0x18}
                                            : EepromCommands{0x05, 0x04};
}

void set_progress(ModuleState& s, int min, int max, int value) {
  auto& window = s.debug_window();
  window.set_progress_range(min, max);
  window.set_progress(value);
}

void show_progress(ModuleState& s, int value) {
  auto& window = s.debug_window();
  window.set_progress(value);
  window.repaint();
}

// Sends every chunk in rising address order; `fill` puts a chunk's data into the request,
// `take` copies a successful answer's data. FATAL_ERROR at the first short or failed answer.
template <class Fill, class Take>
std::int32_t transfer(ModuleState& s, Generation generation, std::uint8_t command, Fill fill,
                      Take take, std::size_t needed) {
  transactions::Transaction t(s, generation);
  transactions::Request q(command);
  for (std::size_t a = 0; a < kEepromBytes; a += kChunkBytes) {
    show_progress(s, static_cast<int>(a));
    q.set(1, static_cast<std::uint8_t>(a / 256));
    q.set(2, static_cast<std::uint8_t>(a % 256));
    q.set(3, static_cast<std::uint8_t>(kChunkBytes));
    fill(q, a);
    // Every nonzero status is the same failure here: the module's value is not reported.
    if (t.run(q, needed) != OK) return FATAL_ERROR;
    take(t, a);
  }
  show_progress(s, 0);
  return OK;
}

}  // namespace

std::int32_t module_eeprom_read(ModuleState& s, const std::string& DevFWver, ByteArray& DEEPROM) {
  DEEPROM.assign(2, 0);
  set_progress(s, 0, 100, 0);
  Generation generation;
  if (const std::int32_t refused = choose_generation(DevFWver, generation); refused != OK)
    return refused;
  if (!transport::module_presence_check(s)) return NO_DEV_DETECTED;
  set_progress(s, 0, static_cast<int>(kEepromBytes) - 1, 0);
  DEEPROM.assign(kEepromBytes, 0);
  return transfer(
      s, generation, commands_for(generation).read, [](transactions::Request&, std::size_t) {},
      [&](const transactions::Transaction& t, std::size_t a) {
        std::copy_n(t.answer().begin() + kReadChunkData, kChunkBytes, DEEPROM.begin() + a);
      },
      kReadChunkData + kChunkBytes);
}

std::int32_t module_eeprom_write(ModuleState& s, const std::string& DevFWver,
                                 const ByteArray& DEEPROM) {
  set_progress(s, 0, 100, 0);
  Generation generation;
  if (const std::int32_t refused = choose_generation(DevFWver, generation); refused != OK)
    return refused;
  // A short image is refused whole rather than written in part.
  if (DEEPROM.size() < kEepromBytes) return ERROR_MAX_SIZE_FOR_WRITE;
  if (!transport::module_presence_check(s)) return NO_DEV_DETECTED;
  set_progress(s, 0, static_cast<int>(kEepromBytes) - 1, 0);
  return transfer(
      s, generation, commands_for(generation).write,
      [&](transactions::Request& q, std::size_t a) {
        q.put(kChunkData, std::span(DEEPROM).subspan(a, kChunkBytes), kChunkBytes);
      },
      [](const transactions::Transaction&, std::size_t) {}, 3);
}

std::int32_t pass_through(ModuleState& s, ByteArray& wBlock, ByteArray& rBlock) {
  if (!transport::module_presence_check(s)) return NO_DEV_DETECTED;
  wBlock.resize(transactions::kRequestBytes, 0);
  // The request goes out as it is; a module with shorter reports gets what fits.
  rBlock = transport::exchange(s, wBlock);
  return OK;
}

}  // namespace gpio_dll
