// Every operation of both generations, with each of its exchanges failing in turn: the exchange
// times out, its wait fails, it comes back zeroed (echo, status 0, the rest of the report zero),
// short (echo and status only: no whole answer) or with a failing status. Checked: the result, the
// by-reference arguments, the module state after the call, and that the next call works again. Then
// the module is unplugged in the middle of each kind of operation and plugged back in.
//
// To add an operation: one row in operations() with its arguments (as an automation client
// passes them), its exchanges in order, what it may write and what a failure leaves there.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gpio_dll/automation.hpp"
#include "gpio_dll/automation_error.hpp"
#include "gpio_dll/gpio_dll.hpp"
#include "support/test_support.hpp"

namespace gpio_dll {
namespace {

// ---- What an exchange is for, and how each fault ends the call --------------------------------

enum class Role {
  PecMode,      // switches packet error checking before an SMBus transaction
  Checked,      // the operation's own exchange, status byte examined
  Unchecked,    // a line read whose answer byte 1 is no status
  Chunk,        // one 32-byte chunk of a module EEPROM transfer
  Preliminary,  // identification's first request, whose answer is not looked at
  Version,      // identification's version query
  Raw,          // the pass-through, answer handed back as it is
};

enum class Fault { TimesOut, WaitFails, Zeroed, Short, Status, Unplugged };

const char* name(Fault fault) {
  static const char* const kNames[] = {"times out",        "wait fails", "comes back zeroed",
                                       "comes back short", "status",     "unplugged"};
  return kNames[static_cast<int>(fault)];
}

// The statuses the messages name (1, 6, 11, 14) and the largest.
constexpr std::uint8_t kStatuses[] = {0x01, 0x06, 0x0B, 0x0E, 0xFF};

// ---- The device between the platform and the simulated module ---------------------------------

class CapturingSink : public InputReportSink {
 public:
  void send_input_report(std::vector<std::uint8_t> report, std::uint32_t) override {
    reports.push_back(std::move(report));
  }
  std::vector<std::vector<std::uint8_t>> reports;
};

// Passes every request to the module, except the one it is armed for, where it strikes.
class FaultyModule : public SimulatedHidDevice {
 public:
  explicit FaultyModule(std::shared_ptr<sim::SimulatedModule> module)
      : module_(std::move(module)) {}

  void attach(SimulatedPlatform& platform, SimulatedPlatform::DeviceId id) {
    platform_ = &platform;
    id_ = id;
  }
  // Strikes at the request `index` requests from now (0: the next).
  void arm(int index, Fault fault, std::uint8_t status = 0) {
    countdown_ = index;
    fault_ = fault;
    status_ = status;
  }
  void disarm() {
    countdown_ = -1;
    platform_->set_wait_fails(id_, false);
  }
  int requests() const { return requests_; }

  HidAttributes attributes() const override { return module_->attributes(); }
  HidCapabilities capabilities() const override { return module_->capabilities(); }

  void on_output_report(std::span<const std::uint8_t> report, InputReportSink& sink) override {
    ++requests_;
    platform_->set_wait_fails(id_, false);  // a failed wait fails one exchange only
    if (countdown_ < 0 || countdown_-- != 0) return module_->on_output_report(report, sink);
    switch (fault_) {
      case Fault::TimesOut:
        return;
      case Fault::WaitFails:
        platform_->set_wait_fails(id_, true);
        return;
      case Fault::Unplugged:
        platform_->unplug(id_);
        return;
      case Fault::Status:
        module_->fail_request(0, status_);
        return module_->on_output_report(report, sink);
      case Fault::Zeroed:
      case Fault::Short: {
        CapturingSink own;
        module_->on_output_report(report, own);
        for (auto& answer : own.reports) {
          const std::size_t length = answer.size();
          answer.resize(3);  // identifier, echo, status
          answer[2] = 0;
          if (fault_ == Fault::Zeroed) answer.resize(length, 0);
          sink.send_input_report(std::move(answer));
        }
        return;
      }
    }
  }

