#include "variant_conversion.hpp"

#include <gtest/gtest.h>

#include "automation_errors.hpp"
#include "com_test_support.hpp"
#include "gpio_dll/automation_error.hpp"

namespace gpio_dll::com {
namespace {

using testing::make_array;
using testing::OwnedVariant;
using testing::Variable;

// Reading and writing back every kind of reference, typed or held in a variant variable, is
// covered call by call against the library in dispatch_object_test.cpp; here the edges.

// The automation error `f` raises, 0 for none.
template <class F>
std::int32_t error_of(F f) {
  try {
    f();
  } catch (const AutomationError& e) {
    return e.number();
  }
  return 0;
}

std::int32_t read_error(const VARIANT& v) {
  return error_of([&] { read_argument(v); });
}

TEST(ReadArgument, ConvertsOtherNumbersByValueAndRefusesWhatIsNoArgument) {
  struct Case {
    VARTYPE kind;
    double number;  // put into the VARIANT as its kind
    std::int32_t expected;
    std::int32_t error;  // 0: no error
  };
  const Case cases[] = {
      {VT_R8, 2.6, 3, 0},
      {VT_R8, -7.0, -7, 0},
      {VT_R4, 12.0, 12, 0},
      {VT_BOOL, -1, -1, 0},
      {VT_UI4, 5, 5, 0},
      {VT_R8, 1e12, 0, kOverflow},
      {VT_NULL, 0, 0, kTypeMismatch},
      {VT_DISPATCH, 0, 0, kTypeMismatch},
  };
  for (const Case& c : cases) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = c.kind;
    if (c.kind == VT_R8) V_R8(&v) = c.number;
    if (c.kind == VT_R4) V_R4(&v) = static_cast<float>(c.number);
    if (c.kind == VT_BOOL) V_BOOL(&v) = VARIANT_TRUE;
    if (c.kind == VT_UI4) V_UI4(&v) = static_cast<ULONG>(c.number);
    if (c.kind == VT_DISPATCH) V_DISPATCH(&v) = nullptr;
    EXPECT_EQ(read_error(v), c.error) << "kind " << c.kind;
    if (c.error == 0) {
      EXPECT_EQ(read_argument(v), Variant(c.expected)) << "kind " << c.kind;
    }
  }
}

TEST(ReadArgument, RefusesBadReferencesAndArrays) {
  double number = 1;
  VARIANT by_ref_double;
  V_VT(&by_ref_double) = VT_BYREF | VT_R8;
  V_R8REF(&by_ref_double) = &number;
  EXPECT_EQ(read_error(by_ref_double), kTypeMismatch);  // would not take the value back

  VARIANT null_variable;
  V_VT(&null_variable) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&null_variable) = nullptr;
  EXPECT_EQ(read_error(null_variable), kTypeMismatch);

  SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
  OwnedVariant square;
  V_VT(&square.v) = VT_ARRAY | VT_UI1;
  V_ARRAY(&square.v) = SafeArrayCreate(VT_UI1, 2, bounds);
  EXPECT_EQ(read_error(square.v), kTypeMismatch);

  // VBScript's arrays hold variants: numbers convert to bytes, as far as they fit.
  OwnedVariant too_big;
  V_VT(&too_big.v) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(&too_big.v) = make_array({1, 2}, VT_VARIANT);
  LONG index = 1;
  VARIANT item;
  V_VT(&item) = VT_I4;
  V_I4(&item) = 256;
  SafeArrayPutElement(V_ARRAY(&too_big.v), &index, &item);
  EXPECT_EQ(read_error(too_big.v), kOverflow);
}

TEST(ReadArgument, TakesAnArrayFromItsOwnLowerBound) {
  OwnedVariant v;
  V_VT(&v.v) = VT_ARRAY | VT_UI1;
  V_ARRAY(&v.v) = make_array({7, 8, 9}, VT_UI1, 5);
  EXPECT_EQ(read_argument(v.v), Variant(ByteArray{7, 8, 9}));
}

TEST(WriteBack, NumbersThatDoNotFitTheVariableOverflowAndLeaveIt) {
  Variable small(Variant(std::int16_t{5}), VT_I2);
  VARIANT ref = small.reference();
  EXPECT_EQ(error_of([&] { write_back(ref, Variant(std::int32_t{70000})); }), kOverflow);
  EXPECT_EQ(small.value(), Variant(std::int16_t{5}));
}

