#include "dispatch_object.hpp"

#include <new>
#include <optional>
#include <string_view>
#include <vector>

#include "argument_binding.hpp"
#include "automation_errors.hpp"
#include "com_identity.hpp"
#include "gpio_dll/automation.hpp"
#include "gpio_dll/automation_error.hpp"
#include "server_module.hpp"
#include "type_library.hpp"
#include "variant_conversion.hpp"

namespace gpio_dll::com {

namespace {

// Automation names are compared without regard to case, as the client languages do.
bool same_name(const OLECHAR* wide, std::string_view name) {
  std::size_t i = 0;
  for (; wide[i] != 0; ++i) {
    if (i >= name.size()) return false;
    const auto lower = [](unsigned c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    if (lower(wide[i]) != lower(static_cast<unsigned char>(name[i]))) return false;
  }
  return i == name.size();
}

const automation::MethodInfo* method_named(const OLECHAR* name) {
  for (const automation::MethodInfo& method : automation::method_table())
    if (same_name(name, method.name)) return &method;
  return nullptr;
}

// The argument in its declared type, so that a conversion error names its argument.
Variant as_declared(const Variant& value, automation::ArgType type) {
  switch (type) {
    case automation::ArgType::Int16:
      return Variant(value.to_int16());
    case automation::ArgType::Int32:
      return Variant(value.to_int32());
    case automation::ArgType::UInt8:
      return Variant(value.to_uint8());
    case automation::ArgType::Text:
      return Variant(value.to_text());
    case automation::ArgType::Bytes:
      return Variant(value.to_bytes());
  }
  return value;
}

// The work of Invoke, once the interface identifier is checked.
HRESULT invoke_method(cls_GPIO_DLL& object, DISPID id, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* exception, UINT* argument_error) {
  const automation::MethodInfo* method = automation::find_method(static_cast<std::int32_t>(id));
  if (method == nullptr || (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) == 0)
    return DISP_E_MEMBERNOTFOUND;
  std::vector<BoundArgument> bound;
  HRESULT hr = bind_arguments(params, method->arguments.size(), bound, argument_error);
  if (FAILED(hr)) return hr;

  try {
    std::vector<Variant> args;
    args.reserve(bound.size());
    for (std::size_t i = 0; i < bound.size(); ++i) {
      try {
        args.push_back(as_declared(read_argument(*bound[i].value), method->arguments[i].type));
      } catch (const AutomationError& e) {
        if (argument_error != nullptr) *argument_error = bound[i].index;
        return report_error(e.number(), exception);
      }
    }

    Variant value;
    std::optional<std::int32_t> error;
    try {
      value = automation::Invoke(object, method->dispid, args);
    } catch (const AutomationError& e) {
      error = e.number();
    }
    // The arguments the method writes go back, also after an error: what the method changed
    // before it failed stays changed for the caller, as in a direct call. The caller's other
    // variables keep their values and their kinds.
    for (std::size_t i = 0; i < bound.size(); ++i) {
      if (!method->arguments[i].written) continue;
      try {
        write_back(*bound[i].value, args[i]);
      } catch (const AutomationError& e) {
        if (!error) {
          error = e.number();
          if (argument_error != nullptr) *argument_error = bound[i].index;
        }
      }
    }
    if (error) return report_error(*error, exception);
    if (result != nullptr) *result = to_variant(value);
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::exception& e) {
    return report_failure(E_FAIL, e.what(), exception);
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace

DispatchObject::DispatchObject() {
  object_created();
}

DispatchObject::~DispatchObject() {
  object_destroyed();
}

HRESULT DispatchObject::create(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  auto* object = new (std::nothrow) DispatchObject();
  if (object == nullptr) return E_OUTOFMEMORY;
  pin_server();
  const HRESULT hr = object->QueryInterface(iid, out);
  object->Release();
  return hr;
}

HRESULT DispatchObject::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
      IsEqualIID(iid, kInterfaceId)) {
    *out = static_cast<_cls_GPIO_DLL*>(this);
    AddRef();
    return S_OK;
  }
  if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
    *out = static_cast<ISupportErrorInfo*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG DispatchObject::AddRef() {
  return ++references_;
}

ULONG DispatchObject::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT DispatchObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT DispatchObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return load_interface_type_info(info);
}

HRESULT DispatchObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (count == 0) return S_OK;
  if (names == nullptr || ids == nullptr) return E_POINTER;
  for (UINT i = 0; i < count; ++i)
    ids[i] = DISPID_UNKNOWN;
  const automation::MethodInfo* method = names[0] == nullptr ? nullptr : method_named(names[0]);
  if (method == nullptr) return DISP_E_UNKNOWNNAME;
  ids[0] = method->dispid;
  // The further names are argument names: their identifiers are their positions.
  HRESULT hr = S_OK;
  for (UINT i = 1; i < count; ++i) {
    for (std::size_t k = 0; k < method->arguments.size(); ++k)
      if (names[i] != nullptr && same_name(names[i], method->arguments[k].name))
        ids[i] = static_cast<DISPID>(k);
    if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT DispatchObject::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO* exception, UINT* argument_error) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  return invoke_method(object_, id, flags, params, result, exception, argument_error);
}

// Only the dual interface's early-bound calls set error information; Invoke fills EXCEPINFO.
HRESULT DispatchObject::InterfaceSupportsErrorInfo(REFIID iid) {
  return IsEqualIID(iid, kInterfaceId) ? S_OK : S_FALSE;
}

}  // namespace gpio_dll::com
