// The arguments of one Invoke in declaration order. DISPPARAMS holds them last to first, named
// arguments (whose dispatch identifiers are their positions) ahead of the positional ones.
#pragma once

#include <ole2.h>
#include <windows.h>

#include <cstddef>
#include <vector>

namespace gpio_dll::com {

struct BoundArgument {
  VARIANT* value = nullptr;
  UINT index = 0;  // where it lies in DISPPARAMS::rgvarg, for Invoke's argument error
};

// Binds `params` to a method of `count` arguments. S_OK, or: E_INVALIDARG for inconsistent
// DISPPARAMS, DISP_E_BADPARAMCOUNT for too many or too few positional arguments,
// DISP_E_PARAMNOTFOUND for a named argument the method does not have, one named twice or one left
// out (then `*argument_error` is the offending index in rgvarg where there is one).
HRESULT bind_arguments(const DISPPARAMS* params, std::size_t count,
                       std::vector<BoundArgument>& bound, UINT* argument_error);

}  // namespace gpio_dll::com