TEST(WriteBack, AVariantVariableTakesTheDeclaredKindButAVariantArrayStaysOne) {
  Variable number(Variant(std::int16_t{1}), VT_VARIANT);
  VARIANT ref = number.reference();
  write_back(ref, Variant(std::int32_t{1}));
  EXPECT_EQ(number.held_kind(), VT_I4);

  OwnedVariant array;
  V_VT(&array.v) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(&array.v) = make_array({0, 0}, VT_VARIANT);
  VARIANT array_ref;
  V_VT(&array_ref) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&array_ref) = &array.v;
  write_back(array_ref, Variant(ByteArray{3, 2, 1}));
  EXPECT_EQ(V_VT(&array.v), VT_ARRAY | VT_VARIANT);
  EXPECT_EQ(testing::array_bytes(V_ARRAY(&array.v)), (ByteArray{3, 2, 1}));
}

TEST(WriteBack, GoesThroughAReferenceToAReference) {
  // What a script passes for its own by-reference parameter.
  Variable number(Variant(std::int16_t{1}), VT_VARIANT);
  VARIANT inner = number.reference();
  VARIANT outer;
  V_VT(&outer) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&outer) = &inner;
  EXPECT_EQ(read_argument(outer), Variant(std::int16_t{1}));
  write_back(outer, Variant(std::int32_t{-7}));
  EXPECT_EQ(number.value(), Variant(std::int32_t{-7}));
  V_VARIANTREF(&outer) = &outer;  // a loop ends, too
  EXPECT_THROW(read_argument(outer), AutomationError);
}

TEST(WriteBack, AFixedArrayIsFilledInPlaceOrRefusesANewLength) {
  SAFEARRAY* fixed = make_array({0, 0, 0});
  fixed->fFeatures |= FADF_FIXEDSIZE;
  SAFEARRAY* slot = fixed;
  VARIANT ref;
  V_VT(&ref) = VT_BYREF | VT_ARRAY | VT_UI1;
  V_ARRAYREF(&ref) = &slot;
  write_back(ref, Variant(ByteArray{1, 2, 3}));
  EXPECT_EQ(slot, fixed);
  EXPECT_EQ(testing::array_bytes(slot), (ByteArray{1, 2, 3}));
  EXPECT_EQ(error_of([&] { write_back(ref, Variant(ByteArray{1})); }), kArrayFixedOrLocked);
  EXPECT_EQ(testing::array_bytes(slot), (ByteArray{1, 2, 3}));
  fixed->fFeatures &= static_cast<USHORT>(~FADF_FIXEDSIZE);
  SafeArrayDestroy(fixed);
}

TEST(WriteBack, LeavesByValueArgumentsAlone) {
  VARIANT v;
  V_VT(&v) = VT_I2;
  V_I2(&v) = 4;
  write_back(v, Variant(std::int16_t{5}));
  EXPECT_EQ(V_I2(&v), 4);
}

// How an error reaches the client: automation's own statuses, or an exception record whose code
// is 0x800A0000 + the number (the code itself when the caller gave no record).
TEST(ReportError, GivesTheStatusOrTheExceptionRecordOfTheNumber) {
  const struct {
    std::int32_t number;
    HRESULT status;
    std::uint32_t code;  // in the exception record
    const wchar_t* description;
  } cases[] = {
      {kOverflow, DISP_E_EXCEPTION, 0x800A0006, L"Overflow"},
      {kSubscriptOutOfRange, DISP_E_EXCEPTION, 0x800A0009, L"Subscript out of range"},
      {kArrayFixedOrLocked, DISP_E_EXCEPTION, 0x800A000A,
       L"This array is fixed or temporarily locked"},
      {kTypeMismatch, DISP_E_TYPEMISMATCH, 0, nullptr},
      {kMemberNotFound, DISP_E_MEMBERNOTFOUND, 0, nullptr},
      {kWrongNumberOfArguments, DISP_E_BADPARAMCOUNT, 0, nullptr},
  };
  for (const auto& c : cases) {
    EXCEPINFO info{};
    EXPECT_EQ(report_error(c.number, &info), c.status) << c.number;
    EXPECT_EQ(static_cast<std::uint32_t>(info.scode), c.code) << c.number;
    if (c.description != nullptr) {
      EXPECT_STREQ(info.bstrDescription, c.description);
      EXPECT_STREQ(info.bstrSource, L"GPIO_DLL.cls_GPIO_DLL");
      EXPECT_EQ(static_cast<std::uint32_t>(report_error(c.number, nullptr)), c.code);
    }
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrSource);
  }
}

}  // namespace
}  // namespace gpio_dll::com
