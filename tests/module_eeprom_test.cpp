// The module's own EEPROM, read and written whole in 32-byte chunks, and the raw pass-through.
#include <gtest/gtest.h>

#include <random>

#include "diagnostics/form1.hpp"
#include "gpio_dll/gpio_dll.hpp"
#include "support/test_support.hpp"

namespace gpio_dll {
namespace {

using testing::bytes;
using testing::Requests;

class ModuleEeprom : public testing::SimulatedModuleTest {};

ByteArray random_image(unsigned seed) {
  std::mt19937 random(seed);
  ByteArray image(8192);
  for (auto& b : image)
    b = static_cast<std::uint8_t>(random());
  return image;
}

TEST_F(ModuleEeprom, AnImageIsWrittenAndReadBackWhole) {
  struct Case {
    const char* fw;
    std::uint8_t read;
    std::uint8_t write;
  };
  for (const Case& c : {Case{"1.0.10", 0x19, 0x18}, Case{"2.0.19", 0x05, 0x04}}) {
    with_identified(c.fw, [&] {
      cls_GPIO_DLL dll;
      std::string fw = c.fw;
      ByteArray image = random_image(7);
      ASSERT_EQ(dll.GPIO_FW_EEP_Write(fw, image), OK);
      EXPECT_EQ(module().hardware().eeprom, image);
      const Requests writes = sent(36);
      ASSERT_EQ(writes.size(), 256u);
      EXPECT_EQ(testing::head(writes[8], 4), bytes({c.write, 0x01, 0x00, 0x20}));
      EXPECT_EQ(ByteArray(writes[8].begin() + 4, writes[8].end()),
                ByteArray(image.begin() + 256, image.begin() + 288));

      mark();
      ByteArray read = {1};
      ASSERT_EQ(dll.GPIO_FW_EEP_Read(fw, read), OK);
      EXPECT_EQ(read, image);
      const Requests reads = sent(4);
      ASSERT_EQ(reads.size(), 256u);
      EXPECT_EQ(reads.front(), bytes({c.read, 0x00, 0x00, 0x20}));
      EXPECT_EQ(reads[1], bytes({c.read, 0x00, 0x20, 0x20}));
      EXPECT_EQ(reads.back(), bytes({c.read, 0x1F, 0xE0, 0x20}));
      const auto& bar = diagnostics::debug_window(ModuleState::current()).ProgressBar1;
      EXPECT_EQ(bar.max, 8191);
      EXPECT_EQ(bar.value, 0);
    });
  }
}

TEST_F(ModuleEeprom, TheGenerationComesFromTheArgumentNotTheThread) {
  with_identified("1.0.10", [&] {
    std::string fw = "2.0.19";
    ByteArray read;
    cls_GPIO_DLL().GPIO_FW_EEP_Read(fw, read);
    EXPECT_EQ(sent(1).front(), bytes({0x05}));
  });
}

TEST_F(ModuleEeprom, AFailingChunkStopsTheTransfer) {
  with_identified("2.0.19", [&] {
    module().hardware().eeprom = random_image(3);
    module().fail_request(128, 0x09);  // the chunk at 4096
    std::string fw = "2.0.19";
    ByteArray read;
    EXPECT_EQ(cls_GPIO_DLL().GPIO_FW_EEP_Read(fw, read), FATAL_ERROR);
    ASSERT_EQ(read.size(), 8192u);
    EXPECT_TRUE(std::equal(read.begin(), read.begin() + 4096, module().hardware().eeprom.begin()));
    EXPECT_TRUE(std::all_of(read.begin() + 4096, read.end(), [](auto b) { return b == 0; }));
    EXPECT_EQ(diagnostics::debug_window(ModuleState::current()).ProgressBar1.value, 4096);
  });
}

TEST_F(ModuleEeprom, VersionTextsAndShortImagesAreRefusedBeforeAnyExchange) {
  with_identified("2.0.19", [&] {
    cls_GPIO_DLL dll;
    struct Case {
      std::string fw;
      std::size_t image;
      std::int32_t write;
    };
    for (const Case& c :
         {Case{"", 8192, NO_DEV_DETECTED}, Case{"3.0.0", 8192, UNSUPPORTED_GPIO_FW_VER},
          Case{"2.0.19", 8191, ERROR_MAX_SIZE_FOR_WRITE},
          Case{"1.0.10", 0, ERROR_MAX_SIZE_FOR_WRITE}}) {
      std::string fw = c.fw;
      ByteArray image(c.image, 0x11);
      EXPECT_EQ(dll.GPIO_FW_EEP_Write(fw, image), c.write) << c.fw;
      EXPECT_EQ(image.size(), c.image);
    }
    std::string fw = "3.0.0";
    ByteArray read = {5, 5, 5};
    EXPECT_EQ(dll.GPIO_FW_EEP_Read(fw, read), UNSUPPORTED_GPIO_FW_VER);
    EXPECT_EQ(read, bytes({0, 0}));
    EXPECT_TRUE(sent().empty());
  });
}

TEST_F(ModuleEeprom, PassThroughSendsExactly64BytesAndHandsBackTheAnswerUnexamined) {
  with_identified("2.0.19", [&] {
    cls_GPIO_DLL dll;
    ByteArray w = {0x2B, 0xFF, 0x00}, r;
    ASSERT_EQ(dll.GPIO_DMA(w, r), OK);
    EXPECT_EQ(w.size(), 64u);
    EXPECT_EQ(sent().back(), w);
    EXPECT_EQ(r.size(), 64u);
    EXPECT_EQ(testing::head(r, 3), bytes({0x2B, 0x00, 0xFF}));

    ByteArray long_request(100, 0x77);
    module().fail_request(0, 0x33);
    EXPECT_EQ(dll.GPIO_DMA(long_request, r), OK);  // a nonzero status is not examined
    EXPECT_EQ(long_request.size(), 64u);
    EXPECT_EQ(r[1], 0x33);
    // A PEC mode command passed through does not change the remembered mode.
    ByteArray pec_on = {0x06, 0x01};
    const auto remembered = ModuleState::current().remembered_pec_mode;
    EXPECT_EQ(dll.GPIO_DMA(pec_on, r), OK);
    EXPECT_EQ(ModuleState::current().remembered_pec_mode, remembered);
  });
}

TEST_F(ModuleEeprom, PassThroughOnAFreshThreadIdentifiesThroughTheWindow) {
  testing::on_fresh_thread([&] {
    cls_GPIO_DLL dll;
    ByteArray w, r;
    ASSERT_EQ(dll.GPIO_DMA(w, r), OK);
    EXPECT_EQ(ModuleState::current().firmware_version, "2.0.19");
    std::uint8_t b = 0;
    EXPECT_EQ(dll.GPIO_GetP0Line(b), OK);
  });
}

TEST_F(ModuleEeprom, PassThroughWithoutAModuleTouchesNeither) {
  platform().unplug(device());
  testing::on_fresh_thread([&] {
    ByteArray w = {1}, r = {2};
    EXPECT_EQ(cls_GPIO_DLL().GPIO_DMA(w, r), NO_DEV_DETECTED);
    EXPECT_EQ(w, bytes({1}));
    EXPECT_EQ(r, bytes({2}));
  });
}

}  // namespace
}  // namespace gpio_dll
