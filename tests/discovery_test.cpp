#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/module_state.hpp"
#include "base/platform_port.hpp"
#include "base/system_error_text.hpp"
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
    EXPECT_TRUE(contains_run(lines, {"", "CloseHandle", "  Result = " + system_error_text(0)}));
    EXPECT_TRUE(contains_run(lines, {"  Version Number: 100", "  My device detected"}));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "  DeviceInfoSet for device #2: "), 0);
    EXPECT_TRUE(
        contains_run(lines, {"", "CreateFile, ReadHandle", "  Result = " + system_error_text(0)}));
    EXPECT_EQ(lines.back(), "  Result = " + system_error_text(0));  // after "CreateEvent"
    EXPECT_EQ(lines[lines.size() - 2], "CreateEvent");
  });
}

TEST_F(Discovery, TracesTheInterfaceTheWayTheWindowShowsIt) {
  add_module();
  on_fresh_thread([&] {
    auto& window = shown_window();
    ASSERT_TRUE(discover());
    const auto& lines = window.ListBox1.lines();
    EXPECT_TRUE(contains_run(lines, {"", "GetHidGuid", "  Result = " + system_error_text(0),
                                     "  GUID for system HIDs: 4D1E55B2-F16F-11CF-88 CB 00 11 11 "
                                     "00 00 30 "}));
    EXPECT_TRUE(contains_run(
        lines, {"  InterfaceClassGuid.Data1 = 4D1E55B2", "  InterfaceClassGuid.Data2 = F16F",
                "  InterfaceClassGuid.Data3 = 11CF", "  Flags = 1"}));
    // The size query fails for lack of room, as Windows' setup library says it does.
    const std::string path = sim_->device_path(0);
    EXPECT_TRUE(contains_run(
        lines, {"", "SetupDiGetDeviceInterfaceDetail",
                "  Result = " + setup_error_text(transport::kErrorInsufficientBuffer),
                "  (OK to say too small)",
                "  Required buffer size for the data: " + std::to_string(path.size() + 5), "",
                " Result of second call: ", "  Result = " + system_error_text(0),
                "  MyDeviceInterfaceDetailData.cbSize: 5", "  Device pathname: ", "    " + path}));
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
    // The enumeration ends when the setup library has no more interfaces.
    const auto& lines = window.ListBox1.lines();
    EXPECT_TRUE(contains_run(
        lines,
        {"", "CloseHandle", "  Result = " + system_error_text(0), "", "SetupDiEnumDeviceInterfaces",
         "  Result = " + setup_error_text(transport::kErrorNoMoreItems), "",
         "DestroyDeviceInfoList", "  Result = " + system_error_text(0)}));
    EXPECT_EQ(lines.back(), " Device not found.");
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
    EXPECT_TRUE(contains_run(window.ListBox1.lines(),
                             {"", "CreateFile", "  Result = " + system_error_text(EACCES),
                              "  Returned handle: FFFFFFFFh"}));
    EXPECT_TRUE(
        contains_run(window.ListBox1.lines(), {"  Error in filling HIDD_ATTRIBUTES structure."}));
  });
}

