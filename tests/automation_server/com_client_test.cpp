// A late-bound C++ client of the registered server: called through IDispatch with every kind of
// reference.
#include <gtest/gtest.h>

#include "com_client.hpp"
#include "com_test_support.hpp"
#include "gpio_dll/automation_error.hpp"

namespace gpio_dll::com {
namespace {

using testing::call;
using testing::call_library;
using testing::ComCall;
using testing::ComClient;
using I16 = std::int16_t;
using I32 = std::int32_t;

TEST_F(ComClient, ReadsWordsBytesAndBlocksThroughEveryKindOfReference) {
  const std::pair<std::string_view, std::vector<Variant>> calls[] = {
      {"GPIO_ReadSMBusWord",
       {Variant(I16{9}), Variant(I32{0}), Variant(I32{0}), Variant(I16{0x16})}},
      {"GPIO_ReadSMBusByte", {Variant(I16{0x0D}), Variant(I32{0}), Variant(I16{0x16})}},
      {"GPIO_ReadSMBusBlock",
       {Variant(I16{0x20}), Variant(ByteArray{}), Variant(I16{0}), Variant(I16{0x16})}},
      {"GPIO_ReadI2CBlock",
       {Variant(I16{0}), Variant(ByteArray(8)), Variant(I16{8}), Variant(I16{0xA0})}},
      {"GPIO_FW_EEP_Read", {Variant("2.0.19"), Variant(ByteArray{})}},
      {"GPIO_GetP0Line", {Variant(std::uint8_t{0})}},
      {"Check_DllErrorCode", {Variant(I32{131})}},
  };
  for (const auto& [method, args] : calls) {
    const testing::Expected expected = call_library(method, args);
    for (const bool as_variables : {false, true}) {
      ComCall got;
      call(*object_, method, args, as_variables, got);
      EXPECT_EQ(got.hr, S_OK) << method;
      EXPECT_EQ(got.result, expected.result) << method;
      EXPECT_EQ(got.arguments, expected.arguments) << method;
    }
  }
}

TEST_F(ComClient, AnOverflowReachesTheClientAsAutomationError6WithItsArgumentsWritten) {
  if (!with_module()) GTEST_SKIP() << "the overflow is found on the way to the module";
  const std::vector<Variant> args = {Variant(I16{-5}), Variant(I32{7}), Variant(I32{7}),
                                     Variant(I16{0x16})};
  const testing::Expected expected = call_library("GPIO_ReadSMBusWord", args);
  ASSERT_EQ(expected.error, kOverflow);
  ASSERT_NE(expected.arguments, args);  // the method cleared its outputs before it failed
  for (const bool as_variables : {false, true}) {
    ComCall got;
    call(*object_, "GPIO_ReadSMBusWord", args, as_variables, got);
    EXPECT_EQ(got.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(static_cast<std::uint32_t>(got.exception.scode), 0x800A0006u);
    ASSERT_NE(got.exception.bstrDescription, nullptr);
    EXPECT_STREQ(got.exception.bstrDescription, L"Overflow");
    EXPECT_EQ(got.arguments, expected.arguments);
  }
}

TEST_F(ComClient, ShutdownGivesAnEmptyResult) {
  ComCall got;
  call(*object_, "GPIO_ShutdownDLL", {}, false, got);
  EXPECT_EQ(got.hr, S_OK);
  EXPECT_TRUE(got.result.is_empty());  // call() starts the result as VT_I4
}

}  // namespace
}  // namespace gpio_dll::com
