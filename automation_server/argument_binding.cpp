#include "argument_binding.hpp"

namespace gpio_dll::com {

namespace {

// A client leaves an optional argument out by passing this.
bool is_missing(const VARIANT& v) {
  return V_VT(&v) == VT_ERROR && V_ERROR(&v) == DISP_E_PARAMNOTFOUND;
}

}  // namespace

HRESULT bind_arguments(const DISPPARAMS* params, std::size_t count,
                       std::vector<BoundArgument>& bound, UINT* argument_error) {
  bound.assign(count, BoundArgument{});
  const UINT given = params == nullptr ? 0 : params->cArgs;
  const UINT named = params == nullptr ? 0 : params->cNamedArgs;
  if (named > given) return E_INVALIDARG;
  if (given > 0 && params->rgvarg == nullptr) return E_INVALIDARG;
  if (named > 0 && params->rgdispidNamedArgs == nullptr) return E_INVALIDARG;
  if (given > count) return DISP_E_BADPARAMCOUNT;

  for (UINT i = 0; i < named; ++i) {
    const DISPID position = params->rgdispidNamedArgs[i];
    if (position < 0 || static_cast<std::size_t>(position) >= count ||
        bound[static_cast<std::size_t>(position)].value != nullptr) {
      if (argument_error != nullptr) *argument_error = i;
      return DISP_E_PARAMNOTFOUND;
    }
    bound[static_cast<std::size_t>(position)] = BoundArgument{&params->rgvarg[i], i};
  }
  // Positional arguments fill the first places, the first one last in rgvarg.
  const UINT positional = given - named;
  for (UINT k = 0; k < positional; ++k) {
    const UINT index = given - 1 - k;
    if (bound[k].value != nullptr) {  // also named
      if (argument_error != nullptr) *argument_error = index;
      return DISP_E_PARAMNOTFOUND;
    }
    bound[k] = BoundArgument{&params->rgvarg[index], index};
  }
  // The methods have no optional arguments.
  if (named == 0 && given < count) return DISP_E_BADPARAMCOUNT;
  for (const BoundArgument& argument : bound) {
    if (argument.value == nullptr) return DISP_E_PARAMNOTFOUND;
    if (is_missing(*argument.value)) {
      if (argument_error != nullptr) *argument_error = argument.index;
      return DISP_E_PARAMNOTFOUND;
    }
  }
  return S_OK;
}

}  // namespace gpio_dll::com
