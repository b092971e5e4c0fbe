// The widget trees of the two windows, built and changed only on the GUI thread from the
// models' snapshots.
#pragma once

#include <memory>
#include <string>

#include "diagnostics/window_snapshot.hpp"

namespace gpio_dll::diagnostics {

class FltkWindowing;

// One window on the screen. Widget events become model events through the windowing's event
// delivery; the view keeps the owner's state alive while it is shown.
class View {
 public:
  virtual ~View() = default;
  virtual void apply(const Snapshot& snapshot) = 0;
  virtual void set_shown(bool shown) = 0;
  virtual bool shown() const = 0;
  virtual void click(const std::string& control) = 0;
  virtual void type(const std::string& control, const std::string& text) = 0;
  virtual std::string text_of(const std::string& control) const = 0;
  virtual unsigned long x_window() const = 0;
};

std::unique_ptr<View> make_view(WindowModel::Kind kind, std::shared_ptr<ModuleState> owner,
                                FltkWindowing& port);

}  // namespace gpio_dll::diagnostics
