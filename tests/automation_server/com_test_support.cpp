#include "com_test_support.hpp"

#include <memory>
#include <stdexcept>

#include "gpio_dll/automation.hpp"
#include "gpio_dll/automation_error.hpp"
#include "gpio_dll/cls_gpio_dll.hpp"

namespace gpio_dll::com::testing {

namespace {

BSTR bstr_of(const std::string& text) {
  const std::wstring wide(text.begin(), text.end());  // the tests use ASCII texts
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string text_of(BSTR text) {
  if (text == nullptr) return {};
  std::string out;
  for (UINT i = 0; i < SysStringLen(text); ++i)
    out.push_back(static_cast<char>(text[i]));
  return out;
}

}  // namespace

SAFEARRAY* make_array(const std::vector<std::uint8_t>& bytes, VARTYPE element, LONG lower_bound) {
  SAFEARRAYBOUND bound{static_cast<ULONG>(bytes.size()), lower_bound};
  SAFEARRAY* array = SafeArrayCreate(element, 1, &bound);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    LONG index = lower_bound + static_cast<LONG>(i);
    if (element == VT_UI1) {
      BYTE b = bytes[i];
      SafeArrayPutElement(array, &index, &b);
    } else {
      VARIANT item;
      VariantInit(&item);
      V_VT(&item) = VT_I2;
      V_I2(&item) = bytes[i];
      SafeArrayPutElement(array, &index, &item);
    }
  }
  return array;
}

std::vector<std::uint8_t> array_bytes(SAFEARRAY* array) {
  if (array == nullptr) return {};
  if (SafeArrayGetDim(array) != 1) throw std::runtime_error("not one dimension");
  LONG lower = 0, upper = -1;
  SafeArrayGetLBound(array, 1, &lower);
  SafeArrayGetUBound(array, 1, &upper);
  VARTYPE element = VT_EMPTY;
  SafeArrayGetVartype(array, &element);
  std::vector<std::uint8_t> bytes;
  for (LONG i = lower; i <= upper; ++i) {
    if (element == VT_UI1) {
      BYTE b = 0;
      SafeArrayGetElement(array, &i, &b);
      bytes.push_back(b);
    } else {
      VARIANT item;
      VariantInit(&item);
      SafeArrayGetElement(array, &i, &item);
      bytes.push_back(static_cast<std::uint8_t>(decode(item).to_int32()));
      VariantClear(&item);
    }
  }
  return bytes;
}

VARTYPE declared_kind(automation::ArgType type) {
  switch (type) {
    case automation::ArgType::Int16:
      return VT_I2;
    case automation::ArgType::Int32:
      return VT_I4;
    case automation::ArgType::UInt8:
      return VT_UI1;
    case automation::ArgType::Text:
      return VT_BSTR;
    case automation::ArgType::Bytes:
      break;
  }
  return VT_ARRAY | VT_UI1;
}

Variable::Variable(const Variant& value, VARTYPE kind) : kind_(kind) {
  VariantInit(&held_);
  // In the order of Variant::Type.
  static constexpr VARTYPE kOwnKind[] = {VT_EMPTY, VT_I2,   VT_I4,
                                         VT_UI1,   VT_BSTR, VT_ARRAY | VT_UI1};
  V_VT(&held_) = kind == VT_VARIANT ? kOwnKind[static_cast<int>(value.type())] : kind;
  switch (V_VT(&held_)) {
    case VT_EMPTY:
      break;
    case VT_I2:
      V_I2(&held_) = value.to_int16();
      break;
    case VT_I4:
      V_I4(&held_) = value.to_int32();
      break;
    case VT_UI1:
      V_UI1(&held_) = value.to_uint8();
      break;
    case VT_BSTR:
      V_BSTR(&held_) = bstr_of(value.to_text());
      break;
    case VT_ARRAY | VT_UI1:
      V_ARRAY(&held_) = make_array(value.to_bytes());
      break;
    default:
      throw std::invalid_argument("no variable of that kind");
  }
}

VARIANT Variable::reference() {
  VARIANT ref;
  VariantInit(&ref);
  V_VT(&ref) = static_cast<VARTYPE>(VT_BYREF | kind_);
  if (kind_ == VT_VARIANT)
    V_VARIANTREF(&ref) = &held_;
  else
    V_BYREF(&ref) = &V_I4(&held_);  // every kind's value starts where the union does
  return ref;
}

Variant Variable::value() const {
  return decode(held_);
}

Variant decode(const VARIANT& value) {
  switch (V_VT(&value)) {
    case VT_EMPTY:
      return {};
    case VT_I2:
      return Variant(static_cast<std::int16_t>(V_I2(&value)));
    case VT_I4:
      return Variant(static_cast<std::int32_t>(V_I4(&value)));
    case VT_UI1:
      return Variant(static_cast<std::uint8_t>(V_UI1(&value)));
    case VT_BSTR:
      return Variant(text_of(V_BSTR(&value)));
    case VT_ARRAY | VT_UI1:
    case VT_ARRAY | VT_VARIANT:
      return Variant(array_bytes(V_ARRAY(&value)));
    default:
      throw std::invalid_argument("a VARIANT of kind " + std::to_string(V_VT(&value)));
  }
}

ComCall::~ComCall() {
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
}

void call(IDispatch& object, std::string_view method, const std::vector<Variant>& args,
          bool as_variables, ComCall& out) {
  const automation::MethodInfo* info = automation::find_method(method);
  if (info == nullptr) throw std::invalid_argument("no method " + std::string(method));
  std::wstring name(method.begin(), method.end());
  LPOLESTR names[] = {name.data()};
  DISPID id = DISPID_UNKNOWN;
  out.hr = object.GetIDsOfNames(IID_NULL, names, 1, 0, &id);
  if (FAILED(out.hr)) return;
  std::vector<std::unique_ptr<Variable>> variables;
  for (std::size_t i = 0; i < args.size(); ++i)
    variables.push_back(std::make_unique<Variable>(
        args[i], as_variables ? VARTYPE{VT_VARIANT} : declared_kind(info->arguments[i].type)));
  std::vector<VARIANT> refs;  // the last argument first
  for (auto it = variables.rbegin(); it != variables.rend(); ++it)
    refs.push_back((*it)->reference());
  DISPPARAMS params{refs.data(), nullptr, static_cast<UINT>(refs.size()), 0};
  OwnedVariant result;
  V_VT(&result.v) = VT_I4;  // anything but what the call returns
  V_I4(&result.v) = 12345;
  out.hr = object.Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &result.v, &out.exception,
                         &out.argument_error);
  out.result = decode(result.v);
  out.arguments.clear();
  for (const auto& v : variables)
    out.arguments.push_back(v->value());
}

Expected call_library(std::string_view method, std::vector<Variant> args) {
  cls_GPIO_DLL object;
  Expected out;
  try {
    out.result = automation::Invoke(object, method, args);
  } catch (const AutomationError& e) {
    out.error = e.number();
  }
  out.arguments = std::move(args);
  return out;
}

}  // namespace gpio_dll::com::testing
