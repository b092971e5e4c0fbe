// SMBus and I2C block transactions: limits and their check order, two-segment transfers of the
// new firmware, block lengths from the slave, and data round trips through the simulated bus.
#include <gtest/gtest.h>

#include <numeric>

#include "gpio_dll/gpio_dll.hpp"
#include "support/test_support.hpp"

namespace gpio_dll {
namespace {

using testing::bytes;
using testing::Requests;
namespace bat = sim::battery;

class Blocks : public testing::SimulatedModuleTest {};

ByteArray counting(std::size_t n, std::uint8_t first = 0) {
  ByteArray data(n);
  std::iota(data.begin(), data.end(), first);
  return data;
}

std::vector<std::uint8_t> concat(std::vector<std::uint8_t> a, const ByteArray& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST_F(Blocks, A100ByteBlockTravelsInTwoSegmentsEachWay) {
  with_identified("2.0.19", [&] {
    cls_GPIO_DLL dll;
    std::int16_t cmd = bat::kManufacturerBlockAccess, target = 0x16, count = 100;
    ByteArray data = counting(100, 1);
    ASSERT_EQ(dll.GPIO_WriteSMBusBlock(cmd, data, count, target), OK);
    EXPECT_EQ(count, 40);  // the remainder of the second segment
    const Requests writes = sent();
    ASSERT_EQ(writes.size(), 3u);  // PEC mode, first segment, second segment
    EXPECT_EQ(writes[1],
              concat(bytes({0x25, 0x0B, 0x44, 100}), ByteArray(data.begin(), data.begin() + 60)));
    EXPECT_EQ(testing::head(writes[2], 44),
              concat(bytes({0x25, 0x0B, 0x44, 40}), ByteArray(data.begin() + 60, data.end())));
    EXPECT_EQ(module().battery().block(bat::kManufacturerBlockAccess), data);

    mark();
    ByteArray read = {9, 9, 9};
    std::int16_t got = 0;
    ASSERT_EQ(dll.GPIO_ReadSMBusBlock(cmd, read, got, target), OK);
    EXPECT_EQ(got, 100);
    EXPECT_EQ(read, data);
    EXPECT_EQ(sent(3), (Requests{bytes({0x29, 0x0B, 0x44}), bytes({0x29, 0x0B, 0x44})}));
  });
}

TEST_F(Blocks, NewFirmwareI2CWriteCountsTheCommandByte) {
  with_identified("2.0.19", [&] {
    std::int16_t cmd = 0x44, target = 0x16, count = 100;
    ByteArray data = counting(100);
    module().play_script({bytes({0x20, 0}), bytes({0x20, 0})});
    ASSERT_EQ(cls_GPIO_DLL().GPIO_WriteI2CBlock(cmd, data, count, target), OK);
    const Requests writes = sent(4);
    EXPECT_EQ(writes, (Requests{bytes({0x20, 0x0B, 101, 0x44}), bytes({0x20, 0x0B, 41, 0x44})}));
    EXPECT_EQ(count, 40);
  });
}

TEST_F(Blocks, AFailedFirstSegmentStopsTheWrite) {
  with_identified("2.0.19", [&] {
    std::int16_t cmd = 0x44, target = 0x16, count = 100;
    ByteArray data = counting(100);
    module().fail_request(1, 0x05);  // after the PEC mode exchange
    EXPECT_EQ(cls_GPIO_DLL().GPIO_WriteSMBusBlock(cmd, data, count, target), 405);
    EXPECT_EQ(sent().size(), 2u);
    EXPECT_EQ(count, 40);
  });
}

TEST_F(Blocks, SegmentBoundaries) {
  with_identified("2.0.19", [&] {
    cls_GPIO_DLL dll;
    std::int16_t cmd = 0x10, target = 0xA0;
    for (std::int16_t n : {std::int16_t{60}, std::int16_t{61}}) {
      ByteArray data = counting(static_cast<std::size_t>(n));
      std::int16_t count = n;
      mark();
      ASSERT_EQ(dll.GPIO_WriteI2CBlock(cmd, data, count, target), OK);
      EXPECT_EQ(sent().size(), n == 60 ? 1u : 2u);
      if (n == 61) {
        EXPECT_EQ(sent(5)[1], bytes({0x20, 0x50, 2, 0x10, 60}));
      }
    }
    // A negative count is written back as 0 and sends the command byte alone.
    std::int16_t count = -3;
    ByteArray none;
    mark();
    ASSERT_EQ(dll.GPIO_WriteI2CBlock(cmd, none, count, target), OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(sent(5), Requests{bytes({0x20, 0x50, 1, 0x10, 0})});
  });
}

struct WriteLimitCase {
  const char* fw;
  bool smbus;
  std::int32_t result;
};

TEST_F(Blocks, WriteChecksComeInEachOperationsOrder) {
  // 10 elements, count 61: which check speaks first differs by operation and generation.
  for (const WriteLimitCase& c : {WriteLimitCase{"1.0.10", false, ERROR_GPIO_LEN_WR_BLOCK_MAX},
                                  WriteLimitCase{"1.0.10", true, ERROR_MAX_SIZE_FOR_WRITE},
                                  WriteLimitCase{"2.0.19", false, ERROR_MAX_SIZE_FOR_WRITE},
                                  WriteLimitCase{"2.0.19", true, ERROR_MAX_SIZE_FOR_WRITE}}) {
    with_identified(c.fw, [&] {
      cls_GPIO_DLL dll;
      std::int16_t cmd = 1, target = 0x16, count = 61;
      ByteArray data(10, 0);
      const std::int32_t r = c.smbus ? dll.GPIO_WriteSMBusBlock(cmd, data, count, target)
                                     : dll.GPIO_WriteI2CBlock(cmd, data, count, target);
      EXPECT_EQ(r, c.result) << c.fw << (c.smbus ? " SMBus" : " I2C");
      EXPECT_TRUE(sent().empty());
      ByteArray big(200, 0);
      count = 121;
      EXPECT_EQ(dll.GPIO_WriteSMBusBlock(cmd, big, count, target), ERROR_GPIO_LEN_WR_BLOCK_MAX);
      std::int32_t code = ERROR_GPIO_LEN_WR_BLOCK_MAX;
      EXPECT_EQ(dll.Check_DllErrorCode(code), std::string("Maximum write size exceeded (>") +
                                                  (std::string(c.fw) == "1.0.10" ? "60" : "120") +
                                                  " bytes).");
    });
  }
}

TEST_F(Blocks, OldFirmwareSMBusBlockReadHandlesTheSlavesLength) {
  with_identified("1.0.10", [&] {
    cls_GPIO_DLL dll;
    std::int16_t cmd = bat::kDeviceName, target = 0x16, got = 0;
    ByteArray read;
    ASSERT_EQ(dll.GPIO_ReadSMBusBlock(cmd, read, got, target), OK);
    EXPECT_EQ(std::string(read.begin(), read.end()), "SIM-BAT-4S");
    EXPECT_EQ(got, 10);

    module().battery().set_block(bat::kDeviceName, {});
    EXPECT_EQ(dll.GPIO_ReadSMBusBlock(cmd, read, got, target), ERROR_LEN_RD_BLOCK);
    EXPECT_EQ(got, 0);
    EXPECT_EQ(read, bytes({0, 0}));

    module().battery().set_block(bat::kDeviceName, counting(61));
    read = {7};
    EXPECT_EQ(dll.GPIO_ReadSMBusBlock(cmd, read, got, target), ERROR_GPIO_LEN_RD_BLOCK_MAX);
    EXPECT_EQ(got, 0);
    EXPECT_EQ(read, bytes({7}));
  });
}

TEST_F(Blocks, NewFirmwareBlockReadOfAnEmptyBlockIsTheModulesStatus) {
  with_identified("2.0.19", [&] {
    module().battery().set_block(bat::kDeviceName, {});
    std::int16_t cmd = bat::kDeviceName, target = 0x16, got = 5;
    ByteArray read;
    EXPECT_EQ(cls_GPIO_DLL().GPIO_ReadSMBusBlock(cmd, read, got, target), 414);
    EXPECT_EQ(got, 0);
  });
}

TEST_F(Blocks, NewFirmwareBlockReadJudgesTheAnnouncedLength) {
  struct Case {
    int count;
    std::int32_t result;
  };
  for (const Case& c : {Case{0, ERROR_LEN_RD_BLOCK}, Case{121, ERROR_GPIO_LEN_RD_BLOCK_MAX},
                        Case{255, ERROR_GPIO_LEN_RD_BLOCK_MAX}, Case{3, OK}}) {
    with_identified("2.0.19", [&] {
      std::int16_t cmd = 0x44, target = 0x16, got = 9;
      ByteArray read;
      module().play_script({bytes({0x06, 0}), bytes({0x29, 0, c.count, 1, 2, 3})});
      EXPECT_EQ(cls_GPIO_DLL().GPIO_ReadSMBusBlock(cmd, read, got, target), c.result) << c.count;
      EXPECT_EQ(got, c.result == OK ? 3 : 0);
      EXPECT_EQ(read, c.result == OK ? bytes({1, 2, 3}) : bytes({0, 0}));
    });
  }
}

TEST_F(Blocks, NewFirmwareSecondSegmentMustBringExactlyTheRest) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> second;
    std::int32_t result;
  };
  auto answer = [](int count, int carried) {
    auto a = bytes({0x29, 0, count});
    a.resize(3 + static_cast<std::size_t>(carried), 0xAB);
    return a;
  };
  for (const Case& c : {Case{"the rest", answer(10, 10), OK},
                        Case{"more than the rest", answer(50, 50), ERROR_LEN_RD_BLOCK},
                        Case{"less than the rest", answer(4, 4), ERROR_LEN_RD_BLOCK}}) {
    with_identified("2.0.19", [&] {
      std::int16_t cmd = 0x44, target = 0x16, got = 0;
      ByteArray read;
      module().play_script({bytes({0x06, 0}), answer(70, 60), c.second});
      EXPECT_EQ(cls_GPIO_DLL().GPIO_ReadSMBusBlock(cmd, read, got, target), c.result) << c.name;
      EXPECT_EQ(got, c.result == OK ? 70 : 0) << c.name;
      EXPECT_EQ(read.size(), 70u) << c.name;
    });
  }
}

TEST_F(Blocks, NewFirmwareBlockReadGivesUpOnEndlessFirstSegments) {
  with_identified("2.0.19", [&] {
    std::int16_t cmd = 0x44, target = 0x16, got = 0;
    ByteArray read;
    std::vector<sim::ScriptedAnswer> script = {bytes({0x06, 0})};
    auto first = bytes({0x29, 0, 90});
    first.resize(63, 0x11);
    for (int i = 0; i < 10; ++i)
      script.emplace_back(first);
    module().play_script(script);
    EXPECT_EQ(cls_GPIO_DLL().GPIO_ReadSMBusBlock(cmd, read, got, target), ERROR_LEN_RD_BLOCK);
    EXPECT_EQ(got, 0);
    EXPECT_LE(sent().size(), 5u);
  });
}

TEST_F(Blocks, I2CReadCountsDefaultToEachGenerationsMaximum) {
  struct Case {
    const char* fw;
    std::int16_t maximum;
    std::vector<std::uint8_t> request;
  };
  for (const Case& c : {Case{"1.0.10", 62, bytes({0x15, 0xA0, 0x00, 0xA1, 62})},
                        Case{"2.0.19", 60, bytes({0x21, 0x50, 0x01, 60, 0x00})}}) {
    with_identified(c.fw, [&] {
      cls_GPIO_DLL dll;
      std::int16_t cmd = 0, target = 0xA0, n = 0;
      ByteArray read;
      ASSERT_EQ(dll.GPIO_ReadI2CBlock(cmd, read, n, target), OK);
      EXPECT_EQ(n, c.maximum);
      EXPECT_EQ(read.size(), static_cast<std::size_t>(c.maximum));
      EXPECT_EQ(sent(5).back(), c.request);
      n = static_cast<std::int16_t>(c.maximum + 1);
      mark();
      EXPECT_EQ(dll.GPIO_ReadI2CBlock(cmd, read, n, target), ERROR_GPIO_LEN_RD_BLOCK_MAX);
      EXPECT_TRUE(sent().empty());
      std::int32_t code = ERROR_GPIO_LEN_RD_BLOCK_MAX;
      EXPECT_EQ(dll.Check_DllErrorCode(code),
                "Maximum read size exceeded (>" + std::to_string(c.maximum) + " bytes).");
    });
  }
}

TEST_F(Blocks, AnI2CEepromIsWrittenAndReadBack) {
  for (const char* fw : {"1.0.10", "2.0.19"}) {
    with_identified(fw, [&] {
      cls_GPIO_DLL dll;
      std::int16_t offset = 0x20, target = 0xA1, count = 16;  // bit 0 changes nothing for I2C
      ByteArray data = counting(16, 0x80);
      ASSERT_EQ(dll.GPIO_WriteI2CBlock(offset, data, count, target), OK) << fw;
      EXPECT_EQ(module().i2c_eeprom().at(0x20), 0x80);
      EXPECT_EQ(module().i2c_eeprom().at(0x2F), 0x8F);
      ByteArray read;
      std::int16_t n = 16;
      ASSERT_EQ(dll.GPIO_ReadI2CBlock(offset, read, n, target), OK) << fw;
      EXPECT_EQ(read, data) << fw;
    });
  }
}

TEST_F(Blocks, ReadFailuresClearTheCount) {
  with_identified("1.0.10", [&] {
    cls_GPIO_DLL dll;
    std::int16_t cmd = bat::kDeviceName, target = 0x16, got = 5;
    ByteArray read = {1, 2, 3};
    module().fail_request(1, 0x04);
    EXPECT_EQ(dll.GPIO_ReadSMBusBlock(cmd, read, got, target), 304);
    EXPECT_EQ(got, 0);
    EXPECT_EQ(read, bytes({0}));
    std::int16_t n = 8;
    read = {1, 2, 3};
    module().fail_request(0, 0x04);
    EXPECT_EQ(dll.GPIO_ReadI2CBlock(cmd, read, n, target), 304);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(read, bytes({1, 2, 3}));
  });
}

}  // namespace
}  // namespace gpio_dll