 private:
  std::shared_ptr<sim::SimulatedModule> module_;
  SimulatedPlatform* platform_ = nullptr;
  SimulatedPlatform::DeviceId id_ = -1;
  int countdown_ = -1;
  Fault fault_ = Fault::TimesOut;
  std::uint8_t status_ = 0;
  int requests_ = 0;
};

// ---- The operations ------------------------------------------------------------------------

const auto I16 = [](int v) { return Variant(static_cast<std::int16_t>(v)); };
const auto I32 = [](int v) { return Variant(static_cast<std::int32_t>(v)); };
const auto U8 = [](int v) { return Variant(static_cast<std::uint8_t>(v)); };
const auto Bytes = [](std::size_t n, int fill = 0) {
  return Variant(ByteArray(n, static_cast<std::uint8_t>(fill)));
};
const auto Text = [](const char* text) { return Variant(std::string(text)); };

constexpr int kBattery = 0x17;  // slave 0x0B, with PEC
// Without: a byte read of a word register with PEC is refused, as on a real bus.
constexpr int kBatteryNoPec = 0x16;
constexpr int kEeprom = 0xA0;  // slave 0x50
constexpr int kEepromChunks = 256;
const Variant kAny;  // an argument whose value after a failure is not checked

struct Operation {
  std::string name;
  std::string firmware;
  std::vector<Variant> args;
  std::vector<Role> exchanges;
  // Arguments the method may write, with what a failure leaves there (kAny: not checked).
  std::map<std::size_t, Variant> writes = {};
  // The result when an answer holds a zero status and zero data.
  std::int32_t zeroed_result = OK;
  std::function<void(sim::SimulatedModule&)> prepare = nullptr;
};

std::vector<Role> chunks() {
  return std::vector<Role>(kEepromChunks, Role::Chunk);
}

const std::vector<Operation>& operations() {
  using R = Role;
  static const auto kBlock120 = [](sim::SimulatedModule& m) {
    m.battery().set_block(0x44, ByteArray(120, 0x3C));
  };
  // clang-format off
  static const std::vector<Operation> rows = {
    // name                     firmware ("": both) arguments
    //   exchanges                         written: what a failure leaves       zero answer
    {"GPIO_SendSMBusByte",       "",       {I32(0x55), I16(kBattery)},
       {R::PecMode, R::Checked}},
    {"GPIO_WriteSMBusByte",      "",       {I16(0x17), I32(7), I16(kBattery)},
       {R::PecMode, R::Checked}},
    {"GPIO_WriteSMBusWord",      "",       {I16(0x00), I32(0x12), I32(0x34), I16(kBattery)},
       {R::PecMode, R::Checked}},
    {"GPIO_ReceiveSMBusByte",    "1.0.10", {I32(9), I16(kBattery)},
       {R::PecMode, R::Checked},           {{0, I32(0)}}},
    {"GPIO_ReadSMBusByte",       "",       {I16(0x0D), I32(9), I16(kBatteryNoPec)},
       {R::PecMode, R::Checked},           {{1, I32(0)}}},
    {"GPIO_ReadSMBusWord",       "",       {I16(0x09), I32(9), I32(9), I16(kBattery)},
       {R::PecMode, R::Checked},           {{1, I32(0)}, {2, I32(0)}}},
    {"GPIO_ProcessCall",         "1.0.10", {I16(0), I32(1), I32(2), I32(9), I32(9), I16(kBattery)},
       {R::PecMode, R::Checked},           {{3, I32(0)}, {4, I32(0)}}},
    {"GPIO_WriteSMBusBlock",     "1.0.10", {I16(0x44), Bytes(40, 0x5A), I16(40), I16(kBattery)},
       {R::PecMode, R::Checked},           {{2, I16(40)}}},
    {"GPIO_ReadSMBusBlock",      "1.0.10", {I16(0x21), Bytes(3), I16(0), I16(kBattery)},
       {R::PecMode, R::Checked},           {{1, kAny}, {2, I16(0)}},            ERROR_LEN_RD_BLOCK},
    {"GPIO_WriteReadSMBusBlock", "1.0.10", {I16(0x44), Bytes(4, 1), Bytes(0), I16(4), I16(10), I16(kBattery)},
       {R::PecMode, R::Checked},           {{2, kAny}, {4, I16(0)}},            ERROR_LEN_RD_BLOCK},
    {"GPIO_WriteI2CBlock",       "1.0.10", {I16(0x10), Bytes(16, 0xA5), I16(16), I16(kEeprom)},
       {R::Checked},                       {{2, I16(16)}}},
    {"GPIO_ReadI2CBlock",        "1.0.10", {I16(0x10), Bytes(0), I16(16), I16(kEeprom)},
       {R::Checked},                       {{1, kAny}, {2, I16(0)}}},
    {"GPIO_WriteReadI2CBlock",   "1.0.10", {I16(0x10), Bytes(2, 7), Bytes(0), I16(2), I16(8), I16(kEeprom)},
       {R::Checked},                       {{2, kAny}, {4, I16(0)}}},
    {"GPIO_Test",                "",       {},
       {R::Checked}},
    {"GPIO_GetP0Line",           "1.0.10", {U8(0x55)},
       {R::Unchecked},                     {{0, U8(0x55)}}},
    {"GPIO_SetP0Line",           "",       {U8(0x03)},
       {R::Checked}},
    {"GPIO_ReadWriteP0Line",     "1.0.10", {U8(0xFF), U8(0x03)},
       {R::Checked},                       {{1, U8(0)}}},
    {"GPIO_GetPMBusLine",        "1.0.10", {U8(0x55)},
       {R::Unchecked},                     {{0, U8(0x55)}}},
    {"GPIO_SetPMBusLine",        "",       {U8(0x01)},
       {R::Checked}},
    {"GPIO_SetP1Line",           "",       {U8(1), U8(2), U8(3)},
       {R::Checked}},
    {"GPIO_CheckSdaSclLine",     "1.0.10", {},
       {R::Unchecked},                     {},                                  GPIO_SDA_SCL_LOW},
    {"GPIO_FW_EEP_Read",         "1.0.10", {Text("1.0.10"), Bytes(0)},
       chunks(),                           {{1, kAny}}},
    {"GPIO_FW_EEP_Write",        "1.0.10", {Text("1.0.10"), Bytes(8192, 0x42)},
       chunks()},
    {"GPIO_DMA",                 "1.0.10", {Bytes(64, 0x7F), Bytes(0)},
       {R::Raw},                           {{0, kAny}, {1, kAny}}},
    {"GPIO_FW_VER_Read",         "",       {Text("x"), Text("x"), Text("x")},
       {R::Preliminary, R::Version},       {{0, Text("")}, {1, kAny}, {2, kAny}}},

    // The PEC byte arrives as data and is checked here: zeros are no valid PEC.
    {"GPIO_ReceiveSMBusByte",    "2.0.19", {I32(9), I16(kBattery)},
       {R::PecMode, R::Checked},           {{0, I32(0)}},                       ERROR_PEC},
    {"GPIO_ProcessCall",         "2.0.19", {I16(0), I32(1), I32(2), I32(9), I32(9), I16(kBattery)},
       {R::PecMode, R::Checked},           {{3, I32(0)}, {4, I32(0)}},          ERROR_PEC},
    // 120 bytes: two segments.
    {"GPIO_WriteSMBusBlock",     "2.0.19", {I16(0x44), Bytes(120, 0x5A), I16(120), I16(kBattery)},
       {R::PecMode, R::Checked, R::Checked}, {{2, kAny}}},
    {"GPIO_ReadSMBusBlock",      "2.0.19", {I16(0x44), Bytes(3), I16(0), I16(kBattery)},
       {R::PecMode, R::Checked, R::Checked}, {{1, kAny}, {2, I16(0)}},          ERROR_LEN_RD_BLOCK,
       kBlock120},
    {"GPIO_WriteReadSMBusBlock", "2.0.19", {I16(0x44), Bytes(6, 1), Bytes(0), I16(4), I16(10), I16(kBattery)},
       {R::PecMode, R::Checked},           {{2, kAny}, {3, I16(4)}, {4, I16(0)}}, ERROR_LEN_RD_BLOCK},
    {"GPIO_WriteI2CBlock",       "2.0.19", {I16(0x10), Bytes(100, 0xA5), I16(100), I16(kEeprom)},
       {R::Checked, R::Checked},           {{2, kAny}}},
    {"GPIO_ReadI2CBlock",        "2.0.19", {I16(0x10), Bytes(0), I16(16), I16(kEeprom)},
       {R::PecMode, R::Checked},           {{1, kAny}, {2, I16(0)}}},
    {"GPIO_WriteReadI2CBlock",   "2.0.19", {I16(0x10), Bytes(2, 7), Bytes(0), I16(2), I16(8), I16(kEeprom)},
       {R::PecMode, R::Checked},           {{2, kAny}, {4, I16(0)}}},
    {"GPIO_GetP0Line",           "2.0.19", {U8(0x55)},
       {R::Checked},                       {{0, U8(0x55)}}},
    // Not in this generation: no exchange at all.
    {"GPIO_ReadWriteP0Line",     "2.0.19", {U8(0xFF), U8(0x03)},
       {}},
    {"GPIO_GetPMBusLine",        "2.0.19", {U8(0x55)},
       {R::Checked},                       {{0, U8(0x55)}}},
    {"GPIO_CheckSdaSclLine",     "2.0.19", {},
       {R::Checked},                       {},                                  GPIO_SDA_SCL_LOW},
    {"GPIO_FW_EEP_Read",         "2.0.19", {Text("2.0.19"), Bytes(0)},
       chunks(),                           {{1, kAny}}},
    {"GPIO_FW_EEP_Write",        "2.0.19", {Text("2.0.19"), Bytes(8192, 0x42)},
       chunks()},
    {"GPIO_DMA",                 "2.0.19", {Bytes(64, 0x07), Bytes(0)},
       {R::Raw},                           {{0, kAny}, {1, kAny}}},
  };
  // clang-format on
  static const std::vector<Operation> table = [] {
    std::vector<Operation> both;
    for (const Operation& row : rows)
      for (const char* firmware : {"1.0.10", "2.0.19"})
        if (row.firmware.empty() || row.firmware == firmware) {
          both.push_back(row);
          both.back().firmware = firmware;
        }
    return both;
  }();
  return table;
}

// ---- What each fault must give -------------------------------------------------------------

std::int32_t band(const Operation& op, std::uint8_t status) {
  return (op.firmware == "1.0.10" ? kStatusBandOldFirmware : kStatusBandNewFirmware) + status;
}

struct Expected {
  std::int32_t result;
  bool present;          // the module is still marked present
  bool failure_outputs;  // the arguments hold what a failure leaves
};

Expected expected(const Operation& op, Role role, Fault fault, std::uint8_t status) {
  const bool lost = fault == Fault::TimesOut || fault == Fault::WaitFails;
  if (fault == Fault::Short) {
    // Two answer bytes are no answer to anything that is looked at: a failed PEC switch, which
    // is not reported, or the end of the call, with the module still there.
    if (role == Role::PecMode || role == Role::Preliminary || role == Role::Raw)
      return {OK, true, false};
    return {FATAL_ERROR, true, true};
  }
  switch (role) {
    case Role::PecMode:
      // A failed switch is not reported; after a time-out the operation's own exchange meets
      // closed handles, after a failed wait it goes through.
      if (fault == Fault::TimesOut) return {FATAL_ERROR, false, true};
      if (fault == Fault::WaitFails) return {OK, false, false};
      return {OK, true, false};
    case Role::Checked:
      if (lost) return {FATAL_ERROR, false, true};
      if (fault == Fault::Status) return {band(op, status), true, true};
      return {op.zeroed_result, true, op.zeroed_result != OK};
    case Role::Unchecked:
      if (lost) return {FATAL_ERROR, false, true};
      return {op.zeroed_result, true, false};
    case Role::Chunk:
      if (lost) return {FATAL_ERROR, false, true};
      return {fault == Fault::Zeroed ? OK : FATAL_ERROR, true, fault != Fault::Zeroed};
    case Role::Preliminary:
      if (fault == Fault::TimesOut) return {FATAL_ERROR, false, true};
      return {OK, fault != Fault::WaitFails, false};
    case Role::Version:
      if (lost) return {FATAL_ERROR, false, true};
      return {OK, true, false};  // the status byte is the major version number here
    case Role::Raw:
      return {OK, !lost, false};
  }
  return {};
}

// ---- The run ---------------------------------------------------------------------------------

class FaultMatrix : public ::testing::Test {
 protected:
  void TearDown() override { platform::use_system(); }

