// SMBus byte and word transactions and the PEC mode step, against the simulated module and its
// smart battery, for both firmware generations.
#include <gtest/gtest.h>

#include <functional>

#include "gpio_dll/gpio_dll.hpp"
#include "support/test_support.hpp"

namespace gpio_dll {
namespace {

using testing::bytes;
using testing::Requests;
namespace bat = sim::battery;

class SMBusByteWord : public testing::SimulatedModuleTest {};

struct LayoutCase {
  const char* name;
  const char* fw;
  std::function<std::int32_t(cls_GPIO_DLL&)> call;
  std::vector<std::uint8_t> request;  // the operation's own request, after the PEC mode exchange
};

TEST_F(SMBusByteWord, RequestsFollowEachGenerationsLayout) {
  const std::vector<LayoutCase> cases = {
      {"send byte", "1.0.10",
       [](cls_GPIO_DLL& d) {
         std::int32_t l = 0x1234;
         std::int16_t t = 0x16;
         return d.GPIO_SendSMBusByte(l, t);
       },
       bytes({0x01, 0x16, 0x34})},
      {"send byte", "2.0.19",
       [](cls_GPIO_DLL& d) {
         std::int32_t l = 256;
         std::int16_t t = 0x16;
         return d.GPIO_SendSMBusByte(l, t);
       },
       bytes({0x22, 0x0B, 0x00})},
      {"write byte", "1.0.10",
       [](cls_GPIO_DLL& d) {
         std::int16_t c = 0x17, t = 0x16;
         std::int32_t l = 5;
         return d.GPIO_WriteSMBusByte(c, l, t);
       },
       bytes({0x03, 0x16, 0x17, 0x05})},
      {"write byte", "2.0.19",
       [](cls_GPIO_DLL& d) {
         std::int16_t c = 0x17, t = 0x16;
         std::int32_t l = 5;
         return d.GPIO_WriteSMBusByte(c, l, t);
       },
       bytes({0x23, 0x0B, 0x17, 0x05})},
      {"write word", "1.0.10",
       [](cls_GPIO_DLL& d) {
         std::int16_t c = 0x09, t = 0x16;
         std::int32_t h = 0x12, l = 0x34;
         return d.GPIO_WriteSMBusWord(c, h, l, t);
       },
       bytes({0x04, 0x16, 0x09, 0x34, 0x12})},
      {"write word", "2.0.19",
       [](cls_GPIO_DLL& d) {
         std::int16_t c = 0x09, t = 0x16;
         std::int32_t h = 0x12, l = 0x34;
         return d.GPIO_WriteSMBusWord(c, h, l, t);
       },
       bytes({0x24, 0x0B, 0x09, 0x34, 0x12})},
      {"receive byte", "1.0.10",
       [](cls_GPIO_DLL& d) {
         std::int32_t b = 0;
         std::int16_t t = 0x16;
         return d.GPIO_ReceiveSMBusByte(b, t);
       },
       bytes({0x02, 0x17})},
      {"receive byte", "2.0.19",
       [](cls_GPIO_DLL& d) {
         std::int32_t b = 0;
         std::int16_t t = 0x16;
         return d.GPIO_ReceiveSMBusByte(b, t);
       },
       bytes({0x21, 0x0B, 0x00, 0x01})},
      {"read byte", "1.0.10",
       [](cls_GPIO_DLL& d) {
         std::int16_t c = 0x0D, t = 0x16;
         std::int32_t b = 0;
         return d.GPIO_ReadSMBusByte(c, b, t);
       },
       bytes({0x05, 0x16, 0x0D, 0x17})},
      {"read byte", "2.0.19",
       [](cls_GPIO_DLL& d) {
         std::int16_t c = 0x0D, t = 0x16;
         std::int32_t b = 0;
         return d.GPIO_ReadSMBusByte(c, b, t);
       },
       bytes({0x27, 0x0B, 0x0D})},
      {"read word", "1.0.10",
       [](cls_GPIO_DLL& d) {
         std::int16_t c = 0x0D, t = 0x16;
         std::int32_t h = 0, l = 0;
         return d.GPIO_ReadSMBusWord(c, h, l, t);
       },
       bytes({0x06, 0x16, 0x0D, 0x17})},
      {"read word", "2.0.19",
       [](cls_GPIO_DLL& d) {
         std::int16_t c = 0x0D, t = 0x16;
         std::int32_t h = 0, l = 0;
         return d.GPIO_ReadSMBusWord(c, h, l, t);
       },
       bytes({0x28, 0x0B, 0x0D})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " on " + c.fw);
    with_identified(c.fw, [&] {
      cls_GPIO_DLL dll;
      EXPECT_EQ(c.call(dll), OK);
      auto pec_off = std::string(c.fw) == "1.0.10" ? bytes({0x11, 0x00}) : bytes({0x06, 0x00});
      pec_off.resize(c.request.size(), 0);  // the rest of every request is zero
      EXPECT_EQ(sent(c.request.size()), (Requests{pec_off, c.request}));
      // The PEC mode is remembered: a second call sends only its own request.
      mark();
      EXPECT_EQ(c.call(dll), OK);
      EXPECT_EQ(sent(c.request.size()), Requests{c.request});
    });
  }
}

TEST_F(SMBusByteWord, AWordWrittenIsReadBackFromTheBattery) {
  for (const char* fw : {"1.0.10", "2.0.19"}) {
    SCOPED_TRACE(fw);
    for (std::int16_t target : {std::int16_t{0x16}, std::int16_t{0x17}}) {
      with_identified(fw, [&] {
        cls_GPIO_DLL dll;
        std::int16_t cmd = bat::kManufacturerAccess;
        std::int32_t high = 0xBE, low = 0xEF;
        ASSERT_EQ(dll.GPIO_WriteSMBusWord(cmd, high, low, target), OK);
        EXPECT_EQ(module().battery().manufacturer_access(), 0xBEEF);
        high = low = 99;
        ASSERT_EQ(dll.GPIO_ReadSMBusWord(cmd, high, low, target), OK);
        EXPECT_EQ(high, 0xBE);
        EXPECT_EQ(low, 0xEF);
        cmd = bat::kRelativeStateOfCharge;
        ASSERT_EQ(dll.GPIO_ReadSMBusWord(cmd, high, low, target), OK);
        EXPECT_EQ(low, 87);
        EXPECT_EQ(high, 0);
        // Read Byte of a word register: without PEC the low byte; with PEC the module takes the
        // high byte for the PEC and refuses it, as on a real bus.
        std::int32_t byte = 0;
        const std::int32_t expected_byte = target == 0x16 ? 87 : 0;
        const std::int32_t byte_result = dll.GPIO_ReadSMBusByte(cmd, byte, target);
        EXPECT_EQ(byte_result == OK, target == 0x16) << byte_result;
        EXPECT_EQ(byte, expected_byte);
        // A PEC-checked write that the battery refused would have left the old value.
        EXPECT_EQ(module().battery().refused_pec_writes(), 0);
      });
    }
  }
}

TEST_F(SMBusByteWord, PecModeIsSwitchedOnlyWhenTheWantedModeChanges) {
  for (const char* fw : {"1.0.10", "2.0.19"}) {
    const std::uint8_t pec_command = std::string(fw) == "1.0.10" ? 0x11 : 0x06;
    with_identified(fw, [&] {
      cls_GPIO_DLL dll;
      std::int32_t data = 1;
      for (int target : {0x16, 0x17, 0x16, 0x17, 0x117, -1}) {
        auto t = static_cast<std::int16_t>(target);
        // -1 addresses the general call address 0, where nothing answers.
        EXPECT_EQ(dll.GPIO_SendSMBusByte(data, t) == OK, target != -1) << target;
      }
      Requests pec_switches;
      for (const auto& r : sent(2))
        if (r[0] == pec_command) pec_switches.push_back(r);
      // 0x117 asks for PEC like 0x17 (no switch); -1 never asks for PEC.
      EXPECT_EQ(pec_switches,
                (Requests{bytes({pec_command, 0}), bytes({pec_command, 1}), bytes({pec_command, 0}),
                          bytes({pec_command, 1}), bytes({pec_command, 0})}));
    });
  }
}

TEST_F(SMBusByteWord, AFailedPecSwitchIsNotReportedAndIsTriedAgain) {
  with_identified("2.0.19", [&] {
    cls_GPIO_DLL dll;
    std::int16_t cmd = bat::kVoltage, target = 0x17;
    std::int32_t high = 0, low = 0;
    module().fail_request(0, 0x05);  // the PEC mode exchange
    EXPECT_EQ(dll.GPIO_ReadSMBusWord(cmd, high, low, target), OK);
    EXPECT_EQ(ModuleState::current().remembered_pec_mode, 2);
    mark();
    EXPECT_EQ(dll.GPIO_ReadSMBusWord(cmd, high, low, target), OK);
    EXPECT_EQ(sent(2), (Requests{bytes({0x06, 0x01}), bytes({0x28, 0x0B})}));
    EXPECT_EQ(ModuleState::current().remembered_pec_mode, 1);
  });
}

TEST_F(SMBusByteWord, ModuleStatusGivesTheGenerationsBandAndZeroOutputs) {
  struct Band {
    const char* fw;
    std::uint8_t status;
    std::int32_t code;
  };
  for (const Band& b : {Band{"1.0.10", 0x05, 305}, Band{"2.0.19", 0x05, 405},
                        Band{"1.0.10", 0xFF, 555}, Band{"2.0.19", 0xFF, 655}}) {
    with_identified(b.fw, [&] {
      cls_GPIO_DLL dll;
      std::int16_t cmd = bat::kVoltage, target = 0x16;
      std::int32_t high = 7, low = 7;
      module().fail_request(1, b.status);  // after the PEC mode exchange
      EXPECT_EQ(dll.GPIO_ReadSMBusWord(cmd, high, low, target), b.code);
      EXPECT_EQ(high, 0);
      EXPECT_EQ(low, 0);
    });
  }
}

TEST_F(SMBusByteWord, AnAbsentSlaveIsNotAcknowledged) {
  with_identified("2.0.19", [&] {
    std::int16_t cmd = 0x0D, target = 0x20;
    std::int32_t high = 1, low = 1;
    EXPECT_EQ(cls_GPIO_DLL().GPIO_ReadSMBusWord(cmd, high, low, target), 406);
    EXPECT_EQ(low, 0);
  });
}

TEST_F(SMBusByteWord, ANegativeByteRaisesOverflowBeforeTheRequestIsSent) {
  with_identified("1.0.10", [&] {
    cls_GPIO_DLL dll;
    std::int32_t data = -1;
    std::int16_t target = 0x16;
    try {
      dll.GPIO_SendSMBusByte(data, target);
      ADD_FAILURE() << "no overflow";
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.number(), kOverflow);
    }
    // The PEC mode exchange went out; the Send Byte did not.
    EXPECT_EQ(sent(2), Requests{bytes({0x11, 0x00})});
    std::int16_t bad_target = -2;
    data = 1;
    EXPECT_THROW(dll.GPIO_SendSMBusByte(data, bad_target), AutomationError);
    // Through late binding the same error reaches an automation client.
    std::vector<Variant> args = {Variant(std::int32_t{-1}), Variant(std::int16_t{0x16})};
    try {
      automation::Invoke(dll, "GPIO_SendSMBusByte", args);
      ADD_FAILURE() << "no overflow";
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.number(), kOverflow);
    }
  });
}

