// The widget trees of the two windows, built and changed only on the GUI thread, and the plain
// copies of the models (snapshots) that carry their content there from the owning thread.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "diagnostics/form1.hpp"
#include "diagnostics/login_form.hpp"
#include "diagnostics/window_layout.hpp"

namespace gpio_dll::diagnostics {

class FltkWindowing;

struct Form1Snapshot {
  std::array<std::string, 4> text3;
  std::array<int, Form1::kPickers> combo{};
  std::array<bool, Form1::kPickers> check{};
  std::string continuous;
  std::string text1;
  std::string text2;
  std::string text16;
  std::vector<std::string> lines;
  int selected = -1;
  ProgressBar progress;
};

struct GateSnapshot {
  std::string challenge;
  std::string response;
  bool focus_response = false;
};

using Snapshot = std::variant<Form1Snapshot, GateSnapshot>;

// Taken on the thread that owns the model, under its operation lock.
Snapshot snapshot_of(const WindowModel& window);

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
