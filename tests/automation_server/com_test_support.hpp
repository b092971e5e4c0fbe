// VARIANT helpers for the automation server's tests: owned values, arrays, and a reading of a
// VARIANT that does not go through the server's own conversion.
#pragma once

#include <ole2.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gpio_dll/automation.hpp"
#include "gpio_dll/variant.hpp"

namespace gpio_dll::com::testing {

// A VARIANT cleared when it goes.
struct OwnedVariant {
  VARIANT v;
  OwnedVariant() { VariantInit(&v); }
  ~OwnedVariant() { VariantClear(&v); }
  OwnedVariant(const OwnedVariant&) = delete;
  OwnedVariant& operator=(const OwnedVariant&) = delete;
};

// A one-dimensional array of `element` (VT_UI1 or VT_VARIANT) from 0, holding `bytes`.
SAFEARRAY* make_array(const std::vector<std::uint8_t>& bytes, VARTYPE element = VT_UI1,
                      LONG lower_bound = 0);

// The bytes of a one-dimensional array of VT_UI1 or of variants holding numbers.
std::vector<std::uint8_t> array_bytes(SAFEARRAY* array);

// The VARIANT kind of a method's argument type (VT_I2, ..., VT_ARRAY | VT_UI1).
VARTYPE declared_kind(automation::ArgType type);

// A variable of each kind a client passes by reference, owning what it holds.
class Variable {
 public:
  explicit Variable(const Variant& value, VARTYPE kind);
  ~Variable() { VariantClear(&held_); }
  Variable(const Variable&) = delete;
  Variable& operator=(const Variable&) = delete;

  // The VARIANT a client puts into DISPPARAMS for it: VT_BYREF|kind, or VT_BYREF|VT_VARIANT
  // pointing at a VARIANT that holds the value when kind is VT_VARIANT.
  VARIANT reference();
  Variant value() const;                              // what the variable holds now
  VARTYPE held_kind() const { return V_VT(&held_); }  // for VT_VARIANT: the kind inside
  VARIANT& held() { return held_; }  // for an early-bound client, which passes its fields

 private:
  VARTYPE kind_;
  VARIANT held_;  // of `kind_`, or of the value's own kind for VT_VARIANT
};

// The value of a VARIANT of the kinds the server returns, read field by field.
Variant decode(const VARIANT& value);

// The outcome of one call through IDispatch.
struct ComCall {
  HRESULT hr = E_FAIL;
  Variant result;
  std::vector<Variant> arguments;  // as the variables hold them afterwards
  EXCEPINFO exception{};
  UINT argument_error = 0;
  ~ComCall();
};

// Calls `method` (looked up by name) with `args` in variables of the declared kinds, or in variant
// variables (VT_BYREF|VT_VARIANT) as VBScript passes them.
void call(IDispatch& object, std::string_view method, const std::vector<Variant>& args,
          bool as_variables, ComCall& out);

// What the library's own late binding gives for the same call.
struct Expected {
  Variant result;
  std::vector<Variant> arguments;
  std::int32_t error = 0;
};
Expected call_library(std::string_view method, std::vector<Variant> args);

}  // namespace gpio_dll::com::testing
