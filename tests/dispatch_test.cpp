#include <gtest/gtest.h>

#include <functional>

#include "base/module_state.hpp"
#include "gpio_dll/gpio_dll.hpp"
#include "support/test_support.hpp"

namespace gpio_dll {
namespace {

using automation::ArgType;
using testing::on_fresh_thread;

// Recognisable argument values of each declared type.
std::vector<Variant> sample_arguments(const automation::MethodInfo& method) {
  std::vector<Variant> args;
  for (const auto& a : method.arguments) {
    switch (a.type) {
      case ArgType::Int16:
        args.emplace_back(std::int16_t{0x17});
        break;
      case ArgType::Int32:
        args.emplace_back(std::int32_t{1234});
        break;
      case ArgType::UInt8:
        args.emplace_back(std::uint8_t{9});
        break;
      case ArgType::Text:
        args.emplace_back("abc");
        break;
      case ArgType::Bytes:
        args.emplace_back(ByteArray{1, 2, 3});
        break;
    }
  }
  return args;
}

// Methods that choose an implementation by the thread's firmware version text.
std::vector<const automation::MethodInfo*> dispatching_methods() {
  std::vector<const automation::MethodInfo*> methods;
  for (const auto& m : automation::method_table())
    if ((m.index >= 3 && m.index <= 17) || (m.index >= 19 && m.index <= 23)) methods.push_back(&m);
  return methods;
}

class Dispatch : public testing::SimulatedModuleTest {
 protected:
  // Calls every dispatching method and expects `code` from each, with no platform call and
  // the arguments untouched.
  void expect_every_method_refuses_with(std::int32_t code) {
    cls_GPIO_DLL dll;
    const auto events_before = platform().events().size();
    for (const auto* method : dispatching_methods()) {
      std::vector<Variant> args = sample_arguments(*method);
      const std::vector<Variant> before = args;
      const Variant result = automation::Invoke(dll, method->name, args);
      EXPECT_EQ(result, Variant(code)) << method->name;
      EXPECT_EQ(args, before) << method->name;
    }
    EXPECT_EQ(platform().events().size(), events_before);
  }
};

TEST_F(Dispatch, AFreshThreadGets131WithoutAnyHidCall) {
  on_fresh_thread([&] {
    expect_every_method_refuses_with(NO_DEV_DETECTED);
    // Not even the debug window was created (its start-up would identify the module).
    EXPECT_FALSE(ModuleState::current().has_debug_window());
  });
}

TEST_F(Dispatch, FirmwareUnknownToTheComponentGets133) {
  TearDown();
  install({.firmware_version = "1.2.3"});
  on_fresh_thread([&] {
    std::string fw, vid, pid;
    ASSERT_EQ(cls_GPIO_DLL().GPIO_FW_VER_Read(fw, vid, pid), OK);
    EXPECT_EQ(fw, "1.2.3");
    expect_every_method_refuses_with(UNSUPPORTED_GPIO_FW_VER);
  });
}

TEST_F(Dispatch, VersionTextsAreComparedExactly) {
  on_fresh_thread([&] {
    for (const char* text : {"2.0.19 ", "2.0.190", "02.0.19", "1.0.1"}) {
      ModuleState::current().firmware_version = text;
      expect_every_method_refuses_with(UNSUPPORTED_GPIO_FW_VER);
    }
  });
}

struct Reached {
  const char* method;
  std::function<std::int32_t(cls_GPIO_DLL&)> call;
  std::uint8_t old_command;  // the command byte of its own request on "1.0.10"
  std::uint8_t new_command;  // and on "2.0.19"
};

TEST_F(Dispatch, AnIdentifiedThreadReachesTheImplementationOfItsGeneration) {
  std::int16_t cmd = 0x0D, target = 0x16, count = 2, read = 2;
  std::int32_t h = 0, l = 0, rh = 0, rl = 0;
  std::uint8_t a = 0, b = 0, c = 0;
  ByteArray w = {1, 2, 3, 4}, r;
  const std::vector<Reached> table = {
      {"GPIO_ReadI2CBlock", [&](auto& d) { return d.GPIO_ReadI2CBlock(cmd, r, read, target); },
       0x15, 0x21},
      {"GPIO_WriteI2CBlock", [&](auto& d) { return d.GPIO_WriteI2CBlock(cmd, w, count, target); },
       0x14, 0x20},
      {"GPIO_SendSMBusByte", [&](auto& d) { return d.GPIO_SendSMBusByte(l, target); }, 0x01, 0x22},
      {"GPIO_WriteSMBusByte", [&](auto& d) { return d.GPIO_WriteSMBusByte(cmd, l, target); }, 0x03,
       0x23},
      {"GPIO_WriteSMBusWord", [&](auto& d) { return d.GPIO_WriteSMBusWord(cmd, h, l, target); },
       0x04, 0x24},
      {"GPIO_WriteSMBusBlock",
       [&](auto& d) { return d.GPIO_WriteSMBusBlock(cmd, w, count, target); }, 0x08, 0x25},
      {"GPIO_ReceiveSMBusByte", [&](auto& d) { return d.GPIO_ReceiveSMBusByte(l, target); }, 0x02,
       0x21},
      {"GPIO_ReadSMBusByte", [&](auto& d) { return d.GPIO_ReadSMBusByte(cmd, l, target); }, 0x05,
       0x27},
      {"GPIO_ReadSMBusWord", [&](auto& d) { return d.GPIO_ReadSMBusWord(cmd, h, l, target); }, 0x06,
       0x28},
      {"GPIO_ReadSMBusBlock", [&](auto& d) { return d.GPIO_ReadSMBusBlock(cmd, r, read, target); },
       0x09, 0x29},
      {"GPIO_Test", [&](auto& d) { return d.GPIO_Test(); }, 0x7F, 0x07},
      {"GPIO_ProcessCall", [&](auto& d) { return d.GPIO_ProcessCall(cmd, h, l, rh, rl, target); },
       0x07, 0x21},
      {"GPIO_WriteReadI2CBlock",
       [&](auto& d) { return d.GPIO_WriteReadI2CBlock(cmd, w, r, count, read, target); }, 0x1D,
       0x21},
      {"GPIO_WriteReadSMBusBlock",
       [&](auto& d) { return d.GPIO_WriteReadSMBusBlock(cmd, w, r, count, read, target); }, 0x0A,
       0x21},
      {"GPIO_GetP0Line", [&](auto& d) { return d.GPIO_GetP0Line(b); }, 0x16, 0x2B},
      {"GPIO_SetP0Line", [&](auto& d) { return d.GPIO_SetP0Line(b); }, 0x16, 0x2A},
      {"GPIO_GetPMBusLine", [&](auto& d) { return d.GPIO_GetPMBusLine(b); }, 0x0F, 0x2B},
      {"GPIO_SetPMBusLine", [&](auto& d) { return d.GPIO_SetPMBusLine(b); }, 0x0C, 0x2A},
      {"GPIO_SetP1Line", [&](auto& d) { return d.GPIO_SetP1Line(a, b, c); }, 0x1A, 0x03},
      {"GPIO_CheckSdaSclLine", [&](auto& d) { return d.GPIO_CheckSdaSclLine(); }, 0x16, 0x2B},
  };
  for (const char* fw : {"1.0.10", "2.0.19"}) {
    with_identified(fw, [&] {
      cls_GPIO_DLL dll;
      for (const auto& m : table) {
        mark();
        count = 2;
        read = 2;
        m.call(dll);
        const auto sent_now = sent(1);
        ASSERT_FALSE(sent_now.empty()) << m.method << " on " << fw;
        EXPECT_EQ(sent_now.back()[0], std::string(fw) == "1.0.10" ? m.old_command : m.new_command)
            << m.method << " on " << fw;
      }
    });
  }
}

TEST_F(Dispatch, CombinedP0AccessExistsOnlyOnTheOldFirmware) {
  on_fresh_thread([&] {
    std::string fw, vid, pid;
    ASSERT_EQ(cls_GPIO_DLL().GPIO_FW_VER_Read(fw, vid, pid), OK);
    ASSERT_EQ(fw, "2.0.19");
    const auto sent = requests().size();
    std::uint8_t a = 1, b = 2;
    EXPECT_EQ(cls_GPIO_DLL().GPIO_ReadWriteP0Line(a, b), UNSUPPORTED_GPIO_FW_VER);
    EXPECT_EQ(requests().size(), sent);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    ModuleState::current().firmware_version.clear();
    EXPECT_EQ(cls_GPIO_DLL().GPIO_ReadWriteP0Line(a, b), NO_DEV_DETECTED);
  });
}

TEST_F(Dispatch, EachThreadHasItsOwnState) {
  cls_GPIO_DLL shared_object;
  on_fresh_thread([&] {
    std::string fw, vid, pid;
    ASSERT_EQ(shared_object.GPIO_FW_VER_Read(fw, vid, pid), OK);
    EXPECT_EQ(ModuleState::current().firmware_version, "2.0.19");
    on_fresh_thread([&] {
      // Same object, another thread: nothing identified here.
      EXPECT_TRUE(ModuleState::current().firmware_version.empty());
      std::int16_t cmd = 0x0D, target = 0x16;
      std::int32_t high = 5, low = 6;
      EXPECT_EQ(shared_object.GPIO_ReadSMBusWord(cmd, high, low, target), NO_DEV_DETECTED);
      EXPECT_EQ(high, 5);
      EXPECT_EQ(low, 6);
    });
    // Two objects on one thread share the thread's state.
    EXPECT_EQ(ModuleState::current().firmware_version, "2.0.19");
    cls_GPIO_DLL other_object;
    std::uint8_t a = 0, b = 0;
    EXPECT_EQ(other_object.GPIO_ReadWriteP0Line(a, b), UNSUPPORTED_GPIO_FW_VER);
  });
}

TEST_F(Dispatch, ThePredeclaredInstanceWorksLikeAnyObject) {
  on_fresh_thread([] {
    std::string fw, vid, pid;
    EXPECT_EQ(predeclared_instance().GPIO_FW_VER_Read(fw, vid, pid), OK);
    EXPECT_EQ(&predeclared_instance(), &predeclared_instance());
    EXPECT_EQ(fw, "2.0.19");
  });
}

TEST_F(Dispatch, ShutdownClosesBothHandlesAndTheNextIdentificationReopens) {
  on_fresh_thread([&] {
    cls_GPIO_DLL dll;
    std::string fw, vid, pid;
    ASSERT_EQ(dll.GPIO_FW_VER_Read(fw, vid, pid), OK);
    EXPECT_EQ(platform().open_handle_count(), 2);
    EXPECT_TRUE(dll.GPIO_ShutdownDLL().is_empty());
    EXPECT_EQ(platform().open_handle_count(), 0);
    // The version text stays; nothing is sent through the closed handles.
    EXPECT_EQ(ModuleState::current().firmware_version, "2.0.19");
    EXPECT_TRUE(dll.GPIO_ShutdownDLL().is_empty());
    EXPECT_EQ(dll.GPIO_FW_VER_Read(fw, vid, pid), OK);
    EXPECT_EQ(platform().open_handle_count(), 2);
  });
}

}  // namespace
}  // namespace gpio_dll
