// One transaction at a time per module. Every open handle of a module receives every input
// report, so two users whose requests interleave read each other's answers. A method's exchanges
// therefore run under the module's lock, taken at its first exchange and released when the
// method returns; another thread or process waits for it, bounded.
#pragma once

#include <cstdint>

namespace gpio_dll {
class ModuleState;
}

namespace gpio_dll::transport {

// The longest legal transaction another user can hold the module for: a whole module EEPROM
// transfer (256 exchanges) with a read time-out on its last chunk, with room to spare.
inline constexpr std::uint32_t kModuleLockWaitMs = 15000;

// The wait bound in force (kModuleLockWaitMs unless a test changed it).
std::uint32_t module_lock_wait_ms();
void set_module_lock_wait_ms(std::uint32_t ms);

// Marks a method (or a window's test report) as one transaction: the lock its first exchange
// takes stays held until the outermost scope ends.
class TransactionScope {
 public:
  explicit TransactionScope(ModuleState& state);
  ~TransactionScope();
  TransactionScope(const TransactionScope&) = delete;
  TransactionScope& operator=(const TransactionScope&) = delete;

 private:
  ModuleState& state_;
};

// Takes the module's lock through its write handle unless already held through it. False, with
// the reason traced, when another user held it past the bound.
bool hold_module(ModuleState& state);
// Lets the lock go, unless a transaction scope is still open.
void release_module_outside_transaction(ModuleState& state);
// Lets the lock go.
void release_module(ModuleState& state);

}  // namespace gpio_dll::transport
