// P0, P1 and PMBus lines, the SDA/SCL check and the bus test, for both firmware generations.
#include <gtest/gtest.h>

#include <functional>

#include "gpio_dll/gpio_dll.hpp"
#include "support/test_support.hpp"

namespace gpio_dll {
namespace {

using testing::bytes;
using testing::Requests;

class LineControl : public testing::SimulatedModuleTest {};

struct LineCase {
  const char* name;
  const char* fw;
  std::function<std::int32_t(cls_GPIO_DLL&)> call;
  std::vector<std::uint8_t> request;
};

TEST_F(LineControl, RequestsFollowEachGenerationsLayout) {
  const std::vector<LineCase> cases = {
      {"set P0", "1.0.10",
       [](cls_GPIO_DLL& d) {
         std::uint8_t b = 0x5A;
         return d.GPIO_SetP0Line(b);
       },
       bytes({0x16, 0x00, 0x5A})},
      {"set P0", "2.0.19",
       [](cls_GPIO_DLL& d) {
         std::uint8_t b = 0x5A;
         return d.GPIO_SetP0Line(b);
       },
       bytes({0x2A, 0xFF, 0x5A})},
      {"get P0", "1.0.10",
       [](cls_GPIO_DLL& d) {
         std::uint8_t b = 0;
         return d.GPIO_GetP0Line(b);
       },
       bytes({0x16, 0xFF, 0x00})},
      {"get P0", "2.0.19",
       [](cls_GPIO_DLL& d) {
         std::uint8_t b = 0;
         return d.GPIO_GetP0Line(b);
       },
       bytes({0x2B, 0xFF, 0x00})},
      {"set PMBus", "1.0.10",
       [](cls_GPIO_DLL& d) {
         std::uint8_t b = 3;
         return d.GPIO_SetPMBusLine(b);
       },
       bytes({0x0C, 0x03, 0x00})},
      {"set PMBus", "2.0.19",
       [](cls_GPIO_DLL& d) {
         std::uint8_t b = 3;
         return d.GPIO_SetPMBusLine(b);
       },
       bytes({0x2A, 0xFF, 0x03})},
      {"get PMBus", "1.0.10",
       [](cls_GPIO_DLL& d) {
         std::uint8_t b = 0;
         return d.GPIO_GetPMBusLine(b);
       },
       bytes({0x0F, 0x00, 0x00})},
      {"get PMBus", "2.0.19",
       [](cls_GPIO_DLL& d) {
         std::uint8_t b = 0;
         return d.GPIO_GetPMBusLine(b);
       },
       bytes({0x2B, 0xFF, 0x00})},
      {"set P1", "1.0.10",
       [](cls_GPIO_DLL& d) {
         std::uint8_t a = 1, b = 2, c = 3;
         return d.GPIO_SetP1Line(a, b, c);
       },
       bytes({0x1A, 0x01, 0x02, 0x03})},
      {"set P1", "2.0.19",
       [](cls_GPIO_DLL& d) {
         std::uint8_t a = 1, b = 2, c = 3;
         return d.GPIO_SetP1Line(a, b, c);
       },
       bytes({0x03, 0x01, 0x02, 0x03})},
      {"set and read P0", "1.0.10",
       [](cls_GPIO_DLL& d) {
         std::uint8_t a = 0xF0, b = 0x0F;
         return d.GPIO_ReadWriteP0Line(a, b);
       },
       bytes({0x16, 0xF0, 0x0F})},
      {"bus test", "1.0.10", [](cls_GPIO_DLL& d) { return d.GPIO_Test(); }, bytes({0x7F, 0x00})},
      {"bus test", "2.0.19", [](cls_GPIO_DLL& d) { return d.GPIO_Test(); }, bytes({0x07, 0x00})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " on " + c.fw);
    with_identified(c.fw, [&] {
      cls_GPIO_DLL dll;
      EXPECT_EQ(c.call(dll), OK);
      // No PEC mode exchange: line operations never run it.
      EXPECT_EQ(sent(c.request.size()), Requests{c.request});
    });
  }
}

TEST_F(LineControl, LinesSetAreReadBack) {
  for (const char* fw : {"1.0.10", "2.0.19"}) {
    with_identified(fw, [&] {
      cls_GPIO_DLL dll;
      std::uint8_t b = 0xA7;
      ASSERT_EQ(dll.GPIO_SetP0Line(b), OK);
      b = 0;
      ASSERT_EQ(dll.GPIO_GetP0Line(b), OK);
      EXPECT_EQ(b, 0xA7);
      std::uint8_t a = 9, c = 7;
      b = 8;
      ASSERT_EQ(dll.GPIO_SetP1Line(a, b, c), OK);
      EXPECT_EQ(module().hardware().p1, (std::array<std::uint8_t, 3>{9, 8, 7}));
    });
  }
  with_identified("1.0.10", [&] {
    cls_GPIO_DLL dll;
    std::uint8_t lines = 0x05;
    ASSERT_EQ(dll.GPIO_SetPMBusLine(lines), OK);
    lines = 0;
    ASSERT_EQ(dll.GPIO_GetPMBusLine(lines), OK);  // taken from answer byte 1
    EXPECT_EQ(lines, 0x05);
    std::uint8_t a = 0xF0, b = 0x0F;
    ASSERT_EQ(dll.GPIO_ReadWriteP0Line(a, b), OK);
    EXPECT_EQ(b, 0x0F);
  });
}

TEST_F(LineControl, OldFirmwareLineReadsIgnoreTheStatusByte) {
  with_identified("1.0.10", [&] {
    module().play_script({bytes({0x16, 0x09, 0x3C}), bytes({0x0F, 0x42, 0x77})});
    std::uint8_t b = 0;
    EXPECT_EQ(cls_GPIO_DLL().GPIO_GetP0Line(b), OK);
    EXPECT_EQ(b, 0x3C);
    EXPECT_EQ(cls_GPIO_DLL().GPIO_GetPMBusLine(b), OK);
    EXPECT_EQ(b, 0x42);
  });
}

TEST_F(LineControl, FailuresLeaveGetsAloneAndZeroTheSetAndRead) {
  with_identified("2.0.19", [&] {
    module().fail_request(0, 0x06);
    std::uint8_t b = 0x55;
    EXPECT_EQ(cls_GPIO_DLL().GPIO_GetP0Line(b), 406);
    EXPECT_EQ(b, 0x55);
    module().fail_request(0, 0x06);
    EXPECT_EQ(cls_GPIO_DLL().GPIO_Test(), 406);
  });
  with_identified("1.0.10", [&] {
    module().fail_request(0, 0x02);
    std::uint8_t a = 1, b = 2;
    EXPECT_EQ(cls_GPIO_DLL().GPIO_ReadWriteP0Line(a, b), 302);
    EXPECT_EQ(b, 0);
  });
}

struct StuckCase {
  bool sda_low;
  bool scl_low;
  std::int32_t check;
};

TEST_F(LineControl, AStuckBusIsReportedByTheLineCheckAndTheBusTest) {
  for (const char* fw : {"1.0.10", "2.0.19"}) {
    for (const StuckCase& c :
         {StuckCase{false, false, OK}, StuckCase{true, false, GPIO_SDA_LOW},
          StuckCase{false, true, GPIO_SCL_LOW}, StuckCase{true, true, GPIO_SDA_SCL_LOW}}) {
      with_identified(fw, [&] {
        module().set_lines_stuck(c.sda_low, c.scl_low);
        cls_GPIO_DLL dll;
        EXPECT_EQ(dll.GPIO_CheckSdaSclLine(), c.check) << fw;
        const bool stuck = c.sda_low || c.scl_low;
        EXPECT_EQ(dll.GPIO_Test() == OK, !stuck) << fw;
        std::int16_t cmd = 0x0D, target = 0x16;
        std::int32_t h = 0, l = 0;
        EXPECT_EQ(dll.GPIO_ReadSMBusWord(cmd, h, l, target) == OK, !stuck) << fw;
      });
    }
  }
}

TEST_F(LineControl, TheLineCheckLooksOnlyAtBits0And1) {
  struct Case {
    std::uint8_t p0;
    std::int32_t check;
  };
  with_identified("2.0.19", [&] {
    for (const Case& c : {Case{0xFF, OK}, Case{0xFE, GPIO_SDA_LOW}, Case{0xFD, GPIO_SCL_LOW},
                          Case{0xFC, GPIO_SDA_SCL_LOW}, Case{0x03, OK}}) {
      std::uint8_t b = c.p0;
      ASSERT_EQ(cls_GPIO_DLL().GPIO_SetP0Line(b), OK);
      EXPECT_EQ(cls_GPIO_DLL().GPIO_CheckSdaSclLine(), c.check) << int{c.p0};
    }
  });
}

TEST_F(LineControl, TheLineCheckRefusesLikeADispatchingMethod) {
  testing::on_fresh_thread([&] {
    EXPECT_EQ(cls_GPIO_DLL().GPIO_CheckSdaSclLine(), NO_DEV_DETECTED);
    ModuleState::current().firmware_version = "3.0.0";
    EXPECT_EQ(cls_GPIO_DLL().GPIO_CheckSdaSclLine(), UNSUPPORTED_GPIO_FW_VER);
    EXPECT_TRUE(requests().empty());
  });
}

}  // namespace
}  // namespace gpio_dll
