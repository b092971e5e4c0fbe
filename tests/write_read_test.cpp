// Process Call, I2C write-then-read and SMBus block write-block read, with the component's own
// PEC check on the new firmware and the limits that keep every byte inside the request.
#include <gtest/gtest.h>

#include <numeric>

#include "gpio_dll/gpio_dll.hpp"
#include "support/test_support.hpp"

namespace gpio_dll {
namespace {

using testing::bytes;
using testing::Requests;
namespace bat = sim::battery;

class WriteRead : public testing::SimulatedModuleTest {};

TEST_F(WriteRead, ProcessCallOnBothGenerations) {
  struct Case {
    const char* fw;
    std::int16_t target;
    std::vector<std::uint8_t> request;
  };
  for (const Case& c : {Case{"1.0.10", 0x16, bytes({0x07, 0x16, 0x00, 0x34, 0x12, 0x17})},
                        Case{"1.0.10", 0x17, bytes({0x07, 0x16, 0x00, 0x34, 0x12, 0x17})},
                        Case{"2.0.19", 0x16, bytes({0x21, 0x0B, 0x03, 0x02, 0x00, 0x34, 0x12})},
                        Case{"2.0.19", 0x17, bytes({0x21, 0x0B, 0x03, 0x03, 0x00, 0x34, 0x12})}}) {
    with_identified(c.fw, [&] {
      std::int16_t cmd = bat::kManufacturerAccess, target = c.target;
      std::int32_t wH = 0x12, wL = 0x1234, rH = 9, rL = 9;  // wDataL 0x1234 sends 0x34
      ASSERT_EQ(cls_GPIO_DLL().GPIO_ProcessCall(cmd, wH, wL, rH, rL, target), OK) << c.fw;
      EXPECT_EQ(sent(c.request.size()).back(), c.request);
      // The battery answers with the complement of the word written.
      EXPECT_EQ(rL, 0xCB);
      EXPECT_EQ(rH, 0xED);
      EXPECT_EQ(module().battery().manufacturer_access(), 0x1234);
    });
  }
}

// The new firmware hands the PEC byte of what it reads on its general command to the component,
// which checks it: a wrong one is never OK.
TEST_F(WriteRead, NewFirmwareRefusesAWrongPecOnWhatItReads) {
  with_identified("2.0.19", [&] {
    module().battery().set_wrong_pec(true);
    std::int16_t cmd = 0, target = 0x17;
    std::int32_t wH = 1, wL = 2, rH = 9, rL = 9;
    EXPECT_EQ(cls_GPIO_DLL().GPIO_ProcessCall(cmd, wH, wL, rH, rL, target), ERROR_PEC);
    EXPECT_EQ(rL, 0);
    EXPECT_EQ(rH, 0);
    std::int16_t block_cmd = bat::kManufacturerBlockAccess, nW = 3, nR = 0;
    ByteArray written = {1, 2, 3, 0, 0}, read;
    EXPECT_EQ(cls_GPIO_DLL().GPIO_WriteReadSMBusBlock(block_cmd, written, read, nW, nR, target),
              ERROR_PEC);
    target = 0x16;  // without PEC nothing is checked
    EXPECT_EQ(cls_GPIO_DLL().GPIO_ProcessCall(cmd, wH, wL, rH, rL, target), OK);
    nW = 3;
    EXPECT_EQ(cls_GPIO_DLL().GPIO_WriteReadSMBusBlock(block_cmd, written, read, nW, nR, target),
              OK);
  });
}

TEST_F(WriteRead, BlockWriteBlockReadRoundTripsWithPec) {
  for (const char* fw : {"1.0.10", "2.0.19"}) {
    for (std::int16_t target : {std::int16_t{0x16}, std::int16_t{0x17}}) {
      with_identified(fw, [&] {
        std::int16_t cmd = bat::kManufacturerBlockAccess, nW = 5, nR = 0;
        ByteArray written = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0, 0};  // the new firmware wants nW + 2
        ByteArray read;
        ASSERT_EQ(cls_GPIO_DLL().GPIO_WriteReadSMBusBlock(cmd, written, read, nW, nR, target), OK)
            << fw << " " << target;
        EXPECT_EQ(read, ByteArray(written.begin(), written.begin() + 5));
        EXPECT_EQ(nR, 5);
      });
    }
  }
}

TEST_F(WriteRead, NewFirmwareBlockWriteBlockReadLayoutAndQuirks) {
  with_identified("2.0.19", [&] {
    cls_GPIO_DLL dll;
    std::int16_t cmd = 0x44, target = 0x16, nW = 0, nR = 0;
    ByteArray w = {0}, r;
    module().battery().set_block(0x44, bytes({7, 8}));
    ASSERT_EQ(dll.GPIO_WriteReadSMBusBlock(cmd, w, r, nW, nR, target), OK);
    EXPECT_EQ(sent(6).back(), bytes({0x21, 0x0B, 0x01, 60, 0x44, 0}));
    EXPECT_EQ(r, bytes({7, 8}));

    nW = 300;  // taken mod 256 and written back
    nR = 0;
    EXPECT_EQ(dll.GPIO_WriteReadSMBusBlock(cmd, w, r, nW, nR, target), ERROR_MAX_SIZE_FOR_WRITE);
    EXPECT_EQ(nW, 44);
    EXPECT_EQ(nR, 60);
    nW = 59;  // 59 + 2 bytes on the bus would not fit
    ByteArray big(100, 0);
    EXPECT_EQ(dll.GPIO_WriteReadSMBusBlock(cmd, big, r, nW, nR, target),
              ERROR_GPIO_LEN_WR_BLOCK_MAX);
    nW = 3;
    ByteArray three = {1, 2, 3};
    EXPECT_EQ(dll.GPIO_WriteReadSMBusBlock(cmd, three, r, nW, nR, target),
              ERROR_MAX_SIZE_FOR_WRITE);
    ByteArray five = {1, 2, 3, 4, 5};
    mark();
    ASSERT_EQ(dll.GPIO_WriteReadSMBusBlock(cmd, five, r, nW, nR, target), OK);
    EXPECT_EQ(sent(9), Requests{bytes({0x21, 0x0B, 5, 60, 0x44, 3, 1, 2, 3})});
  });
}

TEST_F(WriteRead, ABlockLongerThanOneAnswerIsRefusedNotCut) {
  for (const char* fw : {"1.0.10", "2.0.19"}) {
    with_identified(fw, [&] {
      ByteArray block(70);
      std::iota(block.begin(), block.end(), 0);
      module().battery().set_block(bat::kManufacturerName, block);
      std::int16_t cmd = bat::kManufacturerName, target = 0x17, nW = 0, nR = 0;
      ByteArray w = {0}, r = {0xEE};
      EXPECT_EQ(cls_GPIO_DLL().GPIO_WriteReadSMBusBlock(cmd, w, r, nW, nR, target),
                ERROR_GPIO_LEN_RD_BLOCK_MAX)
          << fw;
      EXPECT_EQ(nR, 70) << fw;
      EXPECT_EQ(r, bytes({0xEE})) << fw;
    });
  }
}

TEST_F(WriteRead, OldFirmwareBlockWriteBlockReadLengthsFromTheSlave) {
  with_identified("1.0.10", [&] {
    std::int16_t cmd = bat::kDeviceName, target = 0x16, nW = 0, nR = 0;
    ByteArray w, r;
    module().battery().set_block(bat::kDeviceName, {});
    EXPECT_EQ(cls_GPIO_DLL().GPIO_WriteReadSMBusBlock(cmd, w, r, nW, nR, target),
              ERROR_LEN_RD_BLOCK);
    EXPECT_EQ(nR, 0);
  });
}

struct FitCase {
  const char* fw;
  bool smbus;
  std::int16_t largest;
};

TEST_F(WriteRead, WriteCountsThatWouldNotFitTheRequestAreRefusedWithTheTrueLimit) {
  for (const FitCase& c :
       {FitCase{"1.0.10", false, 58}, FitCase{"1.0.10", true, 59}, FitCase{"2.0.19", false, 59}}) {
    with_identified(c.fw, [&] {
      cls_GPIO_DLL dll;
      ByteArray w(64);
      std::iota(w.begin(), w.end(), 1);
      ByteArray r;
      std::int16_t cmd = 0x10, target = 0xA0, nR = 1;
      auto call = [&](std::int16_t nW) {
        return c.smbus ? dll.GPIO_WriteReadSMBusBlock(cmd, w, r, nW, nR, target)
                       : dll.GPIO_WriteReadI2CBlock(cmd, w, r, nW, nR, target);
      };
      mark();
      EXPECT_EQ(call(static_cast<std::int16_t>(c.largest + 1)), ERROR_GPIO_LEN_WR_BLOCK_MAX);
      EXPECT_TRUE(sent().empty());
      std::int32_t code = ERROR_GPIO_LEN_WR_BLOCK_MAX;
      EXPECT_EQ(dll.Check_DllErrorCode(code),
                "Maximum write size exceeded (>" + std::to_string(c.largest) + " bytes).");
      // The largest count goes out whole, its last byte inside the request.
      module().battery().set_block(0x10, bytes({1}));
      call(c.largest);
      const auto request = sent().back();
      const std::size_t first_data = std::string(c.fw) == "2.0.19" ? 5 : (c.smbus ? 5 : 4);
      EXPECT_EQ(request[first_data + static_cast<std::size_t>(c.largest) - 1], c.largest);
      if (std::string(c.fw) == "1.0.10" && !c.smbus) {
        EXPECT_EQ(request[1], 60);     // nW + 2
        EXPECT_EQ(request[62], 0xA1);  // read address
        EXPECT_EQ(request[63], 1);     // read count
      }
    });
  }
}

TEST_F(WriteRead, I2CWriteThenReadDeliversWhatWasAskedFor) {
  for (const char* fw : {"1.0.10", "2.0.19"}) {
    with_identified(fw, [&] {
      cls_GPIO_DLL dll;
      std::int16_t offset = 0x30, target = 0xA0, nW = 3, nR = 0;
      ByteArray w = {0xC1, 0xC2, 0xC3}, r = {5, 5};
      // A read count of 0 writes and hands back an empty array.
      ASSERT_EQ(dll.GPIO_WriteReadI2CBlock(offset, w, r, nW, nR, target), OK) << fw;
      EXPECT_TRUE(r.empty());
      nW = 0;
      nR = 3;
      ASSERT_EQ(dll.GPIO_WriteReadI2CBlock(offset, w, r, nW, nR, target), OK) << fw;
      EXPECT_EQ(r, w);
      EXPECT_EQ(module().i2c_eeprom().at(0x31), 0xC2);
    });
  }
}

TEST_F(WriteRead, NegativeCountsRaiseOverflow) {
  with_identified("2.0.19", [&] {
    std::int16_t cmd = 0, target = 0xA0, nW = 0, nR = -1;
    ByteArray w, r;
    EXPECT_THROW(cls_GPIO_DLL().GPIO_WriteReadI2CBlock(cmd, w, r, nW, nR, target), AutomationError);
    std::int32_t wH = 0, wL = -5, rH = 0, rL = 0;
    std::int16_t smbus = 0x16;
    EXPECT_THROW(cls_GPIO_DLL().GPIO_ProcessCall(cmd, wH, wL, rH, rL, smbus), AutomationError);
  });
}

}  // namespace
}  // namespace gpio_dll
