// The embedded type library describes the method table exactly: identifiers, names, argument
// names, kinds and directions, and result kinds. Early-bound clients and GetTypeInfo rely on it.
#include "type_library.hpp"

#include <gtest/gtest.h>

#include <string>

#include "com_identity.hpp"
#include "gpio_dll/automation.hpp"
#include "gpio_dll/error_codes.hpp"

namespace gpio_dll::com {
namespace {

using automation::ArgType;
using automation::ResultType;

// The parameter's kind as the type library spells it: VT_PTR to the kind for a reference.
std::string kind_of(const TYPEDESC& t) {
  switch (t.vt) {
    case VT_PTR:
      return "ref " + kind_of(*t.lptdesc);
    case VT_SAFEARRAY:
      return "array of " + kind_of(*t.lptdesc);
    default:
      return std::to_string(t.vt);
  }
}

std::string expected_kind(const automation::ArgumentInfo& a) {
  std::string base;
  switch (a.type) {
    case ArgType::Int16:
      base = std::to_string(VT_I2);
      break;
    case ArgType::Int32:
      base = std::to_string(VT_I4);
      break;
    case ArgType::UInt8:
      base = std::to_string(VT_UI1);
      break;
    case ArgType::Text:
      base = std::to_string(VT_BSTR);
      break;
    case ArgType::Bytes:
      base = "array of " + std::to_string(VT_UI1);
      break;
  }
  return a.direction == automation::Direction::InOut ? "ref " + base : base;
}

VARTYPE expected_result(ResultType r) {
  return r == ResultType::Int32 ? VT_I4 : r == ResultType::Text ? VT_BSTR : VT_VARIANT;
}

std::string narrow(BSTR text) {
  std::string out;
  for (UINT i = 0; text != nullptr && i < SysStringLen(text); ++i)
    out.push_back(static_cast<char>(text[i]));
  return out;
}

TEST(TypeLibrary, DescribesEveryMethodOfTheTable) {
  ITypeInfo* info = nullptr;
  ASSERT_EQ(load_interface_type_info(&info), S_OK);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
  EXPECT_EQ(attributes->typekind, TKIND_DISPATCH);
  EXPECT_TRUE(IsEqualGUID(attributes->guid, kInterfaceId));
  const auto table = automation::method_table();
  ASSERT_EQ(attributes->cFuncs, table.size());
  info->ReleaseTypeAttr(attributes);

  for (UINT i = 0; i < table.size(); ++i) {
    const automation::MethodInfo& m = table[i];
    FUNCDESC* f = nullptr;
    ASSERT_EQ(info->GetFuncDesc(i, &f), S_OK);
    EXPECT_EQ(f->memid, m.dispid) << m.name;
    EXPECT_EQ(f->elemdescFunc.tdesc.vt, expected_result(m.result)) << m.name;
    ASSERT_EQ(static_cast<std::size_t>(f->cParams), m.arguments.size()) << m.name;
    BSTR names[8] = {};
    UINT count = 0;
    ASSERT_EQ(info->GetNames(f->memid, names, 8, &count), S_OK);
    ASSERT_EQ(count, m.arguments.size() + 1) << m.name;
    EXPECT_EQ(narrow(names[0]), m.name);
    for (std::size_t k = 0; k < m.arguments.size(); ++k) {
      EXPECT_EQ(narrow(names[k + 1]), m.arguments[k].name) << m.name;
      EXPECT_EQ(kind_of(f->lprgelemdescParam[k].tdesc), expected_kind(m.arguments[k]))
          << m.name << " " << m.arguments[k].name;
    }
    for (UINT k = 0; k < count; ++k)
      SysFreeString(names[k]);
    info->ReleaseFuncDesc(f);
  }
  info->Release();
}

TEST(TypeLibrary, HasTheIdentityAndTheResultCodes) {
  ITypeLib* library = nullptr;
  ASSERT_EQ(load_type_library(&library), S_OK);
  TLIBATTR* attributes = nullptr;
  ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
  EXPECT_TRUE(IsEqualGUID(attributes->guid, kLibraryId));
  EXPECT_EQ(attributes->wMajorVerNum, automation::kLibraryVersionMajor);
  EXPECT_EQ(attributes->wMinorVerNum, automation::kLibraryVersionMinor);
  EXPECT_EQ(attributes->lcid, automation::kLocale);
  library->ReleaseTLibAttr(attributes);

  ITypeInfo* codes = nullptr;
  ASSERT_EQ(library->GetTypeInfoOfGuid(parse_guid(automation::kErrorCodesId), &codes), S_OK);
  TYPEATTR* code_attributes = nullptr;
  ASSERT_EQ(codes->GetTypeAttr(&code_attributes), S_OK);
  EXPECT_EQ(code_attributes->cVars, 143);
  // Spot the ends and a middle member by value.
  for (const std::int32_t value :
       {static_cast<std::int32_t>(OK), static_cast<std::int32_t>(FATAL_ERROR), 142}) {
    VARDESC* member = nullptr;
    ASSERT_EQ(codes->GetVarDesc(static_cast<UINT>(value), &member), S_OK);
    EXPECT_EQ(V_I4(member->lpvarValue), value);
    codes->ReleaseVarDesc(member);
  }
  codes->ReleaseTypeAttr(code_attributes);
  codes->Release();

  ITypeInfo* coclass = nullptr;
  ASSERT_EQ(library->GetTypeInfoOfGuid(kClassId, &coclass), S_OK);
  BSTR name = nullptr;
  ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(narrow(name), automation::kClassName);
  SysFreeString(name);
  coclass->Release();
  library->Release();
}

}  // namespace
}  // namespace gpio_dll::com
