// Which HID access the component uses and which module a thread talks to.
#include <pybind11/stl.h>

#include "bindings.hpp"
#include "gpio_dll/platform.hpp"

namespace py = pybind11;

namespace gpio_dll::python {

void bind_platform(py::module_& m) {
  py::class_<platform::HidDeviceInfo>(m, "HidDeviceInfo",
                                      "A HID interface present on the current platform.")
      .def_readonly("path", &platform::HidDeviceInfo::path)
      .def_readonly("vendor_id", &platform::HidDeviceInfo::vendor_id)
      .def_readonly("product_id", &platform::HidDeviceInfo::product_id)
      .def_readonly("is_module", &platform::HidDeviceInfo::is_module)
      .def_readonly("opened", &platform::HidDeviceInfo::opened)
      .def_readonly("open_error", &platform::HidDeviceInfo::open_error)
      .def_readonly("serial_number", &platform::HidDeviceInfo::serial_number)
      .def_readonly("product_name", &platform::HidDeviceInfo::product_name)
      .def("__repr__", [](const platform::HidDeviceInfo& d) {
        return "HidDeviceInfo(path=" + std::string(py::repr(py::str(d.path))) +
               ", is_module=" + (d.is_module ? "True" : "False") +
               ", serial_number=" + std::string(py::repr(py::str(d.serial_number))) + ")";
      });

  py::class_<platform::OpenFailure>(m, "OpenFailure", "Why a discovery did not reach the module.")
      .def_readonly("path", &platform::OpenFailure::path)
      .def_readonly("error", &platform::OpenFailure::error,
                    "The system's error number; 0 for a module that opened but cannot be used.")
      .def_readonly("text", &platform::OpenFailure::text)
      .def_property_readonly("permission_denied", &platform::OpenFailure::permission_denied)
      .def("__repr__", [](const platform::OpenFailure& f) {
        return "OpenFailure(path=" + std::string(py::repr(py::str(f.path))) +
               ", text=" + std::string(py::repr(py::str(f.text))) + ")";
      });
  py::class_<platform::LockFailure>(m, "LockFailure",
                                    "Why a method could not have the module to itself.")
      .def_readonly("path", &platform::LockFailure::path)
      .def_readonly("busy", &platform::LockFailure::busy,
                    "Another user held the module longer than a method waits (15 s in all).")
      .def_readonly("error", &platform::LockFailure::error)
      .def_readonly("text", &platform::LockFailure::text)
      .def("__repr__", [](const platform::LockFailure& f) {
        return "LockFailure(path=" + std::string(py::repr(py::str(f.path))) +
               ", text=" + std::string(py::repr(py::str(f.text))) + ")";
      });
  m.def("last_open_failure", &platform::last_open_failure,
        "Why the calling thread's most recent discovery did not reach the module (its call gave "
        "131), or None.");
  m.def("last_lock_failure", &platform::last_lock_failure,
        "Why the calling thread's most recent method failed for the module's lock (it gave 14): "
        "busy, or the system's reason; None when it had the module whenever it asked.");

  m.def("use_system", &platform::use_system,
        "Every following discovery uses the operating system's HID access (the default).");
  m.def("system_available", &platform::system_available,
        "Whether this build has HID access to real devices on this operating system.");
  m.def("use_hidraw", &platform::use_hidraw, py::arg("class_dir"), py::arg("device_dir"),
        "Every following discovery lists hidraw nodes in class_dir (like /sys/class/hidraw) and "
        "opens them in device_dir (like /dev).");
  m.def("use_hidraw_dir", &platform::use_hidraw_dir, py::arg("dir"),
        "Every following discovery uses the hidraw tree under dir (dir/sys/class/hidraw and "
        "dir/dev), such as a folder that gpio-dll-sim serve serves at.");
  m.def("use_hidraw_dir_from_environment", &platform::use_hidraw_dir_from_environment,
        "use_hidraw_dir(the value of GPIO_DLL_HIDRAW_DIR) when it is set and not empty, and True; "
        "otherwise nothing changes, and False. The package does this when it is imported.");
  m.def("use_hidraw_device", &platform::use_hidraw_device, py::arg("device_path"),
        "Every following discovery uses the one hidraw node at device_path (a real /dev/hidrawN "
        "or a node served by gpio-dll-sim serve).");
  m.def("use_hidraw_device_on_this_thread", &platform::use_hidraw_device_on_this_thread,
        py::arg("device_path"),
        "The calling thread alone uses the one hidraw node at device_path in place of the "
        "process-wide choice, from its next identification on.");
  m.def("use_process_platform_on_this_thread", &platform::use_process_platform_on_this_thread,
        "The calling thread goes back to the process-wide choice of HID access (the default).");
  m.def("use_module_at", &platform::use_module_at, py::arg("device_path"),
        "The calling thread uses the module at device_path from its next identification on.");
  m.def("use_module_with_serial", &platform::use_module_with_serial, py::arg("serial_number"),
        "The calling thread uses the module with this serial number from its next "
        "identification on.");
  m.def("use_first_module", &platform::use_first_module,
        "The calling thread uses the first module found (the default).");
  m.def(
      "list_devices",
      [] {
        py::gil_scoped_release released;
        return platform::list_devices();
      },
      "Every HID interface the calling thread's platform reports.");
}

}  // namespace gpio_dll::python
