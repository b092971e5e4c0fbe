#include <gtest/gtest.h>

#include "base/module_state.hpp"
#include "diagnostics/form1.hpp"
#include "gpio_dll/gpio_dll.hpp"
#include "support/test_support.hpp"
#include "transport/device_discovery.hpp"
#include "transport/report_exchange.hpp"

namespace gpio_dll {
namespace {

using testing::contains_run;
using testing::on_fresh_thread;
using Kind = SimulatedEvent::Kind;

// A platform that starts empty; each test plugs in what it needs.
class Discovery : public ::testing::Test {
 protected:
  void SetUp() override { platform::use_simulated(sim_); }
  void TearDown() override { platform::use_system(); }

  SimulatedPlatform::DeviceId add_module(sim::ModuleConfig config = {}) {
    return sim_->add_device(std::make_shared<sim::SimulatedModule>(config));
  }
  SimulatedPlatform::DeviceId add_other(std::uint16_t vid, std::uint16_t pid) {
    return sim_->add_device(std::make_shared<PassiveHidDevice>(vid, pid));
  }
  // Creates the thread's window (its start-up identifies), shows it and empties its trace, and
  // forgets the platform events so far.
  diagnostics::Form1& shown_window() {
    auto& window = diagnostics::debug_window(ModuleState::current());
    window.show();
    window.ListBox1.clear();
    sim_->clear_events();
    return window;
  }
  std::vector<int> opened_devices() const {
    std::vector<int> devices;
    for (const auto& e : sim_->events())
      if (e.kind == Kind::Open || e.kind == Kind::OpenFailed) devices.push_back(e.device);
    return devices;
  }
  bool discover() {
    vendor = product = "stale";
    return transport::discover_module(ModuleState::current(), vendor, product);
  }

  std::shared_ptr<SimulatedPlatform> sim_ = std::make_shared<SimulatedPlatform>();
  std::string vendor, product;
};

TEST_F(Discovery, SkipsAnotherDeviceAndStopsAtTheModule) {
  const auto other = add_other(0x046D, 0xC52B);
  const auto module = add_module();
  add_other(0x1234, 0x5678);
  on_fresh_thread([&] {
    auto& window = shown_window();
    EXPECT_TRUE(discover());
    EXPECT_TRUE(ModuleState::current().module_present);
    EXPECT_EQ(vendor, "0451");
    EXPECT_EQ(product, "5F00");
    EXPECT_EQ(window.Text3[0], "Success");
    // Device 0 opened and closed again; the module opened twice (write, read); device 2 never.
    EXPECT_EQ(opened_devices(), (std::vector<int>{other, module, module}));
    EXPECT_EQ(sim_->open_handle_count(), 2);
    const auto& lines = window.ListBox1.lines();
    EXPECT_TRUE(contains_run(lines, {"  DeviceInfoSet for device #0: ", "  cbSize = 28"}));
    EXPECT_TRUE(contains_run(lines, {"  Vendor ID: 46D", "  Product ID: C52B"}));
    EXPECT_TRUE(contains_run(lines, {"", "CloseHandle", "  Result = Success"}));
    EXPECT_TRUE(contains_run(lines, {"  Version Number: 100", "  My device detected"}));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "  DeviceInfoSet for device #2: "), 0);
    EXPECT_TRUE(contains_run(lines, {"", "CreateFile, ReadHandle", "  Result = Success"}));
    EXPECT_EQ(lines.back(), "  Result = Success");  // after "CreateEvent"
    EXPECT_EQ(lines[lines.size() - 2], "CreateEvent");
  });
}

TEST_F(Discovery, TracesTheInterfaceTheWayTheWindowShowsIt) {
  add_module();
  on_fresh_thread([&] {
    auto& window = shown_window();
    ASSERT_TRUE(discover());
    const auto& lines = window.ListBox1.lines();
    EXPECT_TRUE(contains_run(lines, {"", "GetHidGuid", "  Result = Success",
                                     "  GUID for system HIDs: 4D1E55B2-F16F-11CF-88 CB 00 11 11 "
                                     "00 00 30 "}));
    EXPECT_TRUE(contains_run(
        lines, {"  InterfaceClassGuid.Data1 = 4D1E55B2", "  InterfaceClassGuid.Data2 = F16F",
                "  InterfaceClassGuid.Data3 = 11CF", "  Flags = 1"}));
    const std::string path = sim_->device_path(0);
    EXPECT_TRUE(contains_run(
        lines, {"  (OK to say too small)",
                "  Required buffer size for the data: " + std::to_string(path.size() + 5)}));
    EXPECT_TRUE(contains_run(
        lines, {"  MyDeviceInterfaceDetailData.cbSize: 5", "  Device pathname:     " + path}));
    EXPECT_TRUE(
        contains_run(lines, {"  HIDD_ATTRIBUTES structure filled without error.",
                             "  Structure size: 12", "  Vendor ID: 451", "  Product ID: 5F00"}));
    EXPECT_TRUE(contains_run(
        lines,
        {"  Last error: ", "  Usage: 1", "  Usage Page: FF00", "  Input Report Byte Length: 65",
         "  Output Report Byte Length: 65", "  Feature Report Byte Length: 0"}));
    const auto handle = ModuleState::current().ReadHandle;
    std::ostringstream expected;
    expected << "  Returned handle: " << std::uppercase << std::hex << handle << "h";
    EXPECT_NE(std::find(lines.begin(), lines.end(), expected.str()), lines.end());
  });
}

