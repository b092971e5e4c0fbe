// The embedded type library describes the method table exactly, in both views of the dual
// interface: the dispatch view that the object's GetTypeInfo hands out and late binding reads
// (identifiers, names, argument names, kinds and directions, result kinds), and the early-bound
// table that compiled clients call (slots after IDispatch's seven, the result as the last,
// output-only parameter, HRESULT as the call's status). Its identity and version are checked
// where it is registered (com_wine.sh).
#include "type_library.hpp"

#include <gtest/gtest.h>

#include <string>

#include "class_factory.hpp"
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

VARTYPE result_kind(automation::ResultType result) {
  return result == automation::ResultType::Int32  ? VT_I4
         : result == automation::ResultType::Text ? VT_BSTR
                                                  : VT_VARIANT;
}

// Both views are dual, hidden and non-extensible; the early-bound table is automation-compatible,
// the dispatch view dispatchable.
constexpr WORD kDualFlags = TYPEFLAG_FDUAL | TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE;
constexpr WORD kDispatchViewFlags = kDualFlags | TYPEFLAG_FDISPATCHABLE;
constexpr WORD kTableFlags = kDualFlags | TYPEFLAG_FOLEAUTOMATION;

// The type information `info` refers to under `reference`.
ITypeInfo* referred(ITypeInfo& info, HREFTYPE reference) {
  ITypeInfo* out = nullptr;
  EXPECT_EQ(info.GetRefTypeInfo(reference, &out), S_OK);
  return out;
}

TYPEATTR attributes_of(ITypeInfo& info) {
  TYPEATTR* attributes = nullptr;
  EXPECT_EQ(info.GetTypeAttr(&attributes), S_OK);
  const TYPEATTR copy = *attributes;
  info.ReleaseTypeAttr(attributes);
  return copy;
}

// The dispatch view: the method's value is the function's result.
void expect_dispatch_entry(ITypeInfo& info, const FUNCDESC& f, const automation::MethodInfo& m) {
  EXPECT_EQ(f.memid, m.dispid) << m.name;
  EXPECT_EQ(f.elemdescFunc.tdesc.vt, result_kind(m.result)) << m.name;
  ASSERT_EQ(static_cast<std::size_t>(f.cParams), m.arguments.size()) << m.name;
  BSTR names[8] = {};
  UINT count = 0;
  ASSERT_EQ(info.GetNames(f.memid, names, 8, &count), S_OK);
  ASSERT_EQ(count, m.arguments.size() + 1) << m.name;
  EXPECT_EQ(narrow(names[0]), m.name);
  for (std::size_t k = 0; k < m.arguments.size(); ++k) {
    const automation::ArgumentInfo& a = m.arguments[k];
    EXPECT_EQ(narrow(names[k + 1]), a.name) << m.name;
    const VARTYPE by_ref = a.direction == automation::Direction::InOut ? VT_BYREF : 0;
    EXPECT_EQ(kind_of(f.lprgelemdescParam[k].tdesc), by_ref | testing::declared_kind(a.type))
        << m.name << " " << a.name;
  }
  for (UINT k = 0; k < count; ++k)
    SysFreeString(names[k]);
}

// The early-bound table: slot 7 + index, HRESULT, the arguments' directions, then the result.
void expect_table_entry(const FUNCDESC& f, const automation::MethodInfo& m) {
  EXPECT_EQ(f.memid, m.dispid) << m.name;
  EXPECT_EQ(f.oVft, (automation::kDispatchInterfaceEntries + m.index) * sizeof(void*)) << m.name;
  EXPECT_EQ(f.funckind, FUNC_PUREVIRTUAL) << m.name;
  EXPECT_EQ(f.callconv, CC_STDCALL) << m.name;
  EXPECT_EQ(f.elemdescFunc.tdesc.vt, VT_HRESULT) << m.name;
  ASSERT_EQ(static_cast<std::size_t>(f.cParams), m.arguments.size() + 1) << m.name;
  for (std::size_t k = 0; k < m.arguments.size(); ++k) {
    const bool in_out = m.arguments[k].direction == automation::Direction::InOut;
    EXPECT_EQ(f.lprgelemdescParam[k].paramdesc.wParamFlags,
              in_out ? PARAMFLAG_FIN | PARAMFLAG_FOUT : PARAMFLAG_FIN)
        << m.name << " " << m.arguments[k].name;
  }
  const ELEMDESC& result = f.lprgelemdescParam[m.arguments.size()];
  EXPECT_EQ(result.paramdesc.wParamFlags, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL) << m.name;
  EXPECT_EQ(kind_of(result.tdesc), VT_BYREF | result_kind(m.result)) << m.name;
}

