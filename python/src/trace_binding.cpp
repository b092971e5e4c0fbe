// The call trace to Python's logging: each line the debug window's trace list shows goes to the
// logger "gpio_dll" at DEBUG. Lines come from any thread that calls the library, Python's or
// not: the callback takes the GIL for itself. Ending a subscription waits for its callbacks in
// flight, which may be waiting for the GIL, so it gives the GIL up meanwhile.
#include <string>

#include "bindings.hpp"
#include "gpio_dll/trace.hpp"

namespace py = pybind11;

namespace gpio_dll::python {

namespace {

void log_line(std::string_view line) {
  if (!Py_IsInitialized()) return;  // a thread still tracing while the interpreter ends
  py::gil_scoped_acquire gil;
  try {
    py::module_::import("logging")
        .attr("getLogger")("gpio_dll")
        .attr("debug")("%s", py::str(line.data(), line.size()));
  } catch (py::error_already_set& e) {
    // A failing handler must not fail the library's call: Python reports it as unraisable.
    e.discard_as_unraisable("gpio_dll trace");
  }
}

class LoggedTrace {
 public:
  explicit LoggedTrace(bool every_thread)
      : subscription_(every_thread ? trace::Scope::every_thread : trace::Scope::this_thread,
                      log_line) {}
  ~LoggedTrace() {
    if (!subscription_.active()) return;
    if (PyGILState_Check()) {
      py::gil_scoped_release released;
      subscription_.reset();
    } else {
      subscription_.reset();
    }
  }
  LoggedTrace(const LoggedTrace&) = delete;
  LoggedTrace& operator=(const LoggedTrace&) = delete;

  void close() {
    py::gil_scoped_release released;
    subscription_.reset();
  }
  bool active() const { return subscription_.active(); }

 private:
  trace::Subscription subscription_;
};

}  // namespace

void bind_trace(py::module_& m) {
  py::class_<LoggedTrace>(m, "_LoggedTrace")
      .def(py::init<bool>(), py::arg("every_thread"))
      .def("close", &LoggedTrace::close, "Ends the subscription; no line is logged after it.")
      .def_property_readonly("active", &LoggedTrace::active);
}

}  // namespace gpio_dll::python
