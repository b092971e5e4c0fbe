// gpio_dll.sim underneath: a simulated platform with one simulated module, which the whole
// process or one thread uses as its platform, and the module's registers and faults.
#include <pybind11/stl.h>

#include <memory>
#include <string>

#include "bindings.hpp"
#include "gpio_dll/platform.hpp"
#include "gpio_dll/simulated_platform.hpp"
#include "held_module.hpp"

namespace py = pybind11;

namespace gpio_dll::python {

namespace {

struct Simulation {
  std::shared_ptr<SimulatedPlatform> platform;
  std::shared_ptr<HeldModule> module;
  SimulatedPlatform::DeviceId device = -1;
  std::string firmware;
};

std::shared_ptr<Simulation> make(const std::string& firmware, const std::string& serial,
                                 int retry_answers, int input_report_length) {
  std::uint8_t numbers[3];
  try {
    sim::parse_version(firmware, numbers);
  } catch (const std::invalid_argument&) {
    throw py::value_error("firmware must be three numbers joined by '.', such as \"2.0.19\", not " +
                          std::string(py::repr(py::str(firmware))));
  }
  // The identifier byte and an answer's echo and status at least; at most what a report holds.
  if (input_report_length < 3 || input_report_length > 65)
    throw py::value_error("input_report_length must be 3 to 65, not " +
                          std::to_string(input_report_length));
  auto s = std::make_shared<Simulation>();
  sim::ModuleConfig config;
  config.firmware_version = firmware;
  config.serial_number = serial;
  config.retry_answers = retry_answers;
  config.input_report_length = static_cast<std::uint16_t>(input_report_length);
  s->platform = std::make_shared<SimulatedPlatform>();
  s->module = std::make_shared<HeldModule>(config);
  s->device = s->platform->add_device(s->module);
  s->firmware = firmware;
  return s;
}

py::bytes to_bytes(const sim::Bytes& b) {
  return py::bytes(reinterpret_cast<const char*>(b.data()), b.size());
}

std::uint8_t byte_arg(int value, const char* what) {
  if (value < 0 || value > 255)
    throw py::value_error(std::string(what) + " must be 0 to 255, not " + std::to_string(value));
  return static_cast<std::uint8_t>(value);
}

}  // namespace

void bind_sim(py::module_& m) {
  using S = Simulation;
  py::class_<S, std::shared_ptr<S>> module(
      m, "Module", "A simulated module on a simulated platform of its own.");
  module.attr("__module__") = "gpio_dll.sim";
  module
      .def_property_readonly(
          "firmware", [](const S& s) { return s.firmware; }, "The version the module reports.")
      .def(
          "install", [](S& s) { platform::use_simulated(s.platform); },
          "Makes this module's platform the whole process's, from each thread's next "
          "identification on.")
      .def(
          "use_on_this_thread", [](S& s) { platform::use_simulated_on_this_thread(s.platform); },
          "Makes this module's platform the calling thread's alone, from its next identification "
          "on.")
      .def_property_readonly(
          "device_path", [](const S& s) { return s.platform->device_path(s.device); },
          "The module's path on the simulated platform.")
      .def(
          "battery_word",
          [](S& s, int cmd) { return s.module->battery().word(byte_arg(cmd, "command")); },
          py::arg("command"), "A word register of the smart battery at 0x0B.")
      .def(
          "set_battery_word",
          [](S& s, int cmd, int value) {
            if (value < 0 || value > 0xFFFF) throw py::value_error("a word is 0 to 0xFFFF");
            s.module->battery().set_word(byte_arg(cmd, "command"),
                                         static_cast<std::uint16_t>(value));
          },
          py::arg("command"), py::arg("value"), "Sets a word register of the smart battery.")
      .def(
          "battery_block",
          [](S& s, int cmd) {
            return to_bytes(s.module->battery().block(byte_arg(cmd, "command")));
          },
          py::arg("command"), "A block register of the smart battery (names are blocks).")
      .def(
          "set_battery_block",
          [](S& s, int cmd, const py::bytes& data) {
            const std::string raw = data;
            if (raw.size() > 255) throw py::value_error("a block holds at most 255 bytes");
            s.module->battery().set_block(byte_arg(cmd, "command"),
                                          sim::Bytes(raw.begin(), raw.end()));
          },
          py::arg("command"), py::arg("data"), "Sets a block register of the smart battery.")
      .def(
          "battery_manufacturer_access",
          [](S& s) { return s.module->battery().manufacturer_access(); },
          "The last ManufacturerAccess (0x00) word written to the battery.")
      .def(
          "set_battery_wrong_pec",
          [](S& s, bool wrong) { s.module->battery().set_wrong_pec(wrong); },
          py::arg("wrong") = true, "Every PEC byte the battery sends is off by one.")
      .def(
          "eeprom_byte",
          [](S& s, int offset) { return s.module->i2c_eeprom().at(byte_arg(offset, "offset")); },
          py::arg("offset"), "A byte of the 256-byte I2C EEPROM at 0x50.")
      .def(
          "set_silent", [](S& s, bool silent) { s.module->set_silent(silent); },
          py::arg("silent") = true, "The module answers nothing while silent.")
      .def(
          "fall_silent_after", [](S& s, int count) { s.module->fall_silent_after(count); },
          py::arg("count"), "Answers count more requests, then falls silent.")
      .def(
          "fail_request",
          [](S& s, int index, int status) {
            s.module->fail_request(index, byte_arg(status, "status"));
          },
          py::arg("index"), py::arg("status"),
          "The request index requests from now (0: the next) gets this status, nothing done.")
      .def(
          "set_lines_stuck",
          [](S& s, bool sda_low, bool scl_low) { s.module->set_lines_stuck(sda_low, scl_low); },
          py::arg("sda_low"), py::arg("scl_low"), "Holds SDA and/or SCL low.")
      .def(
          "hold_lock_elsewhere",
          [](S& s, std::uint64_t ms) { s.platform->hold_lock_elsewhere(s.device, ms); },
          py::arg("ms"),
          "Another user (another process) holds the module's lock for ms of virtual time.")
      .def(
          "unplug", [](S& s) { s.platform->unplug(s.device); }, "Unplugs the module.")
      .def(
          "replug", [](S& s) { s.platform->replug(s.device); }, "Plugs it in again.")
      .def(
          "now_ms", [](const S& s) { return s.platform->now_ms(); },
          "The virtual clock in ms: time-outs advance it instead of taking real time.")
      .def(
          "open_handle_count", [](const S& s) { return s.platform->open_handle_count(); },
          "Handles open on the simulated platform, from all threads.")
      .def(
          "requests",
          [](const S& s) {
            py::list out;
            for (const auto& request : s.module->requests())
              out.append(to_bytes(request));
            return out;
          },
          "The requests the module received (without the report identifier), oldest first.")
      .def(
          "hold_answers", [](S& s) { s.module->hold(); },
          "From now on each request waits at the module, inside the call that sent it, until "
          "release_answers(). While one waits, the other methods of this module that touch its "
          "platform (now_ms, requests, unplug, ...) wait too: release from a thread that does "
          "not call them.")
      .def(
          "release_answers", [](S& s) { s.module->release(); }, "Lets held requests through.")
      .def(
          "held_requests", [](const S& s) { return s.module->waiting(); },
          "How many requests wait at the module now.")
      .def(
          "wait_for_held_request",
          [](S& s, double seconds) {
            py::gil_scoped_release released;
            return s.module->wait_for_request(
                std::chrono::milliseconds(static_cast<long long>(seconds * 1000)));
          },
          py::arg("timeout"),
          "Waits until a request waits at the module; false after timeout seconds without one.")
      .def_property_readonly(
          "gate_expired", [](const S& s) { return s.module->gate_expired(); },
          "How many held requests were let through by the gate's own limit, not released.");

  m.def("_sim_make", &make, py::arg("firmware") = "2.0.19", py::arg("serial_number") = "SIM0001",
        py::arg("retry_answers") = 0, py::arg("input_report_length") = 65,
        "Makes a simulated platform with one simulated module; nothing uses it yet.");
}

}  // namespace gpio_dll::python
