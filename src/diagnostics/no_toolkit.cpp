// A build without a window toolkit: the windows run headless.
#include <memory>

#include "diagnostics/windowing_port.hpp"

namespace gpio_dll::diagnostics {

std::shared_ptr<WindowingPort> make_toolkit_windowing() {
  return nullptr;
}

}  // namespace gpio_dll::diagnostics
