// The parts of the extension module gpio_dll._gpio_dll.
#pragma once

#include <pybind11/pybind11.h>

namespace gpio_dll::python {

void bind_dll(pybind11::module_& m);
void bind_platform(pybind11::module_& m);
void bind_sim(pybind11::module_& m);
void bind_trace(pybind11::module_& m);

}  // namespace gpio_dll::python
