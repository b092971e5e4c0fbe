// The class through IDispatch, in process, against the simulated module: every method called with
// its arguments passed as typed references and as variables (VT_BYREF|VT_VARIANT) must give what
// the library's own late binding gives for the same arguments, results and written-back
// arguments alike.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "class_factory.hpp"
#include "com_test_support.hpp"
#include "gpio_dll/automation.hpp"
#include "gpio_dll/automation_error.hpp"
#include "support/fresh_thread.hpp"

namespace gpio_dll::com {
namespace {

using testing::call;
using testing::call_library;
using testing::ComCall;
using testing::Expected;
using testing::Variable;

struct MethodCase {
  std::string_view method;
  std::vector<Variant> args;
};

using I16 = std::int16_t;
using I32 = std::int32_t;
using U8 = std::uint8_t;

// Battery at 0x16 (8-bit form; 0x17 asks for PEC), I2C EEPROM at 0xA0.
const std::vector<MethodCase>& method_cases() {
  static const std::vector<MethodCase> cases = {
      {"GPIO_FW_VER_Read", {Variant(""), Variant(""), Variant("")}},
      {"Check_DllErrorCode", {Variant(I32{305})}},
      {"GPIO_ReadSMBusWord",
       {Variant(I16{0x09}), Variant(I32{7}), Variant(I32{7}), Variant(I16{0x16})}},
      {"GPIO_ReadSMBusWord",
       {Variant(I16{0x09}), Variant(I32{7}), Variant(I32{7}), Variant(I16{0x17})}},
      {"GPIO_ReadSMBusByte", {Variant(I16{0x0D}), Variant(I32{7}), Variant(I16{0x16})}},
      {"GPIO_ReceiveSMBusByte", {Variant(I32{7}), Variant(I16{0x16})}},
      {"GPIO_ReadSMBusBlock",
       {Variant(I16{0x20}), Variant(ByteArray{}), Variant(I16{0}), Variant(I16{0x16})}},
      {"GPIO_WriteSMBusWord",
       {Variant(I16{0x00}), Variant(I32{0x12}), Variant(I32{0x34}), Variant(I16{0x16})}},
      {"GPIO_WriteSMBusByte", {Variant(I16{0x00}), Variant(I32{0x12}), Variant(I16{0x16})}},
      {"GPIO_SendSMBusByte", {Variant(I32{0x00}), Variant(I16{0x16})}},
      {"GPIO_ProcessCall",
       {Variant(I16{0x00}), Variant(I32{0x12}), Variant(I32{0x34}), Variant(I32{0}),
        Variant(I32{0}), Variant(I16{0x16})}},
      {"GPIO_WriteSMBusBlock",
       {Variant(I16{0x44}), Variant(ByteArray{1, 2, 3}), Variant(I16{3}), Variant(I16{0x16})}},
      {"GPIO_WriteI2CBlock",
       {Variant(I16{0x10}), Variant(ByteArray{9, 8}), Variant(I16{2}), Variant(I16{0xA0})}},
      {"GPIO_ReadI2CBlock",
       {Variant(I16{0x10}), Variant(ByteArray(4)), Variant(I16{4}), Variant(I16{0xA0})}},
      {"GPIO_WriteReadI2CBlock",
       {Variant(I16{0x10}), Variant(ByteArray{0x10}), Variant(ByteArray{}), Variant(I16{1}),
        Variant(I16{2}), Variant(I16{0xA0})}},
      {"GPIO_WriteReadSMBusBlock",
       {Variant(I16{0x44}), Variant(ByteArray{5}), Variant(ByteArray{}), Variant(I16{1}),
        Variant(I16{3}), Variant(I16{0x16})}},
      {"GPIO_SetP0Line", {Variant(U8{0x0F})}},
      {"GPIO_GetP0Line", {Variant(U8{0})}},
      {"GPIO_SetPMBusLine", {Variant(U8{0x01})}},
      {"GPIO_GetPMBusLine", {Variant(U8{0})}},
      {"GPIO_SetP1Line", {Variant(U8{1}), Variant(U8{2}), Variant(U8{3})}},
      {"GPIO_ReadWriteP0Line", {Variant(U8{1}), Variant(U8{2})}},
      {"GPIO_Test", {}},
      {"GPIO_CheckSdaSclLine", {}},
      {"GPIO_DMA", {Variant(ByteArray(64)), Variant(ByteArray{})}},
      {"GPIO_FW_EEP_Read", {Variant("2.0.19"), Variant(ByteArray{})}},
      {"GetErrString", {Variant(I32{5})}},
      {"ShowDbg", {Variant("")}},
      {"GPIO_ShutdownDLL", {}},
  };
  return cases;
}

class DispatchObjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(ClassFactory::instance().CreateInstance(nullptr, IID_IDispatch,
                                                      reinterpret_cast<void**>(&object_)),
              S_OK);
    std::string version, vendor, product;
    ASSERT_EQ(cls_GPIO_DLL().GPIO_FW_VER_Read(version, vendor, product), 0);
  }
  void TearDown() override {
    if (object_ != nullptr) object_->Release();
  }
  IDispatch* object_ = nullptr;
};

