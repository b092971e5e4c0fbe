#include <gtest/gtest.h>

#include <cctype>

#include "gpio_dll/gpio_dll.hpp"
#include "support/headless_windows.hpp"

namespace gpio_dll {
namespace {

using namespace automation;
using testing::on_fresh_thread;

// The methods in interface order, with the arguments each one's work writes; every other
// argument is only read.
struct MethodWrites {
  std::string_view name;
  std::vector<std::string_view> written;
};

const std::vector<MethodWrites>& interface_methods() {
  static const std::vector<MethodWrites> methods = {
      {"Check_DllErrorCode", {}},
      {"GPIO_FW_EEP_Read", {"DEEPROM"}},
      {"GPIO_FW_EEP_Write", {}},
      {"GPIO_ReadI2CBlock", {"DataArray", "iNumBytesRd"}},
      {"GPIO_WriteI2CBlock", {"iNumBytesWr"}},
      {"GPIO_SendSMBusByte", {}},
      {"GPIO_WriteSMBusByte", {}},
      {"GPIO_WriteSMBusWord", {}},
      {"GPIO_WriteSMBusBlock", {"iNumBytesWr"}},
      {"GPIO_ReceiveSMBusByte", {"DataB"}},
      {"GPIO_ReadSMBusByte", {"DataB"}},
      {"GPIO_ReadSMBusWord", {"DataH", "DataL"}},
      {"GPIO_ReadSMBusBlock", {"DataArray", "iNumBytesRd"}},
      {"GPIO_Test", {}},
      {"GPIO_ProcessCall", {"rDataH", "rDataL"}},
      {"GPIO_ReadWriteP0Line", {"DataB"}},
      {"GPIO_WriteReadI2CBlock", {"DataArrayR", "iNumBytesRd"}},
      {"GPIO_WriteReadSMBusBlock", {"DataArrayR", "iNumBytesWr", "iNumBytesRd"}},
      {"GPIO_CheckSdaSclLine", {}},
      {"GPIO_GetP0Line", {"DataB"}},
      {"GPIO_SetP0Line", {}},
      {"GPIO_GetPMBusLine", {"DataB"}},
      {"GPIO_SetPMBusLine", {}},
      {"GPIO_SetP1Line", {}},
      {"GPIO_FW_VER_Read", {"iDevFWver", "iVendorID", "iProductID"}},
      {"GPIO_DMA", {"wBlock", "rBlock"}},
      {"GPIO_ShutdownDLL", {}},
      {"GetErrString", {}},
      {"ShowDbg", {}},
  };
  return methods;
}

std::string with_case(std::string_view name, int (*change)(int)) {
  std::string out(name);
  for (char& c : out)
    c = static_cast<char>(change(static_cast<unsigned char>(c)));
  return out;
}

TEST(MethodTable, HoldsThe29MethodsInInterfaceOrderWithTheirIdentifiersAndWrites) {
  const auto& expected = interface_methods();
  const auto table = method_table();
  ASSERT_EQ(table.size(), expected.size());
  for (std::size_t i = 0; i < table.size(); ++i) {
    EXPECT_EQ(table[i].index, static_cast<int>(i));
    EXPECT_EQ(table[i].name, expected[i].name);
    EXPECT_EQ(table[i].dispid, 0x60030000 + static_cast<std::int32_t>(i));
    std::vector<std::string_view> written;
    for (const ArgumentInfo& a : table[i].arguments)
      if (a.written) written.push_back(a.name);
    EXPECT_EQ(written, expected[i].written) << table[i].name;
    // Names are found whatever their case, as automation finds them.
    EXPECT_EQ(find_method(table[i].name), &table[i]);
    EXPECT_EQ(find_method(with_case(table[i].name, ::tolower)), &table[i]);
    EXPECT_EQ(find_method(with_case(table[i].name, ::toupper)), &table[i]);
    EXPECT_EQ(find_method(table[i].dispid), &table[i]);
  }
  // Letters alone fold: DEL is no '_'.
  for (const char* name : {"GPIO_Tes", "GPIO_Test ", "GPIO\x7FTest", ""})
    EXPECT_EQ(find_method(name), nullptr) << name;
  EXPECT_EQ(find_method(0x60030000 + 29), nullptr);
}

TEST(MethodTable, ArgumentsHaveTheirNamesTypesAndDirections) {
  const MethodInfo* m = find_method("GPIO_WriteReadSMBusBlock");
  ASSERT_NE(m, nullptr);
  const std::vector<std::string_view> names = {"iCmd",        "DataArrayW",  "DataArrayR",
                                               "iNumBytesWr", "iNumBytesRd", "nTargetID"};
  const std::vector<ArgType> types = {ArgType::Int16, ArgType::Bytes, ArgType::Bytes,
                                      ArgType::Int16, ArgType::Int16, ArgType::Int16};
  ASSERT_EQ(m->arguments.size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(m->arguments[i].name, names[i]);
    EXPECT_EQ(m->arguments[i].type, types[i]);
    EXPECT_EQ(m->arguments[i].direction, Direction::InOut);
  }
  const MethodInfo* err = find_method("GetErrString");
  ASSERT_EQ(err->arguments.size(), 1u);
  EXPECT_EQ(err->arguments[0].direction, Direction::In);
  EXPECT_EQ(err->result, ResultType::Text);
  EXPECT_EQ(find_method("GPIO_ShutdownDLL")->result, ResultType::Variant);
  EXPECT_EQ(find_method("GPIO_ProcessCall")->arguments[1].name, "wDataH");
  EXPECT_EQ(find_method("GPIO_SetP1Line")->arguments[2].type, ArgType::UInt8);
}

TEST(AutomationIdentity, PublishesTheTypeLibraryIdentifiers) {
  EXPECT_EQ(kProgId, "GPIO_DLL.cls_GPIO_DLL");
  EXPECT_EQ(std::string(kLibraryName) + "." + std::string(kClassName), kProgId);
  EXPECT_EQ(kClassId, "D596FE01-7633-4C3C-876D-E85CB6214FE6");
  EXPECT_EQ(kInterfaceId, "8C766CF6-ACED-4BB7-B945-85574CA05C0C");
  EXPECT_EQ(kLibraryId, "316B209D-AA77-4093-B0AD-832481BEDF32");
  EXPECT_EQ(kLocale, 0x409u);
}

class Invoking : public testing::SimulatedModuleTest {};

TEST_F(Invoking, ByNameAndByDispatchIdentifierWritingByReferenceArgumentsBack) {
  on_fresh_thread([] {
    cls_GPIO_DLL dll;
    std::vector<Variant> args = {Variant(""), Variant(""), Variant("")};
    EXPECT_EQ(Invoke(dll, "gpio_fw_ver_READ", args), Variant(std::int32_t{0}));
    EXPECT_EQ(args, (std::vector<Variant>{Variant("2.0.19"), Variant("0451"), Variant("5F00")}));

    std::vector<Variant> code = {Variant(std::int32_t{305})};
    EXPECT_EQ(Invoke(dll, 0x60030000, code), Variant("Unknown GPIO Error. <305>"));
    EXPECT_EQ(code[0], Variant(std::int32_t{305}));
  });
}

TEST_F(Invoking, ConvertsArgumentsToTheirDeclaredTypes) {
  on_fresh_thread([] {
    cls_GPIO_DLL dll;
    // Text and other integer types convert; lcode, which the method does not write, stays text.
    std::vector<Variant> code = {Variant("0x131")};
    EXPECT_EQ(Invoke(dll, "Check_DllErrorCode", code), Variant("Unknown GPIO Error. <305>"));
    EXPECT_EQ(code[0], Variant("0x131"));
    std::vector<Variant> by_value = {Variant(std::int16_t{2})};
    EXPECT_EQ(Invoke(dll, "GetErrString", by_value), Variant(system_error_text(2)));
    EXPECT_EQ(by_value[0], Variant(std::int16_t{2}));  // not written back
    EXPECT_TRUE(Invoke(dll, "GPIO_ShutdownDLL", by_value = {}).is_empty());
  });
}

// An argument in a form other than its declared type (numbers as text, texts as numbers), so
// that a written-back argument shows by its type; and the type it is written back with.
Variant undeclared(ArgType type) {
  if (type == ArgType::Bytes) return Variant(ByteArray{1, 2, 3});
  return type == ArgType::Text ? Variant(std::int32_t{22}) : Variant("22");
}
constexpr Variant::Type kDeclared[] = {Variant::Type::Int16, Variant::Type::Int32,
                                       Variant::Type::UInt8, Variant::Type::Text,
                                       Variant::Type::Bytes};  // in ArgType's order

class WritingBack : public testing::HeadlessWindowsTest {};

// Every method, with every argument in another form than declared: the arguments its work
// writes come back in their declared type (also where it leaves them as they were, as a refused
// "2.0.19" call does), the others exactly as given.
TEST_F(WritingBack, OnlyTheArgumentsAMethodWritesComeBack) {
  for (const char* firmware : {"1.0.10", "2.0.19"}) {
    with_identified(firmware, [&] {
      cls_GPIO_DLL dll;
      for (const MethodWrites& m : interface_methods()) {
        const MethodInfo& info = *find_method(m.name);
        std::vector<Variant> args;
        for (const ArgumentInfo& a : info.arguments)
          args.push_back(undeclared(a.type));
        const std::vector<Variant> given = args;
        Invoke(dll, info.name, args);
        for (std::size_t i = 0; i < args.size(); ++i) {
          const std::string_view name = info.arguments[i].name;
          if (std::find(m.written.begin(), m.written.end(), name) != m.written.end())
            EXPECT_EQ(args[i].type(), kDeclared[static_cast<int>(info.arguments[i].type)])
                << m.name << " " << name;
          else
            EXPECT_EQ(args[i], given[i]) << m.name << " " << name << " on " << firmware;
        }
      }
    });
  }
}

struct InvokeFailure {
  const char* method;
  std::vector<Variant> args;
  std::int32_t error;
};

TEST_F(Invoking, RaisesAutomationErrorsForWhatCannotBeCalled) {
  const std::vector<InvokeFailure> cases = {
      {"NoSuchMethod", {}, kMemberNotFound},
      {"GPIO_Test", {Variant(std::int16_t{1})}, kWrongNumberOfArguments},
      {"Check_DllErrorCode", {}, kWrongNumberOfArguments},
      {"GPIO_GetP0Line", {Variant(std::int32_t{256})}, kOverflow},
      {"GPIO_GetP0Line", {Variant(std::int16_t{-1})}, kOverflow},
      {"GPIO_ReadSMBusWord", {Variant("70000"), Variant(0), Variant(0), Variant(0)}, kOverflow},
      {"Check_DllErrorCode", {Variant("12abc")}, kTypeMismatch},
      // Two signs spell no number (the second once negated the most negative 64-bit value).
      {"Check_DllErrorCode", {Variant("--9223372036854775808")}, kTypeMismatch},
      {"Check_DllErrorCode", {Variant("+-5")}, kTypeMismatch},
      {"Check_DllErrorCode", {Variant("-0x-5")}, kTypeMismatch},
      {"Check_DllErrorCode", {Variant("-9223372036854775808")}, kOverflow},
      {"Check_DllErrorCode", {Variant(ByteArray{1})}, kTypeMismatch},
      {"GPIO_DMA", {Variant("00"), Variant(ByteArray{})}, kTypeMismatch},
  };
  on_fresh_thread([&] {
    cls_GPIO_DLL dll;
    for (auto c : cases) {
      try {
        Invoke(dll, c.method, c.args);
        ADD_FAILURE() << c.method << " did not raise";
      } catch (const AutomationError& e) {
        EXPECT_EQ(e.number(), c.error) << c.method;
      }
    }
    std::vector<Variant> none;
    EXPECT_THROW(Invoke(dll, 0x5FFFFFFF, none), AutomationError);
  });
}

// Text arguments convert as an automation server converts them: one sign, decimal or hex.
struct TextConversion {
  const char* text;
  std::int64_t value;  // when error is 0
  std::int32_t error;
};

TEST(VariantText, ConvertsToNumbersWithOneSignOrRaises) {
  const std::vector<TextConversion> cases = {
      {"13", 13, 0},
      {"-13", -13, 0},
      {"+13", 13, 0},
      {" 7 ", 7, 0},
      {"0x7F", 127, 0},
      {"&H7f", 127, 0},
      {"-0x10", -16, 0},
      {"010", 10, 0},  // decimal, not octal
      {"--5", 0, kTypeMismatch},
      {"++5", 0, kTypeMismatch},
      {"+-13", 0, kTypeMismatch},
      {"-+13", 0, kTypeMismatch},
      {"0x-5", 0, kTypeMismatch},
      {"0x+5", 0, kTypeMismatch},
      {"-0x-5", 0, kTypeMismatch},
      {"&H-5", 0, kTypeMismatch},
      {"-", 0, kTypeMismatch},
      {"", 0, kTypeMismatch},
      {"0x", 0, kTypeMismatch},
      {"5-", 0, kTypeMismatch},
      {"2147483648", 0, kOverflow},
      {"-2147483649", 0, kOverflow},
      {"99999999999999999999", 0, kOverflow},
  };
  for (const auto& c : cases) {
    try {
      const std::int32_t value = Variant(c.text).to_int32();
      EXPECT_EQ(c.error, 0) << "\"" << c.text << "\" gave " << value;
      EXPECT_EQ(value, c.value) << c.text;
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.number(), c.error) << "\"" << c.text << "\"";
    }
  }
}

// What a method changed before it raised comes back changed, as from a direct call.
struct ChangedBeforeRaising {
  const char* method;
  std::vector<Variant> args;
  std::vector<Variant> after;
};

TEST_F(Invoking, WritesArgumentsBackWhenTheMethodRaises) {
  const Variant target(std::int16_t{0x16});
  const std::vector<ChangedBeforeRaising> cases = {
      // DataB is cleared, then the command byte -1 is no byte; iCmd is only read.
      {"GPIO_ReadSMBusByte",
       {Variant("-1"), Variant(std::int32_t{5}), target},
       {Variant("-1"), Variant(std::int32_t{0}), target}},
      {"GPIO_ReadSMBusWord",
       {Variant(std::int16_t{-3}), Variant(std::int32_t{7}), Variant(std::int32_t{8}), target},
       {Variant(std::int16_t{-3}), Variant(std::int32_t{0}), Variant(std::int32_t{0}), target}},
  };
  on_fresh_thread([&] {
    cls_GPIO_DLL dll;
    std::string fw, vendor, product;
    ASSERT_EQ(dll.GPIO_FW_VER_Read(fw, vendor, product), OK);
    for (auto c : cases) {
      try {
        Invoke(dll, c.method, c.args);
        ADD_FAILURE() << c.method << " did not raise";
      } catch (const AutomationError& e) {
        EXPECT_EQ(e.number(), kOverflow) << c.method;
      }
      EXPECT_EQ(c.args, c.after) << c.method;
    }
    // The same as a direct call leaves it.
    std::int16_t cmd = -1, nTargetID = 0x16;
    std::int32_t DataB = 5;
    EXPECT_THROW(dll.GPIO_ReadSMBusByte(cmd, DataB, nTargetID), AutomationError);
    EXPECT_EQ(DataB, 0);
  });
}

// Arrays shorter than their counts are result codes, not automation errors.
TEST_F(Invoking, ShortArraysGiveResultCodesNotErrors) {
  on_fresh_thread([] {
    cls_GPIO_DLL dll;
    std::string fw, vendor, product;
    ASSERT_EQ(dll.GPIO_FW_VER_Read(fw, vendor, product), OK);
    const Variant target(std::int16_t{0x16});
    std::vector<std::vector<Variant>> calls = {
        {Variant(std::int16_t{0x44}), Variant(ByteArray{1, 2}), Variant(std::int16_t{5}), target},
        {Variant("2.0.19"), Variant(ByteArray(100, 0))},
    };
    EXPECT_EQ(Invoke(dll, "GPIO_WriteSMBusBlock", calls[0]),
              Variant(std::int32_t{ERROR_MAX_SIZE_FOR_WRITE}));
    EXPECT_EQ(Invoke(dll, "GPIO_FW_EEP_Write", calls[1]),
              Variant(std::int32_t{ERROR_MAX_SIZE_FOR_WRITE}));
  });
}

}  // namespace
}  // namespace gpio_dll
