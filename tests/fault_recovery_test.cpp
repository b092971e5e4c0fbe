// Time-outs, lost modules and short reports in the middle of operations: nothing hangs, nothing
// is read outside a report, and the next operation finds the module again.
#include <gtest/gtest.h>

#include "gpio_dll/gpio_dll.hpp"
#include "support/test_support.hpp"

namespace gpio_dll {
namespace {

using testing::bytes;
using testing::Requests;

class FaultRecovery : public testing::SimulatedModuleTest {};

TEST_F(FaultRecovery, APecModeExchangeThatTimesOutFailsTheTransactionWithoutSendingIt) {
  with_identified("2.0.19", [&] {
    cls_GPIO_DLL dll;
    std::int16_t cmd = 0x09, target = 0x17;
    std::int32_t high = 5, low = 5;
    module().fall_silent_after(0);
    const auto start = platform().now_ms();
    EXPECT_EQ(dll.GPIO_ReadSMBusWord(cmd, high, low, target), FATAL_ERROR);
    EXPECT_EQ(platform().now_ms() - start, 6000u);
    EXPECT_EQ(sent(2), Requests{bytes({0x06, 0x01})});
    EXPECT_EQ(ModuleState::current().remembered_pec_mode, 2);
    EXPECT_EQ(high, 0);
    // The module answers again: the next call rediscovers it and switches PEC on again.
    module().set_silent(false);
    module().fall_silent_after(-1);
    mark();
    EXPECT_EQ(dll.GPIO_ReadSMBusWord(cmd, high, low, target), OK);
    EXPECT_EQ(high * 256 + low, 12345);
    EXPECT_EQ(sent(2), (Requests{bytes({0x06, 0x01}), bytes({0x28, 0x0B})}));
  });
}

TEST_F(FaultRecovery, ASecondSegmentThatTimesOutEndsTheWrite) {
  with_identified("2.0.19", [&] {
    cls_GPIO_DLL dll;
    std::int16_t cmd = 0x44, target = 0x16, count = 90;
    ByteArray data(90, 0x5A);
    module().fall_silent_after(2);  // PEC mode and first segment answered
    EXPECT_EQ(dll.GPIO_WriteSMBusBlock(cmd, data, count, target), FATAL_ERROR);
    EXPECT_EQ(sent().size(), 3u);
    EXPECT_FALSE(ModuleState::current().module_present);
    EXPECT_EQ(platform().open_handle_count(), 0);
    module().set_silent(false);
    module().fall_silent_after(-1);
    count = 90;
    EXPECT_EQ(dll.GPIO_WriteSMBusBlock(cmd, data, count, target), OK);
    EXPECT_EQ(module().battery().block(0x44), data);
  });
}

TEST_F(FaultRecovery, ASecondReadSegmentThatTimesOutKeepsTheFirst) {
  with_identified("2.0.19", [&] {
    ByteArray block(80);
    for (std::size_t i = 0; i < block.size(); ++i)
      block[i] = static_cast<std::uint8_t>(i + 1);
    module().battery().set_block(0x44, block);
    std::int16_t cmd = 0x44, target = 0x16, got = 0;
    ByteArray read;
    module().fall_silent_after(2);
    EXPECT_EQ(cls_GPIO_DLL().GPIO_ReadSMBusBlock(cmd, read, got, target), FATAL_ERROR);
    EXPECT_EQ(got, 0);
    ASSERT_EQ(read.size(), 80u);
    EXPECT_TRUE(std::equal(read.begin(), read.begin() + 60, block.begin()));
  });
}

TEST_F(FaultRecovery, UnplugAndReplugBetweenCalls) {
  with_identified("1.0.10", [&] {
    cls_GPIO_DLL dll;
    std::uint8_t b = 0;
    ASSERT_EQ(dll.GPIO_GetP0Line(b), OK);
    platform().unplug(device());
    EXPECT_EQ(dll.GPIO_GetP0Line(b), FATAL_ERROR);  // the open handles fail
    EXPECT_EQ(dll.GPIO_GetP0Line(b), NO_DEV_DETECTED);
    platform().replug(device());
    EXPECT_EQ(dll.GPIO_GetP0Line(b), OK);
  });
}

TEST_F(FaultRecovery, ShortReportsNeverReadOrWritePastTheirEnd) {
  struct Case {
    std::uint16_t input, output;
    std::int32_t i2c_write;  // a 24-byte request
    std::int32_t eeprom;     // 32-byte chunks
  };
  // The smallest reports identification works with; then output reports one byte short of the
  // request, and just long enough, beside a long input report.
  for (const Case& c : {Case{5, 5, FATAL_ERROR, FATAL_ERROR}, Case{65, 24, FATAL_ERROR, OK},
                        Case{65, 25, OK, OK}}) {
    TearDown();
    install({.firmware_version = "1.0.10",
             .input_report_length = c.input,
             .output_report_length = c.output});
    testing::on_fresh_thread([&] {
      SCOPED_TRACE(::testing::Message() << c.input << "/" << c.output);
      cls_GPIO_DLL dll;
      std::string fw, vid, pid;
      ASSERT_EQ(dll.GPIO_FW_VER_Read(fw, vid, pid), OK);
      std::int16_t cmd = 0x0D, target = 0x16;
      std::int32_t high = 1, low = 1;
      // A 4-byte request and 4 answer bytes.
      EXPECT_EQ(dll.GPIO_ReadSMBusWord(cmd, high, low, target), OK);
      std::uint8_t b = 0;
      EXPECT_EQ(dll.GPIO_SetPMBusLine(b), OK);
      // A request longer than the output report is not sent cut short: not sent at all.
      mark();
      std::int16_t reg = 0x10, count = 20, eeprom = 0xA0;
      ByteArray data(20, 0x3C);
      EXPECT_EQ(dll.GPIO_WriteI2CBlock(reg, data, count, eeprom), c.i2c_write);
      EXPECT_EQ(sent().size(), c.i2c_write == OK ? 1u : 0u);
      EXPECT_EQ(module().i2c_eeprom().at(0x10) == 0x3C, c.i2c_write == OK);
      std::string eeprom_fw = "1.0.10";
      ByteArray read;
      EXPECT_EQ(dll.GPIO_FW_EEP_Read(eeprom_fw, read), c.eeprom);
      ByteArray w(64, 0x0F), r;
      EXPECT_EQ(dll.GPIO_DMA(w, r), OK);
      EXPECT_EQ(r.size(), c.input - 1u);
    });
  }
}

TEST_F(FaultRecovery, OddReportLengthsWorkEndToEnd) {
  TearDown();
  install({.firmware_version = "2.0.19", .input_report_length = 41, .output_report_length = 41});
  testing::on_fresh_thread([&] {
    cls_GPIO_DLL dll;
    std::string fw, vid, pid;
    ASSERT_EQ(dll.GPIO_FW_VER_Read(fw, vid, pid), OK);
    std::int16_t cmd = 0x0D, target = 0x17;
    std::int32_t high = 0, low = 0;
    EXPECT_EQ(dll.GPIO_ReadSMBusWord(cmd, high, low, target), OK);
    EXPECT_EQ(low, 87);
    std::int16_t n = 0;
    ByteArray block;
    cmd = 0x21;
    EXPECT_EQ(dll.GPIO_ReadSMBusBlock(cmd, block, n, target), OK);
    EXPECT_EQ(std::string(block.begin(), block.end()), "SIM-BAT-4S");
  });
}

}  // namespace
}  // namespace gpio_dll
