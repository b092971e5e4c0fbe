// An early-bound C++ client of the registered server: it calls the table of the dual interface
// that widl declares from the project's IDL, with variables of the declared kinds, as a client
// compiled with #import does.
#include <gpio_dll_interface.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "com_client.hpp"
#include "com_test_support.hpp"
#include "gpio_dll/automation_error.hpp"

namespace gpio_dll::com {
namespace {

using testing::call_library;
using testing::ComCall;
using testing::ComClient;
using testing::Variable;
using I16 = std::int16_t;
using I32 = std::int32_t;
using U8 = std::uint8_t;

// The arguments of an early-bound call, each a variable of its declared kind; an empty byte array
// is the null array of a Byte() that was never dimensioned.
class Arguments {
 public:
  Arguments(std::string_view method, const std::vector<Variant>& values) {
    const automation::MethodInfo& info = *automation::find_method(method);
    for (std::size_t k = 0; k < values.size(); ++k) {
      variables_.push_back(
          std::make_unique<Variable>(values[k], testing::declared_kind(info.arguments[k].type)));
      VARIANT& held = variables_.back()->held();
      if (V_VT(&held) == (VT_ARRAY | VT_UI1) && values[k].to_bytes().empty()) {
        SafeArrayDestroy(V_ARRAY(&held));
        V_ARRAY(&held) = nullptr;
      }
    }
  }
  short* i2(std::size_t k) { return &V_I2(held(k, VT_I2)); }
  LONG* i4(std::size_t k) { return &V_I4(held(k, VT_I4)); }
  unsigned char* u8(std::size_t k) { return &V_UI1(held(k, VT_UI1)); }
  BSTR* text(std::size_t k) { return &V_BSTR(held(k, VT_BSTR)); }
  SAFEARRAY** bytes(std::size_t k) { return &V_ARRAY(held(k, VT_ARRAY | VT_UI1)); }
  LONG value(std::size_t k) { return V_I4(held(k, VT_I4)); }
  std::vector<Variant> values() const {
    std::vector<Variant> out;
    for (const auto& v : variables_)
      out.push_back(v->value());
    return out;
  }

 private:
  VARIANT* held(std::size_t k, VARTYPE kind) {
    VARIANT& v = variables_.at(k)->held();
    if (V_VT(&v) != kind) throw std::logic_error("argument of another kind");
    return &v;
  }
  std::vector<std::unique_ptr<Variable>> variables_;
};

// The result parameter of an early-bound call, holding a value that no method returns until the
// call writes it.
class Result {
 public:
  LONG* i4() { return &V_I4(poisoned()); }
  BSTR* text() {
    V_VT(&result_.v) = VT_BSTR;
    V_BSTR(&result_.v) = nullptr;
    return &V_BSTR(&result_.v);
  }
  VARIANT* variant() { return poisoned(); }
  Variant value() const { return testing::decode(result_.v); }