TEST(TypeLibrary, TheObjectsTypeInformationDescribesEveryMethodInBothViewsOfTheDualInterface) {
  IDispatch* object = nullptr;
  ASSERT_EQ(ClassFactory::instance().CreateInstance(nullptr, IID_IDispatch,
                                                    reinterpret_cast<void**>(&object)),
            S_OK);
  UINT count = 0;
  ASSERT_EQ(object->GetTypeInfoCount(&count), S_OK);
  ASSERT_EQ(count, 1u);
  ITypeInfo* dispatch = nullptr;
  ASSERT_EQ(object->GetTypeInfo(0, 0, &dispatch), S_OK);
  object->Release();
  const auto table = automation::method_table();
  const TYPEATTR view = attributes_of(*dispatch);
  EXPECT_EQ(view.typekind, TKIND_DISPATCH);
  EXPECT_TRUE(IsEqualGUID(view.guid, kInterfaceId));
  EXPECT_EQ(view.wTypeFlags & kDispatchViewFlags, kDispatchViewFlags);
  // The dispatch view lists IDispatch's own seven functions first.
  const auto inherited = static_cast<UINT>(automation::kDispatchInterfaceEntries);
  ASSERT_EQ(view.cFuncs, inherited + table.size());

  // The dual interface's other view: the early-bound table, derived from IDispatch.
  HREFTYPE reference = 0;
  ASSERT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference), S_OK);
  ITypeInfo* early = referred(*dispatch, reference);
  ASSERT_NE(early, nullptr);
  const TYPEATTR table_view = attributes_of(*early);
  EXPECT_EQ(table_view.typekind, TKIND_INTERFACE);
  EXPECT_TRUE(IsEqualGUID(table_view.guid, kInterfaceId));
  EXPECT_EQ(table_view.wTypeFlags & kTableFlags, kTableFlags);
  ASSERT_EQ(table_view.cFuncs, table.size());
  EXPECT_EQ(table_view.cbSizeVft,
            (automation::kDispatchInterfaceEntries + table.size()) * sizeof(void*));
  ASSERT_EQ(table_view.cImplTypes, 1);
  ASSERT_EQ(early->GetRefTypeOfImplType(0, &reference), S_OK);
  ITypeInfo* base = referred(*early, reference);
  ASSERT_NE(base, nullptr);
  EXPECT_TRUE(IsEqualGUID(attributes_of(*base).guid, IID_IDispatch));
  base->Release();

  for (UINT i = 0; i < table.size(); ++i) {
    FUNCDESC* f = nullptr;
    ASSERT_EQ(dispatch->GetFuncDesc(inherited + i, &f), S_OK);
    expect_dispatch_entry(*dispatch, *f, table[i]);
    dispatch->ReleaseFuncDesc(f);
    ASSERT_EQ(early->GetFuncDesc(i, &f), S_OK);
    expect_table_entry(*f, table[i]);
    early->ReleaseFuncDesc(f);
  }
  early->Release();
  dispatch->Release();
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

  // The class: creatable, an application object with a predeclared identity, the dual interface
  // its default.
  ITypeInfo* coclass = nullptr;
  ASSERT_EQ(library->GetTypeInfoOfGuid(kClassId, &coclass), S_OK);
  BSTR name = nullptr;
  ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(narrow(name), automation::kClassName);
  SysFreeString(name);
  const TYPEATTR attributes = attributes_of(*coclass);
  EXPECT_EQ(attributes.typekind, TKIND_COCLASS);
  EXPECT_EQ(attributes.wTypeFlags, TYPEFLAG_FCANCREATE | TYPEFLAG_FAPPOBJECT | TYPEFLAG_FPREDECLID);
  ASSERT_EQ(attributes.cImplTypes, 1);
  INT implementation = 0;
  ASSERT_EQ(coclass->GetImplTypeFlags(0, &implementation), S_OK);
  EXPECT_EQ(implementation, IMPLTYPEFLAG_FDEFAULT);
  HREFTYPE reference = 0;
  ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &reference), S_OK);
  ITypeInfo* default_interface = referred(*coclass, reference);
  ASSERT_NE(default_interface, nullptr);
  EXPECT_TRUE(IsEqualGUID(attributes_of(*default_interface).guid, kInterfaceId));
  default_interface->Release();
  coclass->Release();
  library->Release();
}

}  // namespace
}  // namespace gpio_dll::com