TEST_F(DispatchObjectTest, EveryMethodGivesWhatTheLibraryGivesForEitherKindOfReference) {
  for (const MethodCase& c : method_cases()) {
    for (const bool as_variables : {false, true}) {
      ComCall got;
      call(*object_, c.method, c.args, as_variables, got);
      const Expected expected = call_library(c.method, c.args);
      const std::string what =
          std::string(c.method) + (as_variables ? " with variables" : " with typed references");
      ASSERT_EQ(expected.error, 0) << what;
      EXPECT_EQ(got.hr, S_OK) << what;
      EXPECT_EQ(got.result, expected.result) << what;
      EXPECT_EQ(got.arguments, expected.arguments) << what;
    }
  }
}

TEST_F(DispatchObjectTest, ArgumentErrorsNameTheArgument) {
  Variable command(Variant(I16{9}), VT_I2);
  Variable high(Variant(I32{0}), VT_I4);
  VARIANT args[4];  // last argument first
  V_VT(&args[0]) = VT_I4;
  V_I4(&args[0]) = 70000;  // nTargetID: too big for 16 bits
  V_VT(&args[1]) = VT_DISPATCH;
  V_DISPATCH(&args[1]) = nullptr;  // DataL: no number
  args[2] = high.reference();
  args[3] = command.reference();
  DISPPARAMS params{args, nullptr, 4, 0};
  const DISPID id = automation::find_method("GPIO_ReadSMBusWord")->dispid;
  UINT bad = 99;
  EXCEPINFO exception{};
  EXPECT_EQ(object_->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, &exception, &bad),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(bad, 1u);
  V_VT(&args[1]) = VT_I4;
  V_I4(&args[1]) = 0;
  EXPECT_EQ(object_->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, &exception, &bad),
            DISP_E_EXCEPTION);
  EXPECT_EQ(bad, 0u);
  EXPECT_EQ(static_cast<std::uint32_t>(exception.scode), 0x800A0006u);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrSource);
  // Without an exception record the error code itself comes back.
  EXPECT_EQ(object_->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, &bad),
            static_cast<HRESULT>(0x800A0006));
}

TEST_F(DispatchObjectTest, RefusesCallsItCannotMake) {
  const DISPID test = automation::find_method("GPIO_Test")->dispid;
  const struct {
    DISPID id;
    REFIID iid;
    WORD flags;
    HRESULT expected;
  } cases[] = {
      {automation::method_table().back().dispid + 1, IID_NULL, DISPATCH_METHOD,
       DISP_E_MEMBERNOTFOUND},  // one past the table
      {test, IID_NULL, DISPATCH_PROPERTYPUT, DISP_E_MEMBERNOTFOUND},
      {test, IID_IDispatch, DISPATCH_METHOD, DISP_E_UNKNOWNINTERFACE},
      {automation::find_method("GPIO_ReadSMBusWord")->dispid, IID_NULL, DISPATCH_METHOD,
       DISP_E_BADPARAMCOUNT},
  };
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  for (const auto& c : cases)
    EXPECT_EQ(object_->Invoke(c.id, c.iid, 0, c.flags, &none, nullptr, nullptr, nullptr),
              c.expected)
        << c.id;
}

TEST_F(DispatchObjectTest, AFreshThreadGets131WithoutItsArgumentsTouched) {
  gpio_dll::testing::on_fresh_thread([&] {
    const std::vector<Variant> args = {Variant(I16{9}), Variant(I32{7}), Variant(I32{8}),
                                       Variant(I16{0x16})};
    ComCall got;
    call(*object_, "GPIO_ReadSMBusWord", args, false, got);
    EXPECT_EQ(got.result, Variant(I32{131}));
    EXPECT_EQ(got.arguments, args);
  });
}

TEST_F(DispatchObjectTest, FindsMethodsAndArgumentsByNameWhateverTheirCase) {
  const auto ids_of = [&](std::vector<std::wstring> names, bool upper, std::vector<DISPID>& ids) {
    std::vector<LPOLESTR> pointers;
    for (auto& n : names) {
      if (upper)
        for (auto& ch : n)
          ch = static_cast<wchar_t>(towupper(ch));
      pointers.push_back(n.data());
    }
    ids.assign(names.size(), 0);
    return object_->GetIDsOfNames(IID_NULL, pointers.data(), static_cast<UINT>(pointers.size()), 0,
                                  ids.data());
  };
  std::vector<DISPID> ids;
  for (const automation::MethodInfo& m : automation::method_table()) {
    std::vector<std::wstring> names{std::wstring(m.name.begin(), m.name.end())};
    for (const auto& a : m.arguments)
      names.emplace_back(a.name.begin(), a.name.end());
    for (const bool upper : {false, true}) {
      ASSERT_EQ(ids_of(names, upper, ids), S_OK) << m.name;
      EXPECT_EQ(ids[0], m.dispid);
      for (std::size_t k = 1; k < ids.size(); ++k)
        EXPECT_EQ(ids[k], static_cast<DISPID>(k - 1)) << m.name;
    }
  }
  EXPECT_EQ(ids_of({L"GPIO_ReadSMBusWor"}, false, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], DISPID_UNKNOWN);
  EXPECT_EQ(ids_of({L"GPIO_ReadSMBusWord", L"DataX"}, false, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);
}

}  // namespace
}  // namespace gpio_dll::com
