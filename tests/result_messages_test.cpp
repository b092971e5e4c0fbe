#include <gtest/gtest.h>

#include <cstring>

#include "base/module_state.hpp"
#include "base/result_messages.hpp"
#include "gpio_dll/gpio_dll.hpp"
#include "support/test_support.hpp"

namespace gpio_dll {
namespace {

struct MessageCase {
  std::int32_t code;
  const char* message;
};

class ResultMessage : public ::testing::TestWithParam<MessageCase> {};

TEST_P(ResultMessage, MatchesTheFixedText) {
  EXPECT_EQ(result_message(GetParam().code, 0, 0), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    AcrossTheNumberLine, ResultMessage,
    ::testing::Values(
        MessageCase{0, "OK."}, MessageCase{2, "Chip in Normal Mode."},
        MessageCase{14, "Fatal Error."}, MessageCase{61, "Bad PEC."},
        MessageCase{44, "Error Erase ROM."}, MessageCase{113, "Error Erase ROM."},
        MessageCase{45, "Error Write ROM."}, MessageCase{118, "Error Write ROM."},
        MessageCase{75, "Error Select Interface"}, MessageCase{76, "Error Address"},
        MessageCase{85, "Not completed saccessfully."},
        MessageCase{109, "Error Read FlashROM  Page1."},
        MessageCase{120, "Error Write FlashROM  Page2."},
        MessageCase{131, "USB device not detected."},
        MessageCase{133, "GPIO Firmware Version is not supported."},
        MessageCase{136, "Exceeded Max.Size for Block Recording."},
        MessageCase{140, "Error. SDA = Low."}, MessageCase{141, "Error. SCL = Low."},
        MessageCase{142, "Error. SDA and SCL = Low."},
        // Members without a text of their own, and codes outside every band.
        MessageCase{96, "Unknown Error. <96>"}, MessageCase{97, "Unknown Error. <97>"},
        MessageCase{98, "Unknown Error. <98>"}, MessageCase{127, "Unknown Error. <127>"},
        MessageCase{128, "Unknown Error. <128>"}, MessageCase{129, "Unknown Error. <129>"},
        MessageCase{143, "Unknown Error. <143>"}, MessageCase{-1, "Unknown Error. <-1>"},
        MessageCase{299, "Unknown Error. <299>"}, MessageCase{500, "Unknown Error. <500>"},
        MessageCase{655, "Unknown Error. <655>"},
        MessageCase{INT32_MIN, "Unknown Error. <-2147483648>"},
        MessageCase{INT32_MAX, "Unknown Error. <2147483647>"},
        // The module status bands: only the number counts, not the firmware.
        MessageCase{300, "Unknown GPIO Error. <300>"},
        MessageCase{301, "Error (without explanation)."},
        MessageCase{305, "Unknown GPIO Error. <305>"},
        MessageCase{399, "Unknown GPIO Error. <399>"},
        MessageCase{400, "Unknown GPIO Error. <400>"},
        MessageCase{401, "Unknown GPIO Error. <401>"}, MessageCase{406, "Error Write."},
        MessageCase{411, "Bad PEC."}, MessageCase{414, "Error. Read LenBlock=0."},
        MessageCase{499, "Unknown GPIO Error. <499>"}),
    [](const ::testing::TestParamInfo<MessageCase>& param_info) {
      const std::int32_t code = param_info.param.code;
      return code < 0 ? "minus" + std::to_string(-static_cast<std::int64_t>(code))
                      : std::to_string(code);
    });

TEST(ResultMessages, EveryMemberWithATextHasOneEndingAsTheTableSays) {
  for (std::int32_t code = 0; code < kErrorCodeCount; ++code) {
    const std::string message = result_message(code, 0, 0);
    ASSERT_FALSE(message.empty()) << code;
    const bool unknown = message.starts_with("Unknown Error. <");
    const bool without_text = (code >= 96 && code <= 98) || (code >= 127 && code <= 129);
    EXPECT_EQ(unknown, without_text) << code << ": " << message;
  }
}

TEST(ResultMessages, LimitCodesShowTheThreadsLimits) {
  EXPECT_EQ(result_message(138, 0, 0), "Maximum read size exceeded (>0 bytes).");
  EXPECT_EQ(result_message(138, 62, 7), "Maximum read size exceeded (>62 bytes).");
  EXPECT_EQ(result_message(139, 62, 7), "Maximum write size exceeded (>7 bytes).");
  EXPECT_EQ(result_message(139, 0, 255), "Maximum write size exceeded (>255 bytes).");
}

TEST(ResultMessages, ErrorCodesHoldTheirValues) {
  EXPECT_EQ(OK, 0);
  EXPECT_EQ(FATAL_ERROR, 14);
  EXPECT_EQ(ERROR_LEN_RD_BLOCK, 20);
  EXPECT_EQ(ERROR_PEC, 61);
  EXPECT_EQ(UNCNENCR, 96);
  EXPECT_EQ(NO_DEV_DETECTED, 131);
  EXPECT_EQ(UNSUPPORTED_GPIO_FW_VER, 133);
  EXPECT_EQ(ERROR_MAX_SIZE_FOR_WRITE, 136);
  EXPECT_EQ(GPIO_SDA_SCL_LOW, 142);
  EXPECT_EQ(kErrorCodeCount, GPIO_SDA_SCL_LOW + 1);
}

TEST(CheckDllErrorCode, ExplainsWithTheCallingThreadsLimitsAndLeavesTheCodeAlone) {
  testing::on_fresh_thread([] {
    cls_GPIO_DLL dll;
    std::int32_t code = 305;
    EXPECT_EQ(dll.Check_DllErrorCode(code), "Unknown GPIO Error. <305>");
    EXPECT_EQ(code, 305);
    code = 138;
    EXPECT_EQ(dll.Check_DllErrorCode(code), "Maximum read size exceeded (>0 bytes).");
    ModuleState::current().MaxBytesRd = 62;
    EXPECT_EQ(dll.Check_DllErrorCode(code), "Maximum read size exceeded (>62 bytes).");
    // Another thread keeps its own limits.
    testing::on_fresh_thread([] {
      std::int32_t other = 138;
      EXPECT_EQ(cls_GPIO_DLL().Check_DllErrorCode(other), "Maximum read size exceeded (>0 bytes).");
    });
  });
}

TEST(GetErrString, GivesTheSystemsTextOrNothing) {
  cls_GPIO_DLL dll;
#if defined(_WIN32)
  // The system's texts, without the line end they come with.
  for (const std::int32_t known : {0, 2, 5}) {
    const std::string text = dll.GetErrString(known);
    EXPECT_FALSE(text.empty()) << known;
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << known;
  }
#else
  EXPECT_EQ(dll.GetErrString(5), std::strerror(5));
  EXPECT_EQ(dll.GetErrString(2), "No such file or directory");
  EXPECT_EQ(dll.GetErrString(0), "Success");
#endif
  // Numbers the system does not know.
  EXPECT_EQ(dll.GetErrString(-1), "");
  EXPECT_EQ(dll.GetErrString(99999), "");
  EXPECT_EQ(dll.GetErrString(INT32_MIN), "");
}

}  // namespace
}  // namespace gpio_dll