TEST_F(SMBusByteWord, ReceiveByteOnTheNewFirmwareChecksTheSlavesPec) {
  with_identified("2.0.19", [&] {
    cls_GPIO_DLL dll;
    std::int16_t cmd = bat::kRelativeStateOfCharge, target = 0x17;
    std::int32_t high = 0, low = 0, byte = 0;
    ASSERT_EQ(dll.GPIO_ReadSMBusWord(cmd, high, low, target), OK);  // selects the register
    mark();
    ASSERT_EQ(dll.GPIO_ReceiveSMBusByte(byte, target), OK);
    EXPECT_EQ(byte, 87);
    EXPECT_EQ(sent(4), Requests{bytes({0x21, 0x0B, 0x00, 0x02})});
    module().battery().set_wrong_pec(true);
    EXPECT_EQ(dll.GPIO_ReceiveSMBusByte(byte, target), ERROR_PEC);
    EXPECT_EQ(byte, 0);
    std::int32_t code = 138;
    EXPECT_EQ(dll.Check_DllErrorCode(code), "Maximum read size exceeded (>60 bytes).");
  });
}

TEST_F(SMBusByteWord, AWrongPecFromTheSlaveIsCaughtByTheModuleOnModuleChecked) {
  struct Case {
    const char* fw;
    std::int32_t code;
  };
  for (const Case& c : {Case{"1.0.10", 301}, Case{"2.0.19", 411}}) {
    with_identified(c.fw, [&] {
      module().battery().set_wrong_pec(true);
      std::int16_t cmd = bat::kVoltage, target = 0x17;
      std::int32_t high = 1, low = 1;
      EXPECT_EQ(cls_GPIO_DLL().GPIO_ReadSMBusWord(cmd, high, low, target), c.code);
      EXPECT_EQ(high, 0);
      // Without PEC the same read passes.
      target = 0x16;
      EXPECT_EQ(cls_GPIO_DLL().GPIO_ReadSMBusWord(cmd, high, low, target), OK);
      EXPECT_EQ(high * 256 + low, 12345);
    });
  }
}

}  // namespace
}  // namespace gpio_dll
