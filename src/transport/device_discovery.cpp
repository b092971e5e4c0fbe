#include "transport/device_discovery.hpp"

#include "base/hex_text.hpp"
#include "base/module_state.hpp"
#include "gpio_dll/hid_types.hpp"
#include "transport/call_trace.hpp"
#include "transport/open_failure.hpp"
#include "transport/platform_registry.hpp"
#include "transport/report_exchange.hpp"

namespace gpio_dll::transport {

namespace {

// Sizes of the records a 32-bit Windows process passes to the setup and HID libraries; the
// trace shows them so that it reads the same on every platform.
constexpr std::uint32_t kInterfaceDataSize = 28;
constexpr std::uint32_t kDetailDataSize = 5;
constexpr std::uint32_t kAttributesSize = 12;

std::string handle_text(Handle handle) {
  return hex_digits(static_cast<std::uint32_t>(handle)) + "h";
}

// Reads the platform's error value right after a call, as every traced call does.
void after_call(ModuleState& state, std::int32_t result) {
  state.last_error = port_of(state).last_error();
  state.last_api_result = result;
}

void after_handle_call(ModuleState& state) {
  state.last_error = port_of(state).last_error();
}

// Steps of the Windows setup library, whose outcome the port's enumeration reported up front:
// the error the call left, with Windows' number.
void setup_call(ModuleState& state, std::int32_t error, std::int32_t result) {
  state.last_error = error;
  state.last_api_result = result;
}

void trace_guid(ModuleState& state, const Guid& guid) {
  if (!tracing(state)) return;
  std::string line = "  GUID for system HIDs: " + hex_digits(guid.data1) + "-" +
                     hex_digits(guid.data2) + "-" + hex_digits(guid.data3) + "-";
  for (std::uint8_t byte : guid.data4)
    line += two_digit_hex(byte) + " ";
  trace_line(state, line);
}

void trace_interface(ModuleState& state, std::size_t index, const DeviceInterface& iface) {
  if (!tracing(state)) return;
  trace_line(state, "  DeviceInfoSet for device #" + std::to_string(index) + ": ");
  // Appended rather than prefixed: GCC 12 at -O3 takes the prefix of a short constant number's
  // text for an overlapping copy (-Wrestrict).
  trace_line(state, std::string("  cbSize = ").append(std::to_string(kInterfaceDataSize)));
  trace_line(state, "  InterfaceClassGuid.Data1 = " + hex_digits(iface.class_guid.data1));
  trace_line(state, "  InterfaceClassGuid.Data2 = " + hex_digits(iface.class_guid.data2));
  trace_line(state, "  InterfaceClassGuid.Data3 = " + hex_digits(iface.class_guid.data3));
  trace_line(state, "  Flags = " + hex_digits(iface.flags));
}

void trace_attributes(ModuleState& state, bool filled, const HidAttributes& attributes) {
  if (!tracing(state)) return;
  trace_line(state, filled ? "  HIDD_ATTRIBUTES structure filled without error."
                           : "  Error in filling HIDD_ATTRIBUTES structure.");
  trace_line(state, "  Structure size: " + std::to_string(kAttributesSize));
  trace_line(state, "  Vendor ID: " + hex_digits(attributes.vendor_id));
  trace_line(state, "  Product ID: " + hex_digits(attributes.product_id));
  trace_line(state, "  Version Number: " + hex_digits(attributes.version_number));
}

void trace_capabilities(ModuleState& state, const HidCapabilities& caps) {
  if (!tracing(state)) return;
  auto dec = [&](const char* label, std::uint16_t value) {
    trace_line(state, std::string(label) + std::to_string(value));
  };
  trace_line(state, "  Usage: " + hex_digits(caps.usage));
  trace_line(state, "  Usage Page: " + hex_digits(caps.usage_page));
  dec("  Input Report Byte Length: ", caps.input_report_byte_length);
  dec("  Output Report Byte Length: ", caps.output_report_byte_length);
  dec("  Feature Report Byte Length: ", caps.feature_report_byte_length);
  dec("  Number of Link Collection Nodes: ", caps.number_link_collection_nodes);
  dec("  Number of Input Button Caps: ", caps.number_input_button_caps);
  dec("  Number of Input Value Caps: ", caps.number_input_value_caps);
  dec("  Number of Input Data Indices: ", caps.number_input_data_indices);
  dec("  Number of Output Button Caps: ", caps.number_output_button_caps);
  dec("  Number of Output Value Caps: ", caps.number_output_value_caps);
  dec("  Number of Output Data Indices: ", caps.number_output_data_indices);
  dec("  Number of Feature Button Caps: ", caps.number_feature_button_caps);
  dec("  Number of Feature Value Caps: ", caps.number_feature_value_caps);
  dec("  Number of Feature Data Indices: ", caps.number_feature_data_indices);
}

// The preparsed-data steps of the Windows HID library collapse into one capability query here;
// the trace keeps one entry per step.
void learn_capabilities(ModuleState& state) {
  auto& port = port_of(state);
  HidCapabilities caps;
  const bool ok = port.capabilities(state.HIDHandle, caps);
  after_call(state, ok ? 1 : 0);
  api_trace(state, "HidD_GetPreparsedData");
  api_trace(state, "RtlMoveMemory");
  api_trace(state, "HidP_GetCaps");
  // Lengths that could not be learnt are none: an earlier device's must not stand in for them.
  state.InputReportByteLength = ok ? caps.input_report_byte_length : 0;
  state.OutputReportByteLength = ok ? caps.output_report_byte_length : 0;
  trace_line(state, "  Last error: ");
  trace_capabilities(state, caps);
  api_trace(state, "HidP_GetValueCaps");
  api_trace(state, "HidD_FreePreparsedData");
}

// Why the module's reports cannot carry its conversation, or empty when they can: every thread
// starts with identification, whose requests are 2 bytes and whose version answer is 4, each
// after the report identifier.
std::string unusable_report_lengths(ModuleState& state) {
  constexpr std::uint16_t kShortestInput = 5;
  constexpr std::uint16_t kShortestOutput = 3;
  if (state.InputReportByteLength == 0 && state.OutputReportByteLength == 0 &&
      state.last_error != 0)
    return "cannot read the module's report lengths: " +
           port_of(state).error_text(state.last_error);
  if (state.InputReportByteLength >= kShortestInput &&
      state.OutputReportByteLength >= kShortestOutput)
    return {};
  return "the module's reports are too short: input " +
         std::to_string(state.InputReportByteLength) + " and output " +
         std::to_string(state.OutputReportByteLength) + " bytes, at least " +
         std::to_string(kShortestInput) + " and " + std::to_string(kShortestOutput) + " needed";
}

void prepare_overlapped_read(ModuleState& state) {
  if (state.read_event == kNoEvent) {
    state.read_event = port_of(state).create_event();
    after_handle_call(state);
  }
  api_trace(state, "CreateEvent");
  state.read_overlapped.reset();
}

// A thread that chose one module among several, by node path or serial number, passes over the
// others as it would over any other device.
bool is_chosen_module(ModuleState& state, PlatformPort& port, const std::string& path) {
  const ModuleChoice& choice = state.module_choice;
  if (!choice.path.empty() && choice.path != path) return false;
  if (!choice.serial_number.empty() && port.serial_number(state.HIDHandle) != choice.serial_number)
    return false;
  return true;
}

}  // namespace

bool discover_module(ModuleState& state, std::string& vendor, std::string& product) {
  state.module_present = false;
  vendor.clear();
  product.clear();
  bind_current_platform(state);
  // A new discovery replaces the handles of an earlier one; close them rather than leak them.
  release_module_handles(state);
  auto& port = port_of(state);

  const Guid guid = port.hid_class_guid();
  after_handle_call(state);
  api_trace(state, "GetHidGuid");
  trace_guid(state, guid);

  const InterfaceList present = port.present_interfaces();
  const std::vector<DeviceInterface>& interfaces = present.interfaces;
  after_handle_call(state);
  api_trace(state, "SetupDiClassDevs");

  // A flag of its own: the identification that the window's start-up may run in between sets
  // the thread's flag too.
  bool found = false;
  OpenFailureCollector open_failures;
  for (std::size_t index = 0; !found; ++index) {
    // The enumeration ends when the call for the next index fails.
    const bool listed = index < interfaces.size();
    setup_call(state, listed ? 0 : present.end_error, listed ? 1 : 0);
    setup_api_trace(state, "SetupDiEnumDeviceInterfaces");
    if (!listed) break;
    const DeviceInterface& iface = interfaces[index];
    trace_interface(state, index, iface);

    // The detail record: a 4-byte size field, then the path and its terminating zero.
    const std::uint32_t required = 4 + static_cast<std::uint32_t>(iface.path.size()) + 1;
    // Asked for the size with no room, the call fails for lack of it.
    setup_call(state, iface.size_query_error, 0);
    setup_api_trace(state, "SetupDiGetDeviceInterfaceDetail");
    if (tracing(state)) {
      trace_line(state, "  (OK to say too small)");
      trace_line(state, "  Required buffer size for the data: " + std::to_string(required));
    }
    setup_call(state, 0, 1);
    setup_api_trace(state, " Result of second call: ");
    if (tracing(state))
      trace_line(state, "  MyDeviceInterfaceDetailData.cbSize: " + std::to_string(kDetailDataSize));

    state.device_path = iface.path;
    if (tracing(state)) {
      trace_line(state, "  Device pathname: ");
      trace_line(state, "    " + iface.path);
    }

    // An open that the inner identification of the window's start-up made in between is
    // closed before its slot is reused.
    release_handle(state, state.HIDHandle, "CloseHandle (HIDHandle)");
    state.HIDHandle = port.open(state.device_path, false);
    after_handle_call(state);
    if (state.HIDHandle == kInvalidHandle)
      open_failures.note(iface.path, state.last_error, port.error_text(state.last_error));
    api_trace(state, "CreateFile");
    if (tracing(state)) trace_line(state, "  Returned handle: " + handle_text(state.HIDHandle));

    HidAttributes attributes;
    const bool filled =
        state.HIDHandle != kInvalidHandle && port.attributes(state.HIDHandle, attributes);
    after_call(state, filled ? 1 : 0);
    api_trace(state, "HidD_GetAttributes");
    trace_attributes(state, filled, attributes);
    vendor = identifier_text(attributes.vendor_id);
    product = identifier_text(attributes.product_id);

    if (attributes.vendor_id == kModuleVendorId && attributes.product_id == kModuleProductId &&
        is_chosen_module(state, port, iface.path)) {
      trace_line(state, "  My device detected");
      found = true;
      state.debug_window().set_identification_field(0, "Success");
    } else {
      state.debug_window().set_identification_field(0, "Unkn. Dev.");
      release_handle(state, state.HIDHandle, "CloseHandle");
    }
  }
  setup_call(state, 0, 1);
  setup_api_trace(state, "DestroyDeviceInfoList");

  if (found) {
    learn_capabilities(state);
    if (const std::string why = unusable_report_lengths(state); !why.empty()) {
      trace_line(state, "  " + why);
      open_failures.note_unusable_module(state.device_path, 0, why);
      release_handle(state, state.HIDHandle, "CloseHandle");
      found = false;
    }
  }
  state.module_present = found;
  open_failures.publish(found);
  if (!found) {
    trace_line(state, " Device not found.");
    return false;
  }
  release_handle(state, state.ReadHandle, "CloseHandle (ReadHandle)");
  state.ReadHandle = port.open(state.device_path, true);
  after_handle_call(state);
  api_trace(state, "CreateFile, ReadHandle");
  if (tracing(state)) trace_line(state, "  Returned handle: " + handle_text(state.ReadHandle));
  prepare_overlapped_read(state);
  return true;
}

bool module_presence_check(ModuleState& state) {
  // Handles closed by a shutdown count as absent too, so the module is reopened, never used
  // through a closed handle.
  if (state.module_present && state.HIDHandle != kInvalidHandle &&
      state.ReadHandle != kInvalidHandle)
    return true;
  std::string vendor;
  std::string product;
  state.module_present = discover_module(state, vendor, product);
  return state.module_present;
}

}  // namespace gpio_dll::transport
