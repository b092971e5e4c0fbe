// The class through IDispatch, in process, against the simulated module: every method called with
// its arguments passed as typed references and as variables (VT_BYREF|VT_VARIANT) must give what
// the library's own late binding gives for the same arguments, results and written-back
// arguments alike.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "class_factory.hpp"
#include "com_identity.hpp"
#include "com_test_support.hpp"
#include "gpio_dll/automation.hpp"
#include "gpio_dll/automation_error.hpp"
#include "support/fresh_thread.hpp"

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out);
STDAPI DllCanUnloadNow();

namespace gpio_dll::com {
namespace {

using testing::call;
using testing::call_library;
using testing::ComCall;
using testing::Expected;
using testing::Variable;

struct ComPtrRelease {
  void operator()(IUnknown* p) const { p->Release(); }
};
using Dispatch = std::unique_ptr<IDispatch, ComPtrRelease>;

Dispatch create_object() {
  IDispatch* object = nullptr;
  EXPECT_EQ(ClassFactory::instance().CreateInstance(nullptr, IID_IDispatch,
                                                    reinterpret_cast<void**>(&object)),
            S_OK);
  return Dispatch(object);
}

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
    object_ = create_object();
    ASSERT_TRUE(object_);
    std::string version, vendor, product;
    ASSERT_EQ(cls_GPIO_DLL().GPIO_FW_VER_Read(version, vendor, product), 0);
  }
  Dispatch object_;
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

TEST_F(DispatchObjectTest, AnOverflowInsideAMethodIsAnExceptionAndTheArgumentsStillGoBack) {
  const std::vector<Variant> args = {Variant(I16{-5}), Variant(I32{7}), Variant(I32{7}),
                                     Variant(I16{0x16})};
  const Expected expected = call_library("GPIO_ReadSMBusWord", args);
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
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  const DISPID test = automation::find_method("GPIO_Test")->dispid;
  const DISPID word = automation::find_method("GPIO_ReadSMBusWord")->dispid;
  EXPECT_EQ(object_->Invoke(0x60030000 + 29, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr,
                            nullptr),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(
      object_->Invoke(test, IID_NULL, 0, DISPATCH_PROPERTYPUT, &none, nullptr, nullptr, nullptr),
      DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(
      object_->Invoke(test, IID_IDispatch, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
      DISP_E_UNKNOWNINTERFACE);
  EXPECT_EQ(object_->Invoke(word, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
            DISP_E_BADPARAMCOUNT);
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
  for (const automation::MethodInfo& m : automation::method_table()) {
    for (const bool upper : {false, true}) {
      std::vector<std::wstring> names;
      std::wstring method(m.name.begin(), m.name.end());
      names.push_back(method);
      for (const auto& a : m.arguments)
        names.emplace_back(a.name.begin(), a.name.end());
      if (upper)
        for (auto& n : names)
          for (auto& ch : n)
            ch = static_cast<wchar_t>(towupper(ch));
      std::vector<LPOLESTR> pointers;
      for (auto& n : names)
        pointers.push_back(n.data());
      std::vector<DISPID> ids(names.size(), 0);
      ASSERT_EQ(object_->GetIDsOfNames(IID_NULL, pointers.data(),
                                       static_cast<UINT>(pointers.size()), 0, ids.data()),
                S_OK)
          << m.name;
      EXPECT_EQ(ids[0], m.dispid);
      for (std::size_t k = 1; k < ids.size(); ++k)
        EXPECT_EQ(ids[k], static_cast<DISPID>(k - 1)) << m.name;
    }
  }
  std::wstring unknown = L"GPIO_ReadSMBusWor";
  std::wstring bad_argument = L"DataX";
  std::wstring word = L"GPIO_ReadSMBusWord";
  LPOLESTR one[] = {unknown.data()};
  DISPID id = 0;
  EXPECT_EQ(object_->GetIDsOfNames(IID_NULL, one, 1, 0, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);
  LPOLESTR two[] = {word.data(), bad_argument.data()};
  DISPID ids[2] = {0, 0};
  EXPECT_EQ(object_->GetIDsOfNames(IID_NULL, two, 2, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);
}

}  // namespace
}  // namespace gpio_dll::com
