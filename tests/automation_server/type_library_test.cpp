// The embedded type library describes the method table exactly: identifiers, names, argument
// names, kinds and directions, and result kinds. Early-bound clients and GetTypeInfo rely on it.
// Its identity and version are checked where it is registered (com_wine.sh).
#include "type_library.hpp"

#include <gtest/gtest.h>

#include <string>

#include "com_identity.hpp"
#include "com_test_support.hpp"
#include "gpio_dll/automation.hpp"
#include "gpio_dll/error_codes.hpp"

namespace gpio_dll::com {
namespace {

// A parameter's kind as a VARTYPE: VT_BYREF for a pointer, VT_ARRAY for a safe array.
VARTYPE kind_of(const TYPEDESC& t) {
  if (t.vt == VT_PTR) return static_cast<VARTYPE>(VT_BYREF | kind_of(*t.lptdesc));
  if (t.vt == VT_SAFEARRAY) return static_cast<VARTYPE>(VT_ARRAY | kind_of(*t.lptdesc));
  return t.vt;
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
    const VARTYPE result = m.result == automation::ResultType::Int32  ? VT_I4
                           : m.result == automation::ResultType::Text ? VT_BSTR
                                                                      : VT_VARIANT;
    EXPECT_EQ(f->elemdescFunc.tdesc.vt, result) << m.name;
    ASSERT_EQ(static_cast<std::size_t>(f->cParams), m.arguments.size()) << m.name;
    BSTR names[8] = {};
    UINT count = 0;
    ASSERT_EQ(info->GetNames(f->memid, names, 8, &count), S_OK);
    ASSERT_EQ(count, m.arguments.size() + 1) << m.name;
    EXPECT_EQ(narrow(names[0]), m.name);
    for (std::size_t k = 0; k < m.arguments.size(); ++k) {
      const automation::ArgumentInfo& a = m.arguments[k];
      EXPECT_EQ(narrow(names[k + 1]), a.name) << m.name;
      const VARTYPE by_ref = a.direction == automation::Direction::InOut ? VT_BYREF : 0;
      EXPECT_EQ(kind_of(f->lprgelemdescParam[k].tdesc), by_ref | testing::declared_kind(a.type))
          << m.name << " " << a.name;
    }
    for (UINT k = 0; k < count; ++k)
      SysFreeString(names[k]);
    info->ReleaseFuncDesc(f);
  }
  info->Release();
}

TEST(TypeLibrary, HasTheResultCodesAndTheClass) {
  ITypeLib* library = nullptr;
  ASSERT_EQ(load_type_library(&library), S_OK);
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
