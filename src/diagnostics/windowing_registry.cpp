#include <mutex>
#include <string>
#include <vector>

#include "diagnostics/headless_windowing.hpp"
#include "diagnostics/windowing_port.hpp"

namespace gpio_dll::diagnostics {

// The toolkit front end, where one is there and a display can be opened; null otherwise, with
// the reason in `failure`.
std::shared_ptr<WindowingPort> make_toolkit_windowing(std::string& failure);

namespace {
std::mutex g_mutex;
std::shared_ptr<WindowingPort> g_windowing;
std::string g_headless_reason;
// Replaced ports stay alive: a caller may still hold a reference from windowing().
std::vector<std::shared_ptr<WindowingPort>> g_retired;
}  // namespace

WindowingPort& windowing() {
  std::lock_guard lock(g_mutex);
  if (!g_windowing) {
    g_windowing = make_toolkit_windowing(g_headless_reason);
    if (!g_windowing) g_windowing = std::make_shared<HeadlessWindowing>();
  }
  return *g_windowing;
}

void set_windowing(std::shared_ptr<WindowingPort> port) {
  std::lock_guard lock(g_mutex);
  if (g_windowing) g_retired.push_back(g_windowing);
  g_windowing = std::move(port);
  g_headless_reason.clear();
}

std::string headless_reason() {
  windowing();
  std::lock_guard lock(g_mutex);
  return g_headless_reason;
}

}  // namespace gpio_dll::diagnostics