  void install(const Operation& op) {
    platform_ = std::make_shared<SimulatedPlatform>();
    module_ = std::make_shared<sim::SimulatedModule>(sim::ModuleConfig{op.firmware});
    device_ = std::make_shared<FaultyModule>(module_);
    id_ = platform_->add_device(device_);
    device_->attach(*platform_, id_);
    platform::use_simulated(platform_);
    if (op.prepare) op.prepare(*module_);
  }

  // Identifies the module on the calling thread, which also opens its debug window.
  void identify(const Operation& op) {
    std::string fw, vid, pid;
    ASSERT_EQ(cls_GPIO_DLL().GPIO_FW_VER_Read(fw, vid, pid), OK);
    ASSERT_EQ(fw, op.firmware);
  }

  static std::int32_t call(const Operation& op, std::vector<Variant>& args) {
    cls_GPIO_DLL dll;
    return automation::Invoke(dll, op.name, args).to_int32();
  }

  // The arguments after a call: those the method must not write are as they were; after a
  // failure, the written ones hold what the row says.
  static void check_arguments(const Operation& op, const std::vector<Variant>& after,
                              bool failure) {
    for (std::size_t i = 0; i < op.args.size(); ++i) {
      const auto written = op.writes.find(i);
      if (written == op.writes.end()) {
        EXPECT_EQ(after[i], op.args[i]) << "argument " << i << " must not change";
      } else if (failure && !written->second.is_empty()) {
        EXPECT_EQ(after[i], written->second) << "argument " << i << " after a failure";
      }
    }
  }

