#include "diagnostics/window_model.hpp"

#include "base/module_state.hpp"
#include "diagnostics/windowing_port.hpp"

namespace gpio_dll::diagnostics {

std::shared_ptr<ModuleState> WindowModel::owner_shared() const {
  return owner_.shared_from_this();
}

void WindowModel::show() {
  if (visible_) return;
  visible_ = true;
  windowing().window_visibility(*this, true);
}

void WindowModel::hide() {
  if (!visible_) return;
  visible_ = false;
  windowing().window_visibility(*this, false);
}

void WindowModel::changed(bool now) {
  if (visible_) windowing().window_changed(*this, now);
}

}  // namespace gpio_dll::diagnostics
