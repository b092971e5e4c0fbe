// gpio_dll.Dll underneath: every method of cls_GPIO_DLL called by name through the component's
// late binding, with Python values converted to and from its argument types. The GIL is released
// for the call itself, so a call waiting on the module (up to 6 s per answer) leaves other
// Python threads running.
#include "bindings.hpp"

#include <pybind11/stl.h>

#include <string>
#include <vector>

#include "base/module_state.hpp"
#include "gpio_dll/automation.hpp"
#include "gpio_dll/automation_error.hpp"
#include "gpio_dll/cls_gpio_dll.hpp"
#include "gpio_dll/debug_window.hpp"

namespace py = pybind11;

namespace gpio_dll::python {

namespace {

const char* type_name(automation::ArgType type) {
  switch (type) {
    case automation::ArgType::Int16:
      return "int16";
    case automation::ArgType::Int32:
      return "int32";
    case automation::ArgType::UInt8:
      return "uint8";
    case automation::ArgType::Text:
      return "str";
    case automation::ArgType::Bytes:
      return "bytes";
  }
  return "?";
}

const char* result_name(automation::ResultType type) {
  switch (type) {
    case automation::ResultType::Int32:
      return "int";
    case automation::ResultType::Text:
      return "str";
    case automation::ResultType::Variant:
      return "None";
  }
  return "?";
}

// Any bytes-like object, or an iterable of ints 0 to 255 (ValueError otherwise).
ByteArray bytes_from(py::handle value) {
  PyObject* raw = PyBytes_FromObject(value.ptr());
  if (raw == nullptr) throw py::error_already_set();
  const std::string bytes = py::reinterpret_steal<py::bytes>(raw);
  return ByteArray(bytes.begin(), bytes.end());
}

// Integers go in as 32-bit values (wider ones raise the overflow an automation client would
// get); the late binding narrows them to the argument's type, again with overflow.
Variant variant_from(py::handle value, automation::ArgType type) {
  if (py::isinstance<py::str>(value)) return Variant(value.cast<std::string>());
  if (type == automation::ArgType::Bytes && !py::isinstance<py::int_>(value))
    return Variant(bytes_from(value));
  if (py::isinstance<py::int_>(value)) {
    long long v = 0;
    try {
      v = value.cast<long long>();
    } catch (const py::cast_error&) {
      throw AutomationError(kOverflow);
    }
    if (v < INT32_MIN || v > INT32_MAX) throw AutomationError(kOverflow);
    return Variant(static_cast<std::int32_t>(v));
  }
  if (PyObject_CheckBuffer(value.ptr())) return Variant(bytes_from(value));
  throw AutomationError(kTypeMismatch, std::string("a ") + type_name(type) + " cannot take a " +
                                           std::string(py::str(value.get_type().attr("__name__"))));
}

py::object to_python(const Variant& value) {
  switch (value.type()) {
    case Variant::Type::Empty:
      return py::none();
    case Variant::Type::Int16:
      return py::int_(value.to_int16());
    case Variant::Type::Int32:
      return py::int_(value.to_int32());
    case Variant::Type::UInt8:
      return py::int_(value.to_uint8());
    case Variant::Type::Text:
      return py::str(value.to_text());
    case Variant::Type::Bytes: {
      const ByteArray bytes = value.to_bytes();
      return py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
  }
  return py::none();
}

// Calls `name` with `args`; returns the result alone for a method that writes no argument, else
// (result, new value of each argument it writes, in argument order).
py::object invoke(const std::string& name, const py::args& args) {
  const automation::MethodInfo* method = automation::find_method(name);
  if (method == nullptr) throw AutomationError(kMemberNotFound, name);
  if (args.size() != method->arguments.size()) throw AutomationError(kWrongNumberOfArguments, name);
  std::vector<Variant> values;
  for (std::size_t i = 0; i < args.size(); ++i)
    values.push_back(variant_from(args[i], method->arguments[i].type));
  Variant result;
  {
    py::gil_scoped_release released;
    cls_GPIO_DLL dll;
    result = automation::Invoke(dll, method->dispid, values);
  }
  py::list out;
  out.append(to_python(result));
  for (std::size_t i = 0; i < values.size(); ++i)
    if (method->arguments[i].written) out.append(to_python(values[i]));
  if (out.size() == 1) return out[0];
  return py::tuple(out);
}

py::list method_table() {
  py::list table;
  for (const automation::MethodInfo& method : automation::method_table()) {
    py::list arguments;
    for (const automation::ArgumentInfo& argument : method.arguments)
      arguments.append(
          py::make_tuple(std::string(argument.name), type_name(argument.type), argument.written));
    table.append(py::make_tuple(std::string(method.name), result_name(method.result), arguments));
  }
  return table;
}

}  // namespace

void bind_dll(py::module_& m) {
  m.def("_invoke", &invoke, py::arg("name"),
        "Calls a method of the component by name on the calling thread's module state.");
  m.def("_method_table", &method_table,
        "The methods in interface order: (name, result type, [(argument, type, written)]).");
  m.def(
      "_module_present", [] { return ModuleState::current().module_present; },
      "Whether the calling thread holds the module open (false after a read that timed out).");
  m.def(
      "_block_limits",
      [] {
        const debug_window::BlockLimits limits = debug_window::block_limits();
        return py::make_tuple(limits.read, limits.write);
      },
      "(read, write): the block limits that the calling thread's last block method recorded, "
      "as it refused a count over them.");
  m.def(
      "_automation_description",
      [](std::int32_t number) { return AutomationError::description(number); },
      "The description of an automation error number.");
}

}  // namespace gpio_dll::python
