#include "variant_conversion.hpp"

#include <cstring>
#include <new>

#include "automation_errors.hpp"
#include "gpio_dll/automation_error.hpp"
#include "text_conversion.hpp"

namespace gpio_dll::com {

namespace {

// A VARIANT cleared when it goes.
struct OwnedVariant {
  VARIANT value;
  OwnedVariant() { VariantInit(&value); }
  ~OwnedVariant() { VariantClear(&value); }
  OwnedVariant(const OwnedVariant&) = delete;
  OwnedVariant& operator=(const OwnedVariant&) = delete;
};

[[noreturn]] void type_mismatch(const char* why) {
  throw AutomationError(kTypeMismatch, why);
}

// Lower bound and element count of a one-dimensional array.
std::pair<LONG, std::size_t> extent(SAFEARRAY* array) {
  if (SafeArrayGetDim(array) != 1) type_mismatch("a byte array has one dimension");
  LONG lower = 0;
  LONG upper = -1;
  if (FAILED(SafeArrayGetLBound(array, 1, &lower)) || FAILED(SafeArrayGetUBound(array, 1, &upper)))
    type_mismatch("the array's bounds cannot be read");
  if (upper < lower) return {lower, 0};
  return {lower, static_cast<std::size_t>(static_cast<std::int64_t>(upper) - lower + 1)};
}

ByteArray bytes_of(SAFEARRAY* array, VARTYPE element) {
  if (array == nullptr) return {};
  const auto [lower, count] = extent(array);
  ByteArray bytes(count);
  if (element == VT_UI1) {
    if (SafeArrayGetElemsize(array) != 1) type_mismatch("not an array of bytes");
    void* data = nullptr;
    if (count == 0) return bytes;
    if (FAILED(SafeArrayAccessData(array, &data))) type_mismatch("the array cannot be read");
    std::memcpy(bytes.data(), data, count);
    SafeArrayUnaccessData(array);
    return bytes;
  }
  for (std::size_t i = 0; i < count; ++i) {
    LONG index = lower + static_cast<LONG>(i);
    OwnedVariant item;
    if (FAILED(SafeArrayGetElement(array, &index, &item.value)))
      type_mismatch("an array element cannot be read");
    bytes[i] = read_argument(item.value).to_uint8();
  }
  return bytes;
}

// Puts `bytes` into an array of exactly their length.
void fill(SAFEARRAY* array, const ByteArray& bytes, VARTYPE element) {
  if (bytes.empty()) return;
  if (element == VT_UI1) {
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) throw AutomationError(kArrayFixedOrLocked);
    std::memcpy(data, bytes.data(), bytes.size());
    SafeArrayUnaccessData(array);
    return;
  }
  const auto [lower, count] = extent(array);
  for (std::size_t i = 0; i < bytes.size() && i < count; ++i) {
    LONG index = lower + static_cast<LONG>(i);
    VARIANT item;
    VariantInit(&item);
    V_VT(&item) = VT_UI1;
    V_UI1(&item) = bytes[i];
    if (FAILED(SafeArrayPutElement(array, &index, &item)))
      throw AutomationError(kArrayFixedOrLocked);
  }
}

SAFEARRAY* new_array(const ByteArray& bytes, VARTYPE element) {
  SAFEARRAY* array = SafeArrayCreateVector(element, 0, static_cast<ULONG>(bytes.size()));
  if (array == nullptr) throw std::bad_alloc();
  try {
    fill(array, bytes, element);
  } catch (...) {
    SafeArrayDestroy(array);
    throw;
  }
  return array;
}

// The method may resize its byte arrays. A fixed-size or locked array cannot be replaced: it
// takes the bytes in place when their length is its own.
void replace_array(SAFEARRAY** slot, const ByteArray& bytes, VARTYPE element) {
  SAFEARRAY* old = *slot;
  constexpr USHORT kFixed = FADF_AUTO | FADF_STATIC | FADF_EMBEDDED | FADF_FIXEDSIZE;
  if (old != nullptr && ((old->fFeatures & kFixed) != 0 || old->cLocks > 0)) {
    if (extent(old).second != bytes.size()) throw AutomationError(kArrayFixedOrLocked);
    fill(old, bytes, element);
    return;
  }
  SAFEARRAY* fresh = new_array(bytes, element);
  if (old != nullptr) SafeArrayDestroy(old);
  *slot = fresh;
}

// What a VT_BYREF|VT_VARIANT argument refers to, through references to references (a script that
// passes on its own by-reference parameter passes a reference to it); the argument itself for any
// other kind.
VARIANT* held_value(VARIANT& argument) {
  constexpr int kMaxDepth = 8;
  VARIANT* v = &argument;
  for (int depth = 0; V_VT(v) == (VT_BYREF | VT_VARIANT); ++depth) {
    if (depth == kMaxDepth) type_mismatch("references nested too deep");
    v = V_VARIANTREF(v);
    if (v == nullptr) type_mismatch("a null variable reference");
  }
  return v;
}

bool is_array(VARTYPE base) {
  return base == (VT_ARRAY | VT_UI1) || base == (VT_ARRAY | VT_VARIANT);
}

}  // namespace