 private:
  VARIANT* poisoned() {
    V_VT(&result_.v) = VT_I4;
    V_I4(&result_.v) = 12345;
    return &result_.v;
  }
  testing::OwnedVariant result_;
};

using Table = _cls_GPIO_DLL;
struct EarlyCall {
  std::string_view method;
  std::vector<Variant> args;
  std::function<HRESULT(Table&, Arguments&, Result&)> call;
};

// Every method once, through its own table entry. Battery at 0x16, I2C EEPROM at 0xA0.
const std::vector<EarlyCall>& early_calls() {
  static const std::vector<EarlyCall> calls = {
      {"GPIO_FW_VER_Read",
       {Variant(""), Variant(""), Variant("")},
       [](Table& t, Arguments& a, Result& r) {
         return t.GPIO_FW_VER_Read(a.text(0), a.text(1), a.text(2), r.i4());
       }},
      {"Check_DllErrorCode",
       {Variant(I32{305})},
       [](Table& t, Arguments& a, Result& r) { return t.Check_DllErrorCode(a.i4(0), r.text()); }},
      {"GPIO_ReadSMBusWord",
       {Variant(I16{0x09}), Variant(I32{7}), Variant(I32{7}), Variant(I16{0x16})},
       [](Table& t, Arguments& a, Result& r) {
         return t.GPIO_ReadSMBusWord(a.i2(0), a.i4(1), a.i4(2), a.i2(3), r.i4());
       }},
      {"GPIO_ReadSMBusByte",
       {Variant(I16{0x0D}), Variant(I32{7}), Variant(I16{0x16})},
       [](Table& t, Arguments& a, Result& r) {
         return t.GPIO_ReadSMBusByte(a.i2(0), a.i4(1), a.i2(2), r.i4());
       }},
      {"GPIO_ReceiveSMBusByte",
       {Variant(I32{7}), Variant(I16{0x16})},
       [](Table& t, Arguments& a, Result& r) {
         return t.GPIO_ReceiveSMBusByte(a.i4(0), a.i2(1), r.i4());
       }},
      {"GPIO_ReadSMBusBlock",
       {Variant(I16{0x20}), Variant(ByteArray{}), Variant(I16{0}), Variant(I16{0x16})},
       [](Table& t, Arguments& a, Result& r) {
         return t.GPIO_ReadSMBusBlock(a.i2(0), a.bytes(1), a.i2(2), a.i2(3), r.i4());
       }},
      {"GPIO_WriteSMBusWord",
       {Variant(I16{0x00}), Variant(I32{0x12}), Variant(I32{0x34}), Variant(I16{0x16})},
       [](Table& t, Arguments& a, Result& r) {
         return t.GPIO_WriteSMBusWord(a.i2(0), a.i4(1), a.i4(2), a.i2(3), r.i4());
       }},
      {"GPIO_WriteSMBusByte",
       {Variant(I16{0x00}), Variant(I32{0x12}), Variant(I16{0x16})},
       [](Table& t, Arguments& a, Result& r) {
         return t.GPIO_WriteSMBusByte(a.i2(0), a.i4(1), a.i2(2), r.i4());
       }},
      {"GPIO_SendSMBusByte",
       {Variant(I32{0x00}), Variant(I16{0x16})},
       [](Table& t, Arguments& a, Result& r) {
         return t.GPIO_SendSMBusByte(a.i4(0), a.i2(1), r.i4());
       }},
      {"GPIO_ProcessCall",
       {Variant(I16{0x00}), Variant(I32{0x12}), Variant(I32{0x34}), Variant(I32{0}),
        Variant(I32{0}), Variant(I16{0x16})},
       [](Table& t, Arguments& a, Result& r) {
         return t.GPIO_ProcessCall(a.i2(0), a.i4(1), a.i4(2), a.i4(3), a.i4(4), a.i2(5), r.i4());
       }},
      {"GPIO_WriteSMBusBlock",
       {Variant(I16{0x44}), Variant(ByteArray{1, 2, 3}), Variant(I16{3}), Variant(I16{0x16})},
       [](Table& t, Arguments& a, Result& r) {
         return t.GPIO_WriteSMBusBlock(a.i2(0), a.bytes(1), a.i2(2), a.i2(3), r.i4());
       }},
      {"GPIO_WriteI2CBlock",
       {Variant(I16{0x10}), Variant(ByteArray{9, 8}), Variant(I16{2}), Variant(I16{0xA0})},
       [](Table& t, Arguments& a, Result& r) {
         return t.GPIO_WriteI2CBlock(a.i2(0), a.bytes(1), a.i2(2), a.i2(3), r.i4());
       }},
      {"GPIO_ReadI2CBlock",
       {Variant(I16{0x10}), Variant(ByteArray(4)), Variant(I16{4}), Variant(I16{0xA0})},
       [](Table& t, Arguments& a, Result& r) {
         return t.GPIO_ReadI2CBlock(a.i2(0), a.bytes(1), a.i2(2), a.i2(3), r.i4());
       }},
      {"GPIO_WriteReadI2CBlock",
       {Variant(I16{0x10}), Variant(ByteArray{0x10}), Variant(ByteArray{}), Variant(I16{1}),
        Variant(I16{2}), Variant(I16{0xA0})},
       [](Table& t, Arguments& a, Result& r) {
         return t.GPIO_WriteReadI2CBlock(a.i2(0), a.bytes(1), a.bytes(2), a.i2(3), a.i2(4), a.i2(5),
                                         r.i4());
       }},
      {"GPIO_WriteReadSMBusBlock",
       {Variant(I16{0x44}), Variant(ByteArray{5}), Variant(ByteArray{}), Variant(I16{1}),
        Variant(I16{3}), Variant(I16{0x16})},
       [](Table& t, Arguments& a, Result& r) {
         return t.GPIO_WriteReadSMBusBlock(a.i2(0), a.bytes(1), a.bytes(2), a.i2(3), a.i2(4),
                                           a.i2(5), r.i4());
       }},
      {"GPIO_SetP0Line",
       {Variant(U8{0x0F})},
       [](Table& t, Arguments& a, Result& r) { return t.GPIO_SetP0Line(a.u8(0), r.i4()); }},
      {"GPIO_GetP0Line",
       {Variant(U8{0})},
       [](Table& t, Arguments& a, Result& r) { return t.GPIO_GetP0Line(a.u8(0), r.i4()); }},
      {"GPIO_SetPMBusLine",
       {Variant(U8{0x01})},
       [](Table& t, Arguments& a, Result& r) { return t.GPIO_SetPMBusLine(a.u8(0), r.i4()); }},
      {"GPIO_GetPMBusLine",
       {Variant(U8{0})},
       [](Table& t, Arguments& a, Result& r) { return t.GPIO_GetPMBusLine(a.u8(0), r.i4()); }},
      {"GPIO_SetP1Line",
       {Variant(U8{1}), Variant(U8{2}), Variant(U8{3})},
       [](Table& t, Arguments& a, Result& r) {
         return t.GPIO_SetP1Line(a.u8(0), a.u8(1), a.u8(2), r.i4());
       }},
      {"GPIO_ReadWriteP0Line",
       {Variant(U8{1}), Variant(U8{2})},
       [](Table& t, Arguments& a, Result& r) {
         return t.GPIO_ReadWriteP0Line(a.u8(0), a.u8(1), r.i4());
       }},
      {"GPIO_Test", {}, [](Table& t, Arguments&, Result& r) { return t.GPIO_Test(r.i4()); }},
      {"GPIO_CheckSdaSclLine",
       {},
       [](Table& t, Arguments&, Result& r) { return t.GPIO_CheckSdaSclLine(r.i4()); }},
      {"GPIO_DMA",
       {Variant(ByteArray(64)), Variant(ByteArray{})},
       [](Table& t, Arguments& a, Result& r) {
         return t.GPIO_DMA(a.bytes(0), a.bytes(1), r.i4());
       }},
      {"GPIO_FW_EEP_Write",
       {Variant("2.0.19"), Variant(ByteArray(8192, 0x5A))},
       [](Table& t, Arguments& a, Result& r) {
         return t.GPIO_FW_EEP_Write(a.text(0), a.bytes(1), r.i4());
       }},
      {"GPIO_FW_EEP_Read",
       {Variant("2.0.19"), Variant(ByteArray{})},
       [](Table& t, Arguments& a, Result& r) {
         return t.GPIO_FW_EEP_Read(a.text(0), a.bytes(1), r.i4());
       }},
      {"GetErrString",
       {Variant(I32{5})},
       [](Table& t, Arguments& a, Result& r) { return t.GetErrString(a.value(0), r.text()); }},
      {"ShowDbg",
       {Variant("")},
       [](Table& t, Arguments& a, Result& r) { return t.ShowDbg(a.text(0), r.i4()); }},
      {"GPIO_ShutdownDLL",
       {},
       [](Table& t, Arguments&, Result& r) { return t.GPIO_ShutdownDLL(r.variant()); }},
  };
  return calls;
}

const EarlyCall& early_call_of(std::string_view method) {
  for (const EarlyCall& c : early_calls())
    if (c.method == method) return c;
  throw std::invalid_argument("no early-bound call of " + std::string(method));
}

// Calls `row`'s method with `args` through the table. After a failure, `out.exception` holds the
// description and source of the thread's error information, as a compiled VB client reads Err.
void early_call(Table& table, const EarlyCall& row, const std::vector<Variant>& args,
                ComCall& out) {
  Arguments arguments(row.method, args);
  Result result;
  out.hr = row.call(table, arguments, result);
  out.result = result.value();
  out.arguments = arguments.values();
  if (SUCCEEDED(out.hr)) return;
  out.exception.scode = out.hr;
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK) return;
  info->GetDescription(&out.exception.bstrDescription);
  info->GetSource(&out.exception.bstrSource);
  info->Release();
}

TEST_F(ComClient, EarlyBindingCallsEveryMethodThroughItsOwnTableEntry) {
  ASSERT_EQ(early_calls().size(), automation::method_table().size());
  for (const EarlyCall& c : early_calls()) {
    const testing::Expected expected = call_library(c.method, c.args);
    ASSERT_EQ(expected.error, 0) << c.method;
    ComCall got;
    early_call(*table_, c, c.args, got);
    EXPECT_EQ(got.hr, S_OK) << c.method;
    EXPECT_EQ(got.result, expected.result) << c.method;
    EXPECT_EQ(got.arguments, expected.arguments) << c.method;
  }
  LONG result = 0;
  unsigned char lines = 0;
  EXPECT_EQ(table_->GPIO_GetP0Line(nullptr, &result), E_POINTER);
  EXPECT_EQ(table_->GPIO_GetP0Line(&lines, nullptr), E_POINTER);
}

TEST_F(ComClient, AnOverflowIsAutomationError6AsTheCallsStatusWithItsTextInTheErrorInformation) {
  if (!with_module()) GTEST_SKIP() << "the overflow is found on the way to the module";
  const std::vector<Variant> args = {Variant(I16{-5}), Variant(I32{7}), Variant(I32{7}),
                                     Variant(I16{0x16})};
  const testing::Expected expected = call_library("GPIO_ReadSMBusWord", args);
  ASSERT_EQ(expected.error, kOverflow);
  ISupportErrorInfo* support = nullptr;
  ASSERT_EQ(table_->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support)),
            S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(__uuidof(Table)), S_OK);
  support->Release();
  SetErrorInfo(0, nullptr);
  ComCall got;
  early_call(*table_, early_call_of("GPIO_ReadSMBusWord"), args, got);
  EXPECT_EQ(static_cast<std::uint32_t>(got.hr), 0x800A0006u);
  ASSERT_NE(got.exception.bstrDescription, nullptr);
  EXPECT_STREQ(got.exception.bstrDescription, L"Overflow");
  ASSERT_NE(got.exception.bstrSource, nullptr);
  EXPECT_STREQ(got.exception.bstrSource, L"GPIO_DLL.cls_GPIO_DLL");
  EXPECT_EQ(got.arguments, expected.arguments);  // written before the method failed
}

