// The fixture of the C++ clients of the registered server (the test build, on the simulated
// module): the class created by its programmatic identifier through COM, asked for IDispatch and
// for the dual interface's table, and the module identified. The library linked into the client
// program, on a simulated module of its own, gives the expected answers.
//
// With GPIO_DLL_CLIENT_WITHOUT_MODULE=1 the clients call a server that has no module (the server
// as it ships, installed on a machine without one): the client's library then uses the system's
// HID access too, finds no module either, and gives the answers expected.
#pragma once

#include <gpio_dll_interface.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

#include "com_test_support.hpp"
#include "simulated_module.hpp"

namespace gpio_dll::com::testing {

class ComClient : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"GPIO_DLL.cls_GPIO_DLL", &clsid), S_OK) << "not registered";
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(&object_)),
              S_OK);
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(_cls_GPIO_DLL),
                               reinterpret_cast<void**>(&table_)),
              S_OK);
    // Once for the whole program: the module answers as the server's own, which lives as long.
    static const bool installed = with_module() && (sim::install_simulated_module(), true);
    (void)installed;
    for (const bool as_variables : {false, true}) {
      ComCall identified;
      call(*object_, "GPIO_FW_VER_Read", {Variant(""), Variant(""), Variant("")}, as_variables,
           identified);
      const Expected expected = call_library("GPIO_FW_VER_Read", {"", "", ""});
      if (with_module()) {
        ASSERT_EQ(identified.result, Variant(std::int32_t{0}));
      }
      ASSERT_EQ(identified.result, expected.result);
      ASSERT_EQ(identified.arguments, expected.arguments);
    }
  }
  // False when the server under test has no module (GPIO_DLL_CLIENT_WITHOUT_MODULE=1).
  static bool with_module() {
    const char* without = std::getenv("GPIO_DLL_CLIENT_WITHOUT_MODULE");
    return without == nullptr || std::string_view(without) != "1";
  }
  void TearDown() override {
    if (object_ != nullptr) object_->Release();
    if (table_ != nullptr) table_->Release();
    CoUninitialize();
  }
  IDispatch* object_ = nullptr;
  _cls_GPIO_DLL* table_ = nullptr;
};

}  // namespace gpio_dll::com::testing
