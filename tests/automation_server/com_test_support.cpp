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

Variable::Variable(const Variant& value, VARTYPE kind) : kind_(kind) {
  VariantInit(&variant_);
  switch (kind) {
    case VT_I2:
      i2_ = value.to_int16();
      break;
    case VT_I4:
      i4_ = value.to_int32();
      break;
    case VT_UI1:
      ui1_ = value.to_uint8();
      break;
    case VT_BSTR:
      bstr_ = bstr_of(value.to_text());
      break;
    case VT_ARRAY | VT_UI1:
      array_ = make_array(value.to_bytes());
      break;
    case VT_VARIANT:
      switch (value.type()) {
        case Variant::Type::Empty:
          break;
        case Variant::Type::Int16:
          V_VT(&variant_) = VT_I2;
          V_I2(&variant_) = value.to_int16();
          break;
        case Variant::Type::Int32:
          V_VT(&variant_) = VT_I4;
          V_I4(&variant_) = value.to_int32();
          break;
        case Variant::Type::UInt8:
          V_VT(&variant_) = VT_UI1;
          V_UI1(&variant_) = value.to_uint8();
          break;
        case Variant::Type::Text:
          V_VT(&variant_) = VT_BSTR;
          V_BSTR(&variant_) = bstr_of(value.to_text());
          break;
        case Variant::Type::Bytes:
          V_VT(&variant_) = VT_ARRAY | VT_UI1;
          V_ARRAY(&variant_) = make_array(value.to_bytes());
          break;
      }
      break;
    default:
      throw std::invalid_argument("no variable of that kind");
  }
}

Variable::~Variable() {
  SysFreeString(bstr_);
  if (array_ != nullptr) SafeArrayDestroy(array_);
  VariantClear(&variant_);
}

VARIANT Variable::reference() {
  VARIANT ref;
  VariantInit(&ref);
  V_VT(&ref) = static_cast<VARTYPE>(VT_BYREF | kind_);
  switch (kind_) {
    case VT_I2:
      V_I2REF(&ref) = &i2_;
      break;
    case VT_I4:
      V_I4REF(&ref) = &i4_;
      break;
    case VT_UI1:
      V_UI1REF(&ref) = &ui1_;
      break;
    case VT_BSTR:
      V_BSTRREF(&ref) = &bstr_;
      break;
    case VT_ARRAY | VT_UI1:
      V_ARRAYREF(&ref) = &array_;
      break;
    default:
      V_VARIANTREF(&ref) = &variant_;
      break;
  }
  return ref;
}

Variant Variable::value() const {
  switch (kind_) {
    case VT_I2:
      return Variant(static_cast<std::int16_t>(i2_));
    case VT_I4:
      return Variant(static_cast<std::int32_t>(i4_));
    case VT_UI1:
      return Variant(static_cast<std::uint8_t>(ui1_));
    case VT_BSTR:
      return Variant(text_of(bstr_));
    case VT_ARRAY | VT_UI1:
      return Variant(array_bytes(array_));
    default:
      return decode(variant_);
  }
}

VARTYPE Variable::held_kind() const {
  return kind_ == VT_VARIANT ? V_VT(&variant_) : kind_;
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
