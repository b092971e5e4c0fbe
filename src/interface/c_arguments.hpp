// How the C functions hand their arguments to the methods and back: the by-reference argument
// kinds in callers' buffers, and the run that writes back the arguments the method table marks
// as written and turns every exception into a negative status.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

#include "gpio_dll/automation.hpp"
#include "gpio_dll/automation_error.hpp"
#include "gpio_dll/gpio_dll.h"
#include "gpio_dll/variant.hpp"

namespace gpio_dll::c_interface {

// What the calling thread's most recent call of a C function ended with.
struct CallStatus {
  std::int32_t automation_error = 0;
  std::int32_t last_result = 0;
  char error_text[512] = "";  // fixed, so that recording a failure never allocates
};
CallStatus& call_status();
void set_error_text(const char* text) noexcept;

// Copies `text` into a caller's text buffer; false when it does not fit.
bool write_text(const std::string& text, char* buffer, std::size_t* size);

// Each argument kind: load() takes the caller's value (false for an unusable buffer), store()
// writes the value back (false when it does not fit). An argument that is not `written` is only
// read: never written back, so it cannot make a call fail after the method ran.

// A by-reference scalar: NULL passes 0 and receives nothing.
template <class T>
struct Scalar {
  T* pointer;
  T value{};
  bool written = true;
  explicit Scalar(T* p) : pointer(p) {}
  bool load() {
    if (pointer != nullptr) value = *pointer;
    return true;
  }
  bool store() {
    if (written && pointer != nullptr) *pointer = value;
    return true;
  }
};

// A by-reference text in a caller's buffer.
struct Text {
  char* buffer;
  std::size_t* size;
  bool input = true;
  bool written = true;
  std::string value;
  Text(char* b, std::size_t* s) : buffer(b), size(s) {}
  static Text output(char* b, std::size_t* s) {
    Text t(b, s);
    t.input = false;
    return t;
  }
  bool load();
  bool store();
};

// A by-reference byte array in a caller's buffer.
struct Bytes {
  std::uint8_t* data;
  std::size_t capacity;
  std::size_t* length;
  ByteArray value;
  bool written = true;
  // An array that does not fit: its first `capacity` bytes are copied instead of none.
  bool keep_what_fits = false;
  Bytes(std::uint8_t* d, std::size_t c, std::size_t* l) : data(d), capacity(c), length(l) {}
  bool load();
  bool store();
};

// Runs `work` with no exception escaping; records the thread's last automation error and text.
template <class Work>
std::int32_t guarded(Work work) noexcept {
  CallStatus& status = call_status();
  status.automation_error = 0;
  status.last_result = 0;
  status.error_text[0] = '\0';
  try {
    return work();
  } catch (const AutomationError& e) {
    status.automation_error = e.number();
    set_error_text(e.what());
    return GPIO_DLL_C_AUTOMATION_ERROR;
  } catch (const std::bad_alloc&) {
    set_error_text("out of memory");
  } catch (const std::exception& e) {
    set_error_text(e.what());
  } catch (...) {
    set_error_text("unknown failure");
  }
  return GPIO_DLL_C_INTERNAL_ERROR;
}

// Marks the arguments of the method `name`, given in declaration order, as its table entry says:
// written or only read. Arguments past the method's own carry its result, and are written.
template <class... Args>
void mark_written(std::string_view name, Args&... args) {
  const automation::MethodInfo* method = automation::find_method(name);
  if (method == nullptr || method->arguments.size() > sizeof...(Args))
    throw std::logic_error("the C function of " + std::string(name) + " misses arguments");
  std::size_t i = 0;
  ((args.written = i >= method->arguments.size() || method->arguments[i].written, ++i), ...);
}

// Loads the arguments, runs the method and writes back the arguments it writes, also when it
// raises an automation error: the caller then sees them as the method left them, as a direct
// call does. `too_small` is the status when one of them does not fit its buffer.
template <class Method, class... Args>
std::int32_t run_with(std::int32_t too_small, std::string_view name, Method method,
                      Args&... args) noexcept {
  return guarded([&]() -> std::int32_t {
    mark_written(name, args...);
    bool valid = true;
    ((valid = args.load() && valid), ...);
    if (!valid) return GPIO_DLL_C_INVALID_ARGUMENT;
    bool fits = true;
    const auto store = [&] { ((fits = args.store() && fits), ...); };
    std::int32_t result = 0;
    try {
      result = method();
    } catch (const AutomationError&) {
      store();
      throw;
    }
    call_status().last_result = result;
    store();
    return fits ? result : too_small;
  });
}

// A method that changes nothing on the module: an answer that did not fit is had by calling
// again with a larger buffer.
template <class Method, class... Args>
std::int32_t run(std::string_view name, Method method, Args&... args) noexcept {
  return run_with(GPIO_DLL_C_BUFFER_TOO_SMALL, name, method, args...);
}

// A method that may change the module or a slave (a write then read, the raw pass-through):
// calling it again would repeat the change, so an array that does not fit keeps what fits and
// the call reports GPIO_DLL_C_TRUNCATED, which asks for no second call.
template <class Method, class... Args>
std::int32_t run_changing(std::string_view name, Method method, Args&... args) noexcept {
  const auto keep = [](auto& argument) {
    if constexpr (std::is_same_v<std::remove_cvref_t<decltype(argument)>, Bytes>)
      argument.keep_what_fits = true;
  };
  (keep(args), ...);
  return run_with(GPIO_DLL_C_TRUNCATED, name, method, args...);
}

using I16 = Scalar<std::int16_t>;
using I32 = Scalar<std::int32_t>;
using U8 = Scalar<std::uint8_t>;

}  // namespace gpio_dll::c_interface
