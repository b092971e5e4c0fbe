#include <mutex>
#include <vector>

#include "diagnostics/headless_windowing.hpp"
#include "diagnostics/windowing_port.hpp"

namespace gpio_dll::diagnostics {

// The toolkit front end, where the build has one and a display can be opened; null otherwise.
std::shared_ptr<WindowingPort> make_toolkit_windowing();

namespace {
std::mutex g_mutex;
std::shared_ptr<WindowingPort> g_windowing;
// Replaced ports stay alive: a caller may still hold a reference from windowing().
std::vector<std::shared_ptr<WindowingPort>> g_retired;
}  // namespace

WindowingPort& windowing() {
  std::lock_guard lock(g_mutex);
  if (!g_windowing) {
    g_windowing = make_toolkit_windowing();
    if (!g_windowing) g_windowing = std::make_shared<HeadlessWindowing>();
  }
  return *g_windowing;
}

void set_windowing(std::shared_ptr<WindowingPort> port) {
  std::lock_guard lock(g_mutex);
  if (g_windowing) g_retired.push_back(g_windowing);
  g_windowing = std::move(port);
}

}  // namespace gpio_dll::diagnostics
