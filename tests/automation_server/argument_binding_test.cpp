#include "argument_binding.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace gpio_dll::com {
namespace {

// DISPPARAMS of `count` VT_I4 arguments whose values are their indices in rgvarg, the first
// `named.size()` of them named with the given positions.
struct Params {
  std::vector<VARIANT> args;
  std::vector<DISPID> named;
  DISPPARAMS params{};

  Params(UINT count, std::vector<DISPID> names) : args(count), named(std::move(names)) {
    for (UINT i = 0; i < count; ++i) {
      VariantInit(&args[i]);
      V_VT(&args[i]) = VT_I4;
      V_I4(&args[i]) = static_cast<LONG>(i);
    }
    params.rgvarg = args.data();
    params.cArgs = count;
    params.rgdispidNamedArgs = named.data();
    params.cNamedArgs = static_cast<UINT>(named.size());
  }
};

struct Case {
  const char* what;
  UINT given;
  std::vector<DISPID> named;
  std::size_t method_arguments;
  HRESULT expected;
  std::vector<LONG> order;  // rgvarg index bound to each position, when S_OK
};

TEST(BindArguments, PutsPositionalAndNamedArgumentsInDeclarationOrder) {
  const Case cases[] = {
      {"none", 0, {}, 0, S_OK, {}},
      {"positional, last first", 3, {}, 3, S_OK, {2, 1, 0}},
      {"named only", 2, {1, 0}, 2, S_OK, {1, 0}},
      {"positional then named", 3, {2}, 3, S_OK, {2, 1, 0}},
      {"named out of order", 3, {2, 1}, 3, S_OK, {2, 1, 0}},
      {"named after a positional", 3, {1, 2}, 3, S_OK, {2, 0, 1}},
      {"too many", 3, {}, 2, DISP_E_BADPARAMCOUNT, {}},
      {"too few", 1, {}, 2, DISP_E_BADPARAMCOUNT, {}},
      {"named past the end", 1, {5}, 2, DISP_E_PARAMNOTFOUND, {}},
      {"named twice", 2, {0, 0}, 2, DISP_E_PARAMNOTFOUND, {}},
      {"named over a positional", 2, {0}, 2, DISP_E_PARAMNOTFOUND, {}},
      {"one left out", 1, {1}, 2, DISP_E_PARAMNOTFOUND, {}},
  };
  for (const Case& c : cases) {
    Params p(c.given, c.named);
    std::vector<BoundArgument> bound;
    UINT error = 99;
    EXPECT_EQ(bind_arguments(&p.params, c.method_arguments, bound, &error), c.expected) << c.what;
    if (c.expected != S_OK) continue;
    ASSERT_EQ(bound.size(), c.order.size()) << c.what;
    for (std::size_t i = 0; i < bound.size(); ++i) {
      EXPECT_EQ(V_I4(bound[i].value), c.order[i]) << c.what << ", argument " << i;
      EXPECT_EQ(static_cast<LONG>(bound[i].index), c.order[i]) << c.what;
    }
  }
}

TEST(BindArguments, ALeftOutArgumentIsNamedInTheArgumentError) {
  Params p(2, {});
  V_VT(&p.args[0]) = VT_ERROR;
  V_ERROR(&p.args[0]) = DISP_E_PARAMNOTFOUND;
  std::vector<BoundArgument> bound;
  UINT error = 99;
  EXPECT_EQ(bind_arguments(&p.params, 2, bound, &error), DISP_E_PARAMNOTFOUND);
  EXPECT_EQ(error, 0u);
}

TEST(BindArguments, RefusesInconsistentParameters) {
  std::vector<BoundArgument> bound;
  DISPPARAMS no_array{nullptr, nullptr, 1, 0};
  EXPECT_EQ(bind_arguments(&no_array, 1, bound, nullptr), E_INVALIDARG);
  Params more_named(1, {0, 1});
  EXPECT_EQ(bind_arguments(&more_named.params, 2, bound, nullptr), E_INVALIDARG);
  EXPECT_EQ(bind_arguments(nullptr, 0, bound, nullptr), S_OK);
  EXPECT_EQ(bind_arguments(nullptr, 1, bound, nullptr), DISP_E_BADPARAMCOUNT);
}

}  // namespace
}  // namespace gpio_dll::com