// Early-bound calls from a thread of the multithreaded apartment, on the interface marshalled to
// it: they go through the proxy that the automation marshaller builds from the registered type
// library, and run on the object's own thread.
struct ApartmentCalls {
  IStream* stream = nullptr;
  std::vector<std::pair<std::string_view, std::vector<Variant>>> calls;
  std::vector<ComCall> got;
};

DWORD WINAPI call_from_another_apartment(void* parameter) {
  auto& c = *static_cast<ApartmentCalls*>(parameter);
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
  Table* proxy = nullptr;
  if (SUCCEEDED(CoGetInterfaceAndReleaseStream(c.stream, __uuidof(Table),
                                               reinterpret_cast<void**>(&proxy)))) {
    c.got = std::vector<ComCall>(c.calls.size());
    for (std::size_t i = 0; i < c.calls.size(); ++i)
      early_call(*proxy, early_call_of(c.calls[i].first), c.calls[i].second, c.got[i]);
    proxy->Release();
  }
  CoUninitialize();
  return 0;
}

TEST_F(ComClient, AnotherApartmentCallsTheTableThroughTheAutomationMarshaller) {
  ApartmentCalls c;
  c.calls = {
      {"GPIO_ReadSMBusBlock",
       {Variant(I16{0x20}), Variant(ByteArray{}), Variant(I16{0}), Variant(I16{0x16})}},
      {"GPIO_ReadSMBusWord",  // overflow
       {Variant(I16{-5}), Variant(I32{7}), Variant(I32{7}), Variant(I16{0x16})}},
  };
  ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(__uuidof(Table), table_, &c.stream), S_OK);
  HANDLE thread = CreateThread(nullptr, 0, call_from_another_apartment, &c, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  DWORD index = 0;  // this apartment serves the calls while it waits
  EXPECT_EQ(CoWaitForMultipleHandles(0, 10000, 1, &thread, &index), S_OK);
  CloseHandle(thread);
  ASSERT_EQ(c.got.size(), c.calls.size());
  // The other thread never identified its module: had the call run there, it would give 131.
  const testing::Expected read = call_library(c.calls[0].first, c.calls[0].second);
  if (with_module()) {
    ASSERT_EQ(read.result, Variant(I32{0}));
  }
  EXPECT_EQ(c.got[0].hr, S_OK);
  EXPECT_EQ(c.got[0].result, read.result);
  EXPECT_EQ(c.got[0].arguments, read.arguments);
  // Wine's proxy does not carry the error information across; the status it does. (Without a
  // module the call gives 131 before it finds the overflow.)
  if (!with_module()) return;
  EXPECT_EQ(static_cast<std::uint32_t>(c.got[1].hr), 0x800A0006u);
  EXPECT_EQ(c.got[1].arguments, call_library(c.calls[1].first, c.calls[1].second).arguments);
}

}  // namespace
}  // namespace gpio_dll::com