TEST_F(Discovery, UsesTheReportLengthsTheModuleReportsOrRefusesThemWithTheReason) {
  struct Case {
    std::uint16_t input, output;
    bool usable;
  };
  // Identification needs 2 request bytes and a 4-byte answer, after the identifier.
  for (const Case& c : {Case{33, 17, true}, Case{5, 3, true}, Case{0, 0, false}, Case{4, 65, false},
                        Case{65, 2, false}}) {
    SCOPED_TRACE(::testing::Message() << c.input << "/" << c.output);
    const auto id = add_module({.input_report_length = c.input, .output_report_length = c.output});
    on_fresh_thread([&] {
      cls_GPIO_DLL dll;
      std::string fw, vid, pid;
      const auto start = sim_->now_ms();
      EXPECT_EQ(dll.GPIO_FW_VER_Read(fw, vid, pid), c.usable ? OK : NO_DEV_DETECTED);
      auto& state = ModuleState::current();
      const auto failure = platform::last_open_failure();
      if (!c.usable) {
        // Refused at once, nothing sent, nothing left open, and the reason told.
        EXPECT_EQ(sim_->now_ms(), start);
        EXPECT_TRUE(sim_->written_reports(id).empty());
        EXPECT_EQ(sim_->open_handle_count(), 0);
        ASSERT_TRUE(failure.has_value());
        EXPECT_EQ(failure->path, sim_->device_path(id));
        EXPECT_EQ(failure->error, 0);
        EXPECT_EQ(failure->text, "the module's reports are too short: input " +
                                     std::to_string(c.input) + " and output " +
                                     std::to_string(c.output) + " bytes, at least 5 and 3 needed");
        return;
      }
      EXPECT_FALSE(failure.has_value());
      EXPECT_EQ(state.InputReportByteLength, c.input);
      EXPECT_EQ(state.OutputReportByteLength, c.output);
      const auto answer = transport::exchange(state, std::vector<std::uint8_t>(64, 0x5A));
      EXPECT_EQ(answer.size(), c.input - 1u);
      EXPECT_EQ(sim_->written_reports(id).back().size(), c.output);
    });
    sim_->unplug(id);
  }
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

// Why a discovery did not reach the module, as the calling thread's record tells it.
struct OpenFailureCase {
  const char* name;
  std::vector<int> open_errors;  // one device each; -1: the module, opening normally
  std::vector<int> module_at;    // which of the devices are modules
  bool found;
  int failed_device;  // the device whose failure is kept; -1: none
  int error;
};

class DiscoveryOpenFailure : public Discovery,
                             public ::testing::WithParamInterface<OpenFailureCase> {};

TEST_P(DiscoveryOpenFailure, KeepsTheFailureWorthTelling) {
  const OpenFailureCase& c = GetParam();
  std::vector<SimulatedPlatform::DeviceId> ids;
  for (std::size_t i = 0; i < c.open_errors.size(); ++i) {
    const bool module =
        std::find(c.module_at.begin(), c.module_at.end(), static_cast<int>(i)) != c.module_at.end();
    ids.push_back(module ? add_module() : add_other(0x046D, 0xC52B));
    if (c.open_errors[i] > 0) sim_->set_open_error(ids.back(), c.open_errors[i]);
  }
  on_fresh_thread([&] {
    EXPECT_EQ(discover(), c.found);
    const auto failure = platform::last_open_failure();
    if (c.failed_device < 0) {
      EXPECT_FALSE(failure.has_value()) << failure->path;
      return;
    }
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->path, sim_->device_path(ids[static_cast<std::size_t>(c.failed_device)]));
    EXPECT_EQ(failure->error, c.error);
    EXPECT_EQ(failure->text, system_error_text(c.error));
    EXPECT_EQ(failure->permission_denied(), c.error == EACCES || c.error == EPERM);
  });
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DiscoveryOpenFailure,
    ::testing::Values(
        OpenFailureCase{"ModuleOpens", {0}, {0}, true, -1, 0},
        OpenFailureCase{"NothingListed", {}, {}, false, -1, 0},
        OpenFailureCase{"OnlyOtherDevicesThatOpen", {0, 0}, {}, false, -1, 0},
        OpenFailureCase{"ModuleDenied", {EACCES}, {0}, false, 0, EACCES},
        OpenFailureCase{"ModuleNotPermitted", {EPERM}, {0}, false, 0, EPERM},
        OpenFailureCase{"NodeGone", {0, ENOENT}, {1}, false, 1, ENOENT},
        // A permission failure tells more than the failures of other kinds before it.
        OpenFailureCase{"DeniedAfterGone", {ENOENT, EIO, EACCES}, {2}, false, 2, EACCES},
        OpenFailureCase{"FirstOfTwoDenied", {EACCES, EPERM}, {0, 1}, false, 0, EACCES},
        // A module found after a device that could not be opened: nothing to tell.
        OpenFailureCase{"FoundPastALockedDevice", {EACCES, 0}, {1}, true, -1, 0}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(Discovery, TheOpenFailureIsTheCallingThreadsAndTheLatestDiscoverys) {
  const auto module = add_module();
  sim_->set_open_error(module, EACCES);
  on_fresh_thread([&] {
    EXPECT_FALSE(platform::last_open_failure().has_value());  // no discovery yet
    cls_GPIO_DLL dll;
    std::string fw, vid, pid;
    EXPECT_EQ(dll.GPIO_FW_VER_Read(fw, vid, pid), NO_DEV_DETECTED);
    ASSERT_TRUE(platform::last_open_failure().has_value());
    EXPECT_EQ(platform::last_open_failure()->text, system_error_text(EACCES));
    on_fresh_thread([] { EXPECT_FALSE(platform::last_open_failure().has_value()); });

    sim_->set_open_error(module, ENODEV);
    EXPECT_FALSE(discover());
    ASSERT_TRUE(platform::last_open_failure().has_value());
    EXPECT_EQ(platform::last_open_failure()->error, ENODEV);

    sim_->set_open_error(module, 0);
    EXPECT_EQ(dll.GPIO_FW_VER_Read(fw, vid, pid), OK);
    EXPECT_FALSE(platform::last_open_failure().has_value());
  });
}

TEST_F(Discovery, TheDeviceListSaysWhyADeviceCouldNotBeOpened) {
  const auto locked = add_module();
  add_other(0x046D, 0xC52B);
  sim_->set_open_error(locked, EACCES);
  const auto devices = platform::list_devices();
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_FALSE(devices[0].opened);
  EXPECT_EQ(devices[0].open_error, system_error_text(EACCES));
  EXPECT_TRUE(devices[1].opened);
  EXPECT_EQ(devices[1].open_error, "");
}

}  // namespace
}  // namespace gpio_dll