Variant read_argument(const VARIANT& argument) {
  const VARIANT* v = held_value(const_cast<VARIANT&>(argument));
  const VARTYPE vt = V_VT(v);
  const bool by_reference = (vt & VT_BYREF) != 0;
  const VARTYPE base = vt & ~VT_BYREF;
  if (by_reference && V_BYREF(v) == nullptr) type_mismatch("a null reference");
  switch (base) {
    case VT_EMPTY:
      return {};
    case VT_I2:
      return Variant(static_cast<std::int16_t>(by_reference ? *V_I2REF(v) : V_I2(v)));
    case VT_I4:
      return Variant(static_cast<std::int32_t>(by_reference ? *V_I4REF(v) : V_I4(v)));
    case VT_UI1:
      return Variant(static_cast<std::uint8_t>(by_reference ? *V_UI1REF(v) : V_UI1(v)));
    case VT_BSTR:
      return Variant(to_utf8(by_reference ? *V_BSTRREF(v) : V_BSTR(v)));
    case VT_ARRAY | VT_UI1:
    case VT_ARRAY | VT_VARIANT:
      return Variant(bytes_of(by_reference ? *V_ARRAYREF(v) : V_ARRAY(v), base & VT_TYPEMASK));
    default:
      break;
  }
  if (by_reference) type_mismatch("a variable of this kind cannot be passed by reference");
  switch (base) {
    case VT_I1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DECIMAL:
    case VT_BOOL: {
      OwnedVariant number;
      const HRESULT hr = VariantChangeType(&number.value, const_cast<VARIANT*>(v), 0, VT_I4);
      if (hr == DISP_E_OVERFLOW) throw AutomationError(kOverflow);
      if (FAILED(hr)) type_mismatch("not a number");
      return Variant(static_cast<std::int32_t>(V_I4(&number.value)));
    }
    default:
      type_mismatch("an argument of this kind is not accepted");
  }
}

namespace {

// Replaces what a variant variable holds.
void replace_variable(VARIANT& variable, const Variant& value) {
  // An array of variants stays one (VBScript can index no other array); any other variable takes
  // the value's own kind.
  VARIANT fresh;
  if (V_VT(&variable) == (VT_ARRAY | VT_VARIANT) && value.type() == Variant::Type::Bytes) {
    VariantInit(&fresh);
    V_ARRAY(&fresh) = new_array(value.to_bytes(), VT_VARIANT);
    V_VT(&fresh) = VT_ARRAY | VT_VARIANT;
  } else {
    fresh = to_variant(value);
  }
  if (FAILED(VariantClear(&variable))) {
    VariantClear(&fresh);
    throw AutomationError(kArrayFixedOrLocked);
  }
  variable = fresh;
}

}  // namespace

void write_back(VARIANT& argument, const Variant& value) {
  if ((V_VT(&argument) & VT_BYREF) == 0) return;
  VARIANT& target = *held_value(argument);
  if ((V_VT(&target) & VT_BYREF) == 0) return replace_variable(target, value);
  if (V_BYREF(&target) == nullptr) type_mismatch("a null reference");
  const VARTYPE base = V_VT(&target) & ~VT_BYREF;
  switch (base) {
    case VT_I2:
      *V_I2REF(&target) = value.to_int16();
      return;
    case VT_I4:
      *V_I4REF(&target) = value.to_int32();
      return;
    case VT_UI1:
      *V_UI1REF(&target) = value.to_uint8();
      return;
    case VT_BSTR: {
      BSTR fresh = to_bstr(value.to_text());
      SysFreeString(*V_BSTRREF(&target));
      *V_BSTRREF(&target) = fresh;
      return;
    }
    default:
      if (is_array(base))
        return replace_array(V_ARRAYREF(&target), value.to_bytes(), base & VT_TYPEMASK);
      type_mismatch("a variable of this kind cannot be written back");
  }
}

VARIANT to_variant(const Variant& value) {
  VARIANT out;
  VariantInit(&out);
  switch (value.type()) {
    case Variant::Type::Empty:
      break;
    case Variant::Type::Int16:
      V_VT(&out) = VT_I2;
      V_I2(&out) = value.to_int16();
      break;
    case Variant::Type::Int32:
      V_VT(&out) = VT_I4;
      V_I4(&out) = value.to_int32();
      break;
    case Variant::Type::UInt8:
      V_VT(&out) = VT_UI1;
      V_UI1(&out) = value.to_uint8();
      break;
    case Variant::Type::Text:
      V_BSTR(&out) = to_bstr(value.to_text());
      V_VT(&out) = VT_BSTR;
      break;
    case Variant::Type::Bytes:
      V_ARRAY(&out) = new_array(value.to_bytes(), VT_UI1);
      V_VT(&out) = VT_ARRAY | VT_UI1;
      break;
  }
  return out;
}

}  // namespace gpio_dll::com