  // Fault `fault` at exchange `index` of `op`, on a fresh thread; then the next call recovers.
  void strike(const Operation& op, std::size_t index, Fault fault, std::uint8_t status = 0) {
    install(op);
    testing::on_fresh_thread([&] {
      SCOPED_TRACE(::testing::Message() << op.name << " " << op.firmware << ", exchange " << index
                                        << " " << name(fault) << " " << int{status});
      identify(op);
      const int before = device_->requests();
      const Role role = op.exchanges[index];
      const Expected want = expected(op, role, fault, status);
      device_->arm(static_cast<int>(index), fault, status);
      auto args = op.args;
      const auto start = platform_->now_ms();
      EXPECT_EQ(call(op, args), want.result);
      device_->disarm();
      // Nothing after the failing exchange, except the operation's own request after a failed
      // PEC switch; every wait is bounded by the read time-out.
      EXPECT_LE(device_->requests() - before, static_cast<int>(op.exchanges.size()));
      EXPECT_LE(platform_->now_ms() - start, 6000u * op.exchanges.size() + 1000u);
      check_arguments(op, args, want.failure_outputs);
      auto& state = ModuleState::current();
      EXPECT_EQ(state.module_present, want.present);
      if (fault == Fault::TimesOut) {
        EXPECT_EQ(platform_->open_handle_count(), 0);
      }
      if (role == Role::PecMode) {
        // nTargetID comes last; a failed switch leaves PEC off.
        const std::int16_t target = op.args.back().to_int16();
        const int wanted = target > 0 && target % 2 == 1 ? 1 : 2;
        EXPECT_EQ(state.remembered_pec_mode, fault == Fault::Zeroed ? wanted : 2);
      }
      if (role == Role::Version || role == Role::Preliminary) {
        EXPECT_EQ(args[0], state.firmware_version);
      }

      // The next call works again, reopening the module where the read was lost.
      auto again = op.args;
      EXPECT_EQ(call(op, again), OK) << "the next call recovers";
    });
  }