TEST_F(Discovery, WithoutTheModuleReportsTheLastDeviceExamined) {
  add_other(0x00AB, 0x0C00);
  on_fresh_thread([&] {
    auto& window = shown_window();
    EXPECT_FALSE(discover());
    EXPECT_EQ(vendor, "00AB");
    EXPECT_EQ(product, "0C00");
    EXPECT_FALSE(ModuleState::current().module_present);
    EXPECT_EQ(window.Text3[0], "Unkn. Dev.");
    EXPECT_EQ(window.ListBox1.lines().back(), " Device not found.");
    EXPECT_EQ(sim_->open_handle_count(), 0);
  });
}

TEST_F(Discovery, WithNoDeviceAtAllTheTextsStayEmpty) {
  on_fresh_thread([&] {
    shown_window();
    EXPECT_FALSE(discover());
    EXPECT_EQ(vendor, "");
    EXPECT_EQ(product, "");
  });
}

TEST_F(Discovery, BothIdentifiersMustMatch) {
  add_other(0x0452, 0x5F00);
  add_other(0x0451, 0x5F01);
  on_fresh_thread([&] {
    shown_window();
    EXPECT_FALSE(discover());
    EXPECT_EQ(vendor, "0451");
    EXPECT_EQ(product, "5F01");
  });
}

TEST_F(Discovery, ADeviceThatCannotBeOpenedIsSkipped) {
  const auto locked = add_module();
  const auto module = add_module();
  sim_->set_open_fails(locked, true);
  on_fresh_thread([&] {
    auto& window = shown_window();
    EXPECT_TRUE(discover());
    EXPECT_EQ(opened_devices(), (std::vector<int>{locked, module, module}));
    EXPECT_TRUE(contains_run(
        window.ListBox1.lines(),
        {"", "CreateFile", "  Result = Permission denied", "  Returned handle: FFFFFFFFh"}));
    EXPECT_TRUE(
        contains_run(window.ListBox1.lines(), {"  Error in filling HIDD_ATTRIBUTES structure."}));
  });
}

TEST_F(Discovery, UsesTheReportLengthsTheModuleReports) {
  add_module({.input_report_length = 33, .output_report_length = 17});
  on_fresh_thread([&] {
    shown_window();
    ASSERT_TRUE(discover());
    auto& state = ModuleState::current();
    EXPECT_EQ(state.InputReportByteLength, 33);
    EXPECT_EQ(state.OutputReportByteLength, 17);
    const std::vector<std::uint8_t> request(64, 0x5A);
    const auto answer = transport::exchange(state, request);
    EXPECT_EQ(answer.size(), 32u);
    const auto written = sim_->written_reports(0);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].size(), 17u);
  });
}

TEST_F(Discovery, ANewDiscoveryClosesTheHandlesOfTheLastOne) {
  add_module();
  on_fresh_thread([&] {
    shown_window();
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(discover());
      EXPECT_EQ(sim_->open_handle_count(), 2);
    }
  });
  // A thread that ends gives its handles back.
  EXPECT_EQ(sim_->open_handle_count(), 0);
}

TEST_F(Discovery, PresenceCheckReopensAfterShutdownButNotWhileOpen) {
  add_module();
  on_fresh_thread([&] {
    auto& state = ModuleState::current();
    shown_window();
    // The window's start-up left the module open.
    EXPECT_TRUE(transport::module_presence_check(state));
    EXPECT_EQ(opened_devices().size(), 0u);
    transport::close_module(state);
    EXPECT_TRUE(state.module_present);  // the flag is left as it was
    EXPECT_TRUE(transport::module_presence_check(state));
    EXPECT_EQ(opened_devices().size(), 2u);
  });
}

}  // namespace
}  // namespace gpio_dll
