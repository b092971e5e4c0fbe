#include "gpio_dll/simulated_platform.hpp"

#include <cerrno>

#include "transport/simulated/simulated_backend.hpp"

namespace gpio_dll {

HidCapabilities vendor_defined_capabilities(std::uint16_t input_report_length,
                                            std::uint16_t output_report_length) {
  HidCapabilities caps;
  caps.usage = 0x01;
  caps.usage_page = 0xFF00;
  caps.input_report_byte_length = input_report_length;
  caps.output_report_byte_length = output_report_length;
  caps.number_link_collection_nodes = 1;
  caps.number_input_value_caps = 1;
  caps.number_input_data_indices = 1;
  caps.number_output_value_caps = 1;
  caps.number_output_data_indices = 1;
  return caps;
}

PassiveHidDevice::PassiveHidDevice(std::uint16_t vendor_id, std::uint16_t product_id,
                                   std::uint16_t input_report_length,
                                   std::uint16_t output_report_length)
    : attributes_{vendor_id, product_id, 0x0100},
      capabilities_(vendor_defined_capabilities(input_report_length, output_report_length)) {}

SimulatedPlatform::SimulatedPlatform()
    : backend_(std::make_shared<transport::SimulatedBackend>()) {}
SimulatedPlatform::~SimulatedPlatform() = default;

SimulatedPlatform::DeviceId SimulatedPlatform::add_device(std::shared_ptr<SimulatedHidDevice> d) {
  return backend_->add_device(std::move(d));
}
std::string SimulatedPlatform::device_path(DeviceId id) const {
  return backend_->device_path(id);
}
void SimulatedPlatform::unplug(DeviceId id) {
  backend_->set_plugged(id, false);
}
void SimulatedPlatform::replug(DeviceId id) {
  backend_->set_plugged(id, true);
}
void SimulatedPlatform::set_open_fails(DeviceId id, bool fails) {
  backend_->set_open_error(id, fails ? EACCES : 0);
}
void SimulatedPlatform::set_open_error(DeviceId id, std::int32_t error) {
  backend_->set_open_error(id, error);
}
void SimulatedPlatform::set_reads_never_complete(DeviceId id, bool never) {
  backend_->set_reads_never_complete(id, never);
}
void SimulatedPlatform::set_wait_fails(DeviceId id, bool fails) {
  backend_->set_wait_fails(id, fails);
}
void SimulatedPlatform::hold_lock_elsewhere(DeviceId id, std::uint64_t for_ms) {
  backend_->hold_lock_elsewhere(id, for_ms);
}
void SimulatedPlatform::set_lock_error(DeviceId id, std::int32_t error) {
  backend_->set_lock_error(id, error);
}
std::uint64_t SimulatedPlatform::now_ms() const {
  return backend_->now_ms();
}
void SimulatedPlatform::advance_ms(std::uint64_t ms) {
  backend_->advance_ms(ms);
}
void SimulatedPlatform::set_recording(bool on) {
  backend_->set_recording(on);
}
std::vector<SimulatedEvent> SimulatedPlatform::events() const {
  return backend_->events();
}
void SimulatedPlatform::clear_events() {
  backend_->clear_events();
}
std::vector<std::vector<std::uint8_t>> SimulatedPlatform::written_reports(DeviceId id) const {
  return backend_->written_reports(id);
}
int SimulatedPlatform::open_handle_count() const {
  return backend_->open_handle_count();
}

int SimulatedPlatform::event_count() const {
  return backend_->event_count();
}

}  // namespace gpio_dll