  std::shared_ptr<SimulatedPlatform> platform_;
  std::shared_ptr<sim::SimulatedModule> module_;
  std::shared_ptr<FaultyModule> device_;
  SimulatedPlatform::DeviceId id_ = -1;
};

// The exchanges of an operation that the matrix strikes: all, or of the EEPROM transfers the
// first, a middle and the last chunk.
std::vector<std::size_t> struck_exchanges(const Operation& op) {
  if (op.exchanges.size() == kEepromChunks) return {0, kEepromChunks / 2, kEepromChunks - 1};
  std::vector<std::size_t> all;
  for (std::size_t i = 0; i < op.exchanges.size(); ++i)
    all.push_back(i);
  return all;
}

// Where the module's lock was taken and let go among the platform events of one call: one
// transaction, from before its first request until after its last answer was read.
void expect_one_transaction(const std::vector<SimulatedEvent>& events, std::size_t exchanges) {
  using Kind = SimulatedEvent::Kind;
  std::vector<std::size_t> locks, unlocks, writes, answers;
  for (std::size_t i = 0; i < events.size(); ++i) {
    const Kind kind = events[i].kind;
    if (kind == Kind::Lock) locks.push_back(i);
    if (kind == Kind::Unlock) unlocks.push_back(i);
    if (kind == Kind::Write) writes.push_back(i);
    if (kind == Kind::WaitSignalled) answers.push_back(i);
  }
  if (exchanges == 0) {
    EXPECT_TRUE(locks.empty() && unlocks.empty());
    return;
  }
  ASSERT_EQ(locks.size(), 1u) << "the lock is taken once";
  ASSERT_EQ(unlocks.size(), 1u) << "and let go once";
  ASSERT_EQ(answers.size(), exchanges);
  EXPECT_LT(locks[0], writes.front());
  EXPECT_GT(unlocks[0], answers.back()) << "held until the last answer is read";
}

TEST_F(FaultMatrix, EveryOperationRunsCleanWithoutFaultsAsOneTransaction) {
  // The rows themselves: each makes exactly its exchanges, under the module's lock from its
  // first request to its last answer, and succeeds.
  for (const Operation& op : operations()) {
    install(op);
    testing::on_fresh_thread([&] {
      SCOPED_TRACE(op.name + " " + op.firmware);
      identify(op);
      const int before = device_->requests();
      auto args = op.args;
      const std::int32_t want = op.name == "GPIO_ReadWriteP0Line" && op.firmware == "2.0.19"
                                    ? UNSUPPORTED_GPIO_FW_VER
                                    : OK;
      platform_->clear_events();
      EXPECT_EQ(call(op, args), want);
      EXPECT_EQ(device_->requests() - before, static_cast<int>(op.exchanges.size()));
      expect_one_transaction(platform_->events(), op.exchanges.size());
      check_arguments(op, args, false);
    });
  }
}

// Each exchange times out, its wait fails, it comes back zeroed or short or with each failing
// status.
TEST_F(FaultMatrix, EachExchangeFailsInEachWay) {
  for (const Operation& op : operations())
    for (std::size_t index : struck_exchanges(op)) {
      for (Fault fault : {Fault::TimesOut, Fault::WaitFails, Fault::Zeroed, Fault::Short})
        strike(op, index, fault);
      for (std::uint8_t status : kStatuses)
        strike(op, index, Fault::Status, status);
    }
}

// Unplugged while the request is on its way: a clear result at once, no waiting, and the
// operation works again after a replug.
TEST_F(FaultMatrix, UnpluggedDuringEachKindOfOperation) {
  for (const Operation& op : operations()) {
    if (op.exchanges.empty()) continue;
    const std::size_t index =
        op.exchanges.size() == kEepromChunks ? kEepromChunks / 2 : op.exchanges.size() - 1;
    install(op);
    testing::on_fresh_thread([&] {
      SCOPED_TRACE(op.name + " " + op.firmware + ", unplugged at exchange " +
                   std::to_string(index));
      identify(op);
      device_->arm(static_cast<int>(index), Fault::Unplugged);
      auto args = op.args;
      const auto start = platform_->now_ms();
      const std::int32_t result = call(op, args);
      const bool raw = op.exchanges[index] == Role::Raw;
      EXPECT_EQ(result, raw ? OK : FATAL_ERROR);
      EXPECT_LT(platform_->now_ms() - start, 6000u) << "no waiting for a device that is gone";
      EXPECT_FALSE(ModuleState::current().module_present);
      check_arguments(op, args, !raw);

      // Still unplugged: not found. Plugged back in: found and served.
      auto again = op.args;
      EXPECT_EQ(call(op, again), NO_DEV_DETECTED);
      platform_->replug(id_);
      again = op.args;
      EXPECT_EQ(call(op, again), OK);
    });
  }
}

}  // namespace
}  // namespace gpio_dll
