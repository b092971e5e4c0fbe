// The extension module behind the gpio_dll package. Automation errors become
// gpio_dll.AutomationError, which the package defines in Python.
#include <pybind11/pybind11.h>

#include "bindings.hpp"
#include "gpio_dll/automation_error.hpp"

namespace py = pybind11;

PYBIND11_MODULE(_gpio_dll, m) {
  m.doc() = "The gpio_dll component; use the gpio_dll package, not this module.";
  m.attr("__version__") = GPIO_DLL_VERSION;
  gpio_dll::python::bind_dll(m);
  gpio_dll::python::bind_platform(m);
  gpio_dll::python::bind_sim(m);
  gpio_dll::python::bind_trace(m);

  // Looked up when an error is raised, so that importing this module does not import the
  // package (which imports this module).
  py::register_exception_translator([](std::exception_ptr error) {
    try {
      if (error) std::rethrow_exception(error);
    } catch (const gpio_dll::AutomationError& e) {
      py::object cls = py::module_::import("gpio_dll._errors").attr("AutomationError");
      py::object instance = cls(e.number(), e.what());
      PyErr_SetObject(cls.ptr(), instance.ptr());
    }
  });
}
