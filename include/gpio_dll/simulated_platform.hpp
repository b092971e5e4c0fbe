// A simulated HID platform: any number of simulated devices, a virtual clock, failure injection
// and a record of what the component did. Tests and the tool's --sim mode run the component
// against it; time-outs and pauses advance the virtual clock instead of sleeping.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "gpio_dll/export.hpp"
#include "gpio_dll/hid_types.hpp"
#include "gpio_dll/language_standard.hpp"

#ifndef GPIO_DLL_STANDARD_TOO_OLD

namespace gpio_dll {

namespace transport {
class SimulatedBackend;
}

// Where a simulated device puts the input reports it sends to the host.
class InputReportSink {
 public:
  virtual ~InputReportSink() = default;
  // `report` starts with the report identifier. It reaches every open handle of the device
  // `delay_ms` of virtual time from now.
  virtual void send_input_report(std::vector<std::uint8_t> report, std::uint32_t delay_ms = 0) = 0;
};

// A device on the simulated platform. Called with the platform's lock held, so a device needs no
// lock of its own as long as nothing else touches it. The lock is recursive: a device may call its
// platform's unplug and failure injection from on_output_report, to strike in mid-operation.
class SimulatedHidDevice {
 public:
  virtual ~SimulatedHidDevice() = default;
  virtual HidAttributes attributes() const = 0;
  virtual HidCapabilities capabilities() const = 0;
  virtual std::string serial_number() const { return {}; }
  virtual std::string product_name() const { return {}; }
  // One output report written by the host; byte 0 is the report identifier.
  virtual void on_output_report(std::span<const std::uint8_t> report, InputReportSink& sink) = 0;
};

// A device that never answers, with any identifiers and report lengths.
class GPIO_DLL_API PassiveHidDevice : public SimulatedHidDevice {
 public:
  PassiveHidDevice(std::uint16_t vendor_id, std::uint16_t product_id,
                   std::uint16_t input_report_length = 65, std::uint16_t output_report_length = 65);
  HidAttributes attributes() const override { return attributes_; }
  HidCapabilities capabilities() const override { return capabilities_; }
  void on_output_report(std::span<const std::uint8_t>, InputReportSink&) override {}

 private:
  HidAttributes attributes_;
  HidCapabilities capabilities_;
};

// Capabilities of a vendor-defined device with unnumbered reports of the given lengths
// (identifier byte included).
GPIO_DLL_API HidCapabilities vendor_defined_capabilities(std::uint16_t input_report_length,
                                                         std::uint16_t output_report_length);

// Something the component did on the platform, in the order it happened.
struct SimulatedEvent {
  enum class Kind {
    Open,
    OpenFailed,
    Close,
    Write,
    ReadStarted,
    WaitSignalled,
    WaitTimedOut,
    WaitFailed,
    Cancel,
    Sleep,
    Lock,   // the device's transaction lock taken through `handle`
    Unlock  // and let go (closing the handle lets it go too, recorded as Close)
  };
  Kind kind;
  std::uint64_t time_ms = 0;  // virtual time at which it happened
  int device = -1;            // -1 where no device is involved
  std::int32_t handle = -1;
  std::vector<std::uint8_t> report;  // the output report, for Write
  std::uint32_t duration_ms = 0;     // for Sleep
};

class GPIO_DLL_API SimulatedPlatform {
 public:
  using DeviceId = int;

  SimulatedPlatform();
  ~SimulatedPlatform();
  SimulatedPlatform(const SimulatedPlatform&) = delete;
  SimulatedPlatform& operator=(const SimulatedPlatform&) = delete;

  // Plugs a device in; it is enumerated after the devices already present.
  DeviceId add_device(std::shared_ptr<SimulatedHidDevice> device);
  std::string device_path(DeviceId id) const;

  // Unplug: the device leaves the enumeration; its open handles fail every call from now on
  // (a pending read completes with an error). Replug brings it back at its old path and place.
  void unplug(DeviceId id);
  void replug(DeviceId id);

  // Failure injection.
  void set_open_fails(DeviceId id, bool fails);            // every open fails with EACCES
  void set_open_error(DeviceId id, std::int32_t error);    // every open fails with `error` (an
                                                           // errno value); 0: opens succeed
  void set_reads_never_complete(DeviceId id, bool never);  // reads stay pending until cancelled
  void set_wait_fails(DeviceId id, bool fails);            // waiting for a read fails at once
  // Another user outside the platform (another process) takes the device's transaction lock
  // now and holds it for `for_ms` of virtual time (0: it has just used the module and let go);
  // waiting for it runs on the virtual clock.
  void hold_lock_elsewhere(DeviceId id, std::uint64_t for_ms);
  // Every attempt to lock the device fails with `error` (an errno value, such as ENOLCK); 0:
  // locks work.
  void set_lock_error(DeviceId id, std::int32_t error);

  // The virtual clock, in milliseconds since the platform was made.
  std::uint64_t now_ms() const;
  void advance_ms(std::uint64_t ms);

  // The record of events, the newest 65,536 of them; off for long runs (benchmarks), which need
  // no record at all.
  void set_recording(bool on);
  std::vector<SimulatedEvent> events() const;
  void clear_events();
  // The output reports written to one device, in order.
  std::vector<std::vector<std::uint8_t>> written_reports(DeviceId id) const;

  // Handles currently open, on all devices.
  int open_handle_count() const;
  // Events (one per thread that opened a module) not yet destroyed.
  int event_count() const;

  std::shared_ptr<transport::SimulatedBackend> backend() const { return backend_; }

 private:
  std::shared_ptr<transport::SimulatedBackend> backend_;
};

}  // namespace gpio_dll

#endif  // GPIO_DLL_STANDARD_TOO_OLD
